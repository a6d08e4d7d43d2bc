#include "Render/RenderCore/IRenderImpl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "Core/DataTreeCheck.h"
#include "Core/EntryPoints.h"
#include "Core/ErrorReport.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/QueueMode.h"
#include "Core/ScopedLock.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/AABB.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/Win32/Win32Files.h"
#include "Platform/Win32/Win32System.h"
#include "Platform/Win32/Win32Time.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/RenderCore/CreateDisplaySettings.h"
#include "Render/RenderCore/IGlobalConfigImpl.h"
#include "Render/RenderCore/IRenderImpl_Eff.h"
#include "Render/RenderCore/IVBImplRC.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "Render/RenderCore/TextureWrappers.h"
#include "Render/PostEffects.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"

namespace Zel {
namespace {

constexpr int kCreated = 100;
constexpr int kNoRenderSystem = -101;
constexpr int kNoDataDirectories = -201;
constexpr int kNoMainWindow = -301;

// Milliseconds since the timer's previous tick.
double TickMs(Timer& timer) {
    timer.Tick();
    return static_cast<double>(timer.GetDelta()) * 1000.0;
}

bool ReadPerformanceCounter(std::int64_t* count, std::int64_t* frequency) {
    LARGE_INTEGER value;
    LARGE_INTEGER rate;
    if (!QueryPerformanceFrequency(&rate) || !QueryPerformanceCounter(&value) || rate.QuadPart <= 0)
        return false;
    *count = value.QuadPart;
    *frequency = rate.QuadPart;
    return true;
}

// The window creation's place in its log, as earlier builds wrote it.
void LogLocation(int line) {
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", "Engine\\Render\\RenderCore\\IRenderImpl", line);
}

SceneManager* Scene() {
    return Globals::Find(&Globals::GetSceneManager);
}

// The operating system's version query; without it the library takes the older road.
bool QueryPreVistaWindows() {
    HMODULE ntdll = LoadLibraryA("ntdll.dll");
    if (!ntdll)
        return true;
    using VersionQuery = void (*)(DWORD*, DWORD*, DWORD*);
    auto query = reinterpret_cast<VersionQuery>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers"));
    if (!query)
        return true;
    DWORD major = 0, minor = 0, build = 0;
    query(&major, &minor, &build);
    return major < 6;
}

// The library brings its own "d3d9.dll": its entry points are published once per process,
// unless the module was published or withdrawn before (a host or a test choosing its own).
void PublishDeviceModule() {
    static const bool published = [] {
        HMODULE module = LoadLibraryA(D3D9Module::kModuleName);
        if (!module || GetProcAddress(module, "Direct3DCreate9") ||
            GetProcAddress(module, "Direct3DCreate9Ex"))
            return false;
        D3D9Module::Install();
        return true;
    }();
    (void)published;
}

const float* CopyOut(const float* from, float* out, int count) {
    if (!out)
        return nullptr;
    std::copy(from, from + count, out);
    return out;
}

}  // namespace

FrameTimeCounter::FrameTimeCounter(Clock clock) : clock_(clock ? clock : &ReadPerformanceCounter) {}

void FrameTimeCounter::SetClock(Clock clock) {
    clock_ = clock ? clock : &ReadPerformanceCounter;
    started_ = false;
}

void FrameTimeCounter::Add(std::uint32_t* sum) {
    std::int64_t count = 0;
    std::int64_t frequency = 0;
    if (!clock_(&count, &frequency))
        return;
    // Before the first reading there is no frame to measure: counting from 0 would add the
    // whole uptime of the machine.
    if (started_ && sum) {
        const double ms =
            static_cast<double>(count - previous_) * 1000.0 / static_cast<double>(frequency);
        *sum = static_cast<std::uint32_t>(static_cast<double>(*sum) + ms);
    }
    started_ = true;
    previous_ = count;
}

IRenderImpl::IRenderImpl() : isPreVistaWindows_(QueryPreVistaWindows()) {
    PublishDeviceModule();
    InstallInterfaceBinders();
    // Host targets are drawn into once the render window exists.
    RenderTargetImplRC::SetAllowedCheck([] {
        IRenderImpl* render = Globals::Find(&Globals::GetRenderInterface);
        return render && render->renderSystem_ != nullptr;
    });
}

IRenderImpl::~IRenderImpl() {
    delete effRender_;
    // The post effects made with the window give their targets and materials back while the
    // managers are still there (the interface goes first at shutdown).
    PostEffects::Instance().Release();
    pickMaterial_.Reset();
    if (renderSystem_)
        renderSystem_->GetColorStylizedRenderer().Release();
    if (ivb_) {
        ivb_->Release();
        delete ivb_;
        ivb_ = nullptr;
    }
    if (ownsWindow_)
        DestroyWindow(static_cast<HWND>(window_));
}

FrameTimeCounter& IRenderImpl::GetFrameTimeCounter() {
    static FrameTimeCounter counter;
    return counter;
}

void IRenderImpl::ForgetGoneCameras() {
    SceneManager* scene = Scene();
    for (Camera** slot : {&mainCamera_, &secondCamera_})
        if (*slot && (!scene || !scene->Contains(*slot)))
            *slot = nullptr;
}

template <class Fn>
void IRenderImpl::ForEachCamera(Fn fn) {
    ForgetGoneCameras();
    if (secondCamera_ && mirrorSecondCamera_)
        fn(secondCamera_);
    if (mainCamera_)
        fn(mainCamera_);
}

// ---- Window ---------------------------------------------------------------------------------

void* IRenderImpl::GetWindowHandle() {
    return window_;
}

int IRenderImpl::CreateRenderWindow(const ZelI::RenderWindowParams* params) {
    // The renderer is made once; a later call finds everything in place.
    if (renderSystem_ && mainWindow_) {
        LogTyped(LOG_ENGINE_INIT, "CreateRenderWindow: the render window exists already");
        return kCreated;
    }
    Timer timer;
    timer.Reset();
    LoadShaderCompilerLibrary();
    if (params)
        params_ = *params;
    LogTyped(LOG_ENGINE_INIT, "InitGlobalObj耗时：%5.2f ms", TickMs(timer));

    const std::string root = WorkingDirectoryParent();
    if (!CheckDataTree(DataTreeUnder(root, root + "/data/Effects/Legacy5/"),
                       CacheDirectoryFailure::Refuses))
        return kNoDataDirectories;

    // Without a host window the library draws into a window stand-in of the requested size; a
    // handle the host passes must be one of the window layer's.
    if (!window_) {
        if (params_.window) {
            if (!IsWindow(static_cast<HWND>(params_.window))) {
                ReportError("CreateRenderWindow: the window handle is not a window");
                return kNoRenderSystem;
            }
            window_ = params_.window;
        } else {
            window_ = Win32Window::Create(params_.width, params_.height);
            ownsWindow_ = window_ != nullptr;
            if (!window_) {
                ReportError("CreateRenderWindow: no window of %u x %u", params_.width,
                            params_.height);
                return kNoRenderSystem;
            }
        }
    }
    DisplaySettings settings = ToCreateDisplaySettings(params_);
    settings.window = window_;

    frameTimer_.Reset();
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->Reload("EngineConfig.txt");
    LogTyped(LOG_ENGINE_INIT, "加载EngineConfig.xml耗时：%5.2f ms", TickMs(timer));
    LogLocation(533);

    SceneManager* scene = Scene();
    RenderSystem* system = scene ? scene->CreateRenderSystem(settings) : nullptr;
    LogTyped(LOG_ENGINE_INIT, "CreateRenderSystem耗时：%5.2f ms", TickMs(timer));
    LogLocation(539);

    if (scene) {
        scene->Init(nullptr);
        LogTyped(LOG_ENGINE_INIT, "SceneManager::Init耗时：%5.2f ms", TickMs(timer));
        root_ = scene->GetRootNode();
        LogLocation(550);
        if (!mainCamera_) {
            mainCamera_ = scene->CreateCamera();
            if (mainCamera_)
                mainCamera_->AttachToRoot();
            scene->SetMainCamera(mainCamera_);
            secondCamera_ = scene->CreateCamera();
            if (secondCamera_)
                secondCamera_->AttachToRoot();
        }
        LogTyped(LOG_ENGINE_INIT, "创建两个相机耗时：%5.2f ms", TickMs(timer));
    }

    if (!system) {
        ReportError("致命错误，renderSystem指针为空！引擎初始化失败!");
        return kNoRenderSystem;
    }
    renderSystem_ = system;
    mainWindow_ = system->GetMainWindow();
    if (!mainWindow_) {
        ReportError("错误！未激活当前渲染窗口!");
        return kNoMainWindow;
    }
    LogLocation(571);
    mainWindow_->Activate();
    LogTyped(LOG_ENGINE_INIT, "激活渲染窗口耗时：%5.2f ms", TickMs(timer));
    PostEffects::Instance().Init();
    system->GetColorStylizedRenderer().Init(system);
    LogTyped(LOG_ENGINE_INIT, "初始化后处理耗时：%5.2f ms", TickMs(timer));
    ivb_ = new IVBImplRC(scene->IsDX7Mode());

    LogTyped(LOG_ENGINE_INIT, "引擎初始化结束.");
    LogTyped(LOG_ENGINE_INIT, "%s", std::string(57, '#').c_str());
    LogTyped(LOG_ENGINE_INIT, "CreateRenderWindow总耗时：%5.2f ms",
             static_cast<double>(timer.GetElapsed()) * 1000.0);
    return kCreated;
}

void IRenderImpl::GetCreateParams(ZelI::RenderWindowParams* out) {
    if (out)
        *out = params_;
}

void IRenderImpl::SetDisplayMode(const ZelI::RenderWindowParams* params) {
    if (!params || !renderSystem_)
        return;
    DisplaySettings settings = ToCreateDisplaySettings(*params);
    // A host without a window of its own keeps drawing into the library's.
    if (!settings.window)
        settings.window = window_;
    settings.verticalSync = 0;
    settings.antialiasMode = 1;
    renderSystem_->ResetDevice(settings);
}

int IRenderImpl::ResizeWindow(int width, int height) {
    return ResizeWindowForEditor(width, height, 0);
}

bool IRenderImpl::IsWindowed() {
    return renderSystem_ && renderSystem_->IsWindowed();
}

int IRenderImpl::ResizeWindowForEditor(int width, int height, int windowId) {
    LogTyped(LOG_ENGINE_INIT, "ResizeWindowForEditor ,w=%d,h=%d,winID=%d", width, height, windowId);
    RenderWindow* active = renderSystem_ ? renderSystem_->GetActiveRenderWindow() : nullptr;
    if (width <= 0 || height <= 0 || !active) {
        LogTyped(LOG_ENGINE_INIT,
                 "IRenderImpl::ResizeWindowForEditor失败,w=%d,h=%d,pRenderSystem=%p", width, height,
                 static_cast<void*>(renderSystem_));
        return 0;
    }
    active->Resize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    renderSystem_->SetViewport(0, 0, static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height));
    if (!isPreVistaWindows_) {
        renderSystem_->GetColorStylizedRenderer().ReleaseRenderTargets();
        renderSystem_->GetColorStylizedRenderer().CreateRenderTargets();
    } else {
        LogTyped(LOG_ENGINE_INIT, "XP,将进行额外的Device Lost处理 beg");
        renderSystem_->OnLostDevice();
        renderSystem_->OnResetDevice();
        LogTyped(LOG_ENGINE_INIT, "Device Lost处理 end");
    }
    LogTyped(LOG_ENGINE_INIT, "ResizeWindowForEditor end");
    return 1;
}

