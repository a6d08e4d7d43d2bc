#include "Entity/Scene/SceneManager.h"

#include <cstring>

#include "Core/DebugConsole.h"
#include "Core/DebugHelperImpl.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/IInsList_Impl.h"
#include "Core/LogDispatch.h"
#include "Core/SectionGuard.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/ProjectingLight.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneNode.h"
#include "Entity/Scene/SimpLevel.h"
#include "Platform/Win32/Win32.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/SystemProbes.h"

namespace Zel {
namespace {

// The device check's passes per call: enough to go from lost through ready to reset.
constexpr int kDevicePasses = 3;

void SleepMs(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

template <class T>
T* Acquire(Factory<T>* (Globals::*getter)()) {
    Factory<T>* factory = Globals::Find(getter);
    return factory ? factory->Acquire() : nullptr;
}

}  // namespace

SceneManager::SceneManager() : deviceWait_(&SleepMs) {
    root_ = CreateSceneNode("Root");
    renderQueue_ = std::make_unique<RenderQueue>();
    frameTimer_.Reset();
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager)) {
        config->SetValue(0, 1);  // use the action library
        config->SetValue(2, 1);  // strips to lists
        config->SetValue(3, 1);  // prefer binary model files
        config->SetValue(4, 0);  // no additional swap chain
        config->SetValue(5, 1);  // prefer ".dds" files
        config->SetValue(6, 1);  // compress textures to DDS
        config->SetValue(8, 0);  // level-of-detail data kept with the model
    }
    shadowQuality_ = SHADOW_FAKE;
}

SceneManager::~SceneManager() {
    DestroyAllCameras();
    DestroyAllLights();
    delete instanceList_;
}

// --- Registries ----------------------------------------------------------------------------

template <class T, class Make>
T* SceneManager::RegisterNew(Registry<T>& registry, locksection& lock, const std::string* name,
                             Make make) {
    SectionGuard guard(lock);
    auto* object = make();
    if (!object)
        return nullptr;
    if (name && object->GetName() != *name)
        object->SetName(*name);
    registry.emplace(object->GetName(), object);
    return object;
}

template <class T>
T* SceneManager::FindNewest(Registry<T>& registry, locksection& lock, const std::string& name) {
    SectionGuard guard(lock);
    auto [first, last] = registry.equal_range(name);
    // Equal keys keep their order of insertion: the newest stands last.
    return first == last ? nullptr : std::prev(last)->second;
}

template <class T>
bool SceneManager::EraseEntry(Registry<T>& registry, locksection& lock, const T* object) {
    SectionGuard guard(lock);
    auto [first, last] = registry.equal_range(object->GetName());
    for (auto it = first; it != last; ++it) {
        if (it->second == object) {
            registry.erase(it);
            return true;
        }
    }
    // Renamed since it was registered: look the object up by value.
    for (auto it = registry.begin(); it != registry.end(); ++it) {
        if (it->second == object) {
            registry.erase(it);
            return true;
        }
    }
    return false;
}

SceneNode* SceneManager::CreateSceneNode(const std::string& name) {
    return RegisterNew(nodes_, nodeLock_, &name,
                       [] { return Acquire(&Globals::GetSceneNodeFactory); });
}

SceneNode* SceneManager::CreateSceneNode() {
    return RegisterNew(nodes_, nodeLock_, nullptr,
                       [] { return Acquire(&Globals::GetSceneNodeFactory); });
}

void SceneManager::DestroySceneNode(SceneNode* node) {
    if (!node)
        return;
    EraseEntry(nodes_, nodeLock_, node);
    if (Factory<SceneNode>* factory = Globals::Find(&Globals::GetSceneNodeFactory))
        factory->Release(node);
}

template <class Kind>
Kind* SceneManager::CreateRegisteredEntity(Factory<Kind>* (Globals::*getter)(),
                                           const std::string* name) {
    return static_cast<Kind*>(RegisterNew(entities_, entityLock_, name,
                                          [getter]() -> Entity* { return Acquire(getter); }));
}

