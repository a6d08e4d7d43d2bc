#include "Render/RenderSystem.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "Core/DeviceCaps.h"
#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/SectionGuard.h"
#include "Core/SystemReports.h"
#include "Core/threadmng.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/Win32/Win32Sync.h"
#include "Platform/Win32/Win32Time.h"
#include "Render/ClearRecord.h"
#include "Render/HardwareBufferManager.h"
#include "Render/MatrixBuilders.h"
#include "Render/RenderCodes.h"
#include "Render/RenderDevice.h"
#include "Render/RenderOperation.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/RenderWindow.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/OcclusionQueryD3D9.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Math/MathUtil.h"

namespace Zel {

namespace {

constexpr const char* kRenderSystemSource = "Engine/Render/RenderSystem";

double NowMs() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart ? double(count.QuadPart) * 1000.0 / double(frequency.QuadPart) : 0.0;
}

void SleepWait(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

bool SameFog(const FogRecord& a, const FogRecord& b) {
    return a.mode == b.mode && a.start == b.start && a.end == b.end && a.density == b.density &&
           std::equal(a.colour, a.colour + 4, b.colour);
}

// The device's own window and targets after a reset or mode switch come from the windows; the
// display change waits this long for the device to settle.
constexpr std::uint32_t kDisplayChangeWaitMs = 200;

}  // namespace

RenderSystem::RenderSystem(SceneManager* owner) : owner_(owner), displayChangeWait_(&SleepWait) {}

RenderSystem::~RenderSystem() {
    if (ownsDevice_ || !ownedWindows_.empty() || ownedCompiler_ || staging_)
        ReleaseResources();
}

void RenderSystem::MakeLookAtMatrix(const float* eye, const float* target, const float* up,
                                    float* out) const {
    BuildLookAtRH(eye, target, up, out);
}

void RenderSystem::MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip,
                                         float farClip, float* out) const {
    BuildPerspectiveFovRH(fovDegrees, aspect, nearClip, farClip, out);
}

void RenderSystem::SetRenderDevice(RenderDevice* device) {
    // The queries belong to the device they came from.
    if (device != device_)
        ReleaseQueries();
    device_ = device;
    if (HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager))
        buffers->SetRenderDevice(device);
    if (GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager))
        programs->SetDeviceBinding(device);
}

void RenderSystem::AddRenderWindow(RenderWindow* window) {
    if (window && std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        windows_.push_back(window);
}

void RenderSystem::RemoveRenderWindow(RenderWindow* window) {
    std::erase(windows_, window);
    if (activeWindow_ == window)
        activeWindow_ = nullptr;
}

// ---- The device's target slots (render-target block).

RenderTarget* RenderSystem::GetRenderTarget(std::uint32_t index) const {
    return device_ ? device_->GetRenderTarget(index) : nullptr;
}

void RenderSystem::SetRenderTarget(std::uint32_t index, RenderTarget* target) {
    if (device_)
        device_->SetRenderTarget(index, target);
}

RenderTarget* RenderSystem::GetDepthStencilSurface() const {
    return device_ ? device_->GetDepthStencilSurface() : nullptr;
}

void RenderSystem::SetDepthStencilSurface(RenderTarget* target) {
    if (device_)
        device_->SetDepthStencilSurface(target);
}

void RenderSystem::Clear(std::uint32_t flags, const float* rgba, float depth,
                         std::uint32_t stencil) {
    if (!device_)
        return;
    ClearRecord record;
    record.flags = flags;
    for (int i = 0; i < 4; ++i) record.colour[i] = rgba[i];
    record.depth = depth;
    record.stencil = stencil;
    device_->Clear(record);
}

// ---- Start-up and shutdown

bool RenderSystem::Init(const DisplaySettings& settings) {
    const double start = NowMs();
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", kRenderSystemSource, __LINE__);
    windowHandle_ = settings.window;
    windowed_ = settings.windowed;

    const double compilerStart = NowMs();
    if (!ownedCompiler_) {
        ownedCompiler_ = std::make_unique<LegacyShaderCompiler>();
        ownedFiller_ = std::make_unique<ZelShaderConstFiller>();
    }
    shaderCompiler_ = ownedCompiler_.get();
    constFiller_ = ownedFiller_.get();
    LogTyped(LOG_ENGINE_INIT, "\t创建Shader编译器耗时：%5.2f ms", NowMs() - compilerStart);

    displaySettings_ = settings;
    requested_ = settings;
    // The machine's power and form reports go with the device's start-up report.
    LogBatteryStatus();
    LogChassisType();

    if (!device_) {
        GraphicsAPIManagerD3D9* maker = Globals::Find(&Globals::GetGraphicsAPIManager);
        device_ = maker ? maker->NewRenderDevice() : nullptr;
        ownsDevice_ = device_ != nullptr;
    }
    if (!device_) {
        ReportError("创建渲染设备失败！Creating RenderDevice Failed");
        return false;
    }
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", kRenderSystemSource, __LINE__);
    SetRenderDevice(device_);

    const double deviceStart = NowMs();
    if (!device_->Init(settings)) {
        ReportError("创建渲染设备失败！Creating RenderDevice Failed");
        RenderDevice* failed = device_;
        SetRenderDevice(nullptr);
        if (ownsDevice_)
            failed->Destroy();
        ownsDevice_ = false;
        return false;
    }
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        if (auto* d3d9 = dynamic_cast<RenderDeviceD3D9*>(device_))
            textures->SetDevice(d3d9->GetD3DDevice(), device_);
    if (DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps))
        device_->ReportCaps(*caps, settings);
    textureMemory_ = textureMemoryCache_ = device_->GetAvailableTextureMem();
    LogTyped(LOG_ENGINE_INIT, "\tCreateRenderDevice耗时：%5.2f ms", NowMs() - deviceStart);
    auxRenderer_ = std::make_unique<AuxRenderImpl>(device_);
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", kRenderSystemSource, __LINE__);
    CreateMainWindow();
    (void)start;
    return device_ != nullptr;
}

