#include "Physics/PhysicsSdk.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <string>

#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Platform/Win32/Win32Files.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {

namespace {

struct Runtime {
    HMODULE loader = nullptr;
    HMODULE cooking = nullptr;
    HMODULE core = nullptr;  // only loaded on systems this build does not target
    Nx::NxPhysicsSDK* sdk = nullptr;
    Nx::NxCreatePhysicsSDKFn createSdk = nullptr;
    Nx::NxGetPhysicsSDKAllocatorFn getAllocator = nullptr;
    Nx::NxInitCookingFn initCooking = nullptr;
    Nx::NxCloseCookingFn closeCooking = nullptr;
    Nx::NxCookClothMeshFn cookClothMesh = nullptr;
};

Runtime g_runtime;
bool g_runtimeMissing = false;
MyOutputStream g_outputStream;
std::atomic<bool> g_clothEnabled{true};
std::atomic<bool> g_clothStartup{false};

std::string WorkingDirectory() {
    char buffer[256] = {};
    const DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
}

const char* CreateErrorName(Nx::NxSDKCreateError code) {
    switch (code) {
        case Nx::NXCE_PHYSX_NOT_FOUND:
            return "NXCE_PHYSX_NOT_FOUND";
        case Nx::NXCE_WRONG_VERSION:
            return "NXCE_WRONG_VERSION";
        case Nx::NXCE_DESCRIPTOR_INVALID:
            return "NXCE_DESCRIPTOR_INVALID";
        case Nx::NXCE_CONNECTION_ERROR:
            return "NXCE_CONNECTION_ERROR";
        case Nx::NXCE_RESET_ERROR:
            return "NXCE_RESET_ERROR";
        case Nx::NXCE_IN_USE_ERROR:
            return "NXCE_IN_USE_ERROR";
        default:
            return "Unknown Error In PhysX";
    }
}

}  // namespace

void SetPhysXCorePath() {
    HKEY key = nullptr;
    const char* keyName = "SOFTWARE\\AGEIA Technologies";
    const bool opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_ALL_ACCESS, &key) == 0;
    std::string dir = WorkingDirectory();
    for (char& c : dir) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::size_t at = dir.rfind("\\bin");
    if (at == std::string::npos) {
        at = dir.rfind("/bin");
    }
    if (at != std::string::npos) {
        dir.resize(at + 4);
    } else {
        LogTyped(LOG_ENGINE_INIT, "程序没有在bin下执行,执行位置:%s", dir.c_str());
    }
    if (!opened && RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &key, nullptr) != 0) {
        LogTyped(LOG_ENGINE_INIT,
                 "Create Registry Key Failed HKEY_LOCAL_MACHINE\\SOFTWARE\\AGEIA Technologies");
        SetClothEnabled(false);
        return;
    }
    if (RegSetValueExA(key, "PhysXcore_Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>(dir.size() + 1)) != 0) {
        LogTyped(LOG_ENGINE_INIT, "Set PhysXcore_Path Failed: %s", dir.c_str());
        SetClothEnabled(false);
    }
    RegCloseKey(key);
}

