#include "Render/d3d9/RenderDeviceD3D9.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Scene/Light.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Platform/D3D9/DDraw.h"
#include "Platform/D3DX9/D3DX9Errors.h"
#include "Platform/D3DX9/D3DX9Math.h"
#include "Platform/Win32/Win32.h"
#include "Render/ClearRecord.h"
#include "Render/DisplaySettings.h"
#include "Render/FogRecord.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/MatrixBuilders.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/VertexBufferBinding.h"
#include "Render/ViewportRect.h"
#include "Render/d3d9/CBaseStateManager.h"
#include "Render/d3d9/D3D9Mapping.h"
#include "Render/d3d9/DeviceDiagnostics.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "Render/d3d9/HardwareIndexBufferD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "Render/d3d9/VertexBufferDeclarationD3D9.h"

namespace Zel {
namespace {

constexpr const char* kSourcePath = "Engine\\Render\\d3d9\\RenderDeviceD3D9";
constexpr const char* kCaption = "MIRELVANE";
constexpr std::uint32_t kDrawCallsSwitch = 76;
constexpr DWORD kAtiVendorId = 0x1002;

// The process's one Direct3D object, shared by every device. It goes when the last device that
// made a Direct3D device on it is destroyed (or when a device is destroyed while none uses it).
struct SharedDirect3D {
    IDirect3D9* object = nullptr;
    bool ex = false;
    int devices = 0;
};

SharedDirect3D& Shared() {
    static SharedDirect3D shared;
    return shared;
}

void ReleaseSharedDirect3DIfUnused() {
    SharedDirect3D& shared = Shared();
    if (shared.devices == 0 && shared.object) {
        shared.object->Release();
        shared.object = nullptr;
        shared.ex = false;
    }
}

// A log line marked with where it was written ("%s;fn=%s[%d]").
#define ZEL_LOG_AT(message) \
    LogTyped(LOG_ENGINE_INIT, "%s;fn=%s[%d]", (message), kSourcePath, __LINE__)

// The settings' format choices as pixel-format codes: back buffer X8R8G8B8, A8R8G8B8, X1R5G5B5;
// depth D24S8, D24X8, D16. Any other choice takes the first.
D3DFORMAT BackBufferFormatOf(std::uint32_t choice) {
    static constexpr std::uint32_t kCodes[] = {2, 1, 3};
    return D3DFormatFromPixelFormat(choice < std::size(kCodes) ? kCodes[choice] : kCodes[0]);
}

D3DFORMAT DepthFormatOf(std::uint32_t choice) {
    static constexpr std::uint32_t kCodes[] = {11, 12, 13};
    return D3DFormatFromPixelFormat(choice < std::size(kCodes) ? kCodes[choice] : kCodes[0]);
}

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

DeviceCaps* Caps() {
    return Globals::Find(&Globals::GetDeviceCaps);
}

// The render state a RenderStateLock code holds; 0 for any other code.
DWORD LockableState(std::uint32_t which) {
    switch (which) {
        case LOCK_DEPTH_WRITE:
            return D3DRS_ZWRITEENABLE;
        case LOCK_COLOUR_WRITE:
            return D3DRS_COLORWRITEENABLE;
        case LOCK_ALPHA_BLEND:
            return D3DRS_ALPHABLENDENABLE;
        default:
            return 0;
    }
}

}  // namespace

IDirect3D9* RenderDeviceD3D9::Direct3D() {
    return Shared().object;
}

RenderDeviceD3D9::RenderDeviceD3D9() {
    d3d9Module_ = LoadLibraryA("d3d9.dll");
}

RenderDeviceD3D9::~RenderDeviceD3D9() {
    queryPool_.reset();
    if (device_) {
        if (stateManager_)
            stateManager_->Release();
        stateManager_ = nullptr;
        device_->Release();
        device_ = nullptr;
        deviceEx_ = nullptr;
    }
    if (usesSharedDirect3D_)
        --Shared().devices;
    ReleaseSharedDirect3DIfUnused();
    if (directDraw7_)
        directDraw7_->Release();
    if (comInitialised_)
        CoUninitialize();
    if (d3d9Module_)
        FreeLibrary(d3d9Module_);
}

void RenderDeviceD3D9::Destroy() {
    delete this;
}

// ---------------------------------------------------------------------------------------------
// Creation, loss and reset
// ---------------------------------------------------------------------------------------------

bool RenderDeviceD3D9::Init(const DisplaySettings& settings) {
    if (device_)
        return true;
    if (!d3d9Module_) {
        LogTyped(LOG_ENGINE_INIT, "加载d3d9.dll失败（致命错误）");
        MessageBoxA(nullptr, "加载d3d9.dll失败，请检查DirectX和显卡驱动是否正确安装！", kCaption,
                    0);
        return false;
    }
    WriteDriverRegistry();
    window_ = settings.window;
    perfBeginEvent_ =
        reinterpret_cast<PFN_D3DPERF_BeginEvent>(GetProcAddress(d3d9Module_, "D3DPERF_BeginEvent"));
    perfEndEvent_ =
        reinterpret_cast<PFN_D3DPERF_EndEvent>(GetProcAddress(d3d9Module_, "D3DPERF_EndEvent"));
    perfSetMarker_ =
        reinterpret_cast<PFN_D3DPERF_SetMarker>(GetProcAddress(d3d9Module_, "D3DPERF_SetMarker"));
    if (!CreateDirect3D())
        return false;

    D3DDISPLAYMODE mode{};
    Shared().object->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", kSourcePath, __LINE__);

    D3DPRESENT_PARAMETERS parameters = BuildPresentParameters(settings);
    CreateDevice(&parameters);
    if (!device_) {
        LogTyped(LOG_ENGINE_INIT, "创建D3D设备失败（致命错误）");
        MessageBoxA(nullptr, "创建3D设备失败，请检查DirectX和显卡驱动是否正确安装！", kCaption, 0);
        return false;
    }
    ++Shared().devices;
    usesSharedDirect3D_ = true;
    ZEL_LOG_AT("d3d设备创建成功");

    cache_.Reset(device_);
    stateManager_ = new CBaseStateManager(cache_, device_);
    creatingThreadId_ = GetCurrentThreadId();
    return true;
}

bool RenderDeviceD3D9::CreateDirect3D() {
    SharedDirect3D& shared = Shared();
    if (shared.object) {
        isEx_ = shared.ex;
        return true;
    }
    ZEL_LOG_AT("开始获取函数指针");
    auto create9Ex =
        reinterpret_cast<PFN_Direct3DCreate9Ex>(GetProcAddress(d3d9Module_, "Direct3DCreate9Ex"));
    auto create9 =
        reinterpret_cast<PFN_Direct3DCreate9>(GetProcAddress(d3d9Module_, "Direct3DCreate9"));
    ZEL_LOG_AT("获取函数指针结束");

    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!create9Ex) {
        isEx_ = false;
        LogTyped(LOG_ENGINE_INIT, "软硬件均不支持d3d9Ex");
    } else if (config && config->PreferD3D9Ex()) {
        isEx_ = true;
        LogTyped(LOG_ENGINE_INIT, "软硬件均支持d3d9Ex，且配置允许使用d3d9Ex");
    } else {
        isEx_ = false;
        LogTyped(LOG_ENGINE_INIT, "支持d3d9Ex，但配置不允许使用d3d9Ex");
    }

