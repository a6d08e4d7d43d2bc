#include "Render/RenderCore/ProxyFactory.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>

#include "Core/CommandSystem.h"
#include "Core/DebugConsole.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/XMLManager.h"
#include "Core/ZelLogMng.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorTemplates.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Character/MakeupState.h"
#include "Entity/Character/PinchState.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/Animation.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "Entity/Scene/SimpLevel.h"
#include "Entity/Scene/SubEntity.h"
#include "Render/HardwareBufferManager.h"
#include "Render/RenderCore/IHardwareIndexBufferMngProxy_Impl.h"
#include "Render/RenderCore/IHardwareVertexBufferMngProxy_Impl.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/ManagerProxies.h"
#include "Render/RenderCore/AnimationWrappers.h"
#include "Render/RenderCore/ObjectProxies.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "Render/RenderCore/ZelTextBox.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/WidgetRenderImpl.h"
#include "Render/d3d9/RenderWindowD3D9.h"

namespace Zel {
namespace {

std::atomic<std::uint8_t> g_actorEnvironmentFlag{0};

RenderSystem* CurrentSystem() {
    SceneManager* scene = Globals::GetSingleton()->GetSceneManager();
    return scene ? scene->GetRenderSystem() : nullptr;
}

// A proxy the environment keeps: the host's Release leaves it alone, so nothing is freed twice.
template <class Proxy>
class EnvironmentOwned final : public Proxy {
public:
    using Proxy::Proxy;
    ~EnvironmentOwned() override = default;
    void Release() override {}
};

// The light wrappers handed to the host; the wrapper pool keeps no list of free lights worth
// showing.
class ILightFactoryProxy_Impl : public PoolProxyBase<ILightImplRC> {
public:
    ILightFactoryProxy_Impl()
        : PoolProxyBase<ILightImplRC>(WrapperPool<ILightImplRC>::Get().Objects(),
                                      WrapperPool<ILightImplRC>::Get().Lock()) {}
    ZelI::IInsList* GetFreeList() override { return nullptr; }

protected:
    ~ILightFactoryProxy_Impl() override = default;
};

template <class Manager>
void CollectThenPurge(Manager* manager) {
    if (!manager)
        return;
    manager->Collect();
    manager->Purge();
}

}  // namespace

// ---- Helpers of the manager proxies ----

ZelI::ISpecialEffectManager* CurrentSpecialEffectManager() {
    Globals* globals = Globals::GetExisting();
    IRenderImpl* render = globals ? globals->GetRenderInterface() : nullptr;
    return render ? render->GetSpecialEffectManager() : nullptr;
}

namespace {

class CopiedResInfo final : public IResInfo_Impl {
public:
    explicit CopiedResInfo(const ZelI::IResInfo& info)
        : IResInfo_Impl(info.GetName() ? info.GetName() : "", info.GetRefCount(), info.GetSize()) {}
};

}  // namespace

std::unique_ptr<IResList_Impl> CopyResList(const ZelI::IResList* list) {
    auto copy = std::make_unique<IResList_Impl>();
    if (!list)
        return copy;
    for (std::uint32_t i = 0; i < list->GetCount(); ++i)
        if (const ZelI::IResInfo* info = list->GetAt(i))
            copy->Add(std::make_unique<CopiedResInfo>(*info));
    return copy;
}

std::unique_ptr<IInsList_Impl> CopyInsList(const ZelI::IInsList* list) {
    auto copy = std::make_unique<IInsList_Impl>();
    if (!list)
        return copy;
    for (std::uint32_t i = 0; i < list->GetCount(); ++i) copy->Add(list->GetAt(i));
    return copy;
}

std::uint8_t GetActorEnvironmentFlag() {
    return g_actorEnvironmentFlag.load();
}

void CollectAllResources() {
    Globals* globals = Globals::GetSingleton();
    CollectThenPurge(globals->GetGeometryManager());
    if (HardwareBufferManager* buffers = globals->GetHardwareBufferManager())
        buffers->PurgeUnused();
    CollectThenPurge(globals->GetMaterialManager());
    CollectThenPurge(globals->GetGpuProgramManager());
    if (TextureManager* textures = globals->GetTextureManager())
        textures->PurgeUnused();
    CollectThenPurge(globals->GetImageManager());
    CollectThenPurge(globals->GetXMLManager());
    if (IRenderImpl* render = globals->GetRenderInterface())
        render->ReloadActions();
    CollectThenPurge(globals->GetSkeletonManager());
}

// ---- Window proxies ----

IRenderWndProxy_Impl::IRenderWndProxy_Impl(RenderWindow* window, RenderSystem* system,
                                           std::shared_ptr<void*> currentWindow)
    : window_(window), system_(system), currentWindow_(std::move(currentWindow)) {}

void* IRenderWndProxy_Impl::GetWindowHandle() {
    if (!window_)
        return nullptr;
    if (system_ && window_ == system_->GetMainWindow()) {
        IRenderImpl* render = Globals::GetSingleton()->GetRenderInterface();
        if (render && render->GetWindowHandle())
            return render->GetWindowHandle();
    }
    auto* d3d9 = dynamic_cast<RenderWindowD3D9*>(window_);
    return d3d9 ? d3d9->GetHostValue() : nullptr;
}

RenderWindow* IRenderWndProxy_Impl::DrawTarget() {
    void* current = *currentWindow_;
    void* handle = GetWindowHandle();
    if (current && current == handle)
        return system_ ? system_->GetMainWindow() : nullptr;
    if (current && !handle)
        return nullptr;
    return window_;
}

void IRenderWndProxy_Impl::BeginDraw() {
    if (RenderWindow* target = DrawTarget())
        target->Activate();
}

void IRenderWndProxy_Impl::EndDraw() {
    if (!endDrawing_)
        return;
    if (RenderWindow* target = DrawTarget())
        target->Present();
}

void IRenderWndProxy_Impl::Resize(std::uint32_t width, std::uint32_t height) {
    if (system_)
        system_->SetViewport(0, 0, width, height);
    if (window_)
        window_->Resize(width, height);
}

void IRenderWndProxy_Impl::MakeCurrent(bool on) {
    *currentWindow_ = on ? GetWindowHandle() : nullptr;
}

ZelI::IRenderWndProxy* IRenderProxy_Impl::GetMainWindow() {
    RenderSystem* system = CurrentSystem();
    return new (std::nothrow)
        IRenderWndProxy_Impl(system ? system->GetMainWindow() : nullptr, system, currentWindow_);
}

ZelI::IRenderWndProxy* IRenderProxy_Impl::CreateWindow(void* window, std::uint32_t width,
                                                       std::uint32_t height) {
    RenderSystem* system = CurrentSystem();
    RenderWindow* made = system ? system->CreateRenderWindow(window, width, height) : nullptr;
    if (!made)
        return nullptr;
    return new (std::nothrow) IRenderWndProxy_Impl(made, system, currentWindow_);
}

// ---- Loading-thread figures ----

IIOTaskInfo_Impl::IIOTaskInfo_Impl() : thread_(threadmng::GetInstance()->GetThread(0)) {}

std::uint32_t IIOTaskInfo_Impl::GetActiveCount() {
    return thread_ ? thread_->GetActiveCount() : 0;
}

std::uint32_t IIOTaskInfo_Impl::GetFinishedCount() {
    return thread_ ? thread_->GetFinishedCount() : 0;
}

// ---- Configuration and log proxies ----

namespace {

bool IsPreferExName(const char* name) {
    return name && std::strcmp(name, "EnableD3D9Ex") == 0;
}

}  // namespace

void IGlobalConfigProxyImpl::SetValue(const char* name, std::int32_t value) {
    GlobalConfigManager* config = Globals::GetSingleton()->GetConfigManager();
    if (config && IsPreferExName(name))
        config->SetValue(kPreferExSwitch, value);
}

std::int32_t IGlobalConfigProxyImpl::GetValue(const char* name) {
    GlobalConfigManager* config = Globals::GetSingleton()->GetConfigManager();
    return config && IsPreferExName(name) ? config->GetValue(kPreferExSwitch) : 0;
}

bool IGlobalConfigProxyImpl::LoadPinchConfig(bool male, const char* path) {
    return PinchState::LoadPinchConfig(male, path ? std::string(path) : std::string());
}

bool IGlobalConfigProxyImpl::LoadMakeupConfig(bool male, const char* path) {
    return MakeupState::LoadMakeupConfig(male, path);
}

ILogMngImpl* ILogMngImpl::Get() {
    static ILogMngImpl instance;
    return &instance;
}

std::uint32_t ILogMngImpl::GetSettings() {
    ZelLogMng* log = Globals::GetSingleton()->GetLogManager();
    if (!log)
        return 0;
    std::uint32_t bits = 0;
    for (int type = 0; type < LOG_TYPE_COUNT; ++type)
        if (log->IsTypeEnabled(type))
            bits |= 1u << type;
    return bits;
}

// ---- Action figures ----

const char* IActionInfoImpl::GetName() {
    return action_ ? action_->GetName().c_str() : nullptr;
}

std::uint32_t IActionInfoImpl::GetTrackCount() {
    ActionResource* resource = action_ ? action_->GetResource() : nullptr;
    return resource ? resource->GetTrackCount() : 0;
}

float IActionInfoImpl::GetLength() {
    return action_ ? action_->GetLength() : 0.0f;
}

std::uint32_t IActionInfoImpl::GetBoneStateCount() {
    return action_ ? action_->GetBoneStateCount() : 0;
}

std::uint32_t IActionInfoImpl::GetBoneKeyCount(std::uint32_t index) {
    if (!action_ || index >= action_->GetBoneStateCount())
        return 0;
    AnimationState* state = action_->GetBoneState(index);
    Animation* animation = state ? state->GetAnimation() : nullptr;
    return animation ? animation->GetRotationKeyCount() : 0;
}

// ---- The environment ----

IGlobalEnvironment_Impl::~IGlobalEnvironment_Impl() {
    for (Slot& slot : slots_)
        if (slot.object)
            slot.destroy(slot.object);
}

template <class Interface, class Proxy, class Source>
Interface* IGlobalEnvironment_Impl::Cached(int position, Source* source) {
    Slot& slot = slots_[position];
    if (!slot.object && source) {
        Interface* made = new (std::nothrow) EnvironmentOwned<Proxy>(source);
        slot.object = made;
        slot.destroy = [](void* object) {
            delete static_cast<EnvironmentOwned<Proxy>*>(static_cast<Interface*>(object));
        };
    }
    return static_cast<Interface*>(slot.object);
}

template <class Interface, class Proxy>
Interface* IGlobalEnvironment_Impl::CachedUnbound(int position) {
    Slot& slot = slots_[position];
    if (!slot.object) {
        Interface* made = new (std::nothrow) Proxy();
        slot.object = made;
        slot.destroy = [](void* object) {
            delete static_cast<Proxy*>(static_cast<Interface*>(object));
        };
    }
    return static_cast<Interface*>(slot.object);
}

#define ZEL_RES_PROXY(Method, Position, Getter, Manager)               \
    ZelI::IResMngProxy* IGlobalEnvironment_Impl::Method() {            \
        return Cached<ZelI::IResMngProxy, IResMngProxy_Impl<Manager>>( \
            Position, Globals::GetSingleton()->Getter());              \
    }
#define ZEL_POOL_PROXY(Method, Position, Getter)                                                 \
    ZelI::IInsFactoryProxy* IGlobalEnvironment_Impl::Method() {                                  \
        auto* factory = Globals::GetSingleton()->Getter();                                       \
        return Cached<ZelI::IInsFactoryProxy,                                                    \
                      IInsFactoryProxy_Impl<std::remove_pointer_t<decltype(factory)>>>(Position, \
                                                                                       factory); \
    }

ZEL_RES_PROXY(GetMaterialManager, 0, GetMaterialManager, MaterialManager)
ZEL_RES_PROXY(GetTextureManager, 1, GetTextureManager, TextureManager)
ZEL_RES_PROXY(GetActionManager, 3, GetActionManager, ActionManager)
ZEL_RES_PROXY(GetAnimationManager, 4, GetAnimationManager, AnimationManager)
ZEL_RES_PROXY(GetGpuProgramManager, 5, GetGpuProgramManager, GpuProgramManager)
ZEL_RES_PROXY(GetGeometryManager, 6, GetGeometryManager, GeometryManager)
ZEL_RES_PROXY(GetImageManager, 7, GetImageManager, ImageManager)
ZEL_RES_PROXY(GetXmlManager, 8, GetXMLManager, XMLManager)
ZEL_RES_PROXY(GetSkeletonManager, 12, GetSkeletonManager, SkeletonManager)
ZEL_POOL_PROXY(GetSceneNodeFactory, 13, GetSceneNodeFactory)
ZEL_POOL_PROXY(GetEntityFactory, 14, GetEntityFactory)
ZEL_POOL_PROXY(GetSubEntityFactory, 15, GetSubEntityFactory)
ZEL_POOL_PROXY(GetBoneFactory, 16, GetBoneFactory)
ZEL_POOL_PROXY(GetSimpLevelFactory, 17, GetSimpLevelFactory)
ZEL_POOL_PROXY(GetActionFactory, 18, GetActionFactory)
ZEL_POOL_PROXY(GetParticleFactory, 19, GetParticleFactory)
ZEL_POOL_PROXY(GetParticleInstanceFactory, 20, GetParticleInstanceFactory)
ZEL_POOL_PROXY(GetSceneManager, 21, GetSceneManager)
ZEL_POOL_PROXY(GetLevelFactory, 22, GetLevelFactory)
ZEL_POOL_PROXY(GetSkeletonModelFactory, 23, GetSkeletonModelFactory)
ZEL_POOL_PROXY(GetActorFactory, 24, GetActorFactory)
ZEL_POOL_PROXY(GetNewActorFactory, 25, GetNewActorFactory)
ZEL_POOL_PROXY(GetDeformedModelFactory, 26, GetDeformedModelFactory)
ZEL_POOL_PROXY(GetBillBoardFactory, 27, GetBillBoardFactory)

#undef ZEL_RES_PROXY
#undef ZEL_POOL_PROXY

ZelI::IResMngProxy* IGlobalEnvironment_Impl::GetRenderTargetManager() {
    return Cached<ZelI::IResMngProxy, IRenderTargetMngProxy_Impl<TextureManager>>(
        2, Globals::GetSingleton()->GetTextureManager());
}

ZelI::IResMngProxy* IGlobalEnvironment_Impl::GetEffectManager() {
    return CachedUnbound<ZelI::IResMngProxy,
                         EnvironmentOwned<IEffMngProxy_Impl<ZelI::ISpecialEffectManager>>>(9);
}

ZelI::IHardWareResMngProxy* IGlobalEnvironment_Impl::GetIndexBufferManager() {
    return Cached<ZelI::IHardWareResMngProxy,
                  IHardwareIndexBufferMngProxy_Impl<HardwareBufferManager>>(
        10, Globals::GetSingleton()->GetHardwareBufferManager());
}

ZelI::IHardWareResMngProxy* IGlobalEnvironment_Impl::GetVertexBufferManager() {
    return Cached<ZelI::IHardWareResMngProxy,
                  IHardwareVertexBufferMngProxy_Impl<HardwareBufferManager>>(
        11, Globals::GetSingleton()->GetHardwareBufferManager());
}

ZelI::IInsFactoryProxy* IGlobalEnvironment_Impl::GetLightFactory() {
    return CachedUnbound<ZelI::IInsFactoryProxy, EnvironmentOwned<ILightFactoryProxy_Impl>>(28);
}

ZelI::IEffFactoryProxy* IGlobalEnvironment_Impl::GetEffectFactory() {
    return CachedUnbound<ZelI::IEffFactoryProxy,
                         EnvironmentOwned<IEffFactoryProxy_Impl<ZelI::ISpecialEffectManager>>>(29);
}

ZelI::IIOTaskInfo* IGlobalEnvironment_Impl::GetIOTaskInfo() {
    return CachedUnbound<ZelI::IIOTaskInfo, IIOTaskInfo_Impl>(30);
}

std::uint8_t IGlobalEnvironment_Impl::SetActorFlag(std::uint8_t flag) {
    g_actorEnvironmentFlag.store(flag);
    // The flag is the host's request to leave the snapshot shaders installed after a snapshot.
    ActorTemplates::SetKeepSnapshotShaders(flag != 0);
    return flag;
}

void IGlobalEnvironment_Impl::CollectResources() {
    CollectAllResources();
}

void IGlobalEnvironment_Impl::OnLostDevice() {
    if (RenderSystem* system = CurrentSystem())
        system->OnLostDevice();
}

void IGlobalEnvironment_Impl::OnResetDevice() {
    if (RenderSystem* system = CurrentSystem())
        system->OnResetDevice();
}

ZelI::IGlobalConfigProxy* IGlobalEnvironment_Impl::GetGlobalConfig() {
    return CachedUnbound<ZelI::IGlobalConfigProxy, IGlobalConfigProxyImpl>(35);
}

void IGlobalEnvironment_Impl::ReleaseActionTrees() {
    if (ActionManager* actions = Globals::GetSingleton()->GetActionManager())
        actions->ReleaseActionTrees();
}

// ---- The factory ----

namespace {

// The factories alive now, for ReleaseProxyFactoryDrawing.
std::mutex g_liveProxyFactoriesLock;
std::set<IProxyFactory_Impl*> g_liveProxyFactories;

}  // namespace

void ReleaseProxyFactoryDrawing() {
    std::lock_guard<std::mutex> lock(g_liveProxyFactoriesLock);
    for (IProxyFactory_Impl* factory : g_liveProxyFactories) factory->ReleaseWidgetRender();
}

IProxyFactory_Impl::IProxyFactory_Impl() {
    std::lock_guard<std::mutex> lock(g_liveProxyFactoriesLock);
    g_liveProxyFactories.insert(this);
}

IProxyFactory_Impl::~IProxyFactory_Impl() {
    std::lock_guard<std::mutex> lock(g_liveProxyFactoriesLock);
    g_liveProxyFactories.erase(this);
}

void IProxyFactory_Impl::ReleaseWidgetRender() {
    widgetRender_.reset();
}

ZelI::IGlobalEnvironment* IProxyFactory_Impl::GetGlobalEnvironment() {
    if (!environment_)
        environment_.reset(new (std::nothrow) IGlobalEnvironment_Impl());
    return environment_.get();
}

ZelI::IRenderProxy* IProxyFactory_Impl::GetRenderProxy() {
    if (!renderProxy_)
        renderProxy_.reset(new (std::nothrow) IRenderProxy_Impl());
    return renderProxy_.get();
}

ZelI::IModelProxy* IProxyFactory_Impl::CreateModelProxy(ZelI::IModel* model) {
    return new (std::nothrow) IModelProxyImpl(model);
}

ZelI::ISklModelProxy* IProxyFactory_Impl::CreateSklModelProxy(ZelI::ISkeletonModel* model) {
    return new (std::nothrow) ISklModelProxyImpl(model);
}

ZelI::IActorProxy* IProxyFactory_Impl::CreateActorProxy(ZelI::IActor* actor) {
    return new (std::nothrow) IActorProxyImpl(actor);
}

ZelI::IActorProxy* IProxyFactory_Impl::CreateNewActorProxy(ZelI::IActor* actor) {
    return new (std::nothrow) INewActorProxyImpl(actor);
}

// An unbound or foreign wrapper gives an object over no action: its figures are 0.
ZelI::IActionInfo* IProxyFactory_Impl::CreateActionInfo(ZelI::IAction* action) {
    return new (std::nothrow) IActionInfoImpl(UnwrapInterface<Action>(action));
}

ZelI::IWidgetRender* IProxyFactory_Impl::GetWidgetRender() {
    if (!widgetRender_)
        widgetRender_.reset(new (std::nothrow) WidgetRenderImpl());
    return widgetRender_.get();
}

// The render system's own: not owned by the factory or the caller.
ZelI::IAuxRender* IProxyFactory_Impl::GetAuxRender() {
    RenderSystem* system = CurrentSystem();
    return system ? system->GetAuxRenderer() : nullptr;
}

// A missing corner is the origin.
ZelI::IWidgetAABB* IProxyFactory_Impl::CreateWidgetAABB(const float* minimum,
                                                        const float* maximum) {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    return new (std::nothrow)
        WidgetAABBImpl(minimum ? minimum : origin, maximum ? maximum : origin);
}

ZelI::IZelTextBox* IProxyFactory_Impl::CreateTextBox(std::int32_t x, std::int32_t y,
                                                     std::int32_t width, std::int32_t height) {
    auto* box = new (std::nothrow) IZelTextBoxImpl();
    if (box)
        box->SetRect(x, y, width, height);
    return box;
}

ZelI::ICommandSystem* IProxyFactory_Impl::GetCommandSystem() {
    return Globals::GetSingleton()->GetCommandSystem();
}

ZelI::IDebugConsole* IProxyFactory_Impl::GetDebugConsole() {
    return Globals::GetSingleton()->GetDebugConsole();
}

ZelI::ILogMng* IProxyFactory_Impl::GetLogManager() {
    return ILogMngImpl::Get();
}

}  // namespace Zel
