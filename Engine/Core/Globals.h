// The one library-wide service object. It owns every manager, factory, pool and shared record of
// the library from Init to Shutdown; every subsystem reaches its collaborators through
// GetSingleton (or GetExisting) and one getter.
//
// Init builds everything in one fixed order; the singleton pointer is stored before Init runs, so
// objects built by Init may reach Globals (and what was built before them) from their
// constructors. Nothing built before the log manager logs from its constructor. Shutdown destroys
// the holders of resources before the managers of those resources, and the log manager and the
// error reporter last; afterwards every getter answers null, and a second Shutdown or a later
// Init does nothing.
//
// Threads: GetSingleton, Init and Shutdown run on the host's thread (the first call before any
// worker exists); the getters are plain reads, callable from any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ZelI {
struct SystemInfo;
}

namespace Zel {

template <class T>
class Factory;
class Action;
class ActionManager;
class Actor;
class ActorBodyTexture;
class ActorIdCounter;
class ActorTemplates;
class AnimationManager;
class BillBoard;
class Bone;
class BoneStatePool;
class CommandSystem;
class CResourceGroupManager;
class Decal;
class DebugConsole;
class DebugHelperImpl;
class DeformedModel;
class DeformedSkeletonModel;
class Entity;
class GeometryManager;
class GlobalConfigManager;
class GpuProgramManager;
class GraphicsAPIManagerD3D9;
class HardwareBufferManager;
class IFrameProfilerImpl;
class IGlobalConfigImpl;
class ImageManager;
class IRenderImpl;
class Level;
class MaterialManager;
class MeshSerializer;
class NewActor;
class ParticleInstance;
class ParticleVB;
class PhysicsWorld;
class RenderResourceRegistry;
class SceneManager;
class SceneNode;
class SimpLevel;
class SkeletonManager;
class SkeletonModel;
class SubEntity;
class TextureManager;
class Timer;
class XMLManager;
class CResourceManager;
class ZelLogMng;
class ZelTextBoxManager;
struct ConsoleTextBuffer;
struct DeviceCaps;
struct FrameStats;
struct ProcessorCaps;

class Globals final {
public:
    // The one Globals; the first call builds it and runs Init.
    static Globals* GetSingleton();
    // The one Globals when it has been built, else null; never builds it. For code that may run
    // before the library starts or after it is torn down (logging, reports, destructors).
    static Globals* GetExisting();
    // Shuts the one Globals down (when that has not happened) and deletes it, so that the next
    // GetSingleton builds a new one. The library calls it when it is unloaded; tests call it to
    // start afresh.
    static void DeleteSingleton();
    // What one getter answers on the existing Globals; null while there is none, so code that may
    // run before Init or after Shutdown asks this way: Globals::Find(&Globals::GetLogManager).
    template <class T>
    static T* Find(T* (Globals::*getter)()) {
        Globals* globals = GetExisting();
        return globals ? (globals->*getter)() : nullptr;
    }

    Globals(const Globals&) = delete;
    Globals& operator=(const Globals&) = delete;

    // Builds every member, once.
    virtual void Init();
    // Destroys every member, once. Called from inside the worker's pump (where the worker cannot
    // be stopped) it destroys only the render interface, logs an error and can be called again.
    virtual void Shutdown();