    if (isEx_) {
        ZEL_LOG_AT("开始创建d3d9Ex对象");
        IDirect3D9Ex* object = nullptr;
        const HRESULT hr = create9Ex(D3D_SDK_VERSION, &object);
        ZEL_LOG_AT("创建d3d9Ex对象结束");
        if (FAILED(hr) || !object) {
            LogTyped(LOG_ENGINE_INIT, "创建d3d9Ex对象失败，改用D3D9");
            isEx_ = false;
            shared.object = create9 ? create9(D3D_SDK_VERSION) : nullptr;
            LogTyped(LOG_ENGINE_INIT, "创建d3d9结束");
        } else {
            shared.object = object;
            LogTyped(LOG_ENGINE_INIT, "创建d3d9Ex对象成功");
        }
    } else {
        ZEL_LOG_AT("不使用d3d9Ex，开始创建D3D9对象");
        shared.object = create9 ? create9(D3D_SDK_VERSION) : nullptr;
        ZEL_LOG_AT("创建d3d9结束");
    }
    if (!shared.object) {
        if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
            reporter->ErrorLastError("创建D3D对象时发生错误");
        else
            LogError("创建D3D对象时发生错误");
        return false;
    }
    shared.ex = isEx_;
    return true;
}

void RenderDeviceD3D9::CreateDevice(D3DPRESENT_PARAMETERS* parameters) {
    IDirect3D9* object = Shared().object;
    constexpr DWORD kHardware =
        D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
    constexpr DWORD kSoftware =
        D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED | D3DCREATE_FPU_PRESERVE;
    // The attempts are judged by the device that came back, not by the result code.
    if (isEx_) {
        auto* objectEx = static_cast<IDirect3D9Ex*>(object);
        IDirect3DDevice9Ex* made = nullptr;
        ZEL_LOG_AT("CreateDeviceEx begin,try D3DCREATE_HARDWARE_VERTEXPROCESSING");
        objectEx->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, kHardware, parameters,
                                 nullptr, &made);
        ZEL_LOG_AT("CreateDeviceEx");
        if (!made) {
            ZEL_LOG_AT("CreateDeviceEx begin,try D3DCREATE_SOFTWARE_VERTEXPROCESSING");
            objectEx->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, kSoftware,
                                     parameters, nullptr, &made);
            ZEL_LOG_AT("CreateDeviceEx");
        }
        deviceEx_ = made;
        device_ = made;
        LogTyped(LOG_ENGINE_INIT, "创建d3d9Ex设备结束");
        return;
    }
    IDirect3DDevice9* made = nullptr;
    ZEL_LOG_AT("D3DCREATE_HARDWARE_VERTEXPROCESSING");
    object->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, kHardware, parameters, &made);
    ZEL_LOG_AT("创建设备结束");
    if (!made) {
        ZEL_LOG_AT("D3DCREATE_SOFTWARE_VERTEXPROCESSING");
        object->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, kSoftware, parameters,
                             &made);
        ZEL_LOG_AT("创建设备结束");
    }
    device_ = made;
}

bool RenderDeviceD3D9::CheckFormat(D3DFORMAT adapterFormat, DWORD usage, D3DFORMAT format) const {
    return Shared().object->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat,
                                              usage, D3DRTYPE_SURFACE, format) == D3D_OK;
}

void RenderDeviceD3D9::ResolveFormats(const DisplaySettings& settings, D3DFORMAT* backBuffer,
                                      D3DFORMAT* depth) {
    *backBuffer = BackBufferFormatOf(settings.backBufferFormat);
    if (!CheckFormat(*backBuffer, D3DUSAGE_RENDERTARGET, *backBuffer))
        *backBuffer = D3DFMT_X1R5G5B5;
    *depth = DepthFormatOf(settings.depthFormat);
    if (!CheckFormat(*backBuffer, D3DUSAGE_DEPTHSTENCIL, *depth))
        *depth = D3DFMT_D16;
    a8r8g8b8Supported_ = CheckFormat(*backBuffer, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8);
}

D3DPRESENT_PARAMETERS RenderDeviceD3D9::BuildPresentParameters(const DisplaySettings& settings) {
    D3DFORMAT backBuffer;
    D3DFORMAT depth;
    ResolveFormats(settings, &backBuffer, &depth);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = settings.width;
    p.BackBufferHeight = settings.height;
    p.BackBufferFormat = backBuffer;
    p.BackBufferCount = 0;
    p.MultiSampleType = D3DMultisampleFromCount(settings.antialiasMode);
    p.MultiSampleQuality = 0;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = settings.window;
    p.Windowed = settings.windowed ? TRUE : FALSE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = depth;
    p.Flags = 0;
    p.FullScreen_RefreshRateInHz = 0;
    p.PresentationInterval =
        settings.verticalSync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3D9* object = Shared().object;
    if (object->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBuffer,
                                           p.Windowed, p.MultiSampleType, nullptr) != D3D_OK)
        p.MultiSampleType = D3DMULTISAMPLE_NONE;
    if (object->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, depth, p.Windowed,
                                           p.MultiSampleType, nullptr) != D3D_OK)
        p.MultiSampleType = D3DMULTISAMPLE_NONE;
    return p;
}

