#include "Core/Globals.h"

#include "Core/ActorIdCounter.h"
#include "Core/CResourceGroupManager.h"
#include "Core/CommandSystem.h"
#include "Core/ConsoleTextBuffer.h"
#include "Core/DebugConsole.h"
#include "Core/DebugHelperImpl.h"
#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/LogDispatch.h"
#include "Core/ProcessorCaps.h"
#include "Core/Timer.h"
#include "Core/XMLManager.h"
#include "Core/ZelLogMng.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorBodyTexture.h"
#include "Entity/Character/ActorTemplates.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneStatePool.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Scene/Level.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "Entity/Scene/SimpLevel.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureCombiner.h"
#include "Entity/Texture/TextureManager.h"
#include "Interface/SystemInfo.h"
#include "Physics/PhysicsWorld.h"
#include "Render/HardwareBufferManager.h"
#include "Render/RenderCore/IFrameProfilerImpl.h"
#include "Render/RenderCore/IGlobalConfigImpl.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "Render/RenderCore/ZelTextBoxManager.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

namespace Zel {
namespace {
Globals* g_singleton = nullptr;
}  // namespace

Globals* Globals::GetSingleton() {
    if (!g_singleton) {
        // Stored before Init so that what Init builds can reach Globals from its constructor.
        g_singleton = new Globals();
        g_singleton->Init();
    }
    return g_singleton;
}

Globals* Globals::GetExisting() {
    return g_singleton;
}

void Globals::DeleteSingleton() {
    if (!g_singleton)
        return;
    g_singleton->Shutdown();
    delete g_singleton;
    g_singleton = nullptr;
}

Globals::Globals()
    : resourceGroupManager_(std::make_unique<CResourceGroupManager>()),
      globalConfigImpl_(std::make_unique<IGlobalConfigImpl>()) {}

Globals::~Globals() = default;

void Globals::Init() {
    if (initialised_)
        return;
    renderResourceRegistry_ = std::make_unique<RenderResourceRegistry>();
    textureManager_ = std::make_unique<TextureManager>();
    commandSystem_ = std::make_unique<CommandSystem>();
    // Its defaults fill the command table built just before.
    configManager_ = std::make_unique<GlobalConfigManager>();
    actionManager_ = std::make_unique<ActionManager>();
    actorBodyTexture_ = std::make_unique<ActorBodyTexture>();
    actorIdCounter_ = std::make_unique<ActorIdCounter>();
    animationManager_ = std::make_unique<AnimationManager>();
    sceneNodeFactory_ = std::make_unique<Factory<SceneNode>>();
    entityFactory_ = std::make_unique<Factory<Entity>>();
    subEntityFactory_ = std::make_unique<Factory<SubEntity>>();
    skeletonManager_ = std::make_unique<SkeletonManager>();
    levelFactory_ = std::make_unique<Factory<Level>>();
    simpLevelFactory_ = std::make_unique<Factory<SimpLevel>>();
    boneFactory_ = std::make_unique<Factory<Bone>>();
    actionFactory_ = std::make_unique<Factory<Action>>();
    skeletonModelFactory_ = std::make_unique<Factory<SkeletonModel>>();
    xmlManager_ = std::make_unique<XMLManager>();
    // Actors take their ids from the counter built above.
    actorFactory_ = std::make_unique<Factory<Actor>>();
    newActorFactory_ = std::make_unique<Factory<NewActor>>();
    deformedModelFactory_ = std::make_unique<Factory<DeformedModel>>();
    billBoardFactory_ = std::make_unique<Factory<BillBoard>>();
    decalFactory_ = std::make_unique<Factory<Decal>>();
    particleFactory_ = std::make_unique<Factory<ParticleVB>>();
    particleInstanceFactory_ = std::make_unique<Factory<ParticleInstance>>();
    deformedSkeletonModelFactory_ = std::make_unique<Factory<DeformedSkeletonModel>>();
    boneStatePool_ = std::make_unique<BoneStatePool>();
    shaderPath_ = std::make_unique<std::string>("../Resources/Media/Shaders/");
    geometryManager_ = std::make_unique<GeometryManager>();
    gpuProgramManager_ = std::make_unique<GpuProgramManager>();
    hardwareBufferManager_ = std::make_unique<HardwareBufferManager>();
    imageManager_ = std::make_unique<ImageManager>();
    materialManager_ = std::make_unique<MaterialManager>();
    meshSerializer_ = std::make_unique<MeshSerializer>();
    sceneManager_ = std::make_unique<SceneManager>();
    textBoxManager_ = std::make_unique<ZelTextBoxManager>();
    frameProfiler_ = std::make_unique<IFrameProfilerImpl>();
    physicsWorld_ = std::make_unique<PhysicsWorld>();
    graphicsAPIManager_ = std::make_unique<GraphicsAPIManagerD3D9>();
    deviceCaps_ = std::make_unique<DeviceCaps>();
    frameStats_ = std::make_unique<FrameStats>();
    processorCaps_ = std::make_unique<ProcessorCaps>();
    consoleTextBuffer_ = std::make_unique<ConsoleTextBuffer>();
    // From here on the library may log.
    logManager_ = std::make_unique<ZelLogMng>();
    logManager_->OpenLogFile();
    debugHelper_ = std::make_unique<DebugHelperImpl>();
    debugHelper_->SetLogManager(logManager_.get());
    actorTemplates_ = std::make_unique<ActorTemplates>();
    renderInterface_ = std::make_unique<IRenderImpl>();
    timer_ = std::make_unique<Timer>();
    systemInfo_ = std::make_unique<ZelI::SystemInfo>();
    // Last: everything the console reaches (commands, switches, log) exists by now. Its window
    // is made later, by DebugConsole::Create.
    debugConsole_ = std::make_unique<DebugConsole>(*consoleTextBuffer_);
    initialised_ = true;
}

void Globals::Shutdown() {
    if (!initialised_ || shutDown_)
        return;
    shutDown_ = true;

    // The host's interface goes first; then the holders of resources (templates, pooled scene
    // objects, the scene, the physics world) before the managers of those resources.
    renderInterface_.reset();
    ReleaseProxyFactoryDrawing();
    if (!ShutdownSceneGlobals()) {
        // A worker still running may step into any manager, so none of them goes. A later
        // Shutdown from outside the pump finishes the work.
        LogError("Globals::Shutdown: worker 0 could not be stopped, the managers stay");
        shutDown_ = false;
        return;
    }
    actorTemplates_.reset();
    // Characters and models before the pieces they are built from.
    actorFactory_.reset();
    newActorFactory_.reset();
    deformedSkeletonModelFactory_.reset();
    skeletonModelFactory_.reset();
    deformedModelFactory_.reset();
    billBoardFactory_.reset();
    decalFactory_.reset();
    simpLevelFactory_.reset();
    levelFactory_.reset();
    entityFactory_.reset();
    particleInstanceFactory_.reset();
    particleFactory_.reset();
    subEntityFactory_.reset();
    sceneNodeFactory_.reset();
    // Skinned geometries hold pooled actions: they give them back before the pool goes.
    if (geometryManager_)
        geometryManager_->RemoveAll();
    actionFactory_.reset();
    boneFactory_.reset();
    boneStatePool_.reset();
    actorBodyTexture_.reset();
    ShutdownPhysicsAndCaches();
    sceneManager_.reset();
    physicsWorld_.reset();

    // Managers, users before what they use: geometry holds materials, materials hold programs
    // and textures, images hold textures; the device maker outlives every device object.
    meshSerializer_.reset();
    geometryManager_.reset();
    materialManager_.reset();
    actionManager_.reset();
    animationManager_.reset();
    skeletonManager_.reset();
    xmlManager_.reset();
    gpuProgramManager_.reset();
    hardwareBufferManager_.reset();
    imageManager_.reset();
    textureManager_.reset();
    textBoxManager_.reset();
    graphicsAPIManager_.reset();
    renderResourceRegistry_.reset();
    resourceGroupManager_.reset();

    actorIdCounter_.reset();
    shaderPath_.reset();
    frameProfiler_.reset();
    globalConfigImpl_.reset();
    debugConsole_.reset();
    consoleTextBuffer_.reset();
    commandSystem_.reset();
    deviceCaps_.reset();
    frameStats_.reset();
    processorCaps_.reset();
    timer_.reset();
    systemInfo_.reset();
    // Every destructor above may still read the switches.
    configManager_.reset();
    // The reporter writes through the log manager; both go after everything that can log.
    debugHelper_.reset();
    logManager_.reset();
}

namespace {

template <class T>
std::uint64_t WriteFactoryLine(std::FILE* file, const char* name, Factory<T>* factory) {
    std::uint32_t used = 0, unused = 0;
    if (factory) {
        factory->GetLock().Enter();
        used = std::uint32_t(factory->GetPool().GetInUseCount());
        unused = std::uint32_t(factory->GetPool().GetFreeCount());
        factory->GetLock().Leave();
    }
    const std::uint64_t total = std::uint64_t(used + unused) * sizeof(T);
    std::fprintf(file, "%sFactory : Used=%u, UnUsed=%u,total=%u\n", name, used, unused,
                 unsigned(total));
    return total;
}

}  // namespace

std::uint64_t Globals::WriteFactoryReport(std::FILE* file) {
    std::uint64_t total = 0;
    total += WriteFactoryLine(file, "SceneNode", sceneNodeFactory_.get());
    total += WriteFactoryLine(file, "Entity", entityFactory_.get());
    total += WriteFactoryLine(file, "SubEntity", subEntityFactory_.get());
    total += WriteFactoryLine(file, "Level", levelFactory_.get());
    total += WriteFactoryLine(file, "SimpLevel", simpLevelFactory_.get());
    total += WriteFactoryLine(file, "Bone", boneFactory_.get());
    total += WriteFactoryLine(file, "Action", actionFactory_.get());
    total += WriteFactoryLine(file, "SkeletonModel", skeletonModelFactory_.get());
    total += WriteFactoryLine(file, "Actor", actorFactory_.get());
    total += WriteFactoryLine(file, "NewActor", newActorFactory_.get());
    total += WriteFactoryLine(file, "DeformedModel", deformedModelFactory_.get());
    total += WriteFactoryLine(file, "BillBoard", billBoardFactory_.get());
    total += WriteFactoryLine(file, "Particle", particleFactory_.get());
    total += WriteFactoryLine(file, "ParticleInstance", particleInstanceFactory_.get());
    total += WriteFactoryLine(file, "DeformedSkeletonModel", deformedSkeletonModelFactory_.get());
    return total;
}

std::vector<CResourceManager*> Globals::GetReportedResourceManagers() {
    std::vector<CResourceManager*> managers;
    for (CResourceManager* manager : {static_cast<CResourceManager*>(imageManager_.get()),
                                      static_cast<CResourceManager*>(geometryManager_.get()),
                                      static_cast<CResourceManager*>(actionManager_.get()),
                                      static_cast<CResourceManager*>(materialManager_.get()),
                                      static_cast<CResourceManager*>(gpuProgramManager_.get()),
                                      static_cast<CResourceManager*>(animationManager_.get()),
                                      static_cast<CResourceManager*>(xmlManager_.get())})
        if (manager)
            managers.push_back(manager);
    return managers;
}

std::size_t Globals::GetEntityObjectSize() {
    return sizeof(Entity);
}

void Globals::ReleaseRenderInterface() {
    renderInterface_.reset();
}

std::uint32_t Globals::GetFrameId() {
    return sceneManager_ ? sceneManager_->GetFrameId() : 0;
}

bool Globals::ShutdownSceneGlobals() {
    // The worker finishes what is queued before the scene's objects go. The scene's own release
    // steps come with the scene.
    if (threadio* worker = threadmng::GetInstance()->GetThread(0)) {
        // A host tearing down from inside a guarded section would keep the worker from the main
        // lock it needs for its last steps: the caller's holds are given up for the stop and
        // taken back after, so its guards still balance.
        locksection* mainLock = threadmng::GetInstance()->GetLock(threadmng::kMainLock);
        const int holds = mainLock->LeaveAll();
        const std::int32_t stopped = worker->Stop();
        mainLock->ReenterAll(holds);
        if (stopped != 0)
            return false;
    }
    // Lights, nodes, entities and cameras go while the pooled nodes they hang from still exist;
    // the texture combiner's material while its manager still exists.
    if (sceneManager_)
        sceneManager_->ShutdownSceneGlobals();
    else
        ReleaseStaticTextures();
    return true;
}

void Globals::ShutdownPhysicsAndCaches() {
    // The render system's device goes here, after the texture, image and buffer managers'
    // objects have let go of it.
    if (sceneManager_)
        sceneManager_->ShutdownPhysicsAndCaches();
    if (physicsWorld_) {
        physicsWorld_->Shutdown();
        physicsWorld_->Clear();
    }
}

}  // namespace Zel
