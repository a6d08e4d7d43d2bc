// Object creation through the root interface: models, actors and NewActors, levels, skies,
// billboards, decals, particle buffers and material libraries, in direct mode (made at once under
// the main lock) and in queued mode (a loading task on worker 0; the forms without "Asyn" run it to
// its end before answering).
#include "Render/RenderCore/IRenderImpl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>
#include <string>
#include <type_traits>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/QueueMode.h"
#include "Core/ScopedLock.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionTreeNode.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Core/Factory.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SimpLevel.h"
#include "Interface/IActor.h"
#include "Interface/IBillboard.h"
#include "Interface/IDecal.h"
#include "Interface/IParticleVB.h"
#include "Interface/IShader.h"
#include "Interface/ISkyBall.h"
#include "Interface/ILevel.h"
#include "Interface/IModel.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "Thread/CreationRecords.h"
#include "Thread/shaderlib_loader.h"

namespace Zel {
namespace {

// The priority the synchronous forms queue their task with.
constexpr int kSyncPriority = 2;
// Switch 46 is on while a level created for an asynchronous load is made.
constexpr std::uint32_t kAsyncLevelSwitch = 46;

SceneManager* CreationScene() {
    return Globals::Find(&Globals::GetSceneManager);
}

threadio* LoadingThread() {
    return threadmng::GetInstance()->GetThread(0);
}

// A character model's name: its extension, lower-cased, is ".chr" or ".ch3".
bool IsCharacterFile(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".chr" || extension == ".ch3";
}

// A file name as the model and actor makers open it: joined to the resource directory (the
// name alone when it holds ".." or ":").
std::string ResourcePath(const std::string& name) {
    const std::string* directory = Globals::Find(&Globals::GetShaderPath);
    return directory ? JoinPath(*directory, name) : name;
}

// Runs the task of id to its end on this thread (its steps still run on loading thread 0);
// answers what the task left in the slot.
template <class Object>
Object* RunToEnd(std::uint32_t id, Object* const& slot) {
    threadio* worker = LoadingThread();
    if (id != 0 && worker)
        worker->SyncTask(id);
    return slot;
}

// Queues an actor loading task of the type with the name (joined to the resource directory),
// the slot and the flag; 0 when the name does not fit or nothing can be queued.
std::uint32_t QueueActorLoad(const char* operation, std::int32_t type, const char* name,
                             void* resultSlot, int priority, std::uint32_t flag) {
    auto** slot = static_cast<ZelI::IActor**>(resultSlot);
    if (slot)
        *slot = nullptr;
    const std::string path = name ? ResourcePath(name) : std::string();
    if (!TaskNameFits(operation, name) || !TaskNameFits(operation, path.c_str()))
        return 0;
    threadio* worker = LoadingThread();
    if (!worker)
        return 0;
    ActorLoadTaskParameter parameter;
    CopyTaskName(parameter.name, path.c_str());
    parameter.result = slot;
    parameter.flag = flag;
    return worker->CreateTask(type, &parameter, static_cast<std::uint32_t>(priority));
}

// The direct road of actor creation: an actor from the file, its interface, or null (reported
// for a NewActor).
ZelI::IActor* MakeActorNow(const char* name, std::uint8_t sex, bool newActor) {
    SceneManager* scene = CreationScene();
    if (!scene)
        return nullptr;
    // An empty entity's wrapper is not an actor's: a nameless actor has nothing to be made of.
    if (!name) {
        ReportError("create actor: no file name");
        return nullptr;
    }
    ScopedLock lock(threadmng::kMainLock);
    Actor* actor = CreateActorFromFile(*scene, ResourcePath(name), sex, newActor);
    if (!actor) {
        if (newActor)
            ReportError("create NewActor failed!");
        return nullptr;
    }
    return ActorInterfaceOrRelease(*scene, actor);
}

// The level's host interface; null when there is no level or its kind has no wrapper, the
// level then released.
ZelI::ILevel* LevelInterfaceOrRelease(SceneManager& scene, Level* level) {
    if (!level)
        return nullptr;
    auto* wrapper = static_cast<ZelI::ILevel*>(level->GetInterface());
    if (!wrapper) {
        ReportError("create level: no host interface for the level, released");
        scene.ReleaseEntity(level);
    }
    return wrapper;
}

// The material behind the host's material interface (its IShader carrier); null, so that the
// decal draws with the default material, for null, another kind, or while materials carry no
// host wrapper.
template <class M = Material>
M* DecalMaterialOf(ZelI::IObject* object) {
    if constexpr (std::is_base_of_v<RCInterfaceCarrier<ZelI::IShader>, M>)
        return UnwrapInterface<M, ZelI::IShader>(object);
    else
        return nullptr;
}

// Writes the number as decimal text, with its terminator, into the caller's buffer.
void WriteDecimal(void* output, std::uint32_t value) {
    if (!output)
        return;
    const std::string text = std::to_string(value);
    std::memcpy(output, text.c_str(), text.size() + 1);
}

// The 32-bit word a preloaded action keeps for its skeleton.
std::uint32_t SkeletonWord(const Skeleton* skeleton) {
    return static_cast<std::uint32_t>(ActionManager::SetIdOf(skeleton));
}

}  // namespace

// ---- Models -------------------------------------------------------------------------------------

ZelI::IModel* IRenderImpl::CreateModel(const char* name, const float* localMatrix, std::intptr_t,
                                       std::intptr_t) {
    ZelI::IModel* model = CreateModel(name, 0);
    if (model && localMatrix)
        model->SetLocalMatrix(localMatrix);
    return model;
}

ZelI::IModel* IRenderImpl::CreateModel(const char* name, std::intptr_t) {
    LogTyped(LOG_MODEL_INFO, "CreateModel, %s", name ? name : "");
    if (name && IsCharacterFile(name))
        LogTyped(LOG_ENGINE_INIT, "CreateModel chr, %s", name);
    SceneManager* scene = CreationScene();
    if (!scene)
        return nullptr;
    if (IsQueueMode()) {
        ZelI::IModel* slot = nullptr;
        return RunToEnd(CreateModelAsyn(name, &slot, kSyncPriority), slot);
    }
    ScopedLock lock(threadmng::kMainLock);
    Entity* entity = name ? scene->CreateModel(name) : scene->CreateEntity();
    return entity ? static_cast<ZelI::IModel*>(entity->GetInterface()) : nullptr;
}

ZelI::IModel* IRenderImpl::CreateModelByName(const char* name) {
    return CreateModel(name, 0);
}

std::uint32_t IRenderImpl::CreateModelAsyn(const char* name, void* resultSlot, int priority) {
    LogTyped(LOG_MODEL_INFO, "CreateModelAsyn, %s", name ? name : "");
    if (name && IsCharacterFile(name))
        LogTyped(LOG_ENGINE_INIT, "CreateModelAsyn chr, %s", name);
    auto** slot = static_cast<ZelI::IModel**>(resultSlot);
    if (slot)
        *slot = nullptr;
    // The task opens the same path the direct road opens; an empty name stays empty (an empty
    // entity).
    const std::string path = name && *name ? ResourcePath(name) : std::string();
    if (!TaskNameFits("CreateModelAsyn", name) || !TaskNameFits("CreateModelAsyn", path.c_str()))
        return 0;
    threadio* worker = LoadingThread();
    if (!worker)
        return 0;
    ModelLoadTaskParameter parameter;
    CopyTaskName(parameter.name, path.c_str());
    parameter.result = slot;
    return worker->CreateTask(kModelLoadTaskType, &parameter, static_cast<std::uint32_t>(priority));
}

// ---- Actors -------------------------------------------------------------------------------------

ZelI::IActor* IRenderImpl::CreateActor(const char* name, std::intptr_t word, std::intptr_t) {
    LogTyped(LOG_MODEL_INFO, "create actor, %s", name ? name : "");
    if (IsQueueMode()) {
        ZelI::IActor* slot = nullptr;
        return RunToEnd(CreateActorAsyn(name, &slot, kSyncPriority, word), slot);
    }
    return MakeActorNow(name, static_cast<std::uint8_t>(word), false);
}

std::uint32_t IRenderImpl::CreateActorAsyn(const char* name, void* resultSlot, int priority,
                                           std::intptr_t word) {
    LogTyped(LOG_MODEL_INFO, "create actor asyn, %s", name ? name : "");
    return QueueActorLoad("CreateActorAsyn", kActorLoadTaskType, name, resultSlot, priority,
                          static_cast<std::uint32_t>(word));
}

ZelI::IActor* IRenderImpl::CreateNewActor(const char* name, int flag) {
    if (IsQueueMode()) {
        ZelI::IActor* slot = nullptr;
        return RunToEnd(CreateNewActorAsyn(name, &slot, kSyncPriority, flag), slot);
    }
    return MakeActorNow(name, flag == 0 ? 1 : 0, true);
}

std::uint32_t IRenderImpl::CreateNewActorAsyn(const char* name, void* resultSlot, int priority,
                                              int flag) {
    return QueueActorLoad("CreateNewActorAsyn", kNewActorLoadTaskType, name, resultSlot, priority,
                          flag == 0 ? 1u : 0u);
}

// ---- Levels -------------------------------------------------------------------------------------

ZelI::ILevel* IRenderImpl::CreateAndLoadLevel(const char* name) {
    SceneManager* scene = CreationScene();
    if (!IsFrameBegan() || !scene || !name)
        return nullptr;
    ScopedLock lock(threadmng::kMainLock);
    return LevelInterfaceOrRelease(*scene, scene->CreateAndLoadLevel(name));
}

ZelI::ILevel* IRenderImpl::CreateAndLoadSimpLevel(const char* name) {
    SceneManager* scene = CreationScene();
    if (!IsFrameBegan() || !scene || !name)
        return nullptr;
    ScopedLock lock(threadmng::kMainLock);
    return LevelInterfaceOrRelease(*scene, scene->CreateAndLoadSimpLevel(name));
}

// The first word is the caller's slot (ZelI::ILevel**) that the loading task fills when the load
// ends (null on failure), the second the task's priority. The level's interface is answered at
// once: the level stays out of the pipes until its load ends. Null when nothing was queued.
ZelI::ILevel* IRenderImpl::CreateAndLoadLevelEx(const char* name, std::intptr_t a,
                                                std::intptr_t b) {
    SceneManager* scene = CreationScene();
    if (!IsFrameBegan() || !scene || !name)
        return nullptr;
    SwitchOverride asyncLevel(kAsyncLevelSwitch, 1);
    auto** slot = reinterpret_cast<ZelI::ILevel**>(a);
    if (slot)
        *slot = nullptr;
    Level* level = scene->CreateLevel();
    ZelI::ILevel* wrapper = LevelInterfaceOrRelease(*scene, level);
    if (!wrapper)
        return nullptr;
    if (level->LoadAsync(name, slot, static_cast<std::uint32_t>(b)) == 0) {
        scene->ReleaseEntity(level);
        return nullptr;
    }
    return wrapper;
}

// ---- Sky, billboards, decals and particle buffers ----------------------------------------------

// A new sky on every call, each with a wrapper of its own. The wrapper is bound through the
// sky's carrier like any model's, so that the sky going away (ReleaseAllEntities, shutdown)
// unbinds it rather than leaving the host a wrapper over a released object.
ZelI::ISkyBall* IRenderImpl::CreateSkyBall(const char* name) {
    LogTyped(LOG_MODEL_INFO, "CreateSkyBall, %s", name ? name : "");
    SceneManager* scene = CreationScene();
    if (!name || !scene)
        return nullptr;
    Entity* sky = scene->CreateModel(name);
    if (!sky)
        return nullptr;
    if (ISkyBallImplRC* wrapper = ISkyBallImplRC::Bind(sky))
        return wrapper;
    scene->ReleaseEntity(sky);
    return nullptr;
}

// value: the billboard's flag word (the integer IBillboard sets and reads back).
ZelI::IBillboard* IRenderImpl::CreateNamedBillBoard(const char* name, std::intptr_t value) {
    SceneManager* scene = CreationScene();
    if (!scene)
        return nullptr;
    BillBoard* board = scene->CreateBillBoard(name ? name : "", 0);
    if (!board)
        return nullptr;
    board->SetFlags(static_cast<std::uint32_t>(value));
    auto* wrapper = dynamic_cast<ZelI::IBillboard*>(board->GetInterface());
    if (!wrapper)
        scene->ReleaseEntity(board);
    return wrapper;
}

// The words: the host's IDecalSource, the projection direction, up, centre and half extents
// (three floats each), the material's interface (null: the default material), and the texture
// rectangle's corners (two floats each). Null without a source or a vector, or when nothing was
// built (the decal handed back).
ZelI::IDecal* IRenderImpl::CreateDecalEx(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                         std::intptr_t d, std::intptr_t e, std::intptr_t f,
                                         std::intptr_t g, std::intptr_t h) {
    auto* host = reinterpret_cast<ZelI::IDecalSource*>(a);
    const auto* direction = reinterpret_cast<const float*>(b);
    const auto* up = reinterpret_cast<const float*>(c);
    const auto* centre = reinterpret_cast<const float*>(d);
    const auto* extents = reinterpret_cast<const float*>(e);
    const auto* uvFrom = reinterpret_cast<const float*>(g);
    const auto* uvTo = reinterpret_cast<const float*>(h);
    SceneManager* scene = CreationScene();
    if (!scene || !host || !direction || !up || !centre || !extents || !uvFrom || !uvTo)
        return nullptr;
    DecalSource source;
    source.mainReceiver = UnwrapInterface<Entity, ZelI::IMoveObject>(host->GetMainReceiver());
    const std::uint32_t count = host->GetReceiverCount();
    for (std::uint32_t i = 0; i < count; ++i)
        if (Entity* receiver = UnwrapInterface<Entity, ZelI::IMoveObject>(host->GetReceiver(i)))
            source.receivers.push_back(receiver);
    source.acceptBlended = host->AcceptBlended();
    source.acceptAlphaTested = host->AcceptAlphaTested();
    source.twoSided = host->IsTwoSided();
    Material* material = DecalMaterialOf(reinterpret_cast<ZelI::IObject*>(f));
    Decal* decal =
        scene->CreateDecalEx(source, direction, up, centre, extents, material, uvFrom, uvTo);
    if (!decal)
        return nullptr;
    auto* wrapper = dynamic_cast<ZelI::IDecal*>(decal->GetInterface());
    if (!wrapper)
        decal->ReturnToFactory();
    return wrapper;
}

ZelI::IParticleVB* IRenderImpl::CreateParticleVB() {
    Factory<ParticleVB>* factory = Globals::Find(&Globals::GetParticleFactory);
    ParticleVB* buffer = factory ? factory->Acquire() : nullptr;
    if (!buffer)
        return nullptr;
    ZelI::IParticleVB* wrapper = buffer->GetInterface();
    if (!wrapper)
        factory->Release(buffer);
    return wrapper;
}

// ---- Material libraries -------------------------------------------------------------------------

bool IRenderImpl::LoadMaterialLib(const char* name, int) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!config || !materials || config->GetValue(shaderlib_loader::kMaterialLibSwitch) != 1 ||
        !name)
        return false;
    if (IsQueueMode()) {
        const std::uint32_t id = QueueNamedTask(name, 0, 0, kSyncPriority);
        threadio* worker = LoadingThread();
        return id != 0 && worker && worker->SyncTask(id) == 0;
    }
    ScopedLock lock(threadmng::kMainLock);
    bool success = false;
    return materials->LoadMaterialLibXml(name, success, false, nullptr) && success;
}