void RenderDeviceD3D9::WriteDriverRegistry() const {
    HKEY video = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\VIDEO", 0, KEY_ALL_ACCESS,
                      &video) != ERROR_SUCCESS)
        return;
    LogTyped(LOG_ENGINE_INIT, "Found key : HARDWARE\\DEVICEMAP\\VIDEO");
    char value[256] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(video, "\\Device\\Video0", nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS) {
        RegCloseKey(video);
        return;
    }
    value[std::min<DWORD>(size, sizeof value - 1)] = '\0';
    LogTyped(LOG_ENGINE_INIT, "Found key : \\Device\\Video0, value : %s", value);
    RegCloseKey(video);

    // The adapter's key name follows the last "Video\" of the value.
    const char* marker = nullptr;
    for (const char* at = std::strstr(value, "Video\\"); at; at = std::strstr(at + 1, "Video\\"))
        marker = at;
    if (!marker)
        return;
    char path[512];
    std::snprintf(path, sizeof path, "SYSTEM\\CurrentControlSet\\Control\\Video\\%s",
                  marker + std::strlen("Video\\"));
    HKEY adapter = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &adapter) != ERROR_SUCCESS)
        return;
    LogTyped(LOG_ENGINE_INIT, "Found key : %s", path);
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    const std::int32_t frames = config ? config->GetMaxPrerenderedFrames() : 1;
    if (RegSetValueExA(adapter, "D3D_98764205", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&frames), sizeof frames) == ERROR_SUCCESS)
        LogTyped(LOG_ENGINE_INIT, "Set value D3D_98764205 to %d", frames);
    char text[16];
    std::snprintf(text, sizeof text, "%d", frames);
    if (RegSetValueExA(adapter, "FlipQueueSize", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS)
        LogTyped(LOG_ENGINE_INIT, "Set value FlipQueueSize to %d", frames);
    RegCloseKey(adapter);
}

std::uint32_t RenderDeviceD3D9::GetDeviceState() {
    if (!device_)
        return DEVICE_NONE;
    if (deviceEx_) {
        const HRESULT hr = deviceEx_->CheckDeviceState(static_cast<HWND>(window_));
        if (hr == D3DERR_DEVICENOTRESET)
            return DEVICE_NEEDS_RESET;
        if (hr == D3DERR_DEVICELOST || hr == D3DERR_DEVICEREMOVED || hr == D3DERR_DEVICEHUNG)
            return DEVICE_LOST;
        return DEVICE_USABLE;  // S_OK and the S_PRESENT_* statuses
    }
    const HRESULT hr = device_->TestCooperativeLevel();
    if (hr == D3D_OK)
        return DEVICE_USABLE;
    if (hr == D3DERR_DEVICENOTRESET)
        return DEVICE_NEEDS_RESET;
    if (hr == D3DERR_DRIVERINTERNALERROR)
        LogTyped(LOG_ENGINE_INIT, "Device Has Been Broken!");
    return DEVICE_LOST;
}

bool RenderDeviceD3D9::ResetDevice(const DisplaySettings& settings) {
    if (!device_)
        return false;
    D3DDISPLAYMODE mode{};
    Shared().object->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    D3DPRESENT_PARAMETERS parameters = BuildPresentParameters(settings);
    HRESULT hr;
    if (deviceEx_) {
        hr = deviceEx_->ResetEx(&parameters, nullptr);
    } else {
        hr = device_->Reset(&parameters);
        // Some drivers need a second reset after a pause; a failed first one is not repeated.
        if (hr == D3D_OK) {
            Sleep(50);
            hr = device_->Reset(&parameters);
        }
    }
    if (SUCCEEDED(hr))
        cache_.Reset(device_);
    return hr == D3D_OK;
}

bool RenderDeviceD3D9::Present() {
    if (!device_)
        return false;
    RECT rect{};
    const RECT* destination = nullptr;
    if (RenderTarget* target = colourTargets_[0]) {
        rect = RECT{0, 0, static_cast<LONG>(target->GetWidth()),
                    static_cast<LONG>(target->GetHeight())};
        destination = &rect;
    }
    const HRESULT hr = deviceEx_ ? deviceEx_->PresentEx(nullptr, destination, nullptr, nullptr, 0)
                                 : device_->Present(nullptr, destination, nullptr, nullptr);
    if (FAILED(hr))
        return false;
    const DeviceCaps* caps = Caps();
    if (fixedFunctionMode_ == MODE_SHADER && caps && caps->vendorId == kAtiVendorId)
        device_->SetVertexDeclaration(nullptr);
    return true;
}

void RenderDeviceD3D9::LogD3DError(const char* call, std::int32_t result, const char* detail) {
    const std::uint32_t state = GetDeviceState();
    const char* name = nullptr;
    switch (result) {
        case D3DERR_INVALIDCALL:
            name = "D3DERR_INVALIDCALL";
            break;
        case D3DXERR_INVALIDDATA:
            name = "D3DXERR_INVALIDDATA";
            break;
        case D3DERR_OUTOFVIDEOMEMORY:
            name = "D3DERR_OUTOFVIDEOMEMORY";
            break;
        case E_OUTOFMEMORY:
            name = "E_OUTOFMEMORY";
            break;
        case D3DERR_DRIVERINVALIDCALL:
            name = "D3DERR_DRIVERINVALIDCALL";
            break;
        case D3DERR_WASSTILLDRAWING:
            name = "D3DERR_WASSTILLDRAWING";
            break;
        default:
            break;
    }
    call = call ? call : "";
    detail = detail ? detail : "";
    if (name)
        ReportDeviceError("%s D3D ERROR:%s,%s,dState=%d", call, name, detail,
                          static_cast<int>(state));
    else
        ReportDeviceError("%s D3D ERROR:%d,%s,dState=%d", call, result, detail,
                          static_cast<int>(state));
    if (result != D3DERR_OUTOFVIDEOMEMORY)
        return;
    LogTyped(LOG_ENGINE_INIT, "GetAvailableVideoMemory()=: %u MB", GetAvailableTextureMem());
    LogTyped(LOG_ENGINE_INIT, "GetAvailableVideoMemory2()=: %u MB", GetVideoMemory(true) >> 20);
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager)) {
        std::string report;
        scene->WriteVertexBufferReport(report);
        if (!report.empty())
            LogTyped(LOG_ENGINE_INIT, "%s", report.c_str());
    }
}

// ---------------------------------------------------------------------------------------------
// Scenes, clearing, transforms
// ---------------------------------------------------------------------------------------------

void RenderDeviceD3D9::BeginScene() {
    if (!device_)
        return;
    const HRESULT hr = device_->BeginScene();
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,BeginScene(), hr = %d", hr);
}

void RenderDeviceD3D9::EndScene() {
    if (!device_)
        return;
    const HRESULT hr = device_->EndScene();
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,EndScene(), hr = %d", hr);
}

