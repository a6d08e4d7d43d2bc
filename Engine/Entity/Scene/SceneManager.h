// The scene: the root of the transform tree, the registries of every node and entity it made,
// the lists of its lights and cameras, the current level, the view and projection stacks of the
// frame and the per-frame checks the host's frame calls run. Globals builds the one instance
// (after the factories it takes objects from) and destroys it after the scene shutdown stages.
//
// Threads: the registries and the two lists have a lock each, since loading tasks on the worker
// create and release entities through the same calls; the manager never holds two of them at
// once. Everything else runs on the host's thread.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Core/Object.h"
#include "Core/Timer.h"
#include "Core/locksection.h"
#include "Entity/Scene/MatrixStack.h"
#include "Entity/Scene/RenderCorePipeline.h"

namespace ZelI {
class ILevel;
}  // namespace ZelI

namespace Zel {

class BillBoard;
class Camera;
class Decal;
class DeformedModel;
class DeformedSkeletonModel;
class Entity;
template <class T>
class Factory;
class Frustum;
class Globals;
class IInsList_Impl;
class Level;
class Light;
class Material;
class Pass;
class Renderable;
class RenderableGroup;
class RenderQueue;
class RenderSystem;
class SceneNode;
class SimpLevel;
class SkeletonModel;
class Actor;
class NewActor;
struct DecalSource;
struct DisplaySettings;

// 0 off, 1 hard, 2 soft (blurred shadow map), 3 fake.
enum ShadowQuality : std::int32_t {
    SHADOW_OFF = 0,
    SHADOW_HARD = 1,
    SHADOW_SOFT = 2,
    SHADOW_FAKE = 3,
};

class SceneManager : public Object {
public:
    // A create or release listener: (object, calling thread id).
    using Listener = void (*)(void* object, std::uint32_t threadId);

    // Makes the root node "Root" (registered like any node), writes the scene's seven switch
    // defaults and sets the shadow quality to fake.
    SceneManager();
    // Deletes the cameras and lights still listed; pooled objects belong to their factories.
    ~SceneManager() override;
    ZEL_CLASS_ID(SceneManager)

    // ---- Nodes and entities --------------------------------------------------------------------
    // Each takes an object from its Globals factory and registers it under the given name (or
    // the name it carries). Null when the factory is missing. A name may be registered more than
    // once: the registry keeps every object and lookups answer the newest.
    SceneNode* CreateSceneNode(const std::string& name);
    SceneNode* CreateSceneNode();
    // Unregisters the node (that entry only) and hands it back to its factory.
    void DestroySceneNode(SceneNode* node);
    Entity* CreateEntity(const std::string& name);
    Entity* CreateEntity();
    SkeletonModel* CreateSkeletonModel(const std::string& name);
    SkeletonModel* CreateSkeletonModel();
    DeformedModel* CreateDeformedModel(const std::string& name);
    DeformedModel* CreateDeformedModel();
    DeformedSkeletonModel* CreateDeformedSkeletonModel(const std::string& name);
    DeformedSkeletonModel* CreateDeformedSkeletonModel();
    Actor* CreateActor();
    // A registered NewActor from its factory.
    NewActor* CreateNewActor();
    Level* CreateLevel();
    SimpLevel* CreateSimpLevel();
    // A new level loaded from fileName; null, with the level released, when the load fails.
    Level* CreateAndLoadLevel(const std::string& fileName);
    // The same for a simplified level.
    SimpLevel* CreateAndLoadSimpLevel(const std::string& fileName);
    // A new level whose load runs as a task on worker 0 (Level::LoadAsync with result and
    // priority); the task writes the level's host interface through result. Answers the task id;
    // 0 when no level was made or nothing was queued, and the level is then released.
    std::uint32_t CreateAndLoadLevelEx(const std::string& fileName, ZelI::ILevel** result,
                                       std::uint32_t priority);
    // Releases the entity when it is still registered (ReleaseEntity); an entity released
    // already is left alone. Answers whether it was released.
    bool ReleaseRegisteredEntity(Entity* entity);
    // A billboard of the kind; the billboards give the kind its meaning.
    BillBoard* CreateBillBoard(std::int32_t kind);
    BillBoard* CreateBillBoard(const std::string& name, std::int32_t kind);
    // A decal from its factory built over the source's receivers (Decal::Build with the same
    // values; material held by the decal). Null, the decal handed back, when nothing was built.
    // Decals are not registered: they go back through ReleaseEntity or their factory.
    Decal* CreateDecalEx(const DecalSource& source, const float* direction, const float* up,
                         const float* centre, const float* extents, Material* material,
                         const float* uvFrom, const float* uvTo);
    // Unregisters the entity (that entry only; "Release Unknown Entity :%d" when it has none)
    // and returns it to its factory, which lets the resource managers collect.
    void ReleaseEntity(Entity* entity);
    // The newest object registered under the name, or null.
    SceneNode* FindSceneNode(const std::string& name);
    Entity* FindEntity(const std::string& name);
    SceneNode* GetRootNode() const { return root_; }
    // Registered objects (every entry, equal names counted each).
    std::size_t GetNodeCount();
    std::size_t GetEntityCount();
    // Empties the node registry without touching the nodes.
    void ClearNodeRegistry();
    // Releases every registered entity, one at a time, never holding the entity lock while a
    // release runs (a release may wait for the main lock a loading task holds).
    void ReleaseAndClearEntities();
    void ReleaseAllEntities();