    // One line per object factory, "<Kind>Factory : Used=%u, UnUsed=%u,total=%u", in the
    // instance report's order; answers the bytes of every pooled object together.
    std::uint64_t WriteFactoryReport(std::FILE* file);
    // Bytes of one pooled entity.
    static std::size_t GetEntityObjectSize();
    // The resource managers the resource report lists after the texture manager, in its order:
    // image, geometry, action, material, GPU program, animation and XML managers (those that
    // exist). Not owned.
    std::vector<CResourceManager*> GetReportedResourceManagers();
    virtual ActionManager* GetActionManager() { return actionManager_.get(); }
    virtual ActorBodyTexture* GetActorBodyTexture() { return actorBodyTexture_.get(); }
    virtual ActorIdCounter* GetActorIdCounter() { return actorIdCounter_.get(); }
    virtual AnimationManager* GetAnimationManager() { return animationManager_.get(); }
    virtual Factory<SceneNode>* GetSceneNodeFactory() { return sceneNodeFactory_.get(); }
    virtual SkeletonManager* GetSkeletonManager() { return skeletonManager_.get(); }
    virtual Factory<Entity>* GetEntityFactory() { return entityFactory_.get(); }
    virtual Factory<SubEntity>* GetSubEntityFactory() { return subEntityFactory_.get(); }
    virtual Factory<Level>* GetLevelFactory() { return levelFactory_.get(); }
    virtual Factory<SimpLevel>* GetSimpLevelFactory() { return simpLevelFactory_.get(); }
    virtual Factory<Bone>* GetBoneFactory() { return boneFactory_.get(); }
    virtual Factory<Action>* GetActionFactory() { return actionFactory_.get(); }
    virtual Factory<SkeletonModel>* GetSkeletonModelFactory() {
        return skeletonModelFactory_.get();
    }
    virtual Factory<Actor>* GetActorFactory() { return actorFactory_.get(); }
    virtual Factory<NewActor>* GetNewActorFactory() { return newActorFactory_.get(); }
    virtual Factory<DeformedModel>* GetDeformedModelFactory() {
        return deformedModelFactory_.get();
    }
    virtual Factory<BillBoard>* GetBillBoardFactory() { return billBoardFactory_.get(); }
    virtual Factory<Decal>* GetDecalFactory() { return decalFactory_.get(); }
    virtual Factory<ParticleVB>* GetParticleFactory() { return particleFactory_.get(); }
    virtual Factory<ParticleInstance>* GetParticleInstanceFactory() {
        return particleInstanceFactory_.get();
    }
    virtual Factory<DeformedSkeletonModel>* GetDeformedSkeletonModelFactory() {
        return deformedSkeletonModelFactory_.get();
    }
    virtual BoneStatePool* GetBoneStatePool() { return boneStatePool_.get(); }
    // "../Resources/Media/Shaders/", the directory model files and level parts are joined to.
    virtual const std::string* GetShaderPath() { return shaderPath_.get(); }
    virtual GeometryManager* GetGeometryManager() { return geometryManager_.get(); }
    virtual GpuProgramManager* GetGpuProgramManager() { return gpuProgramManager_.get(); }
    virtual HardwareBufferManager* GetHardwareBufferManager() {
        return hardwareBufferManager_.get();
    }
    virtual ImageManager* GetImageManager() { return imageManager_.get(); }
    virtual MaterialManager* GetMaterialManager() { return materialManager_.get(); }
    virtual MeshSerializer* GetMeshSerializer() { return meshSerializer_.get(); }
    virtual RenderResourceRegistry* GetRenderResourceRegistry() {
        return renderResourceRegistry_.get();
    }
    virtual SceneManager* GetSceneManager() { return sceneManager_.get(); }
    virtual TextureManager* GetTextureManager() { return textureManager_.get(); }
    virtual XMLManager* GetXMLManager() { return xmlManager_.get(); }
    virtual ZelTextBoxManager* GetTextBoxManager() { return textBoxManager_.get(); }
    virtual IFrameProfilerImpl* GetFrameProfiler() { return frameProfiler_.get(); }
    virtual IGlobalConfigImpl* GetGlobalConfigImpl() { return globalConfigImpl_.get(); }
    virtual PhysicsWorld* GetPhysicsWorld() { return physicsWorld_.get(); }
    virtual GraphicsAPIManagerD3D9* GetGraphicsAPIManager() { return graphicsAPIManager_.get(); }
    virtual CResourceGroupManager* GetResourceGroupManager() { return resourceGroupManager_.get(); }
    virtual GlobalConfigManager* GetConfigManager() { return configManager_.get(); }
    virtual CommandSystem* GetCommandSystem() { return commandSystem_.get(); }
    virtual DeviceCaps* GetDeviceCaps() { return deviceCaps_.get(); }
    virtual FrameStats* GetFrameStats() { return frameStats_.get(); }
    // The render interface handed to the host as ZelI::IRender.
    virtual IRenderImpl* GetRenderInterface() { return renderInterface_.get(); }
    // Destroys the render interface; nothing when there is none.
    virtual void ReleaseRenderInterface();
    virtual ZelLogMng* GetLogManager() { return logManager_.get(); }
    virtual DebugHelperImpl* GetDebugHelper() { return debugHelper_.get(); }
    virtual ActorTemplates* GetActorTemplates() { return actorTemplates_.get(); }
    virtual Timer* GetTimer() { return timer_.get(); }
    virtual DebugConsole* GetDebugConsole() { return debugConsole_.get(); }
    virtual ConsoleTextBuffer* GetConsoleTextBuffer() { return consoleTextBuffer_.get(); }
    virtual ZelI::SystemInfo* GetSystemInfo() { return systemInfo_.get(); }