void RenderDeviceD3D9::Clear(const ClearRecord& record) {
    if (!device_)
        return;
    const HRESULT hr =
        device_->Clear(0, nullptr, record.flags & 0x7, D3DColorFromColour(record.colour),
                       record.depth, record.stencil);
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,Clear(), hr = %d", hr);
}

void RenderDeviceD3D9::SetTransformOf(D3DTRANSFORMSTATETYPE state, const float* matrix) {
    if (!device_ || !matrix)
        return;
    AddFrameStat(FRAME_TRANSFORM_SETS);
    D3DMATRIX d3d;
    ToD3DMatrix(matrix, &d3d);
    device_->SetTransform(state, &d3d);
}

void RenderDeviceD3D9::GetTransformOf(D3DTRANSFORMSTATETYPE state, float* out) {
    if (!device_ || !out)
        return;
    D3DMATRIX d3d;
    if (SUCCEEDED(device_->GetTransform(state, &d3d)))
        FromD3DMatrix(d3d, out);
}

void RenderDeviceD3D9::SetWorldMatrix(const float* matrix) {
    SetTransformOf(D3DTS_WORLD, matrix);
}
void RenderDeviceD3D9::GetWorldMatrix(float* out) {
    GetTransformOf(D3DTS_WORLD, out);
}
void RenderDeviceD3D9::SetViewMatrix(const float* matrix) {
    SetTransformOf(D3DTS_VIEW, matrix);
}
void RenderDeviceD3D9::GetViewMatrix(float* out) {
    GetTransformOf(D3DTS_VIEW, out);
}
void RenderDeviceD3D9::SetProjectionMatrix(const float* matrix) {
    SetTransformOf(D3DTS_PROJECTION, matrix);
}
void RenderDeviceD3D9::GetProjectionMatrix(float* out) {
    GetTransformOf(D3DTS_PROJECTION, out);
}

// ---------------------------------------------------------------------------------------------
// Vertex input and draws
// ---------------------------------------------------------------------------------------------

void RenderDeviceD3D9::SetVertexDeclaration(VertexBufferDeclaration* declaration) {
    if (!device_)
        return;
    IDirect3DVertexDeclaration9* d3d = nullptr;
    if (auto* own = dynamic_cast<VertexBufferDeclarationD3D9*>(declaration)) {
        own->Build();
        d3d = own->GetD3DDeclaration();
    }
    AddFrameStat(FRAME_VERTEX_DECLARATION_SETS);
    const HRESULT hr = device_->SetVertexDeclaration(d3d);
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,SetVertexDeclaration(), hr = %d", hr);
}

void RenderDeviceD3D9::SetStreamSource(const VertexBufferBinding& binding,
                                       std::uint32_t vertexCount) {
    if (!device_)
        return;
    for (std::uint32_t stream = 0; stream < VertexBufferBinding::kStreamCount; ++stream) {
        const VertexBufferBinding::Slot& slot = binding.GetSlot(stream);
        if (!slot.buffer || slot.stride == 0)
            continue;
        auto* buffer = dynamic_cast<HardwareVertexBufferD3D9*>(slot.buffer.Get());
        const HRESULT hr = device_->SetStreamSource(
            stream, buffer ? buffer->GetD3DBuffer() : nullptr, slot.offset, slot.stride);
        if (FAILED(hr))
            ReportDeviceError("D3D ERROR! ,SetStreamSource(), hr = %d", hr);
        const std::uint32_t bytes = slot.stride * vertexCount;
        AddFrameStat(FRAME_STREAM_BINDINGS);
        if (slot.buffer->GetUsage() & BU_DYNAMIC) {
            AddFrameStat(FRAME_DYNAMIC_STREAM_BINDINGS);
            AddFrameStat(FRAME_DYNAMIC_STREAMED_BYTES, bytes);
        }
        AddFrameStat(FRAME_STREAMED_BYTES, bytes);
        AddFrameStat(FRAME_STREAMED_VERTICES, vertexCount);
    }
}

void RenderDeviceD3D9::SetIndices(HardwareIndexBuffer* buffer, std::uint32_t indexCount) {
    if (!device_)
        return;
    auto* own = dynamic_cast<HardwareIndexBufferD3D9*>(buffer);
    const HRESULT hr = device_->SetIndices(own ? own->GetD3DBuffer() : nullptr);
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,SetIndices(), hr = %d", hr);
    if (!buffer)
        return;
    const std::uint32_t bytes = buffer->GetIndexSize() * indexCount;
    AddFrameStat(FRAME_INDEX_BUFFER_BINDINGS);
    AddFrameStat(FRAME_INDEX_BYTES, bytes);
    if (buffer->GetUsage() & BU_DYNAMIC) {
        AddFrameStat(FRAME_DYNAMIC_INDEX_BUFFER_BINDINGS);
        AddFrameStat(FRAME_DYNAMIC_INDEX_BYTES, bytes);
    }
}

void RenderDeviceD3D9::UnbindShaders() {
    cache_.SetPixelShader(nullptr);
    cache_.SetVertexShader(nullptr);
}

bool RenderDeviceD3D9::MayDraw() const {
    return device_ && GetGlobalSwitch(kDrawCallsSwitch, 1) != 0;
}

void RenderDeviceD3D9::FinishDraw(HRESULT hr, const char* name) {
    if (FAILED(hr))
        ReportDeviceError("D3D ERROR! ,%s(), hr = %d", name, hr);
}

void RenderDeviceD3D9::DrawIndexedPrimitive(std::uint32_t primitive, std::int32_t baseVertex,
                                            std::uint32_t minIndex, std::uint32_t vertexCount,
                                            std::uint32_t startIndex,
                                            std::uint32_t primitiveCount) {
    if (!MayDraw())
        return;
    AddFrameStat(FRAME_DRAW_INDEXED);
    AddFrameStat(FRAME_PRIMITIVES, primitiveCount);
    FinishDraw(device_->DrawIndexedPrimitive(D3DPrimitiveFromPrimitiveType(primitive), baseVertex,
                                             minIndex, vertexCount, startIndex, primitiveCount),
               "DrawIndexedPrimitive");
}

void RenderDeviceD3D9::DrawPrimitive(std::uint32_t primitive, std::uint32_t startVertex,
                                     std::uint32_t primitiveCount) {
    if (!MayDraw())
        return;
    AddFrameStat(FRAME_DRAW_NON_INDEXED);
    AddFrameStat(FRAME_PRIMITIVES, primitiveCount);
    FinishDraw(device_->DrawPrimitive(D3DPrimitiveFromPrimitiveType(primitive), startVertex,
                                      primitiveCount),
               "DrawPrimitive");
}