int IRenderImpl::ResizeWindowAll(int width, int height, int, int, int, int, int) {
    return ResizeWindowForEditor(width, height, -1);
}

void IRenderImpl::ResetDevice() {
    LogTyped(LOG_ENGINE_INIT, "ResetDevice Begin");
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char buildLab[256] = {};
    DWORD size = sizeof(buildLab) - 1;
    const bool read = RegQueryValueExA(key, "BuildLab", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buildLab), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (read && std::strstr(buildLab, "vista") && mainWindow_)
        ResizeWindowAll(static_cast<int>(mainWindow_->GetWidth()),
                        static_cast<int>(mainWindow_->GetHeight()), 0, 0, 0, 0, 0);
    LogTyped(LOG_ENGINE_INIT, "ResetDevice End");
}

// ---- Frame ------------------------------------------------------------------------------------

void IRenderImpl::FrameBegin() {
    SceneManager* scene = Scene();
    if (!scene) {
        frameBegan_ = 0;
        return;
    }
    scene->CheckRenderSystem();
    frameBegan_ = scene->IsRenderReady() ? 1 : 0;
    if (!frameBegan_)
        return;
    AdvanceFixedStepClock();
    frameTimer_.Tick();
    ReleaseFrameParticleInstances();
    scene->SetUpdateTimeStep(frameTimer_.GetDelta());
    // The scene time moves on with every begun frame: animated texture stages and generated
    // colours are functions of it, and would stand still at 0 otherwise. Under the fixed-step
    // clock a frame is exactly one step, whatever clock readings other threads made in between,
    // so that every run sees the same time.
    const DWORD fixedStepMs = GetFixedClockStepMs();
    const float timeStep =
        fixedStepMs ? static_cast<float>(fixedStepMs) * 0.001f : frameTimer_.GetDelta();
    scene->SetTimeValue(scene->GetTimeValue() + timeStep);
    if (renderSystem_)
        renderSystem_->BeginScene();
    scene->CountFrame();
}