    // ---- Lights and cameras ------------------------------------------------------------------
    // Kinds 0, 1, 2 make a light, 3 a projecting light; any other kind gives null. The light is
    // listed and the create listeners are told.
    Light* CreateLight(const std::string& name, std::int32_t type);
    Light* CreateLight(std::int32_t type);
    Light* CreateUnnamedLight(std::int32_t type) { return CreateLight(type); }
    // Unlists and deletes a listed light (release listeners first); anything else is ignored.
    void DestroyLight(Light* light);
    Camera* CreateCamera();
    void DestroyCamera(Camera* camera);
    void DestroyAllLights();
    // Also forgets the main and the render camera.
    void DestroyAllCameras();
    std::size_t GetLightCount();
    std::size_t GetCameraCount();
    // A listed camera or light (no lock: the host's proxy asks from the host's thread).
    bool Contains(const void* object) const;
    // A new list of every camera, then every light; the manager keeps it until the next call.
    IInsList_Impl* GetInsList();
    // Listener slots: the index of the slot taken (an emptied slot is reused first).
    std::uint32_t AddListener(Listener listener);
    std::uint32_t AddListener2(Listener listener);
    void RemoveListener(std::uint32_t index);
    void RemoveListener2(std::uint32_t index);

    Camera* GetMainCamera() const { return mainCamera_; }
    void SetMainCamera(Camera* camera) { mainCamera_ = camera; }
    // The camera pushed nodes are culled against; null when none.
    Camera* GetCurrentCamera() const { return renderCamera_; }
    void SetRenderCamera(Camera* camera) { renderCamera_ = camera; }
    // The main camera's world position, or (0, 0, 0) without one.
    const float* GetMainCameraPosition();

    // ---- Models by file --------------------------------------------------------------------
    // The kind of scene object a model file name selects (searched case-sensitively, anywhere
    // in the name, in this order): ".dml" 0, ".dm2"/".dm3" 1, ".chr" 11 with an "AnmConfig.xml"
    // beside it else 2, ".ch2"/".ch3" 3, ".act" 6, ".ac2"/".ac3" 7, ".anm" 4, ".an2"/".an3" 5,
    // ".xml" 8; -1 for none of these.
    static std::int32_t GetModelFileKind(const std::string& path);
    // Makes and loads the scene object of a model file (kinds 0 and 1: an Entity) and resolves
    // its materials. Null, the object released, when the file does not load; null, reported,
    // for a name of no known kind and for the kinds other operations make (actors) or that are
    // not made here yet. The object is registered like CreateEntity's.
    Entity* CreateModelByFile(const std::string& path);
    // CreateModelByFile in two halves, so that a loading task can load the material libraries
    // between them: the object made and its geometry loaded (null as above), then built from
    // the geometry once the libraries are in (false, the object released, when it cannot be).
    Entity* LoadModelGeometry(const std::string& path);
    bool BuildLoadedModel(Entity& entity);
    // CreateModelByFile of the name joined to the model directory ("../Resources/Media/Shaders/",
    // the name alone when it holds ".." or ":").
    Entity* CreateModel(const std::string& fileName);

    // ---- Frame pipeline ------------------------------------------------------------------------
    // The render queue (owned) and the pipe's pipeline (mode 0).
    RenderQueue* GetRenderQueue() const { return renderQueue_.get(); }
    RenderCorePipeline& GetRenderPipeline() { return pipeline_; }