Entity* SceneManager::CreateEntity(const std::string& name) {
    return CreateRegisteredEntity(&Globals::GetEntityFactory, &name);
}
Entity* SceneManager::CreateEntity() {
    return CreateRegisteredEntity(&Globals::GetEntityFactory, nullptr);
}
SkeletonModel* SceneManager::CreateSkeletonModel(const std::string& name) {
    return CreateRegisteredEntity(&Globals::GetSkeletonModelFactory, &name);
}
SkeletonModel* SceneManager::CreateSkeletonModel() {
    return CreateRegisteredEntity(&Globals::GetSkeletonModelFactory, nullptr);
}
DeformedModel* SceneManager::CreateDeformedModel(const std::string& name) {
    return CreateRegisteredEntity(&Globals::GetDeformedModelFactory, &name);
}
DeformedModel* SceneManager::CreateDeformedModel() {
    return CreateRegisteredEntity(&Globals::GetDeformedModelFactory, nullptr);
}
DeformedSkeletonModel* SceneManager::CreateDeformedSkeletonModel(const std::string& name) {
    return CreateRegisteredEntity(&Globals::GetDeformedSkeletonModelFactory, &name);
}
DeformedSkeletonModel* SceneManager::CreateDeformedSkeletonModel() {
    return CreateRegisteredEntity(&Globals::GetDeformedSkeletonModelFactory, nullptr);
}
Actor* SceneManager::CreateActor() {
    return CreateRegisteredEntity(&Globals::GetActorFactory, nullptr);
}
NewActor* SceneManager::CreateNewActor() {
    return CreateRegisteredEntity(&Globals::GetNewActorFactory, nullptr);
}
Level* SceneManager::CreateLevel() {
    return CreateRegisteredEntity(&Globals::GetLevelFactory, nullptr);
}
namespace {
// The level loaded from fileName; null, the level released, when it does not load.
template <class Kind>
Kind* LoadLevelOrRelease(SceneManager& scene, Kind* level, const std::string& fileName) {
    if (!level || level->Load(fileName))
        return level;
    scene.ReleaseEntity(level);
    return nullptr;
}
}  // namespace
Level* SceneManager::CreateAndLoadLevel(const std::string& fileName) {
    return LoadLevelOrRelease(*this, CreateLevel(), fileName);
}
SimpLevel* SceneManager::CreateSimpLevel() {
    return CreateRegisteredEntity(&Globals::GetSimpLevelFactory, nullptr);
}
SimpLevel* SceneManager::CreateAndLoadSimpLevel(const std::string& fileName) {
    return LoadLevelOrRelease(*this, CreateSimpLevel(), fileName);
}
std::uint32_t SceneManager::CreateAndLoadLevelEx(const std::string& fileName, ZelI::ILevel** result,
                                                 std::uint32_t priority) {
    Level* level = CreateLevel();
    if (!level)
        return 0;
    const std::uint32_t id = level->LoadAsync(fileName, result, priority);
    // Without a task no one would ever hand the level to the host.
    if (id == 0)
        ReleaseEntity(level);
    return id;
}
bool SceneManager::ReleaseRegisteredEntity(Entity* entity) {
    if (!entity || !EraseEntry(entities_, entityLock_, entity))
        return false;
    entity->ReturnToFactory();
    return true;
}
// The kind selects a billboard's shape; the billboards will store it and build their pieces.
namespace {
BillBoard* ShapeBillBoard(BillBoard* board, std::int32_t kind) {
    if (board) {
        board->SetKind(static_cast<std::uint32_t>(kind));
        board->RebuildSubEntities();
    }
    return board;
}
}  // namespace

BillBoard* SceneManager::CreateBillBoard(std::int32_t kind) {
    return ShapeBillBoard(CreateRegisteredEntity(&Globals::GetBillBoardFactory, nullptr), kind);
}
BillBoard* SceneManager::CreateBillBoard(const std::string& name, std::int32_t kind) {
    return ShapeBillBoard(CreateRegisteredEntity(&Globals::GetBillBoardFactory, &name), kind);
}