bool RenderSystem::CreateMainWindow() {
    GraphicsAPIManagerD3D9* maker = Globals::Find(&Globals::GetGraphicsAPIManager);
    RenderWindow* window = maker ? maker->NewRenderWindow(this, MP_DEFAULT, device_) : nullptr;
    if (!window || !window->CreateSwapChain(windowHandle_, static_cast<HWND>(windowHandle_),
                                            displaySettings_.width, displaySettings_.height, 1)) {
        LogTyped(LOG_ENGINE_INIT, "RenderWindow创建失败，可能是内存不足！");
        if (window)
            window->Destroy();
        return false;
    }
    AddRenderWindow(window);
    ownedWindows_.push_back(window);
    mainWindow_ = window;
    activeWindow_ = window;
    SetViewport(0, 0, displaySettings_.width, displaySettings_.height);
    return true;
}

RenderWindow* RenderSystem::CreateRenderWindow(void* windowHandle, std::uint32_t width,
                                               std::uint32_t height) {
    if (!windowed_ && !mainWindow_ && device_) {
        windowHandle_ = windowHandle;
        displaySettings_.width = width;
        displaySettings_.height = height;
        return CreateMainWindow() ? mainWindow_ : nullptr;
    }
    if (!device_)
        return nullptr;
    GraphicsAPIManagerD3D9* maker = Globals::Find(&Globals::GetGraphicsAPIManager);
    RenderWindow* window = maker ? maker->NewRenderWindow(this, MP_DEFAULT, device_) : nullptr;
    if (!window)
        return nullptr;
    if (!window->CreateSwapChain(windowHandle, static_cast<HWND>(windowHandle), width, height, 1)) {
        window->Destroy();
        return nullptr;
    }
    AddRenderWindow(window);
    ownedWindows_.push_back(window);
    return window;
}

void RenderSystem::GetBackBufferSize(std::uint32_t* width, std::uint32_t* height) const {
    *width = mainWindow_ ? mainWindow_->GetWidth() : displaySettings_.width;
    *height = mainWindow_ ? mainWindow_->GetHeight() : displaySettings_.height;
}

void RenderSystem::ReleaseQueries() {
    auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
    for (OcclusionQueryD3D9** query : {&query_, &drawQuery_}) {
        if (*query && device)
            device->ReleaseOcclusionQuery(*query);
        *query = nullptr;
    }
}

void RenderSystem::Destroy() {
    ReleaseQueries();
    if (owner_ && owner_->GetRenderSystem() == this)
        owner_->SetRenderSystem(nullptr);
    delete this;
}

