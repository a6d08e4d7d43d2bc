// The library's exports and its lifetime: CreateRenderer builds Globals behind the out-of-memory
// guard, DeleteRenderer tears it down, and the shader-compiler module is loaded once when the
// render window is created.
#include "Core/EntryPoints.h"

#include <new>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/OutOfMemoryGuard.h"
#include "Core/ErrorReport.h"
#include "Core/Timer.h"
#include "Interface/ZelEngine.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {
namespace {

HMODULE g_compilerModule = nullptr;

// When the library is unloaded (or the process ends) after DeleteRenderer, the Globals object
// that stayed allocated goes too. A renderer never deleted is left as it is.
struct UnloadCleanup {
    ~UnloadCleanup() {
        Globals* globals = Globals::GetExisting();
        if (globals && globals->IsShutDown())
            Globals::DeleteSingleton();
    }
} g_unloadCleanup;

}  // namespace

void InitGlobalObj() {
    Globals* globals = Globals::GetSingleton();
    Timer* timer = globals->GetTimer();
    if (timer)
        timer->Reset();
    if (g_compilerModule)
        return;
    if (timer)
        timer->Tick();
    g_compilerModule = LoadLibraryA("D3DCompiler_43.dll");
    if (timer)
        timer->Tick();
    const double ms = timer ? static_cast<double>(timer->GetDelta()) * 1000.0 : 0.0;
    LogTyped(LOG_ENGINE_INIT, "LoadLibraryA(D3DCompiler_43.dll)耗时：%5.2f ms", ms);
    if (g_compilerModule)
        LogTyped(LOG_ENGINE_INIT, "D3DCompiler_43.dll加载成功");
    else
        ReportErrorLastError("D3DCompiler_43.dll加载失败");
}

HMODULE GetShaderCompilerModule() {
    return g_compilerModule;
}

}  // namespace Zel

ZEL_EXPORT ZelI::IRender* CreateRenderer() {
    Zel::InstallOutOfMemoryGuard();
    return Zel::Globals::GetSingleton()->GetRenderInterface();
}

ZEL_EXPORT int DeleteRenderer() {
    Zel::Globals* globals = Zel::Globals::GetSingleton();
    Zel::LogTyped(Zel::LOG_ENGINE_INIT, "DeleteRenderer End.");
    globals->Shutdown();
    if (!Zel::g_compilerModule)
        return 0;
    const int released = FreeLibrary(Zel::g_compilerModule);
    Zel::g_compilerModule = nullptr;
    return released;
}

ZEL_EXPORT ZelI::IProxyFactory* CreateIProxyFactory() {
    return new (std::nothrow) Zel::IProxyFactory_Impl();
}