bool LoadPhysicsSDK() {
    if (g_runtime.sdk != nullptr) {
        return true;  // a second start-up keeps the runtime it has
    }
    SetPhysXCorePath();
    const std::string dir = WorkingDirectory();
    Nx::RegisterPhysicsRuntime(dir.c_str(), !g_runtimeMissing);
    Runtime& r = g_runtime;
    r.loader = LoadLibraryA((dir + "/PhysXLoader.dll").c_str());
    if (r.loader == nullptr) {
        ReportErrorLastError("PhysXLoader.dll加载失败!");
    }
    r.cooking = LoadLibraryA((dir + "/NxCooking.dll").c_str());
    if (r.cooking == nullptr) {
        ReportErrorLastError("NxCooking.dll加载失败!");
    }
    if (r.loader != nullptr && r.cooking != nullptr) {
        r.createSdk = Resolve<Nx::NxCreatePhysicsSDKFn>(r.loader, "NxCreatePhysicsSDK");
        r.getAllocator =
            Resolve<Nx::NxGetPhysicsSDKAllocatorFn>(r.loader, "NxGetPhysicsSDKAllocator");
        r.initCooking = Resolve<Nx::NxInitCookingFn>(r.cooking, "NxInitCooking");
        r.closeCooking = Resolve<Nx::NxCloseCookingFn>(r.cooking, "NxCloseCooking");
        r.cookClothMesh = Resolve<Nx::NxCookClothMeshFn>(r.cooking, "NxCookClothMesh");
    }
    // Cooking and its memory streams call all of these later; a runtime without one is refused.
    if (r.createSdk == nullptr || r.initCooking == nullptr || r.closeCooking == nullptr ||
        r.cookClothMesh == nullptr || r.getAllocator == nullptr) {
        LogTyped(LOG_ENGINE_INIT, "无法创建物理模块！");
        return false;
    }
    LogTyped(LOG_ENGINE_INIT, "NxCreatePhysicsSDK函数指针 begin");
    Nx::NxSDKCreateError error = Nx::NXCE_NO_ERROR;
    const Nx::NxPhysicsSDKDesc desc{65536, 256, 2048, 0};
    r.sdk = r.createSdk(Nx::NX_PHYSICS_SDK_VERSION, nullptr, &g_outputStream, desc, &error);
    LogTyped(LOG_ENGINE_INIT, "NxCreatePhysicsSDK函数指针 end.");
    if (error != Nx::NXCE_NO_ERROR) {
        LogTyped(LOG_ENGINE_INIT, "%s", CreateErrorName(error));
    }
    if (r.sdk == nullptr) {
        LogTyped(LOG_ENGINE_INIT, "Novodex创建失败！");
        return false;
    }
    r.initCooking(nullptr, nullptr);
    r.sdk->setParameter(Nx::NX_SKIN_WIDTH, 0.01f);
    r.sdk->setParameter(Nx::NX_VISUALIZATION_SCALE, 1.0f);
    r.sdk->setParameter(Nx::NX_VISUALIZE_CLOTH_MESH, 1.0f);
    r.sdk->setParameter(Nx::NX_VISUALIZE_CLOTH_COLLISIONS, 1.0f);
    r.sdk->setParameter(Nx::NX_VISUALIZE_COLLISION_AABBS, 1.0f);
    r.sdk->setParameter(Nx::NX_VISUALIZE_COLLISION_SHAPES, 1.0f);
    return true;
}

void ReleasePhysicsSDK() {
    Runtime& r = g_runtime;
    if (r.closeCooking != nullptr) {
        r.closeCooking();
    }
    if (r.sdk != nullptr) {
        r.sdk->release();
        r.sdk = nullptr;
    }
    FreeLibrary(r.cooking);
    FreeLibrary(r.loader);
    FreeLibrary(r.core);
    r = Runtime{};
}

Nx::NxPhysicsSDK* GetPhysicsSDK() {
    return g_runtime.sdk;
}

Nx::NxCookClothMeshFn GetCookClothMesh() {
    return g_runtime.cookClothMesh;
}

void SetPhysicsRuntimeMissing(bool missing) {
    g_runtimeMissing = missing;
}

void MyOutputStream::reportError(Nx::NxErrorCode code, const char* message, const char*, int) {
    // From 205 up the SDK sends debug information, warnings and prints.
    if (code < 205) {
        LogTyped(LOG_ENGINE_INIT, "Ageia Error:%s", message != nullptr ? message : "");
    }
}

int MyOutputStream::reportAssertViolation(const char*, const char*, int) {
    return 0;
}

void MyOutputStream::print(const char* message) {
    LogTyped(LOG_ENGINE_INIT, "Ageia Error:%s", message != nullptr ? message : "");
}

void SetClothEnabled(bool enabled) {
    g_clothEnabled = enabled;
}

bool IsClothEnabled() {
    return g_clothEnabled;
}

void SetClothStartupFlag(bool raised) {
    g_clothStartup = raised;
}

bool IsClothStartupFlagSet() {
    return g_clothStartup;
}

}  // namespace Zel