Decal* SceneManager::CreateDecalEx(const DecalSource& source, const float* direction,
                                   const float* up, const float* centre, const float* extents,
                                   Material* material, const float* uvFrom, const float* uvTo) {
    Decal* decal = Acquire(&Globals::GetDecalFactory);
    if (!decal)
        return nullptr;
    if (decal->Build(source, direction, up, centre, extents, material, uvFrom, uvTo))
        return decal;
    // Never registered: straight back to the factory, without the unknown-entity report.
    decal->ReturnToFactory();
    return nullptr;
}

void SceneManager::ReleaseEntity(Entity* entity) {
    if (!entity)
        return;
    if (!EraseEntry(entities_, entityLock_, entity))
        LogTyped(LOG_ENGINE_INIT, "Release Unknown Entity :%d",
                 static_cast<int>(reinterpret_cast<std::uintptr_t>(entity)));
    entity->ReturnToFactory();
}

SceneNode* SceneManager::FindSceneNode(const std::string& name) {
    return FindNewest(nodes_, nodeLock_, name);
}

Entity* SceneManager::FindEntity(const std::string& name) {
    return FindNewest(entities_, entityLock_, name);
}

std::size_t SceneManager::GetNodeCount() {
    SectionGuard guard(nodeLock_);
    return nodes_.size();
}

std::size_t SceneManager::GetEntityCount() {
    SectionGuard guard(entityLock_);
    return entities_.size();
}

void SceneManager::ClearNodeRegistry() {
    SectionGuard guard(nodeLock_);
    nodes_.clear();
}

void SceneManager::ReleaseAndClearEntities() {
    ReleaseAllEntities();
}

void SceneManager::ReleaseAllEntities() {
    for (;;) {
        Entity* first = nullptr;
        {
            SectionGuard guard(entityLock_);
            if (entities_.empty())
                return;
            first = entities_.begin()->second;
        }
        ReleaseEntity(first);
    }
}

// --- Lights and cameras ----------------------------------------------------------------------

void SceneManager::TellListeners(const std::vector<Listener>& listeners, void* object) {
    const std::uint32_t thread = GetCurrentThreadId();
    for (Listener listener : listeners)
        if (listener)
            listener(object, thread);
}

Light* SceneManager::ListLight(Light* light) {
    SectionGuard guard(lightLock_);
    lights_.push_back(light);
    TellListeners(createListeners_, light);
    return light;
}

Light* SceneManager::CreateLight(const std::string& name, std::int32_t type) {
    Light* light = CreateLight(type);
    if (light)
        light->SetName(name);
    return light;
}

Light* SceneManager::CreateLight(std::int32_t type) {
    if (type < 0 || type > 3)
        return nullptr;
    Light* light = type == 3 ? new ProjectingLight() : new Light(type);
    return ListLight(light);
}

template <class T>
void SceneManager::Unlist(std::list<T*>& list, locksection& lock, T* object) {
    SectionGuard guard(lock);
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it != object)
            continue;
        TellListeners(releaseListeners_, object);
        list.erase(it);
        delete object;
        return;
    }
}

template <class T>
void SceneManager::UnlistAll(std::list<T*>& list, locksection& lock) {
    SectionGuard guard(lock);
    for (T* object : list) {
        TellListeners(releaseListeners_, object);
        delete object;
    }
    list.clear();
}

void SceneManager::DestroyLight(Light* light) {
    if (!light)
        return;
    // The queue keys its batches by light: a deleted light's batches must not outlive it.
    if (renderQueue_)
        renderQueue_->ForgetLight(light);
    Unlist(lights_, lightLock_, light);
}

Camera* SceneManager::CreateCamera() {
    auto* camera = new Camera();
    SectionGuard guard(cameraLock_);
    cameras_.push_back(camera);
    TellListeners(createListeners_, camera);
    return camera;
}

void SceneManager::DestroyCamera(Camera* camera) {
    if (!camera)
        return;
    if (camera == mainCamera_)
        mainCamera_ = nullptr;
    if (camera == renderCamera_)
        renderCamera_ = nullptr;
    Unlist(cameras_, cameraLock_, camera);
}

