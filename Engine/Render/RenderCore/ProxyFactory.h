// What CreateIProxyFactory hands a host tool: the factory, its global environment of cached
// manager proxies, the render proxy and its window proxies, and the small service proxies. None
// of them owns a manager or object it reaches; the managers live as long as Globals.
// Host thread only; the factory and the environment take no locks of their own.
#pragma once

#include <cstdint>
#include <memory>

#include "Interface/IActionInfo.h"
#include "Interface/IGlobalConfigProxy.h"
#include "Interface/IGlobalEnvironment.h"
#include "Interface/IIOTaskInfo.h"
#include "Interface/ILogMng.h"
#include "Interface/IProxyFactory.h"
#include "Interface/IRenderProxy.h"
#include "Interface/IRenderWndProxy.h"

namespace Zel {

class Action;
class RenderSystem;
class RenderWindow;
class WidgetRenderImpl;
class threadio;

// The actors' environment flag the environment stores (SetActorFlag).
std::uint8_t GetActorEnvironmentFlag();

// Every live factory's widget renderer goes (boxes still held forget it): its device objects and
// effect program must not outlive the render system, while a host may delete its factory later.
// Globals::Shutdown calls it before the scene and the managers go. Host thread.
void ReleaseProxyFactoryDrawing();

// Collects and purges every manager's unused resources, in the order that lets each step free
// what the one before let go (geometries first, skeletons last).
void CollectAllResources();

// A window of the render system as a host tool drives it. The current-window state is shared
// with the render proxy that made it, so the window proxy stays usable after its render proxy
// (or the whole proxy factory) is gone.
class IRenderWndProxy_Impl final : public ZelI::IRenderWndProxy {
public:
    IRenderWndProxy_Impl(RenderWindow* window, RenderSystem* system,
                         std::shared_ptr<void*> currentWindow);
    ~IRenderWndProxy_Impl() override = default;

    void BeginDraw() override;
    void EndDraw() override;
    void Resize(std::uint32_t width, std::uint32_t height) override;
    void* GetWindowHandle() override;
    void SetEndDrawing(bool on) override { endDrawing_ = on; }
    void MakeCurrent(bool on) override;

    RenderWindow* GetWindow() const { return window_; }

private:
    // The window that drawing goes to: the main window while this one is current, none when a
    // window is current and this one has no handle, else this one.
    RenderWindow* DrawTarget();

    bool endDrawing_ = true;
    RenderWindow* window_;
    RenderSystem* system_;
    std::shared_ptr<void*> currentWindow_;
};

class IRenderProxy_Impl final : public ZelI::IRenderProxy {
public:
    IRenderProxy_Impl() : currentWindow_(std::make_shared<void*>(nullptr)) {}
    ~IRenderProxy_Impl() override = default;

    ZelI::IRenderWndProxy* GetMainWindow() override;
    ZelI::IRenderWndProxy* CreateWindow(void* window, std::uint32_t width,
                                        std::uint32_t height) override;

    void* GetCurrentWindow() const { return *currentWindow_; }

private:
    std::shared_ptr<void*> currentWindow_;
};

// Loading thread 0's queue as it is at each call; 0 while the thread does not exist.
class IIOTaskInfo_Impl final : public ZelI::IIOTaskInfo {
public:
    IIOTaskInfo_Impl();
    ~IIOTaskInfo_Impl() override = default;

    std::uint32_t GetActiveCount() override;
    std::uint32_t GetFinishedCount() override;

private:
    threadio* thread_;
};

class IGlobalConfigProxyImpl final : public ZelI::IGlobalConfigProxy {
public:
    // The switch "EnableD3D9Ex" stands for.
    static constexpr std::uint32_t kPreferExSwitch = 62;

    IGlobalConfigProxyImpl() = default;
    ~IGlobalConfigProxyImpl() = default;

    void SetValue(const char* name, std::int32_t value) override;
    std::int32_t GetValue(const char* name) override;
    bool LoadPinchConfig(bool male, const char* path) override;
    bool LoadMakeupConfig(bool male, const char* path) override;
};

class ILogMngImpl final : public ZelI::ILogMng {
public:
    // The one object every caller gets.
    static ILogMngImpl* Get();
    // Bit t set while log type t is written.
    std::uint32_t GetSettings() override;

private:
    ILogMngImpl() = default;
    ~ILogMngImpl() override = default;
};

// The figures of one action; all 0 (and a null name) over no action. The action is pooled and
// outlives the object; the host deletes the object through Release.
class IActionInfoImpl final : public ZelI::IActionInfo {
public:
    explicit IActionInfoImpl(Action* action) : action_(action) {}

    void Release() override { delete this; }
    const char* GetName() override;
    std::uint32_t GetTrackCount() override;
    float GetLength() override;
    std::uint32_t GetBoneStateCount() override;
    std::uint32_t GetBoneKeyCount(std::uint32_t index) override;
    std::uint32_t GetBoneKeyCountAlt(std::uint32_t index) override {
        return GetBoneKeyCount(index);
    }

private:
    ~IActionInfoImpl() override = default;
    Action* action_;
};

// The environment's 37 positions; each manager proxy is made on first request, bound to the
// manager Globals holds then, and kept (null, tried again next time, while the manager is
// missing or memory runs out). The cached proxies' Release does nothing: the environment deletes
// them when it goes.
class IGlobalEnvironment_Impl final : public ZelI::IGlobalEnvironment {
public:
    static constexpr int kPositions = 37;