std::uint32_t IRenderImpl::QueueNamedTask(const char* name, int textureScaleLevel,
                                          int compressToDds, int priority) {
    if (!name || !*name || !TaskNameFits("QueueNamedTask", name))
        return 0;
    threadio* worker = LoadingThread();
    if (!worker)
        return 0;
    MaterialLibTaskParameter parameter;
    CopyTaskName(parameter.name, name);
    parameter.compressToDds = static_cast<std::uint32_t>(compressToDds);
    parameter.textureScaleLevel = static_cast<std::uint32_t>(textureScaleLevel);
    return worker->CreateTask(kShaderLibTaskType, &parameter, static_cast<std::uint32_t>(priority));
}

// ---- Actions and effects -----------------------------------------------------------------------

bool IRenderImpl::LoadAction(const char* action, ZelI::IModel* model) {
    LogTyped(LOG_MODEL_INFO, "LoadAction, %s", action ? action : "");
    auto* owner = UnwrapInterface<SkeletonModel, ZelI::IMoveObject>(model);
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (!action || !owner || !actions)
        return false;
    if (IsQueueMode()) {
        const std::uint32_t id = LoadActionAsyn(action, model, kSyncPriority);
        threadio* worker = LoadingThread();
        return id != 0 && worker && worker->SyncTask(id) == 0;
    }
    ScopedLock lock(threadmng::kMainLock);
    return actions->GetTreeItemAction(*owner, action) != 0;
}