void RenderSystem::ReleaseResources() {
    ReleaseQueries();
    // Its targets are device objects and its light a scene object: both go while the managers
    // are there.
    colorStylized_.Release();
    for (auto& image : renderImages_) image = nullptr;
    // Windows first: their targets are device objects the texture manager counts.
    std::vector<RenderWindow*> windows;
    windows.swap(ownedWindows_);
    for (RenderWindow* window : windows) window->Destroy();
    mainWindow_ = nullptr;
    activeWindow_ = nullptr;
    staging_.reset();
    if (RenderDevice* device = device_) {
        // Every device object the managers still hold lets go of the device while it exists:
        // a texture, buffer or declaration released after it would reach a freed device.
        if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
            registry->NotifyDeviceLost();
        device->ReleaseDebugDrawResources();
        SetRenderDevice(nullptr);
        if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager)) {
            // Render targets clear their slots on the device when they die: they forget it now.
            textures->DetachRenderTargets();
            if (textures->GetRenderDevice() == device)
                textures->SetDevice(nullptr, nullptr);
        }
        if (ownsDevice_)
            device->Destroy();
    }
    device_ = nullptr;
    ownsDevice_ = false;
    if (shaderCompiler_ == ownedCompiler_.get())
        shaderCompiler_ = nullptr;
    if (constFiller_ == ownedFiller_.get())
        constFiller_ = nullptr;
    ownedCompiler_.reset();
    ownedFiller_.reset();
    auxRenderer_.reset();
}

// ---- Frame

void RenderSystem::BeginScene() {
    if (inScene_ || !device_)
        return;
    device_->BeginScene();
    inScene_ = true;
}

void RenderSystem::EndScene() {
    if (!inScene_)
        return;
    if (auxRenderer_)
        auxRenderer_->Flush();
    if (device_)
        device_->EndScene();
    inScene_ = false;
}

void RenderSystem::Present() {
    const double start = NowMs();
    if (activeWindow_)
        activeWindow_->Present();
    lastPresentMs_ = float(NowMs() - start);
}

// ---- Loss, reset and display settings

void RenderSystem::OnLostDevice() {
    deviceLost_ = true;
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->NotifyDeviceLost();
    colorStylized_.ReleaseRenderTargets();
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        LogTyped(LOG_ENGINE_INIT, "OnLostDevice Begin,窗口Index=%d", int(i));
        windows_[i]->ReleaseDeviceObjects();
        LogTyped(LOG_ENGINE_INIT, "OnLostDevice End");
    }
}

void RenderSystem::OnResetDevice() {
    deviceLost_ = false;
    if (device_) {
        LogTyped(LOG_ENGINE_INIT, "D3D Device Reset Begin");
        const bool reset = device_->ResetDevice(displaySettings_);
        LogTyped(LOG_ENGINE_INIT, "D3D Device Reset End");
        if (!reset)
            return;
    }
    colorStylized_.CreateRenderTargets();
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->NotifyDeviceReset();
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        LogTyped(LOG_ENGINE_INIT, "OnResetDevice,Activeate Begin,窗口Index=%d", int(i));
        windows_[i]->RecreateDeviceObjects();
        windows_[i]->Activate();
        LogTyped(LOG_ENGINE_INIT, "OnResetDevice,Activeate End");
    }
    // A hook may add or remove hooks: walk a copy.
    const auto hooks = recreateHooks_;
    for (const auto& [hook, object] : hooks) hook(object);
}

void RenderSystem::AddRecreateHook(RecreateHook hook, void* object) {
    if (hook)
        recreateHooks_.emplace_back(hook, object);
}

void RenderSystem::RemoveRecreateHook(void* object) {
    std::erase_if(recreateHooks_, [object](const auto& entry) { return entry.second == object; });
}

void RenderSystem::ChangeDisplay() {
    OnLostDevice();
    if (displayChangeWait_)
        displayChangeWait_(kDisplayChangeWaitMs);
    OnResetDevice();
}

void RenderSystem::ResetDevice(const DisplaySettings& settings) {
    windowHandle_ = settings.window;
    windowed_ = settings.windowed;
    requested_ = settings;
    displaySettings_ = settings;
    ChangeDisplay();
}

void RenderSystem::ApplyDisplaySettings() {
    if (requested_.antialiasMode == displaySettings_.antialiasMode &&
        requested_.displayFlag == displaySettings_.displayFlag)
        return;
    if (mainWindow_) {
        requested_.width = mainWindow_->GetWidth();
        requested_.height = mainWindow_->GetHeight();
    }
    displaySettings_ = requested_;
    ChangeDisplay();
}