void IRenderImpl::FrameEnd() {
    FrameStats* stats = Globals::Find(&Globals::GetFrameStats);
    GetFrameTimeCounter().Add(stats ? &stats->words[FRAME_TIME_MS] : nullptr);
    if (!frameBegan_)
        return;
    if (SceneManager* scene = Scene())
        scene->UpdateFrameRate();
    if (renderSystem_)
        renderSystem_->EndScene();
}

void IRenderImpl::SwapBuffer() {
    SceneManager* scene = Scene();
    if (frameBegan_ && scene) {
        if (renderSystem_)
            renderSystem_->Present();
        scene->CountFrame();
        scene->CheckRenderSystem();
    }
    ClearTransparentPipeline();
}

int IRenderImpl::GetClearFlags() {
    return static_cast<int>(clearFlags_);
}

int IRenderImpl::SetClearFlags(int flags) {
    clearFlags_ = static_cast<std::uint32_t>(flags);
    return flags;
}

void IRenderImpl::Clear() {
    if (!frameBegan_ || !renderSystem_)
        return;
    // The device refuses a whole clear that names a buffer the bound targets lack: a host target
    // made with a 16-bit depth has no stencil, so the stencil bit is dropped there.
    std::uint32_t flags = clearFlags_ & 7u;
    const RenderTarget* depth = renderSystem_->GetDepthStencilSurface();
    if (!depth)
        flags &= 1u;
    else if (depth->GetFormat() != PF_D24S8)
        flags &= 3u;
    renderSystem_->Clear(flags, clearColour_, 1.0f, 0);
}