namespace {

// The skinned model behind a host model and the action manager, both or neither.
struct TreeLookup {
    SkeletonModel* owner = nullptr;
    ActionManager* actions = nullptr;
    explicit operator bool() const { return owner && actions; }
};

TreeLookup LookUpTree(ZelI::IModel* model) {
    TreeLookup lookup{UnwrapInterface<SkeletonModel, ZelI::IMoveObject>(model),
                      Globals::Find(&Globals::GetActionManager)};
    return lookup ? lookup : TreeLookup{};
}

ZelI::IAction* ActionInterface(Action* action) {
    return action ? action->GetInterface() : nullptr;
}

}  // namespace

ZelI::IAction* IRenderImpl::GetTreeItemActionByName(const char* id, ZelI::IModel* model) {
    const TreeLookup tree = LookUpTree(model);
    if (!tree || !id)
        return nullptr;
    return ActionInterface(tree.actions->FindTreeItemAction(id, *tree.owner));
}

void IRenderImpl::ReloadActions() {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (!actions)
        return;
    // The worker reads action files too.
    ScopedLock lock(threadmng::kMainLock);
    actions->ReloadAll();
}

bool IRenderImpl::ReleaseTreeAction(const char* id, ZelI::IModel* model) {
    const TreeLookup tree = LookUpTree(model);
    if (!tree || !id)
        return false;
    ScopedLock lock(threadmng::kMainLock);
    return tree.actions->ReleaseTreeAction(*tree.owner, id);
}