void RenderSystem::ChangeWindowMode(bool windowed) {
    const std::uint8_t mode = windowed ? 1 : 0;
    if (mode == windowed_)
        return;
    LogTyped(LOG_ENGINE_INIT, "Change Window Mode to : %d", int(mode));
    windowed_ = mode;
    OnLostDevice();
    if (mainWindow_)
        mainWindow_->ResizeWindowedEx(displaySettings_.width, displaySettings_.height, windowed, 0);
    displaySettings_.windowed = mode;
    OnResetDevice();
}

void RenderSystem::RestoreWindowMode() {
    windowModeHold_ = 0;
    ChangeWindowMode(true);
    displaySettings_.windowed = 1;
}

bool RenderSystem::SetAntiAliasing(std::uint32_t mode) {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    if (!caps || (caps->multisampleMask & mode) == 0) {
        LogTyped(LOG_ENGINE_INIT, "设备不支持抗锯齿，无法完成设置！");
        return false;
    }
    requested_.antialiasMode = mode;
    return true;
}

bool RenderSystem::SetAnisotropy(std::uint32_t level) {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    if (!caps || (caps->anisotropyMask & level) == 0) {
        LogTyped(LOG_ENGINE_INIT, "设备不支持各向异性过滤，无法完成设置！");
        return false;
    }
    anisotropy_ = level;
    return true;
}

std::uint32_t RenderSystem::GetAvailableTextureMemory() {
    if (device_)
        textureMemoryCache_ = device_->GetAvailableTextureMem();
    return textureMemoryCache_;
}

// ---- State forwarded to the device

void RenderSystem::SetFog(const FogRecord& fog) {
    if (SameFog(fog, fog_))
        return;
    fog_ = fog;
    if (device_)
        device_->SetFog(fog_);
}

void RenderSystem::ApplyFog() {
    if (device_)
        device_->SetFog(fog_);
}

void RenderSystem::DisableFog() {
    if (device_)
        device_->DisableFog();
}

void RenderSystem::SetViewport(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                               std::uint32_t height) {
    viewport_ = ViewportRect{x, y, width, height};
    if (device_)
        device_->SetViewport(viewport_);
}

void RenderSystem::SetLight(const Light* light) {
    light_ = light;
    if (device_)
        device_->SetLight(light);
}

void RenderSystem::SetWireframeMode(bool on) {
    if (device_)
        device_->SetWireframe(on);
}

void RenderSystem::RestoreDefaultRenderTargets() {
    if (device_)
        device_->RestoreRenderTargets();
}

void RenderSystem::MakeOrthoOffCenterMatrix(float left, float right, float bottom, float top,
                                            float nearClip, float farClip, float* out) const {
    if (device_)
        device_->OrthoOffCenterRH(left, right, bottom, top, nearClip, farClip, out);
}

void RenderSystem::MakeOrthoMatrix(float width, float height, float nearClip, float farClip,
                                   float* out) const {
    if (device_)
        device_->OrthoRH(width, height, nearClip, farClip, out);
}

void RenderSystem::GetDeviceMatrix(float* out) const {
    if (device_)
        device_->GetViewportMatrix(out);
    else
        std::memcpy(out, kIdentityMatrix, sizeof kIdentityMatrix);
}

std::uint32_t RenderSystem::GetDeviceState() const {
    return device_ ? device_->GetDeviceState() : 0;
}

// ---- Occlusion queries

std::uint32_t RenderSystem::PollQueryResult(Query& query) {
    std::uint32_t pixels = 0;
    for (std::uint32_t poll = 0; poll < kMaxQueryPolls; ++poll)
        if (query.GetResult(&pixels, sizeof pixels))
            return pixels;
    // A driver that never answers must not hang the frame: the object counts as visible.
    static bool logged = false;
    if (!logged) {
        logged = true;
        LogTyped(LOG_ENGINE_INIT, "Occlusion query gave no result after %u polls", kMaxQueryPolls);
    }
    return 0xFFFFFFFFu;
}

void RenderSystem::ReadQuery() {
    query_->End();
    const std::uint32_t pixels = PollQueryResult(*query_);
    if (pixels >= 5)
        visible_ = lastQueried_;
}