    Level* GetLevel() const { return level_; }
    void SetLevel(Level* level) { level_ = level; }

    // ---- Render system and device checks -----------------------------------------------------
    // The render system the scene draws with (not owned; null until one is set).
    RenderSystem* GetRenderSystem() const { return renderSystem_; }
    void SetRenderSystem(RenderSystem* renderSystem) {
        renderSystem_ = renderSystem;
        dx7Override_.reset();
    }
    // True when the device draws with its fixed-function stages, or there is no render system.
    // A render system without a device draws nothing and counts as the shader path.
    bool IsDX7Mode() const;
    // Fixes the answer of IsDX7Mode until the next SetRenderSystem (for code driving a device of
    // its own).
    void SetDX7Mode(bool fixedFunction) { dx7Override_ = fixedFunction; }

    // Polls the hot keys, then brings a lost device back: at most three passes of lost, ready
    // to reset, reset. Rendering stays disabled while the device is not usable; the next call
    // (at the next frame begin or present) goes on from where this one stopped.
    void CheckDevice();
    bool IsRenderingEnabled() const { return renderingEnabled_ != 0; }
    // The names the host interface and the characters use for the same two calls.
    void CheckRenderSystem() { CheckDevice(); }
    bool IsRenderReady() const { return IsRenderingEnabled(); }
    // Counts a frame; once more than a second has passed since the window began, the frames per
    // second of that window.
    void UpdateFrameRate();
    // UpdateFrameRate with the tick count (milliseconds) given.
    void UpdateFrameRateAt(std::uint32_t nowMs);
    std::uint32_t GetFramesPerSecond() const { return framesPerSecond_; }
    // Frame id + 1 (at each present and each full scene render).
    void CountFrame() { ++frameId_; }
    // The last error code a scene step recorded (0: none); the host reads it once.
    void SetLastError(std::int32_t code) { lastError_ = code; }
    std::int32_t TakeLastError() { return std::exchange(lastError_, 0); }
    void AdvanceFrame() { CountFrame(); }
    // The number of the current frame, 1 at start; resources keep it as the stamp of their last
    // re-creation.
    std::uint32_t GetFrameId() const { return frameId_; }
    float GetUpdateTimeStep() const { return updateTimeStep_; }
    void SetUpdateTimeStep(float seconds) { updateTimeStep_ = seconds; }
    // The next stamp of a spatial-tree insertion.
    std::uint32_t NextSpatialStamp() { return ++spatialStamp_; }
    // Reacts to a debug hot key: only with Ctrl down, F6 shows the debug console, F8 reloads
    // "EngineConfig.txt", F9 writes the resource and instance reports.
    void HandleDebugHotKey(int key);
    // Every key that went down since the last poll is handled once.
    void PollDebugHotKeys();
    // How CheckDevice waits between passes (milliseconds); Sleep unless replaced.
    using WaitFunction = void (*)(std::uint32_t milliseconds);
    void SetDeviceWait(WaitFunction wait) { deviceWait_ = wait; }

    // Sets a profiler marker with the text (at most 127 characters) in opaque white through the
    // render device; nothing without one.
    void ProfileSetMarker(const char* text);

    // ---- Shadows and physics -----------------------------------------------------------------
    // On a fixed-function device any quality but off becomes fake.
    void SetShadowQuality(std::int32_t quality);
    std::int32_t GetShadowQuality() const { return shadowQuality_; }
    bool AreShadowsActive() const { return shadowQuality_ != SHADOW_OFF; }
    std::int32_t GetShadowMode() const { return shadowQuality_; }
    // Stores the mode as it is (the device asks for fake shadows when it leaves the shader path).
    void SetShadowMode(std::int32_t mode) { shadowQuality_ = mode; }
    // Under the entity lock, every registered entity clears its render marks and queues its
    // receiving pieces with material (group 3). Answers the registry's entry count at the start.
    std::size_t CollectShadowReceivers(Material* material);
    // Global switch 79 (physics computation).
    void SetPhysicsEnabled(bool on);
    bool IsPhysicsEnabled() const;