    // The processor capability record (SSE and MMX flags for the vector paths).
    ProcessorCaps* GetProcessorCaps() { return processorCaps_.get(); }
    // The scene manager's current frame id; 0 without a scene manager.
    std::uint32_t GetFrameId();
    bool IsInitialised() const { return initialised_; }
    bool IsShutDown() const { return shutDown_; }

    // The first scene shutdown stage, right after the render interface is destroyed: stops the
    // worker thread (giving up the caller's holds on the main lock meanwhile) and releases what
    // the scene holds. False, with nothing released, when the worker refused to stop (a call
    // from inside its pump).
    bool ShutdownSceneGlobals();
    // The second stage, after the scene objects' factories are destroyed: empties the physics
    // world and releases the scene's caches.
    void ShutdownPhysicsAndCaches();

private:
    // The group registry and the host's configuration interface exist from construction: the
    // managers built by Init register with the first.
    Globals();
    ~Globals();

    std::unique_ptr<CResourceGroupManager> resourceGroupManager_;
    std::unique_ptr<ActionManager> actionManager_;
    std::unique_ptr<ActorBodyTexture> actorBodyTexture_;
    std::unique_ptr<ActorIdCounter> actorIdCounter_;
    std::unique_ptr<AnimationManager> animationManager_;
    std::unique_ptr<Factory<SceneNode>> sceneNodeFactory_;
    std::unique_ptr<SkeletonManager> skeletonManager_;
    std::unique_ptr<Factory<Entity>> entityFactory_;
    std::unique_ptr<Factory<SubEntity>> subEntityFactory_;
    std::unique_ptr<Factory<Level>> levelFactory_;
    std::unique_ptr<Factory<SimpLevel>> simpLevelFactory_;
    std::unique_ptr<Factory<Bone>> boneFactory_;
    std::unique_ptr<Factory<Action>> actionFactory_;
    std::unique_ptr<Factory<SkeletonModel>> skeletonModelFactory_;
    std::unique_ptr<Factory<Actor>> actorFactory_;
    std::unique_ptr<Factory<NewActor>> newActorFactory_;
    std::unique_ptr<Factory<DeformedModel>> deformedModelFactory_;
    std::unique_ptr<Factory<BillBoard>> billBoardFactory_;
    std::unique_ptr<Factory<Decal>> decalFactory_;
    std::unique_ptr<Factory<ParticleVB>> particleFactory_;
    std::unique_ptr<Factory<ParticleInstance>> particleInstanceFactory_;
    std::unique_ptr<Factory<DeformedSkeletonModel>> deformedSkeletonModelFactory_;
    std::unique_ptr<BoneStatePool> boneStatePool_;
    std::unique_ptr<std::string> shaderPath_;
    std::unique_ptr<GeometryManager> geometryManager_;
    std::unique_ptr<GpuProgramManager> gpuProgramManager_;
    std::unique_ptr<HardwareBufferManager> hardwareBufferManager_;
    std::unique_ptr<ImageManager> imageManager_;
    std::unique_ptr<MaterialManager> materialManager_;
    std::unique_ptr<MeshSerializer> meshSerializer_;
    std::unique_ptr<RenderResourceRegistry> renderResourceRegistry_;
    std::unique_ptr<SceneManager> sceneManager_;
    std::unique_ptr<TextureManager> textureManager_;
    std::unique_ptr<XMLManager> xmlManager_;
    std::unique_ptr<ZelTextBoxManager> textBoxManager_;
    std::unique_ptr<IFrameProfilerImpl> frameProfiler_;
    std::unique_ptr<IGlobalConfigImpl> globalConfigImpl_;
    std::unique_ptr<PhysicsWorld> physicsWorld_;
    std::unique_ptr<GraphicsAPIManagerD3D9> graphicsAPIManager_;
    std::unique_ptr<GlobalConfigManager> configManager_;
    std::unique_ptr<CommandSystem> commandSystem_;
    std::unique_ptr<DeviceCaps> deviceCaps_;
    std::unique_ptr<FrameStats> frameStats_;
    std::unique_ptr<IRenderImpl> renderInterface_;
    std::unique_ptr<ZelLogMng> logManager_;
    std::unique_ptr<DebugHelperImpl> debugHelper_;
    std::unique_ptr<ActorTemplates> actorTemplates_;
    std::unique_ptr<Timer> timer_;
    std::unique_ptr<DebugConsole> debugConsole_;
    std::unique_ptr<ConsoleTextBuffer> consoleTextBuffer_;
    std::unique_ptr<ZelI::SystemInfo> systemInfo_;
    std::unique_ptr<ProcessorCaps> processorCaps_;
    bool initialised_ = false;
    bool shutDown_ = false;
};

}  // namespace Zel