void RenderSystem::BeginPixelCountQuery(std::int32_t id) {
    auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
    if (!query_ && device)
        query_ = device->AcquireOcclusionQuery();
    if (!query_)
        return;
    if (query_->GetState() == OcclusionQueryD3D9::STATE_BEGUN)
        ReadQuery();
    lastQueried_ = id;
    query_->Begin();
}

std::int32_t RenderSystem::GetVisibleQueryObject() {
    if (!query_ || query_->GetState() != OcclusionQueryD3D9::STATE_BEGUN)
        return -1;
    ReadQuery();
    return visible_;
}

// ---- Host primitives

std::uint32_t RenderSystem::ComputeUserVertexFormat(const UserPrimitive& primitive,
                                                    std::uint32_t* stride) const {
    std::uint32_t flags = VF_POSITION;
    *stride = 12;
    if (primitive.normalOffset) {
        flags |= VF_NORMAL;
        *stride += 12;
    }
    if (primitive.uv0Offset) {
        flags |= VF_TEXCOORD0;
        *stride += 8;
    }
    if (primitive.uv1Offset) {
        flags |= VF_TEXCOORD1;
        *stride += 8;
    }
    if (primitive.colourOffset) {
        const bool fixedFunction = device_ && device_->GetFixedFunctionMode() != MODE_SHADER;
        flags |= fixedFunction ? VF_DIFFUSE : VF_COLOUR;
        *stride += fixedFunction ? 4 : 16;
    }
    return flags;
}

bool RenderSystem::BuildUserVertices(const UserPrimitive& primitive, std::uint32_t stride,
                                     std::uint32_t flags) {
    if (!staging_)
        staging_ = std::make_unique<std::uint8_t[]>(kStagingBytes);
    if (std::uint64_t(primitive.vertexCount) * stride > kStagingBytes) {
        LogTyped(LOG_ENGINE_INIT,
                 "DrawUserPrimitive: %u vertices of %u bytes exceed the %u-byte "
                 "vertex buffer",
                 primitive.vertexCount, stride, kStagingBytes);
        return false;
    }
    const std::size_t sourceStride = primitive.sourceStride ? primitive.sourceStride : 12;
    std::uint8_t* out = staging_.get();
    auto put = [&out](const void* data, std::size_t bytes) {
        std::memcpy(out, data, bytes);
        out += bytes;
    };
    for (std::uint32_t i = 0; i < primitive.vertexCount; ++i) {
        const std::uint8_t* base = primitive.vertices + i * sourceStride;
        put(base, 12);
        static constexpr float kUp[3] = {0.0f, 0.0f, 1.0f};
        if (flags & VF_NORMAL)
            put(primitive.normalOffset ? static_cast<const void*>(base + primitive.normalOffset)
                                       : kUp,
                12);
        std::uint32_t packed = 0xFFFFFFFFu;
        if (primitive.colourOffset)
            std::memcpy(&packed, base + primitive.colourOffset, 4);
        if (flags & VF_DIFFUSE)
            put(&packed, 4);
        if (flags & VF_COLOUR) {
            const float rgba[4] = {
                float((packed >> 16) & 0xFF) / 255.0f, float((packed >> 8) & 0xFF) / 255.0f,
                float(packed & 0xFF) / 255.0f, float((packed >> 24) & 0xFF) / 255.0f};
            put(rgba, sizeof rgba);
        }
        static constexpr float kZero[2] = {0.0f, 0.0f};
        if (flags & VF_TEXCOORD0)
            put(primitive.uv0Offset ? static_cast<const void*>(base + primitive.uv0Offset) : kZero,
                8);
        if (flags & VF_TEXCOORD1)
            put(primitive.uv1Offset ? static_cast<const void*>(base + primitive.uv1Offset) : kZero,
                8);
    }
    return true;
}