ZelI::IAction* IRenderImpl::GetTreeItemActionAt(std::uint32_t index, ZelI::IModel* model) {
    const TreeLookup tree = LookUpTree(model);
    if (!tree)
        return nullptr;
    return ActionInterface(tree.actions->GetTreeItemActionAt(tree.owner->GetSkeleton(), index));
}

std::uint32_t IRenderImpl::LoadActionAsyn(const char* action, ZelI::IModel* model, int priority) {
    LogTyped(LOG_MODEL_INFO, "LoadActionAsyn, %s", action ? action : "");
    threadio* worker = LoadingThread();
    if (!worker || !action || !*action || !TaskNameFits("LoadActionAsyn", action))
        return 0;
    ActionLoadTaskParameter parameter;
    CopyTaskName(parameter.name, action);
    parameter.model = UnwrapInterface<SkeletonModel, ZelI::IMoveObject>(model);
    return worker->CreateTask(kActionLoadTaskType, &parameter,
                              static_cast<std::uint32_t>(priority));
}

std::uint32_t IRenderImpl::CreateEffectAsyn(const char* name, void* resultSlot, void* effectManager,
                                            int priority) {
    LogTyped(LOG_MODEL_INFO, "CreateEffectAsyn, %s", name ? name : "");
    return QueueEffectLoad(name, resultSlot, effectManager, priority);
}