const float* IRenderImpl::SetClearColor(const float* rgba) {
    if (rgba)
        std::copy(rgba, rgba + 4, clearColour_);
    return clearColour_;
}

std::uint8_t IRenderImpl::SetRenderFlag(std::uint8_t flag) {
    renderFlag_ = flag;
    return flag;
}

// The pipe calls draw only inside a frame the device allowed to begin.
void IRenderImpl::PushToPipe(ZelI::IMoveObject* node) {
    if (SceneManager* scene = FrameScene())
        scene->PushRenderable(UnwrapInterface<Entity, ZelI::IMoveObject>(node));
}

void IRenderImpl::PushRenderable(ZelI::IMoveObject* node) {
    if (SceneManager* scene = FrameScene(); scene && IsGlobalSwitchOn(18))
        scene->PushRenderableImpl(UnwrapInterface<Entity, ZelI::IMoveObject>(node));
}

void IRenderImpl::PushNewPipe(int mode, std::intptr_t target, std::intptr_t third, std::intptr_t,
                              std::intptr_t) {
    SceneManager* scene = FrameScene();
    if (!scene)
        return;
    scene->UseMainCameraView();
    // The target word is the host's interface of the pipe's object (the light of a light pipe).
    auto* object = reinterpret_cast<ZelI::IMoveObject*>(target);
    scene->PushNewPipe(mode, static_cast<std::int32_t>(third),
                       UnwrapInterface<SceneNode, ZelI::IMoveObject>(object));
}