void RenderDeviceD3D9::DrawPrimitiveUP(std::uint32_t primitive, std::uint32_t primitiveCount,
                                       const void* vertices, std::uint32_t stride) {
    if (!MayDraw())
        return;
    FinishDraw(device_->DrawPrimitiveUP(D3DPrimitiveFromPrimitiveType(primitive), primitiveCount,
                                        vertices, stride),
               "DrawPrimitiveUP");
}

void RenderDeviceD3D9::DrawIndexedPrimitiveUP(std::uint32_t primitive, std::uint32_t minIndex,
                                              std::uint32_t vertexCount,
                                              std::uint32_t primitiveCount, const void* indices,
                                              std::uint32_t indexSize, const void* vertices,
                                              std::uint32_t stride) {
    if (!MayDraw())
        return;
    AddFrameStat(FRAME_DRAW_INDEXED_USER);
    AddFrameStat(FRAME_PRIMITIVES, primitiveCount);
    FinishDraw(device_->DrawIndexedPrimitiveUP(
                   D3DPrimitiveFromPrimitiveType(primitive), minIndex, vertexCount, primitiveCount,
                   indices, D3DIndexFormatFromIndexSize(indexSize), vertices, stride),
               "DrawIndexedPrimitiveUP");
}

// ---------------------------------------------------------------------------------------------
// Render targets
// ---------------------------------------------------------------------------------------------

std::uint32_t RenderDeviceD3D9::StageCount() const {
    const DeviceCaps* caps = Caps();
    return caps ? std::min(caps->textureStageCount, RenderStateCache::kStages) : 0;
}

void RenderDeviceD3D9::TargetSize(std::uint32_t* width, std::uint32_t* height) const {
    const RenderTarget* target = colourTargets_[0];
    *width = target ? target->GetWidth() : 800;
    *height = target ? target->GetHeight() : 600;
}

void RenderDeviceD3D9::SetRenderTarget(std::uint32_t index, RenderTarget* target) {
    if (index >= kColourTargetSlots) {
        LogError("RenderDeviceD3D9::SetRenderTarget: index %u is not a colour slot (0..3)", index);
        return;
    }
    if (!target) {
        // Target 0 cannot be unset on the device; only the slot forgets it.
        if (device_ && index != 0) {
            const HRESULT hr = device_->SetRenderTarget(index, nullptr);
            if (FAILED(hr))
                ReportDeviceError("D3D ERROR! ,SetRenderTarget(%d, 0), hr = %d",
                                  static_cast<int>(index), hr);
        }
        colourTargets_[index] = nullptr;
        return;
    }
    if (device_) {
        // A texture cannot be sampled while it is being rendered to.
        if (IDirect3DBaseTexture9* own = target->GetDeviceTexture()) {
            for (std::uint32_t stage = 0; stage < StageCount(); ++stage) {
                IDirect3DBaseTexture9* bound = nullptr;
                device_->GetTexture(stage, &bound);
                if (bound)
                    bound->Release();
                if (bound == own)
                    cache_.UnbindTextureDirect(stage);
            }
        }
        const HRESULT hr = device_->SetRenderTarget(index, target->GetD3DSurface());
        if (FAILED(hr))
            ReportDeviceError("D3D ERROR! ,SetRenderTarget(), hr = %d", hr);
    }
    colourTargets_[index] = target;
}

RenderTarget* RenderDeviceD3D9::GetRenderTarget(std::uint32_t index) {
    return index < kColourTargetSlots ? colourTargets_[index] : nullptr;
}

void RenderDeviceD3D9::SetDepthStencilSurface(RenderTarget* target) {
    if (device_) {
        const HRESULT hr =
            device_->SetDepthStencilSurface(target ? target->GetD3DSurface() : nullptr);
        if (FAILED(hr)) {
            if (target)
                ReportDeviceError("D3D ERROR! ,SetDepthStencilSurface(), hr = %d", hr);
            else
                ReportDeviceError("D3D ERROR! ,SetDepthStencilSurface(0), hr = %d", hr);
        }
    }
    depthTarget_ = target;
}

void RenderDeviceD3D9::RestoreRenderTargets() {
    const DeviceCaps* caps = Caps();
    const std::uint32_t targets =
        caps ? std::min(caps->simultaneousRenderTargets, kColourTargetSlots) : 0;
    if (device_)
        for (std::uint32_t i = 1; i < targets; ++i) device_->SetRenderTarget(i, nullptr);
    std::fill(std::begin(colourTargets_), std::end(colourTargets_), nullptr);
    depthTarget_ = nullptr;
    // Drawing goes on into the window being presented: its colour (or post-process) and depth
    // targets take the slots again.
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    RenderWindow* window = system ? system->GetActiveRenderWindow() : nullptr;
    if (window && system->GetRenderDevice() == this)
        window->Bind();
}

// ---------------------------------------------------------------------------------------------
// Render states
// ---------------------------------------------------------------------------------------------

void RenderDeviceD3D9::SetCullMode(std::uint32_t cull) {
    cache_.SetRenderState(D3DRS_CULLMODE, D3DCullFromCode(cull));
}
void RenderDeviceD3D9::SetZEnable(bool on) {
    cache_.SetRenderState(D3DRS_ZENABLE, on);
}
void RenderDeviceD3D9::SetZFunc(std::uint32_t compare) {
    cache_.SetRenderState(D3DRS_ZFUNC, D3DCompareFromCode(compare));
}
void RenderDeviceD3D9::SetAlphaTestEnable(bool on) {
    cache_.SetRenderState(D3DRS_ALPHATESTENABLE, on);
}
void RenderDeviceD3D9::SetAlphaFunc(std::uint32_t compare) {
    cache_.SetRenderState(D3DRS_ALPHAFUNC, D3DCompareFromCode(compare));
}
void RenderDeviceD3D9::SetAlphaRef(std::uint32_t reference) {
    cache_.SetRenderState(D3DRS_ALPHAREF, reference);
}
void RenderDeviceD3D9::SetStencilEnable(bool on) {
    cache_.SetRenderState(D3DRS_STENCILENABLE, on);
}
void RenderDeviceD3D9::SetStencilFunc(std::uint32_t compare) {
    cache_.SetRenderState(D3DRS_STENCILFUNC, D3DCompareFromCode(compare));
}
void RenderDeviceD3D9::SetZWriteEnable(bool on) {
    cache_.SetRenderState(D3DRS_ZWRITEENABLE, on);
}
void RenderDeviceD3D9::SetColorWriteEnable(bool on) {
    cache_.SetRenderState(D3DRS_COLORWRITEENABLE, on ? 15 : 0);
}
void RenderDeviceD3D9::SetColorWriteMask(bool red, bool green, bool blue, bool alpha) {
    cache_.SetRenderState(D3DRS_COLORWRITEENABLE, red * 1 + green * 2 + blue * 4 + alpha * 8);
}
void RenderDeviceD3D9::SetAlphaBlendEnable(bool on) {
    cache_.SetRenderState(D3DRS_ALPHABLENDENABLE, on);
}
void RenderDeviceD3D9::SetSrcBlend(std::uint32_t blend) {
    cache_.SetRenderState(D3DRS_SRCBLEND, D3DBlendFromCode(blend));
}
void RenderDeviceD3D9::SetDestBlend(std::uint32_t blend) {
    cache_.SetRenderState(D3DRS_DESTBLEND, D3DBlendFromCode(blend));
}
void RenderDeviceD3D9::SetSeparateAlphaBlend(bool on) {
    cache_.SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, on);
    cache_.SetRenderState(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
    cache_.SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    cache_.SetRenderState(D3DRS_DESTBLENDALPHA, on ? D3DBLEND_ONE : D3DBLEND_ZERO);
}
void RenderDeviceD3D9::SetBlendOp(std::uint32_t blendOp) {
    cache_.SetRenderState(D3DRS_BLENDOP, D3DBlendOpFromCode(blendOp));
}