std::uint32_t IRenderImpl::UnloadEffectAsyn(void* effect, void* effectManager, int priority) {
    return QueueEffectUnload(kEffectUnloadTaskType, effect, effectManager, priority);
}

std::uint32_t IRenderImpl::UnloadEffectDeeplyAsyn(void* effect, void* effectManager, int priority) {
    return QueueEffectUnload(kEffectDeepUnloadTaskType, effect, effectManager, priority);
}

// ---- Preloaded actions (numbered commands 7 and 8) ---------------------------------------------

void IRenderImpl::PreloadRoleActions(const char* directory, void* output) {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (!directory || !actions || !skeletons) {
        LogTyped(LOG_ENGINE_INIT, "缺少动作节点或者骨骼文件");
        return;
    }
    preloadedActions_.clear();
    if (!actions->LoadActionTree(JoinPathWithSlash(directory, "role.xml"))) {
        LogTyped(LOG_ENGINE_INIT, "打开动作文件失败");
        return;
    }
    // The first tree the list names holds the actions every figure shares.
    ActionTreeNode* shared = actions->GetTreeAt(0);
    if (!shared) {
        WriteDecimal(output, 0);
        return;
    }
    Skeleton* boy = skeletons->DefaultBoyFigFile();
    Skeleton* girl = skeletons->DefaultGirlFigFile();
    ActionTreeNode* boyTree = boy ? actions->GetActionTree(boy) : nullptr;
    ActionTreeNode* girlTree = girl ? actions->GetActionTree(girl) : nullptr;
    if (boyTree && girlTree) {
        const std::pair<ActionTreeNode*, Skeleton*> lists[] = {
            {shared, girl}, {boyTree, boy}, {girlTree, girl}};
        std::uint32_t count = 0;
        for (const auto& [tree, skeleton] : lists) {
            for (std::uint32_t n = 0; n < tree->GetItemCount(); ++n)
                preloadedActions_.push_back({tree->GetItemAt(n)->file, SkeletonWord(skeleton)});
            count += tree->GetItemCount();
        }
        WriteDecimal(output, count);
    } else {
        LogTyped(LOG_ENGINE_INIT, "缺少动作节点或者骨骼文件");
    }
    for (Skeleton* skeleton : {boy, girl})
        if (skeleton)
            skeleton->DecRef();
}