    // ---- View state ----------------------------------------------------------------------------
    // The current view and projection (16 floats, row-major, column vectors; zeros until set).
    const float* GetViewMatrix() const { return viewStack_.Top(); }
    const float* GetProjectionMatrix() const { return projectionStack_.Top(); }
    void SetViewMatrix(const float* m);
    void SetProjectionMatrix(const float* m);
    void PushViewMatrix();
    void PushProjectionMatrix();
    void PopViewMatrix();
    void PopProjectionMatrix();
    // projection x view, cached whenever either changes.
    void UpdateViewProjection();
    const float* GetViewProjectionMatrix() const { return viewProjection_; }
    const MatrixStack& GetViewStack() const { return viewStack_; }
    const MatrixStack& GetProjectionStack() const { return projectionStack_; }
    // What the shader constant filler reads for the current camera: the view, the view-projection
    // (16 floats each) and the camera position (3 floats), as the frame hands them over.
    void SetCurrentView(const float* view, const float* viewProjection, const float* camera);
    const float* GetCameraPosition() const { return cameraPosition_; }
    // The scene time in seconds that animated materials read; each begun frame of the host
    // interface adds its frame step.
    float GetTimeValue() const { return time_; }
    void SetTimeValue(float seconds) { time_ = seconds; }
    const float* GetAmbientColour() const { return ambient_; }

    // ---- Reports and the model readers -------------------------------------------------------
    // Appends the vertex-buffer totals to the text; the reports come with the frame pipeline.
    void WriteVertexBufferReport(std::string& /*out*/) const {}
    // 1 once a LOD companion's index data did not match its base file.
    std::uint32_t GetLodMismatch() const { return lodMismatch_; }
    void SetLodMismatch(std::uint32_t flag) { lodMismatch_ = flag; }

    // ---- Start-up and shutdown (SceneManagerInit.cpp) -----------------------------------------
    // Makes and initialises the render system this scene owns, then starts worker 0; answers the
    // existing one when there is one. Null (reported, message box) when the device cannot be
    // made.
    RenderSystem* CreateRenderSystem(const DisplaySettings& settings);
    // Works out the data roots from the working directory, counts the running instances (the
    // first empties the effect cache), checks the data directories, picks the SIMD processor,
    // starts the file system once per process, gives the managers their base directories, makes
    // the built-in materials and preloads cached effects. options: the host's start-up text
    // ("mode=normal" / "mode=test") or null. Stops after the SIMD step without a render system.
    void Init(const char* options);
    // 0 normal, 1 test (start-up option text).
    std::int32_t GetRunMode() const { return runMode_; }
    bool IsPhysicsAvailable() const { return physicsAvailable_ != 0; }
    // The scene's part of the two shutdown steps Globals runs.
    void ShutdownSceneGlobals();
    void ShutdownPhysicsAndCaches();
    // Number of instances of the engine running on the machine, this one included (1 before
    // Init counted them).
    static std::uint32_t GetRunningInstanceCount();
    // Where the instances keep their lock files (the parent of the working directory, from
    // Init). Tests point it elsewhere.
    static std::string GetInstanceDirectory();
    // Writes "ResInfo\ResInfo_<n>_<date>.txt": every resource manager's dump and the total.
    static void WriteResourceReport();
    // Writes "ResInfo\Instance_<n>_<date>.txt": pool counts, entity registry, hardware buffers,
    // wrapper pools and worker task lists. Numbered 0, 2, 4...
    static void WriteInstanceReport();

    // ---- The scene's own frame (SceneManagerRender.cpp)
    // ------------------------------------------ Culls the current level against the render camera,
    // sets the view from the main camera, fills the queue from the level and the visible lights and
    // draws the groups 8, 9, 10, 6, 11, 7, 12, 13 as the render-group flags allow. Without a render
    // camera nothing is culled (lights keep last frame's visibility); without a main camera the
    // matrix stacks are kept.
    virtual void RenderScene();
    // Marks the current level visible and culls it against camera (nothing without a level),
    // then updates the lights' visibility for camera.
    virtual void SetCamera(Camera* camera);
    // View and projection tops from the camera's own matrices, then the view-projection product.
    virtual void SetupCameraMatrices(Camera* camera);
    // The level's camera runs emptied, then its pieces and runs for every visible light.
    virtual void UpdateVisibleNodes(RenderQueue* queue);
    // A switched-off light is hidden; a light with a position is visible when its sphere meets
    // the camera's view; a light without one always is.
    virtual void UpdateLightVisibility(Camera* camera);
    // The three world axes as debug lines.
    virtual void DrawAxes();
    // Updates the node tree from the root (node-update counter of the frame statistics, the
    // update time step, the frame id).
    void UpdateSceneGraph();
    // Fills out (capacity entries, zeroed first) with the lights whose sphere meets the frustum,
    // in list order, switched on or not; answers how many.
    std::uint32_t QueryLightsInFrustum(const Frustum& frustum, Light** out, std::uint32_t capacity);
    // Milliseconds the last RenderScene spent in its frame-rate update.
    float GetLastFrameRateUpdateMs() const { return lastFrameRateUpdateMs_; }