void RenderDeviceD3D9::SetFog(const FogRecord& fog) {
    if (!device_)
        return;
    const D3DFOGMODE mode = D3DFogModeFromCode(fog.mode);
    if (mode == D3DFOG_NONE) {
        cache_.SetRenderState(D3DRS_FOGENABLE, FALSE);
        return;
    }
    cache_.SetRenderState(D3DRS_FOGENABLE, TRUE);
    cache_.SetRenderState(D3DRS_FOGTABLEMODE, mode);
    cache_.SetRenderState(D3DRS_FOGCOLOR, D3DColorFromColour(fog.colour));
    if (mode == D3DFOG_LINEAR) {
        cache_.SetRenderState(D3DRS_FOGSTART, FloatBits(fog.start));
        cache_.SetRenderState(D3DRS_FOGEND, FloatBits(fog.end));
    } else {
        cache_.SetRenderState(D3DRS_FOGDENSITY, FloatBits(fog.density));
    }
}

void RenderDeviceD3D9::EnableFog() {
    cache_.SetRenderState(D3DRS_FOGENABLE, TRUE);
}
void RenderDeviceD3D9::DisableFog() {
    cache_.SetRenderState(D3DRS_FOGENABLE, FALSE);
}

void RenderDeviceD3D9::SetDepthBias(float bias) {
    cache_.WriteRenderState(D3DRS_DEPTHBIAS, FloatBits(bias));
}
void RenderDeviceD3D9::SetSlopeScaleDepthBias(float bias) {
    cache_.WriteRenderState(D3DRS_SLOPESCALEDEPTHBIAS, FloatBits(bias));
}
void RenderDeviceD3D9::SetWireframe(bool on) {
    cache_.WriteRenderState(D3DRS_FILLMODE, on ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
}

void RenderDeviceD3D9::GetRenderStates(RenderState& state) {
    if (!device_)
        return;
    struct Bit {
        std::uint32_t flag;
        D3DRENDERSTATETYPE renderState;
    };
    static constexpr Bit kBits[] = {
        {RSF_DEPTH_TEST, D3DRS_ZENABLE},
        {RSF_DEPTH_WRITE, D3DRS_ZWRITEENABLE},
        {RSF_ALPHA_TEST, D3DRS_ALPHATESTENABLE},
        {RSF_STENCIL, D3DRS_STENCILENABLE},
        {RSF_ALPHA_BLEND, D3DRS_ALPHABLENDENABLE},
        {RSF_DITHER, D3DRS_DITHERENABLE},
        {RSF_SPECULAR, D3DRS_SPECULARENABLE},
        {RSF_RANGE_FOG, D3DRS_RANGEFOGENABLE},
        {RSF_CLIPPING, D3DRS_CLIPPING},
        {RSF_POINT_SPRITES, D3DRS_POINTSPRITEENABLE},
        {RSF_POINT_SCALE, D3DRS_POINTSCALEENABLE},
        {RSF_MULTISAMPLE_ANTIALIAS, D3DRS_MULTISAMPLEANTIALIAS},
        {RSF_SCISSOR_TEST, D3DRS_SCISSORTESTENABLE},
        {RSF_ANTIALIASED_LINES, D3DRS_ANTIALIASEDLINEENABLE},
        {RSF_TWO_SIDED_STENCIL, D3DRS_TWOSIDEDSTENCILMODE},
        {RSF_SEPARATE_ALPHA_BLEND, D3DRS_SEPARATEALPHABLENDENABLE},
        {RSF_CLIP_PLANE_0, D3DRS_CLIPPLANEENABLE},
    };
    for (const Bit& bit : kBits) {
        DWORD value = 0;
        device_->GetRenderState(bit.renderState, &value);
        // The clip-plane state is a mask of planes; its flag stands for plane 0.
        const bool on = bit.renderState == D3DRS_CLIPPLANEENABLE ? (value & 1u) != 0 : value == 1;
        if (on)
            state.flags |= bit.flag;
        else
            state.flags &= ~bit.flag;
        if (bit.renderState == D3DRS_STENCILENABLE) {
            DWORD mask = 0;
            device_->GetRenderState(D3DRS_COLORWRITEENABLE, &mask);
            state.colourWriteMask = mask & 0xF;
        }
    }
}

void RenderDeviceD3D9::LockRenderState(std::uint32_t which) {
    if (const DWORD state = LockableState(which))
        cache_.Lock(state);
}

void RenderDeviceD3D9::UnlockRenderState(std::uint32_t which) {
    if (const DWORD state = LockableState(which))
        cache_.Unlock(state);
}

void RenderDeviceD3D9::UnlockAllRenderStates() {
    cache_.UnlockAll();
}

// ---------------------------------------------------------------------------------------------
// Fixed-function state
// ---------------------------------------------------------------------------------------------

bool RenderDeviceD3D9::SetFixedFunctionMode(std::int32_t mode) {
    const auto enterFixedFunction = [this] {
        cache_.SetPixelShader(nullptr);
        cache_.SetVertexShader(nullptr);
        SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        if (scene && scene->AreShadowsActive())
            scene->SetShadowMode(3);
        fixedFunctionMode_ = MODE_FIXED_FUNCTION;
        LogTyped(LOG_ENGINE_INIT, "INFO : switch to DX7 mode");
    };
    switch (mode) {
        case MODE_FIXED_FUNCTION:
        case MODE_FIXED_FUNCTION2:
            enterFixedFunction();
            return true;
        case MODE_SHADER: {
            if (!HasShaderModel2(Caps())) {
                enterFixedFunction();
                return false;
            }
            cache_.SetFVF(0);
            for (std::uint32_t stage = 0; stage < StageCount(); ++stage) {
                cache_.SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
                cache_.SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
            }
            fixedFunctionMode_ = MODE_SHADER;
            LogTyped(LOG_ENGINE_INIT, "INFO : switch to DX9 mode");
            return true;
        }
        default:
            return false;
    }
}

bool RenderDeviceD3D9::SetLight(const Light* light) {
    if (light && fixedFunctionMode_ == MODE_FIXED_FUNCTION) {
        D3DLIGHT9 d3d{};
        const float* along =
            light->IsPointLight() ? light->GetWorldPosition() : light->GetDirection();
        d3d.Type = light->IsPointLight() ? D3DLIGHT_POINT : D3DLIGHT_DIRECTIONAL;
        const float* diffuse = light->GetDiffuse();
        const float* specular = light->GetSpecular();
        const float* ambient = light->GetAmbient();
        d3d.Diffuse = {diffuse[0], diffuse[1], diffuse[2], diffuse[3]};
        d3d.Specular = {specular[0], specular[1], specular[2], specular[3]};
        d3d.Ambient = {ambient[0], ambient[1], ambient[2], ambient[3]};
        d3d.Position = {along[0], along[1], along[2]};
        float direction[3] = {along[0], along[1], along[2]};
        NormalizeVector3(direction);
        d3d.Direction = {direction[0], direction[1], direction[2]};
        d3d.Range = 1000.0f;
        d3d.Falloff = 0.0f;
        d3d.Attenuation0 = 1.0f;
        if (device_) {
            cache_.WriteRenderState(D3DRS_SPECULARENABLE, TRUE);
            device_->SetLight(0, &d3d);
            device_->LightEnable(0, TRUE);
            cache_.WriteRenderState(D3DRS_LIGHTING, TRUE);
        }
        return SetLightingEnabled(true);
    }
    if (device_) {
        device_->LightEnable(0, FALSE);
        cache_.WriteRenderState(D3DRS_LIGHTING, FALSE);
    }
    return SetLightingEnabled(false);
}

std::uint32_t RenderDeviceD3D9::FvfFromVertexFormat(std::uint32_t vertexFormat) {
    std::uint32_t fvf = 0;
    if (vertexFormat & VF_POSITION)
        fvf |= D3DFVF_XYZ;
    if (vertexFormat & VF_NORMAL)
        fvf |= D3DFVF_NORMAL;
    if (vertexFormat & VF_DIFFUSE)
        fvf |= D3DFVF_DIFFUSE;
    if (vertexFormat & VF_SPECULAR)
        fvf |= D3DFVF_SPECULAR;
    std::uint32_t textures = 0;
    for (std::uint32_t flag = VF_TEXCOORD0; flag <= VF_TEXCOORD7; flag <<= 1)
        if (vertexFormat & flag)
            ++textures;
    return fvf | (textures << D3DFVF_TEXCOUNT_SHIFT);
}

void RenderDeviceD3D9::SetFVF(std::uint32_t fvf) {
    cache_.SetFVF(fvf);
}

void RenderDeviceD3D9::SetMaterial(const float* ambient, const float* diffuse,
                                   const float* specular, float power) {
    if (!device_ || fixedFunctionMode_ != MODE_FIXED_FUNCTION)
        return;
    D3DMATERIAL9 material{};
    material.Ambient = {ambient[0], ambient[1], ambient[2], ambient[3]};
    material.Diffuse = {diffuse[0], diffuse[1], diffuse[2], diffuse[3]};
    material.Specular = {specular[0], specular[1], specular[2], specular[3]};
    material.Power = power;
    device_->SetMaterial(&material);
}

void RenderDeviceD3D9::SetTextureFactor(const float* colour) {
    cache_.SetRenderState(D3DRS_TEXTUREFACTOR, D3DColorFromColour(colour));
}

void RenderDeviceD3D9::DisableTextureTransform(std::uint32_t stage) {
    cache_.SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
}

void RenderDeviceD3D9::SetClipPlaneEnable(bool on) {
    // Every user plane the device has; a plane of zeros keeps everything.
    cache_.SetRenderState(D3DRS_CLIPPLANEENABLE, on ? 0x3Fu : 0u);
}

void RenderDeviceD3D9::SetClipPlane(std::uint32_t index, const float* plane) {
    if (device_)
        device_->SetClipPlane(index, plane);
}

void RenderDeviceD3D9::SetScissorTestEnable(bool on) {
    cache_.SetRenderState(D3DRS_SCISSORTESTENABLE, on ? 1 : 0);
}

void RenderDeviceD3D9::SetScissorRect(std::int32_t left, std::int32_t right, std::int32_t top,
                                      std::int32_t bottom) {
    if (!device_ || bottom < 1 || top < 0 || left < 0 || right < 1)
        return;
    const RECT rect{left, top, right, bottom};
    device_->SetScissorRect(&rect);
}

void RenderDeviceD3D9::UnbindTextures() {
    for (std::uint32_t stage = 0; stage < StageCount(); ++stage) cache_.SetTexture(stage, nullptr);
}

void RenderDeviceD3D9::ResetStageStates() {
    for (std::uint32_t stage = 0; stage < StageCount(); ++stage) {
        cache_.SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
        cache_.SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
}

// ---------------------------------------------------------------------------------------------
// Viewport, matrices, textures, memory
// ---------------------------------------------------------------------------------------------

void RenderDeviceD3D9::SetViewport(const ViewportRect& rect) {
    if (!device_)
        return;
    std::uint32_t width;
    std::uint32_t height;
    TargetSize(&width, &height);
    const D3DVIEWPORT9 viewport = D3DViewportFromRect(rect, width, height);
    const HRESULT hr = device_->SetViewport(&viewport);
    if (FAILED(hr))
        ReportDeviceError(
            "D3D ERROR! ,SetViewport() x = %d y = %d width = %d height = %d minz = %d maxz = %d, "
            "hr = %d",
            static_cast<int>(viewport.X), static_cast<int>(viewport.Y),
            static_cast<int>(viewport.Width), static_cast<int>(viewport.Height),
            static_cast<int>(viewport.MinZ), static_cast<int>(viewport.MaxZ), hr);
}

void RenderDeviceD3D9::GetViewportMatrix(float* out) {
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, out);
    D3DVIEWPORT9 viewport{};
    if (!device_ || FAILED(device_->GetViewport(&viewport)))
        return;
    // The system's layout: scale on the diagonal, offsets in the translation column.
    const float halfWidth = static_cast<float>(viewport.Width) * 0.5f;
    const float halfHeight = static_cast<float>(viewport.Height) * 0.5f;
    out[0] = halfWidth;
    out[5] = -halfHeight;
    out[10] = viewport.MaxZ - viewport.MinZ;
    out[3] = static_cast<float>(viewport.X) + halfWidth;
    out[7] = static_cast<float>(viewport.Y) + halfHeight;
    out[11] = viewport.MinZ;
}

void RenderDeviceD3D9::PerspectiveFovRH(float fovDegrees, float aspect, float nearClip,
                                        float farClip, float* out) {
    BuildPerspectiveFovRH(fovDegrees, aspect, nearClip, farClip, out);
}

void RenderDeviceD3D9::OrthoOffCenterRH(float left, float right, float bottom, float top,
                                        float nearClip, float farClip, float* out) {
    BuildOrthoOffCenterRH(left, right, bottom, top, nearClip, farClip, out);
}

void RenderDeviceD3D9::OrthoRH(float width, float height, float nearClip, float farClip,
                               float* out) {
    BuildOrthoRH(width, height, nearClip, farClip, out);
}

void RenderDeviceD3D9::LookAtRH(const float* eye, const float* at, const float* up, float* out) {
    BuildLookAtRH(eye, at, up, out);
}

void RenderDeviceD3D9::ProjectPoint(const float* point, const float* view, const float* projection,
                                    std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                    std::uint32_t height, float minZ, float maxZ, float* out) {
    D3DXMATRIX d3dView;
    D3DXMATRIX d3dProjection;
    TransposeMatrix4(view, &d3dView.m[0][0]);
    TransposeMatrix4(projection, &d3dProjection.m[0][0]);
    const D3DVIEWPORT9 viewport{x, y, width, height, minZ, maxZ};
    const D3DXVECTOR3 in{point[0], point[1], point[2]};
    D3DXVECTOR3 projected;
    D3DXVec3Project(&projected, &in, &viewport, &d3dProjection, &d3dView, nullptr);
    out[0] = projected.x;
    out[1] = projected.y;
    out[2] = projected.z;
}

bool RenderDeviceD3D9::UpdateTexture(TextureBase* source, TextureBase* destination) {
    if (!device_ || !source || !destination || source->GetPool() != MP_SYSTEM_MEMORY)
        return false;
    return SUCCEEDED(
        device_->UpdateTexture(source->GetDeviceTexture(), destination->GetDeviceTexture()));
}

std::int32_t RenderDeviceD3D9::EvictManagedResources() {
    return device_ ? device_->EvictManagedResources() : D3DERR_INVALIDCALL;
}

std::uint32_t RenderDeviceD3D9::GetAvailableTextureMem() {
    return device_ ? device_->GetAvailableTextureMem() >> 20 : 0;
}

std::uint32_t RenderDeviceD3D9::GetVideoMemory(bool free) {
    if (videoMemoryQuery_ == VideoMemoryQuery::Untried) {
        videoMemoryQuery_ = VideoMemoryQuery::Failed;
        comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
        IDirectDraw2* directDraw = nullptr;
        if (FAILED(CoCreateInstance(CLSID_DirectDraw, nullptr, CLSCTX_ALL, IID_IDirectDraw2,
                                    reinterpret_cast<void**>(&directDraw))) ||
            !directDraw) {
            LogTyped(LOG_ENGINE_INIT, "CoCreateInstance() Failed");
            return 0;
        }
        const HRESULT initialised = directDraw->Initialize(nullptr);
        directDraw->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&directDraw7_));
        directDraw->Release();
        if (SUCCEEDED(initialised) && directDraw7_)
            videoMemoryQuery_ = VideoMemoryQuery::Ready;
    }
    if (videoMemoryQuery_ != VideoMemoryQuery::Ready)
        return 0;
    DWORD totals[3] = {};
    DWORD frees[3] = {};
    const DWORD kinds[3] = {DDSCAPS_VIDEOMEMORY, DDSCAPS_LOCALVIDMEM, DDSCAPS_NONLOCALVIDMEM};
    for (int i = 0; i < 3; ++i) {
        DDSCAPS2 caps{kinds[i], 0, 0, 0};
        directDraw7_->GetAvailableVidMem(&caps, &totals[i], &frees[i]);
    }
    return free ? frees[1] : totals[1];
}