void IRenderImpl::ProcessCurrentPipe() {
    if (SceneManager* scene = FrameScene())
        scene->ProcessCurrentPipe();
}

void IRenderImpl::RenderPushedPipes() {
    if (SceneManager* scene = FrameScene())
        scene->RenderPushedPipes();
}

void IRenderImpl::CleanPushedObjsAndSubModels() {
    if (SceneManager* scene = FrameScene())
        scene->CleanPushedObjsAndSubModels();
}

void IRenderImpl::RenderTransparentPipeline() {
    if (SceneManager* scene = FrameScene())
        scene->RenderTransparentPipeline();
}

void IRenderImpl::ClearTransparentPipeline() {
    if (SceneManager* scene = Scene())
        scene->ClearTransparentPipeline();
}

SceneManager* IRenderImpl::FrameScene() const {
    return frameBegan_ ? Scene() : nullptr;
}

bool IRenderImpl::RenderScene(ZelI::IMoveObject* scene) {
    if (!scene)
        return false;
    FrameBegin();
    PushNewPipe(0, 0, 0, 0, 0);
    PushToPipe(scene);
    ProcessCurrentPipe();
    RenderPushedPipes();
    RenderTransparentPipeline();
    ClearTransparentPipeline();
    CleanPushedObjsAndSubModels();
    FrameEnd();
    return true;
}

bool IRenderImpl::RenderPipe(ZelI::IMoveObject* object) {
    SceneManager* scene = Scene();
    if (!object || !scene)
        return false;
    scene->PushRenderable(UnwrapInterface<Entity, ZelI::IMoveObject>(object));
    scene->ProcessCurrentPipe();
    scene->RenderPushedPipes();
    scene->RenderTransparentPipeline();
    scene->CleanPushedObjsAndSubModels();
    scene->ClearTransparentPipeline();
    return false;
}

// ---- Scene switches and matrices --------------------------------------------------------------

void IRenderImpl::SetPhysicsEnabled(int on) {
    if (SceneManager* scene = Scene())
        scene->SetPhysicsEnabled(on == 1);
}

bool IRenderImpl::IsPhysicsEnabled() {
    SceneManager* scene = Scene();
    return scene && scene->IsPhysicsEnabled();
}

bool IRenderImpl::IsProjectionDepthOffsetZero() {
    SceneManager* scene = Scene();
    // The depth offset: row 4, column 3 in the row-vector form, element 11 here, where matrices
    // apply to column vectors.
    return scene && scene->GetProjectionMatrix()[11] == 0.0f;
}

void IRenderImpl::SetProjectionMatrix(const float* m) {
    if (SceneManager* scene = Scene(); scene && m)
        scene->SetProjectionMatrix(m);
}

const float* IRenderImpl::GetProjectionMatrix(float* out) {
    SceneManager* scene = Scene();
    return scene ? CopyOut(scene->GetProjectionMatrix(), out, 16) : nullptr;
}

void IRenderImpl::SetViewMatrix(const float* m) {
    if (SceneManager* scene = Scene(); scene && m)
        scene->SetViewMatrix(m);
}