void SceneManager::DestroyAllLights() {
    if (renderQueue_)
        renderQueue_->ForgetLight(nullptr);
    UnlistAll(lights_, lightLock_);
}

void SceneManager::DestroyAllCameras() {
    UnlistAll(cameras_, cameraLock_);
    mainCamera_ = nullptr;
    renderCamera_ = nullptr;
}

std::size_t SceneManager::GetLightCount() {
    SectionGuard guard(lightLock_);
    return lights_.size();
}

std::size_t SceneManager::GetCameraCount() {
    SectionGuard guard(cameraLock_);
    return cameras_.size();
}

bool SceneManager::Contains(const void* object) const {
    for (const Camera* camera : cameras_)
        if (static_cast<const void*>(camera) == object)
            return true;
    for (const Light* light : lights_)
        if (static_cast<const void*>(light) == object)
            return true;
    return false;
}

IInsList_Impl* SceneManager::GetInsList() {
    delete instanceList_;
    instanceList_ = new IInsList_Impl();
    for (Camera* camera : cameras_) instanceList_->Add(camera);
    for (Light* light : lights_) instanceList_->Add(light);
    return instanceList_;
}

std::uint32_t SceneManager::TakeSlot(std::vector<Listener>& slots, Listener listener) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i]) {
            slots[i] = listener;
            return static_cast<std::uint32_t>(i);
        }
    }
    slots.push_back(listener);
    return static_cast<std::uint32_t>(slots.size() - 1);
}

std::uint32_t SceneManager::AddListener(Listener listener) {
    return TakeSlot(createListeners_, listener);
}

std::uint32_t SceneManager::AddListener2(Listener listener) {
    return TakeSlot(releaseListeners_, listener);
}

void SceneManager::RemoveListener(std::uint32_t index) {
    if (index < createListeners_.size())
        createListeners_[index] = nullptr;
}

void SceneManager::RemoveListener2(std::uint32_t index) {
    if (index < releaseListeners_.size())
        releaseListeners_[index] = nullptr;
}

const float* SceneManager::GetMainCameraPosition() {
    static constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};
    return mainCamera_ ? mainCamera_->GetWorldPosition() : kOrigin;
}

// --- Device checks and frame counters --------------------------------------------------------

bool SceneManager::IsDX7Mode() const {
    if (dx7Override_)
        return *dx7Override_;
    if (!renderSystem_)
        return true;
    RenderDevice* device = renderSystem_->GetRenderDevice();
    return device && device->GetFixedFunctionMode() != MODE_SHADER;
}

void SceneManager::CheckDevice() {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    const bool configLoaded = config && config->IsConfigLoaded();
    for (int pass = 0; pass < kDevicePasses; ++pass) {
        if (configLoaded)
            PollDebugHotKeys();
        if (!renderSystem_)
            return;
        const std::uint32_t thread = GetCurrentThreadId();
        switch (renderSystem_->GetDeviceState()) {
            case 0:
                renderingEnabled_ = 1;
                return;
            case 1:
                renderingEnabled_ = 0;
                LogTyped(LOG_ENGINE_INIT,
                         "Check Render System,Now The Device STate= Lost,thread=%d", thread);
                if (!renderSystem_->IsDeviceLost())
                    renderSystem_->OnLostDevice();
                deviceWait_(50);
                break;
            case 2:
                renderingEnabled_ = 0;
                LogTyped(LOG_ENGINE_INIT,
                         "Check Render System,Now The Device STate= DEVICE_NotReset,thread=%d",
                         thread);
                if (!renderSystem_->IsDeviceLost()) {
                    renderSystem_->OnLostDevice();
                    deviceWait_(100);
                    break;
                }
                renderSystem_->OnResetDevice();
                deviceWait_(50);
                if (renderSystem_->GetDeviceState() != 0) {
                    if (DebugHelperImpl* helper = Globals::Find(&Globals::GetDebugHelper))
                        helper->Error("Reset Device Failed! thread=%d", thread);
                    // The next frame tries again; the host's thread is not held here.
                    return;
                }
                break;
            default:
                return;
        }
    }
}