std::uint32_t RenderSystem::DrawUserPrimitive(Pass* pass, const UserPrimitive& primitive) {
    if (!pass || primitive.vertexCount == 0 || !primitive.vertices)
        return 0;
    if (primitive.indices && primitive.indexCount) {
        for (std::uint32_t i = 0; i < primitive.indexCount; ++i)
            if (primitive.indices[i] >= primitive.vertexCount) {
                LogTyped(LOG_ENGINE_INIT, "DrawUserPrimitive: index %u names vertex %u of %u", i,
                         unsigned(primitive.indices[i]), primitive.vertexCount);
                return 0;
            }
    }
    std::uint32_t stride = 0;
    const std::uint32_t flags = ComputeUserVertexFormat(primitive, &stride);
    if (!BuildUserVertices(primitive, stride, flags))
        return 0;
    Material* material = pass->GetOwner();
    pass->LoadTextures();
    RenderOperation operation;
    operation.renderState = &pass->renderState;
    operation.pass = pass;
    if (owner_)
        std::memcpy(operation.viewMatrix, owner_->GetViewMatrix(), sizeof operation.viewMatrix);
    MemoryDraw draw;
    draw.primitiveType = primitive.primitiveType;
    draw.vertices = staging_.get();
    draw.vertexFlags = flags;
    draw.stride = stride;
    draw.vertexCount = primitive.vertexCount;
    draw.indices = primitive.indexCount ? primitive.indices : nullptr;
    draw.indexCount = primitive.indexCount;
    return ProcessRenderOperation(operation, material ? material->GetProgram() : nullptr, draw);
}

// ---- The draw path over memory geometry

std::uint32_t RenderSystem::PrimitiveCountFromIndexCount(std::uint32_t primitiveType,
                                                         std::uint32_t count) {
    switch (primitiveType) {
        case PT_POINT_LIST:
            return count;
        case PT_LINE_LIST:
            return count / 2;
        case PT_LINE_STRIP:
            return count >= 1 ? count - 1 : 0;
        case PT_TRIANGLE_LIST:
            return count / 3;
        case PT_TRIANGLE_STRIP:
        case PT_TRIANGLE_FAN:
            return count >= 2 ? count - 2 : 0;
        default:
            return 0;
    }
}

void RenderSystem::ApplyRenderState(const RenderOperation& operation) {
    const RenderState* state = operation.renderState;
    if (!device_ || !state)
        return;
    const std::uint32_t flags = state->flags;
    device_->SetCullMode(state->cullMode);
    device_->SetZEnable((flags & RSF_DEPTH_TEST) != 0);
    device_->SetZFunc(state->depthFunc);
    device_->SetAlphaTestEnable((flags & RSF_ALPHA_TEST) != 0);
    if (flags & RSF_ALPHA_TEST) {
        device_->SetAlphaFunc(state->alphaFunc);
        device_->SetAlphaRef(state->alphaRef);
    }
    device_->SetStencilEnable((flags & RSF_STENCIL) != 0);
    device_->SetStencilFunc(state->stencilFunc);
    device_->SetZWriteEnable((flags & RSF_DEPTH_WRITE) != 0);
    const std::uint32_t mask = state->colourWriteMask;
    device_->SetColorWriteMask(mask & 1, mask & 2, mask & 4, mask & 8);
    if (IsGlobalSwitchOn(78)) {
        // Transparent drawn as opaque: the factors are left as they are.
        device_->SetAlphaBlendEnable(false);
    } else if (operation.accumulation > 0) {
        // Added onto what the earlier passes of the piece drew.
        device_->SetAlphaBlendEnable(true);
        device_->SetSrcBlend((flags & RSF_ALPHA_BLEND) ? state->srcBlend : BLEND_ONE);
        device_->SetDestBlend(BLEND_ONE);
    } else {
        device_->SetAlphaBlendEnable((flags & RSF_ALPHA_BLEND) != 0);
        device_->SetSrcBlend(state->srcBlend);
        device_->SetDestBlend(state->destBlend);
    }
    if (fog_.mode == FOG_NONE)
        return;
    if (!(flags & RSF_FOG)) {
        device_->DisableFog();
    } else if (operation.accumulation > 0) {
        // An added pass must not add the fog colour a second time.
        FogRecord black = fog_;
        std::fill(black.colour, black.colour + 4, 0.0f);
        device_->SetFog(black);
    } else {
        device_->SetFog(fog_);
    }
}

std::uint32_t RenderSystem::ProcessRenderOperation(RenderOperation& operation) {
    return DrawOperation(operation, nullptr);
}

std::uint32_t RenderSystem::ProcessRenderOperation(RenderOperation& operation, GpuProgram* program,
                                                   const MemoryDraw& draw) {
    if (!draw.vertices)
        return 0;
    operation.program = program;
    operation.primitiveType = draw.primitiveType;
    operation.userVertices = draw.vertices;
    operation.userVertexStride = draw.stride;
    operation.vertexCount = draw.vertexCount;
    operation.userIndices = draw.indices;
    operation.userIndexFormat = IS_16BIT;
    operation.indexCount = draw.indices ? draw.indexCount : 0;
    DrawOverrides overrides;
    overrides.vertexFlags = draw.vertexFlags;
    overrides.world = draw.world;
    overrides.view = draw.view;
    overrides.projection = draw.projection;
    overrides.modulateVertexColour = draw.modulateByColour;
    return DrawOperation(operation, &overrides);
}