void IRenderImpl::PreloadModelActions(const char* name, void* output) {
    // A null name ends here: there is nothing to form a name from.
    if (!name)
        return;
    ZelI::IModel*& model = preloadModels_[name];
    if (!model) {
        const std::string given = name;
        // A name too short to hold an extension is tried only as it is.
        if (given.size() >= 3)
            model = CreateModel((given.substr(0, given.size() - 3) + "ch3").c_str(), 0);
        if (!model)
            model = CreateModel(name, 0);
    }
    auto* owner = UnwrapInterface<SkeletonModel, ZelI::IMoveObject>(model);
    if (!model)
        preloadModels_.erase(name);
    if (!owner)
        return;
    Skeleton* skeleton = owner->GetSkeleton();
    if (!skeleton)
        return;
    constexpr std::uint32_t kMaxIds = 1024;
    std::vector<const char*> ids(kMaxIds, nullptr);
    const std::uint32_t count = owner->GetAnimationIds(ids.data(), kMaxIds);
    for (std::uint32_t n = 0; n < count; ++n)
        if (Action* action = ids[n] ? owner->GetAnimation(ids[n]) : nullptr)
            preloadedActions_.push_back({action->GetResourceName(), SkeletonWord(skeleton)});
    WriteDecimal(output, count);
}

// ---- Release ------------------------------------------------------------------------------------

std::uint32_t IRenderImpl::ReleaseObjectAsyn(ZelI::IObject* object) {
    void* wrapper = object;
    return QueueReleaseTask(&wrapper);
}

}  // namespace Zel