    // ---- Render group draws and render pipes (SceneManagerPipes.cpp) ---------------------------
    // Group draws: each empties nothing, draws the group's pieces through the render system and
    // counts them in the frame statistics. Lit: groups 10 then 6 (level), 11 then 7 (entities);
    // unlit: 8 then 9 with the scene's ambient colour; transparent: 12 (level), 13 (entities).
    virtual void DrawLevelLitGroups(RenderQueue& queue);
    virtual void DrawEntityLitGroups(RenderQueue& queue);
    virtual void DrawUnlitGroups(RenderQueue& queue);
    virtual void DrawLevelTransparentGroup(RenderQueue& queue);
    virtual void DrawEntityTransparentGroup(RenderQueue& queue);
    // A solid group slot by slot (0, 1, 4, 5, 8, 9, 12, 13, 16, 17; the slots 8, 9, 16, 17 only
    // on a device with vertex and pixel shaders 2.0), light by light, pass by pass. Answers the
    // pieces visited.
    virtual std::uint32_t DrawSolidGroup(RenderableGroup& group);
    // A transparent group in its sorted order (unsorted with global switch 78; nothing with
    // switch 16 off).
    virtual void DrawTransparentGroup(RenderableGroup& group);
    // One pass of one piece under the light, group by group of the piece; a piece whose owner is
    // marked is drawn inside an occlusion query and keeps the pixel count. Answers 1.
    virtual std::uint32_t DrawRenderablePass(Renderable& piece, Pass& pass, Light* light);

    // Render pipes: the host draws the nodes it pushes instead of the whole scene. Nodes are
    // the scene objects themselves; null is ignored.
    // Until the scene pass places the eye, a pipe draws from the main camera as it stands now:
    // its view and projection become the current ones and it becomes the render camera.
    // Nothing without a main camera.
    void UseMainCameraView();
    // Opens a pipe in mode 0 (normal) or 2 (for the target light only), ending an open one;
    // modes 1 and 3 to 7 change nothing.
    void PushNewPipe(std::int32_t mode, std::int32_t extra, SceneNode* target);
    // Pushes the node and its children while rendering is enabled and a pipe is open: frustum
    // culled against the render camera with global switch 71 (billboards never), models only
    // with switch 18; counted in the frame statistics.
    void PushRenderable(Entity* node);
    void PushRenderableImpl(Entity* node);
    // Pushes a level (or actor) culled by its own camera operation.
    void PushNodeWithCamera(Entity* node);
    // Hands the object to the pipe's pass-through list (global switch 31).
    void PassToOpenPipe(RenderCallback* object);
    // Queues the pushed nodes' pieces.
    void ProcessCurrentPipe();
    // Draws the opaque groups (switch 17): unlit 8 and 9 when the render-group flags have bit
    // 2, then lit 10, 6, 11, 7.
    void RenderPushedPipes();
    // Draws the transparent groups 12 and 13 far to near (switch 16).
    void RenderTransparentPipeline();
    // Closes the pipe and clears groups 6, 7, 10, 11, 8, 9.
    void CleanPushedObjsAndSubModels();
    // Clears groups 12 and 13 and forgets the current level.
    void ClearTransparentPipeline();
    // The shadow pass around the pipe: ends an open pipeline (the pipe stays open) and clears
    // group 2; a level given becomes the current one while shadows are on.
    void RenderShadows(Level* level);
    void EndShadowPipe();
    // Groups 2 (casters), 3 and 4 (receivers) while shadows are on; fake shadows draw with a
    // depth bias. Casters draw as first passes and keep their render marks.
    std::uint32_t RenderShadowCasters();
    std::uint32_t RenderShadowReceivers();
    void ClearShadowReceivers();
    bool IsPipeOpen() const { return pipeOpen_ != 0; }
    // Bit 2 (value 4): the pipe draws the unlit groups 8 and 9.
    std::uint32_t GetRenderGroupFlags() const { return renderGroupFlags_; }
    void SetRenderGroupFlags(std::uint32_t flags) { renderGroupFlags_ = flags; }
    void SetAmbientColour(const float* rgba) {
        for (int i = 0; i < 4; ++i) ambient_[i] = rgba[i];
    }

private:
    template <class T>
    using Registry = std::multimap<std::string, T*>;