const float* IRenderImpl::GetViewMatrix(float* out) {
    SceneManager* scene = Scene();
    return scene ? CopyOut(scene->GetViewMatrix(), out, 16) : nullptr;
}

bool IRenderImpl::IsDX7Mode() {
    SceneManager* scene = Scene();
    return !scene || scene->IsDX7Mode();
}

void IRenderImpl::PushViewMatrix() {
    if (SceneManager* scene = Scene())
        scene->PushViewMatrix();
}

void IRenderImpl::PopViewMatrix() {
    if (SceneManager* scene = Scene())
        scene->PopViewMatrix();
}

void IRenderImpl::PushProjectionMatrix() {
    if (SceneManager* scene = Scene())
        scene->PushProjectionMatrix();
}

void IRenderImpl::PopProjectionMatrix() {
    if (SceneManager* scene = Scene())
        scene->PopProjectionMatrix();
}

void IRenderImpl::SetShadowQuality(int quality) {
    static const char* const kNames[] = {"off", "hard", "soft", "fake"};
    SceneManager* scene = Scene();
    if (!scene || quality < 0 || quality > 3)
        return;
    scene->SetShadowQuality(quality);
    LogTyped(LOG_ENGINE_INIT, "Set shadow quality : %s", kNames[quality]);
}

int IRenderImpl::GetShadowQuality() {
    SceneManager* scene = Scene();
    const int quality = scene ? scene->GetShadowQuality() : 0;
    return quality >= 0 && quality <= 2 ? quality : 0;
}

// ---- Cameras ----------------------------------------------------------------------------------

int IRenderImpl::UpdateCameras() {
    ForEachCamera([](Camera* camera) { camera->UpdateView(); });
    if (SceneManager* scene = Scene(); scene && mainCamera_)
        scene->SetRenderCamera(mainCamera_);
    return 0;
}

void IRenderImpl::SetCameraMode(int mode) {
    ForEachCamera([mode](Camera* camera) { camera->SetMode(mode); });
}

const float* IRenderImpl::GetCameraPosition(float* out) {
    SceneManager* scene = Scene();
    static const float kZero[3] = {};
    return CopyOut(scene ? scene->GetMainCameraPosition() : kZero, out, 3);
}

const float* IRenderImpl::LookAt(const float* eye, const float* target, const float* up) {
    if (!eye || !target || !up)
        return nullptr;
    const float* orientation = nullptr;
    ForEachCamera([&](Camera* camera) { orientation = camera->LookAt(eye, target, up); });
    return orientation;
}

void IRenderImpl::RotateCamera(float yaw, float pitch, float roll) {
    ForEachCamera([&](Camera* camera) {
        camera->Yaw(yaw);
        camera->Pitch(pitch);
        camera->Roll(roll);
    });
}

const float* IRenderImpl::GetCameraDirection(float* out) {
    ForgetGoneCameras();
    static const float kAlongX[3] = {1.0f, 0.0f, 0.0f};
    return CopyOut(mainCamera_ ? mainCamera_->GetDirection() : kAlongX, out, 3);
}

void IRenderImpl::SetCameraFov(float horizontalFov, float aspect, float nearClip, float farClip) {
    ForEachCamera([&](Camera* camera) {
        camera->SetFOV(VerticalFovFromHorizontal(horizontalFov, aspect));
        camera->SetAspectRatio(aspect);
        camera->SetNearClip(nearClip);
        camera->SetFarClip(farClip);
    });
}

void IRenderImpl::GetCameraFov(float* horizontalFov, float* aspect, float* nearClip,
                               float* farClip) {
    ForgetGoneCameras();
    if (!mainCamera_)
        return;
    if (horizontalFov)
        *horizontalFov =
            HorizontalFovFromVertical(mainCamera_->GetFOV(), mainCamera_->GetAspectRatio());
    if (aspect)
        *aspect = mainCamera_->GetAspectRatio();
    if (nearClip)
        *nearClip = mainCamera_->GetNearClip();
    if (farClip)
        *farClip = mainCamera_->GetFarClip();
}