    IGlobalEnvironment_Impl() = default;
    ~IGlobalEnvironment_Impl() override;
    IGlobalEnvironment_Impl(const IGlobalEnvironment_Impl&) = delete;
    IGlobalEnvironment_Impl& operator=(const IGlobalEnvironment_Impl&) = delete;

    ZelI::IResMngProxy* GetMaterialManager() override;
    ZelI::IResMngProxy* GetTextureManager() override;
    ZelI::IResMngProxy* GetRenderTargetManager() override;
    ZelI::IResMngProxy* GetActionManager() override;
    ZelI::IResMngProxy* GetAnimationManager() override;
    ZelI::IResMngProxy* GetGpuProgramManager() override;
    ZelI::IResMngProxy* GetGeometryManager() override;
    ZelI::IResMngProxy* GetImageManager() override;
    ZelI::IResMngProxy* GetXmlManager() override;
    ZelI::IResMngProxy* GetEffectManager() override;
    ZelI::IHardWareResMngProxy* GetIndexBufferManager() override;
    ZelI::IHardWareResMngProxy* GetVertexBufferManager() override;
    ZelI::IResMngProxy* GetSkeletonManager() override;
    ZelI::IInsFactoryProxy* GetSceneNodeFactory() override;
    ZelI::IInsFactoryProxy* GetEntityFactory() override;
    ZelI::IInsFactoryProxy* GetSubEntityFactory() override;
    ZelI::IInsFactoryProxy* GetBoneFactory() override;
    ZelI::IInsFactoryProxy* GetSimpLevelFactory() override;
    ZelI::IInsFactoryProxy* GetActionFactory() override;
    ZelI::IInsFactoryProxy* GetParticleFactory() override;
    ZelI::IInsFactoryProxy* GetParticleInstanceFactory() override;
    ZelI::IInsFactoryProxy* GetSceneManager() override;
    ZelI::IInsFactoryProxy* GetLevelFactory() override;
    ZelI::IInsFactoryProxy* GetSkeletonModelFactory() override;
    ZelI::IInsFactoryProxy* GetActorFactory() override;
    ZelI::IInsFactoryProxy* GetNewActorFactory() override;
    ZelI::IInsFactoryProxy* GetDeformedModelFactory() override;
    ZelI::IInsFactoryProxy* GetBillBoardFactory() override;
    ZelI::IInsFactoryProxy* GetLightFactory() override;
    ZelI::IEffFactoryProxy* GetEffectFactory() override;
    ZelI::IIOTaskInfo* GetIOTaskInfo() override;
    std::uint8_t SetActorFlag(std::uint8_t flag) override;
    void CollectResources() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    ZelI::IGlobalConfigProxy* GetGlobalConfig() override;
    void ReleaseActionTrees() override;

private:
    struct Slot {
        void* object = nullptr;  // the interface pointer the position answers
        void (*destroy)(void*) = nullptr;
    };
    template <class Interface, class Proxy, class Source>
    Interface* Cached(int position, Source* source);
    template <class Interface, class Proxy>
    Interface* CachedUnbound(int position);

    Slot slots_[kPositions];
};

class IProxyFactory_Impl final : public ZelI::IProxyFactory {
public:
    IProxyFactory_Impl();
    // Deletes the environment (with every proxy it cached), the render proxy and the widget
    // renderer (boxes still alive forget it); window proxies already handed out keep working.
    ~IProxyFactory_Impl() override;

    ZelI::IGlobalEnvironment* GetGlobalEnvironment() override;
    ZelI::IRenderProxy* GetRenderProxy() override;
    ZelI::IModelProxy* CreateModelProxy(ZelI::IModel* model) override;
    ZelI::ISklModelProxy* CreateSklModelProxy(ZelI::ISkeletonModel* model) override;
    ZelI::IActorProxy* CreateActorProxy(ZelI::IActor* actor) override;
    ZelI::IActorProxy* CreateNewActorProxy(ZelI::IActor* actor) override;
    ZelI::IActionInfo* CreateActionInfo(ZelI::IAction* action) override;
    ZelI::IWidgetRender* GetWidgetRender() override;
    ZelI::IAuxRender* GetAuxRender() override;
    ZelI::IWidgetAABB* CreateWidgetAABB(const float* minimum, const float* maximum) override;
    ZelI::IZelTextBox* CreateTextBox(std::int32_t x, std::int32_t y, std::int32_t width,
                                     std::int32_t height) override;
    ZelI::ICommandSystem* GetCommandSystem() override;
    ZelI::IDebugConsole* GetDebugConsole() override;
    ZelI::ILogMng* GetLogManager() override;

    // The widget renderer goes now; a later GetWidgetRender makes a new one.
    void ReleaseWidgetRender();

private:
    std::unique_ptr<IGlobalEnvironment_Impl> environment_;
    std::unique_ptr<IRenderProxy_Impl> renderProxy_;
    std::unique_ptr<WidgetRenderImpl> widgetRender_;
};

}  // namespace Zel