std::uint32_t RenderSystem::DrawOperation(RenderOperation& operation,
                                          const DrawOverrides* overrides) {
    if (!inScene_ || !device_ || !operation.renderState || !operation.pass)
        return 0;
    Pass& pass = *operation.pass;
    GpuProgram* program = operation.program;
    if (!program && pass.GetOwner())
        program = pass.GetOwner()->GetProgram();
    const bool fixedFunction = device_->GetFixedFunctionMode() != MODE_SHADER;

    // The layout the pass reads, made (or rebuilt after a reset) before anything is set.
    VertexBufferByFormat* buffer = operation.vertexBinding;
    if (!overrides && !operation.userVertices) {
        if (!buffer && operation.vertexData)
            buffer = operation.vertexData->GetBufferByFormat(pass.GetVertexFlags(), true);
        if (buffer) {
            buffer->Build();
            buffer->Refresh();
        }
    }

    ApplyRenderState(operation);
    if (program && constFiller_)
        constFiller_->Fill(operation, *program);
    const std::uint32_t vertexFlags = overrides ? overrides->vertexFlags : pass.GetVertexFlags();
    if (fixedFunction) {
        const auto matrix = [](const float* given, const float* own) {
            return given ? given : own;
        };
        device_->SetWorldMatrix(overrides ? matrix(overrides->world, kIdentityMatrix)
                                          : operation.worldMatrix);
        device_->SetViewMatrix(overrides ? matrix(overrides->view, kIdentityMatrix)
                                         : operation.viewMatrix);
        device_->SetProjectionMatrix(overrides ? matrix(overrides->projection, kIdentityMatrix)
                                               : operation.projectionMatrix);
        device_->SetFVF(device_->FvfFromVertexFormat(vertexFlags));
    } else if (buffer && buffer->GetDeclaration()) {
        device_->SetVertexDeclaration(buffer->GetDeclaration());
    } else if (HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager)) {
        device_->SetVertexDeclaration(buffers->GetVertexDeclaration(vertexFlags));
    }
    const bool begun = program && program->Begin() >= 1 && program->BeginPass(pass.passIndex);
    if (fixedFunction) {
        if (overrides && overrides->modulateVertexColour)
            ModulateStageZero(operation.vertexColourModulate, D3DTA_DIFFUSE);
        ApplyFixedFunctionStages(operation);
    }
    std::uint32_t primitives = 0;
    for (std::uint32_t repeat = 0; repeat < operation.repeatCount; ++repeat)
        primitives += DrawOnce(operation, buffer);
    if (begun) {
        program->EndPass();
        program->End();
    }
    FinishRenderOperation(operation, program);
    return primitives;
}

std::uint32_t RenderSystem::DrawOnce(const RenderOperation& operation,
                                     VertexBufferByFormat* buffer) {
    const std::uint32_t type = operation.primitiveType;
    std::uint32_t primitives = 0;
    if (operation.userVertices) {
        if (operation.userIndices && operation.indexCount > 0) {
            primitives = PrimitiveCountFromIndexCount(type, operation.indexCount);
            // The draw starts at the record's first index, as a buffer draw does.
            const std::size_t indexBytes = operation.userIndexFormat == IS_32BIT ? 4 : 2;
            const void* first = static_cast<const std::uint8_t*>(operation.userIndices) +
                                std::size_t{operation.startIndex} * indexBytes;
            if (primitives)
                device_->DrawIndexedPrimitiveUP(type, 0, operation.vertexCount, primitives, first,
                                                operation.userIndexFormat, operation.userVertices,
                                                operation.userVertexStride);
        } else {
            primitives = PrimitiveCountFromIndexCount(type, operation.vertexCount);
            if (primitives)
                device_->DrawPrimitiveUP(type, primitives, operation.userVertices,
                                         operation.userVertexStride);
        }
        return primitives;
    }
    if (!buffer || !buffer->GetBinding())
        return 0;
    device_->SetStreamSource(*buffer->GetBinding(), operation.vertexCount);
    if (IndexData* indices = operation.indexData) {
        indices->Upload();
        if (indices->GetIndexCount() == 0)
            return 0;
        device_->SetIndices(indices->GetBuffer(), operation.indexCount);
        primitives = PrimitiveCountFromIndexCount(type, operation.indexCount);
        if (primitives)
            device_->DrawIndexedPrimitive(type, operation.baseVertex, 0, operation.vertexCount,
                                          operation.startIndex, primitives);
        return primitives;
    }
    primitives = PrimitiveCountFromIndexCount(type, operation.vertexCount);
    if (primitives)
        device_->DrawPrimitive(type, 0, primitives);
    return primitives;
}