    template <class T, class Make>
    T* RegisterNew(Registry<T>& registry, locksection& lock, const std::string* name, Make make);
    // An entity of a kind from its Globals factory, registered under name (or its own).
    template <class Kind>
    Kind* CreateRegisteredEntity(Factory<Kind>* (Globals::*getter)(), const std::string* name);
    template <class T>
    static T* FindNewest(Registry<T>& registry, locksection& lock, const std::string& name);
    template <class T>
    static bool EraseEntry(Registry<T>& registry, locksection& lock, const T* object);
    template <class T>
    void Unlist(std::list<T*>& list, locksection& lock, T* object);
    template <class T>
    void UnlistAll(std::list<T*>& list, locksection& lock);
    void TellListeners(const std::vector<Listener>& listeners, void* object);
    Light* ListLight(Light* light);
    static std::uint32_t TakeSlot(std::vector<Listener>& slots, Listener listener);

    RenderSystem* renderSystem_ = nullptr;  // not owned
    std::optional<bool> dx7Override_;
    Registry<SceneNode> nodes_;
    locksection nodeLock_;
    Registry<Entity> entities_;
    locksection entityLock_;
    std::list<Camera*> cameras_;  // owned
    locksection cameraLock_;
    std::list<Light*> lights_;  // owned
    locksection lightLock_;
    SceneNode* root_ = nullptr;
    Level* level_ = nullptr;
    std::uint32_t frameId_ = 1;
    Camera* mainCamera_ = nullptr;
    Camera* renderCamera_ = nullptr;
    MatrixStack viewStack_{16};
    MatrixStack projectionStack_{16};
    float viewProjection_[16] = {};
    std::uint32_t framesPerSecond_ = 0;
    std::uint8_t renderingEnabled_ = 1;
    float updateTimeStep_ = 0.0f;
    std::uint32_t spatialStamp_ = 0;
    float ambient_[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    std::int32_t shadowQuality_ = SHADOW_FAKE;
    IInsList_Impl* instanceList_ = nullptr;  // owned
    std::unique_ptr<RenderQueue> renderQueue_;
    RenderCorePipeline pipeline_{RenderCorePipeline::MODE_NORMAL};
    std::vector<Listener> createListeners_;
    std::vector<Listener> releaseListeners_;
    // The frame-rate window: frames counted and the tick count it began at (0 before the first
    // call).
    std::uint32_t frameCount_ = 0;
    std::uint32_t frameWindowStart_ = 0;
    bool frameWindowStarted_ = false;
    std::uint8_t previousKeys_[256] = {};
    WaitFunction deviceWait_;
    float cameraPosition_[3] = {};
    float time_ = 0.0f;
    std::uint32_t lodMismatch_ = 0;
    std::int32_t lastError_ = 0;
    // Start-up (SceneManagerInit.cpp).
    std::int32_t runMode_ = 0;
    std::uint8_t physicsAvailable_ = 0;
    bool ownsRenderSystem_ = false;
    // Render pipes.
    std::uint8_t pipeOpen_ = 0;
    std::uint32_t renderGroupFlags_ = 0xFFFFFFFFu;  // every group drawn
    // The caster pass's scratch: each queued caster piece and the render mark it had.
    std::vector<std::pair<Renderable*, std::uint32_t>> casterMarks_;
    // The scene's own frame (SceneManagerRender.cpp).
    Timer frameTimer_;
    float lastFrameRateUpdateMs_ = 0.0f;
    // Fake shadows draw their groups with this depth bias.
    void SetShadowBias(bool on);
    // Draws two solid groups in order, flagging each as the level's or the entities', and adds
    // the pieces drawn to the counter (a FrameStatWord).
    void DrawSolidGroupPair(RenderQueue& queue, std::uint32_t first, std::uint32_t second,
                            std::uint32_t counter);
};

}  // namespace Zel