void SceneManager::UpdateFrameRate() {
    UpdateFrameRateAt(GetTickCount());
}

void SceneManager::UpdateFrameRateAt(std::uint32_t nowMs) {
    ++frameCount_;
    if (!frameWindowStarted_) {
        frameWindowStarted_ = true;
        frameWindowStart_ = nowMs;
    }
    const std::uint32_t elapsed = nowMs - frameWindowStart_;
    if (elapsed <= 1000)
        return;
    framesPerSecond_ = static_cast<std::uint32_t>(std::uint64_t(frameCount_) * 1000 / elapsed);
    frameWindowStart_ = nowMs;
    frameCount_ = 0;
}

void SceneManager::PollDebugHotKeys() {
    BYTE keys[256];
    if (!GetKeyboardState(keys))
        return;
    for (int key = 0; key < 256; ++key)
        if (keys[key] > 127 && previousKeys_[key] < 128)
            HandleDebugHotKey(key);
    std::memcpy(previousKeys_, keys, sizeof previousKeys_);
}

void SceneManager::HandleDebugHotKey(int key) {
    if (!(GetKeyState(VK_CONTROL) & 0x8000))
        return;
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    switch (key) {
        case VK_F6:
            if (config && config->IsConfigLoaded()) {
                if (DebugConsole* console = Globals::Find(&Globals::GetDebugConsole)) {
                    console->Create();
                    console->Show();
                }
            }
            break;
        case VK_F8:
            if (config)
                config->Reload("EngineConfig.txt");
            break;
        case VK_F9:
            // The resource and instance reports come with the frame pipeline.
            break;
        default:
            break;
    }
}

void SceneManager::ProfileSetMarker(const char* text) {
    if (renderSystem_)
        Zel::ProfileSetMarker(renderSystem_->GetRenderDevice(), text, 0xFFFFFFFFu);
}

// --- Shadows and physics ---------------------------------------------------------------------

void SceneManager::SetShadowQuality(std::int32_t quality) {
    if (!IsDX7Mode() && renderSystem_)
        shadowQuality_ = quality;
    else
        shadowQuality_ = quality != SHADOW_OFF ? SHADOW_FAKE : SHADOW_OFF;
}

std::size_t SceneManager::CollectShadowReceivers(Material* material) {
    SectionGuard guard(entityLock_);
    const std::size_t count = entities_.size();
    for (const auto& entry : entities_) {
        entry.second->ClearRenderMarks();
        entry.second->AddShadowReceivers(renderQueue_.get(), material);
    }
    return count;
}

void SceneManager::SetPhysicsEnabled(bool on) {
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->SetValue(79, on ? 1 : 0);
}

bool SceneManager::IsPhysicsEnabled() const {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->GetValue(79) == 1;
}

// --- View state -----------------------------------------------------------------------------

void SceneManager::SetViewMatrix(const float* m) {
    viewStack_.Set(m);
    UpdateViewProjection();
}

void SceneManager::SetProjectionMatrix(const float* m) {
    projectionStack_.Set(m);
    UpdateViewProjection();
}

void SceneManager::PushViewMatrix() {
    viewStack_.Push();
    UpdateViewProjection();
}

void SceneManager::PushProjectionMatrix() {
    projectionStack_.Push();
    UpdateViewProjection();
}

void SceneManager::PopViewMatrix() {
    viewStack_.Pop();
    UpdateViewProjection();
}

void SceneManager::PopProjectionMatrix() {
    projectionStack_.Pop();
    UpdateViewProjection();
}

void SceneManager::UpdateViewProjection() {
    const float* v = viewStack_.Top();
    const float* p = projectionStack_.Top();
    float product[16];
    MultiplyMatrices4(p, v, product);
    std::memcpy(viewProjection_, product, sizeof product);
}

void SceneManager::SetCurrentView(const float* view, const float* viewProjection,
                                  const float* camera) {
    viewStack_.Set(view);
    std::memcpy(viewProjection_, viewProjection, sizeof viewProjection_);
    std::memcpy(cameraPosition_, camera, sizeof cameraPosition_);
}

}  // namespace Zel