const float* IRenderImpl::GetSecondCameraFrustum(float* out) {
    ForgetGoneCameras();
    return secondCamera_ ? CopyOut(secondCamera_->GetCorners(), out, 24) : nullptr;
}

const float* IRenderImpl::GetCameraFrustum(float* out) {
    ForgetGoneCameras();
    return mainCamera_ ? CopyOut(mainCamera_->GetCorners(), out, 24) : nullptr;
}

void IRenderImpl::SetCameraFarPlane(float farClip) {
    ForEachCamera([&](Camera* camera) { camera->SetFarClip(farClip); });
}

bool IRenderImpl::IsBoxVisible(const float* box) {
    ForgetGoneCameras();
    if (!mainCamera_ || !box)
        return false;
    return mainCamera_->IntersectAABB(AABB(box, box + 3)) != 1;
}

ZelI::ICamera* IRenderImpl::GetCamera() {
    SceneManager* scene = Scene();
    Camera* camera = scene ? scene->GetCurrentCamera() : nullptr;
    return camera ? static_cast<ZelI::ICamera*>(camera->GetInterface()) : nullptr;
}

ZelI::ICamera* IRenderImpl::CreateCamera() {
    SceneManager* scene = Scene();
    Camera* camera = scene ? scene->CreateCamera() : nullptr;
    return camera ? static_cast<ZelI::ICamera*>(camera->GetInterface()) : nullptr;
}

void IRenderImpl::SetMainCamera(ZelI::ICamera* camera) {
    mainCamera_ = UnwrapInterface<Camera, ZelI::IMoveObject>(camera);
    if (SceneManager* scene = Scene())
        scene->SetMainCamera(mainCamera_);
}

ZelI::ICamera* IRenderImpl::GetMainCamera() {
    SceneManager* scene = Scene();
    Camera* camera = scene ? scene->GetMainCamera() : nullptr;
    return camera ? static_cast<ZelI::ICamera*>(camera->GetInterface()) : nullptr;
}

void IRenderImpl::SetSecondCamera(ZelI::ICamera* camera) {
    secondCamera_ = UnwrapInterface<Camera, ZelI::IMoveObject>(camera);
}

ZelI::ICamera* IRenderImpl::GetSecondCamera() {
    ForgetGoneCameras();
    return secondCamera_ ? static_cast<ZelI::ICamera*>(secondCamera_->GetInterface()) : nullptr;
}

// ---- Objects ----------------------------------------------------------------------------------

ZelI::ILight* IRenderImpl::CreateLight(int kind) {
    SceneManager* scene = Scene();
    if (!scene)
        return nullptr;
    // The host numbers light kinds as ILight reports them; the scene's kind 2 is not reachable.
    static const std::int32_t kSceneKinds[] = {0, 1, 3};
    const std::int32_t sceneKind = kind >= 0 && kind <= 2 ? kSceneKinds[kind] : 0;
    ScopedLock lock(threadmng::kMainLock);
    Light* light = scene->CreateUnnamedLight(sceneKind);
    return light ? static_cast<ZelI::ILight*>(light->GetInterface()) : nullptr;
}

int IRenderImpl::GetMaxLights() {
    return 1000;
}

int IRenderImpl::GetReserved(std::intptr_t) {
    return -1;
}

std::intptr_t IRenderImpl::SetUserWord(std::intptr_t word) {
    userWord_ = word;
    return word;
}

std::intptr_t IRenderImpl::GetUserWord() {
    return userWord_;
}

ZelI::IRender* IRenderImpl::GetEffRender() {
    if (!effRender_)
        effRender_ = new IRenderImpl_Eff(this);
    return effRender_;
}

void IRenderImpl::SetSpecialEffectManager(ZelI::ISpecialEffectManager* manager) {
    specialEffectManager_ = manager;
}

ZelI::IGlobalConfig* IRenderImpl::GetGlobalConfig() {
    return Globals::Find(&Globals::GetGlobalConfigImpl);
}

}  // namespace Zel