void RenderSystem::ApplyFixedFunctionStages(const RenderOperation& operation) {
    if (operation.flags & 1u)
        ModulateStageZero(operation.vertexColourModulate, D3DTA_TEXTURE);
}

void RenderSystem::FinishRenderOperation(const RenderOperation& operation, GpuProgram* program) {
    const auto& stages = operation.renderState->stages;
    for (std::uint32_t i = 0; i < std::size(stages); ++i)
        if (stages[i].HasTexCoordMods())
            device_->DisableTextureTransform(i);
    if (device_->GetFixedFunctionMode() != MODE_SHADER) {
        device_->UnbindTextures();
        device_->ResetStageStates();
    } else if (program) {
        program->UnbindTextures();
    }
}

std::uint32_t RenderSystem::ProcessRenderOperationWithQuery(RenderOperation& operation,
                                                            std::uint32_t* pixels) {
    *pixels = 0;
    auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
    if (!drawQuery_ && device && inScene_)
        drawQuery_ = device->AcquireOcclusionQuery();
    if (!drawQuery_)
        return ProcessRenderOperation(operation);
    drawQuery_->Begin();
    const std::uint32_t primitives = ProcessRenderOperation(operation);
    drawQuery_->End();
    *pixels = PollQueryResult(*drawQuery_);
    return primitives;
}

void RenderSystem::ModulateStageZero(const float* colour, std::uint32_t argument) {
    auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
    if (!device)
        return;
    RenderStateCache& cache = device->GetStateCache();
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_COLORARG2, argument);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG2, argument);
    cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureFactor(colour);
}

// ---- Debug draws

void RenderSystem::DrawQuad(const float* rect, const float* uvRect, Material* material,
                            const float* colour, const ShaderParamTable* parameters) {
    if (device_)
        device_->DrawQuad(rect, uvRect, material, colour, parameters);
}

bool RenderSystem::DrawFullScreenPass(Material* material, std::uint32_t width,
                                      std::uint32_t height) {
    if (!device_ || width == 0 || height == 0)
        return false;
    const bool openScene = !inScene_;
    BeginScene();
    // Pixel centres sit at integer coordinates: moving the quad half a pixel up and left puts
    // each texel centre on its pixel's centre.
    const float rect[4] = {-1.0f - 1.0f / float(width), -1.0f + 1.0f / float(height), 2.0f, 2.0f};
    const float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const bool drawn = device_->DrawQuad(rect, uv, material, white) > 0;
    if (openScene)
        EndScene();
    return drawn;
}

void RenderSystem::DrawAABB(const float* minimum, const float* maximum, const float* colour) {
    if (device_)
        device_->DrawAABB(minimum, maximum, colour);
}

void RenderSystem::DrawDebugBox(const float* corners, const float* colour) {
    if (device_)
        device_->DrawAABBCorners(corners, colour);
}

void RenderSystem::DrawWireFrame(const float* from, const float* to, const float* colour) {
    if (device_)
        device_->DrawWireFrame(from, to, colour);
}

void RenderSystem::DrawSimple(const float* points, const float* colour) {
    if (device_)
        device_->DrawSimple(points, colour);
}

// ---- Purge

void RenderSystem::PurgeUnusedResources() {
    SectionGuard guard(*threadmng::GetInstance()->GetLock(threadmng::kMainLock));
    if (GeometryManager* geometry = Globals::Find(&Globals::GetGeometryManager)) {
        geometry->Collect();
        geometry->Purge();
    }
    if (HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager))
        buffers->PurgeUnused();
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager)) {
        materials->Collect();
        materials->Purge();
    }
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->PurgeUnused();
    if (ImageManager* images = Globals::Find(&Globals::GetImageManager)) {
        images->Collect();
        images->Purge();
    }
    if (device_)
        device_->EvictManagedResources();
}

}  // namespace Zel