void RenderDeviceD3D9::RollFrameCounters() {
    if (stateManager_)
        stateManager_->EndFrame();
}

bool RenderDeviceD3D9::EnableA8R8G8B8Target() {
    if (!a8r8g8b8Supported_)
        return false;
    a8r8g8b8Enabled_ = true;
    return true;
}

bool RenderDeviceD3D9::DisableA8R8G8B8Target() {
    a8r8g8b8Enabled_ = false;
    return true;
}

bool RenderDeviceD3D9::BeginEffectPass(RenderEffectD3D* effect, std::uint32_t pass) {
    if (effect == nullptr)
        return false;
    if (effect->Begin() == 0)
        return false;
    AddFrameStat(FRAME_EFFECTS_BEGUN);
    if (!effect->BeginPass(pass)) {
        effect->End();
        return false;
    }
    AddFrameStat(FRAME_EFFECT_PASSES_BEGUN);
    pendingEffect_ = effect;
    return true;
}

void RenderDeviceD3D9::EndEffectPass() {
    if (pendingEffect_ == nullptr)
        return;
    pendingEffect_->EndPass();
    pendingEffect_->End();
    pendingEffect_ = nullptr;
}

OcclusionQueryD3D9* RenderDeviceD3D9::AcquireOcclusionQuery() {
    OcclusionQueryD3D9* query = queryPool_->Acquire();
    if (query != nullptr)
        query->SetDevice(this);
    return query;
}

void RenderDeviceD3D9::ReleaseOcclusionQuery(OcclusionQueryD3D9* query) {
    queryPool_->Release(query);
}

}  // namespace Zel
