// The parameter records of the loading tasks that create scene objects, and the checks and
// helpers that the host interface's creation calls and those tasks share.
//
// Threads: the records are filled on the host's thread and copied by the task (SetParameter);
// the helpers that make objects run under the thread manager's main lock (host's thread in
// direct mode, loading thread 0 in a task).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ZelI {
class IActor;
class IMaterial;
class IModel;
}  // namespace ZelI

namespace Zel {

class Actor;
class GlobalConfigManager;
class Material;
class SceneManager;
class SkeletonModel;

// Characters a task record's name field holds before its terminator.
constexpr std::size_t kTaskNameCapacity = 255;

// True when name (null counts as empty) fits a task record's 256-byte name field with its
// terminator; otherwise logs one line naming the operation and answers false. A cut name would
// load another file than the one asked for.
bool TaskNameFits(const char* operation, const char* name);
// Copies name (null: empty) into a zero-filled field of kTaskNameCapacity + 1 bytes; the caller
// has checked the length with TaskNameFits.
void CopyTaskName(char* field, const char* name);

// A copied record's text field, cut at its last byte so that a field the caller filled to the
// brim still ends.
template <std::size_t N>
std::string TaskFieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// model_loader (task type 3): the file name, where the model's host interface goes on success,
// and a word no step reads.
struct ModelLoadTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    ZelI::IModel** result = nullptr;
    std::intptr_t unused = 0;
};

// actor_loader (4) and NewActorLoader (5): the file name, where the actor's host interface goes
// on success, and the flag handed to the creation (actor_loader passes its low byte as the sex).
struct ActorLoadTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    ZelI::IActor** result = nullptr;
    std::uint32_t flag = 0;
};

// shaderlib_loader (1): the library path, the compress-to-DDS switch during the load and the
// texture scale level during the load.
struct MaterialLibTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    std::uint32_t compressToDds = 0;
    std::uint32_t textureScaleLevel = 0;
};

// act_loader (2): the action id, a byte no step reads, and the model the action is for.
struct ActionLoadTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    std::uint32_t unused = 0;
    SkeletonModel* model = nullptr;
};

// EffectLoadingTask (19): where the effect goes on success, the host's effect manager and the
// effect name.
struct EffectLoadTaskParameter {
    void** result = nullptr;
    void* effectManager = nullptr;
    char name[kTaskNameCapacity + 1] = {};
};

// EffectUnLoadTask (20) and EffectUnLoadDeeplyTask (21): the effect and the host's effect
// manager.
struct EffectUnloadTaskParameter {
    void* effect = nullptr;
    void* effectManager = nullptr;
};

constexpr std::int32_t kShaderLibTaskType = 1;
constexpr std::int32_t kActionLoadTaskType = 2;
constexpr std::int32_t kEffectLoadTaskType = 19;
constexpr std::int32_t kEffectUnloadTaskType = 20;
constexpr std::int32_t kEffectDeepUnloadTaskType = 21;
constexpr std::int32_t kModelLoadTaskType = 3;
constexpr std::int32_t kActorLoadTaskType = 4;
constexpr std::int32_t kNewActorLoadTaskType = 5;

// A registered actor (a NewActor when newActor) whose description loads from path, with the sex
// set from sex; null, the actor released, when the description does not load. The object is
// placed at the origin.
Actor* CreateActorFromFile(SceneManager& scene, const std::string& path, std::uint8_t sex,
                           bool newActor);
// The actor's host interface; null when its kind has no wrapper, the actor then released: the
// host could never release an object it cannot reach.
ZelI::IActor* ActorInterfaceOrRelease(SceneManager& scene, Actor* actor);

// Queues the effect loading task (19) with its record on worker 0. The slot is not cleared: the
// task stores the effect into it when it completes. 0 for a name the record cannot hold
// (logged) or without worker 0.
std::uint32_t QueueEffectLoad(const char* name, void* resultSlot, void* effectManager,
                              int priority);
// Queues an effect unloading task (20 plain, 21 deep) for the effect and the manager.
std::uint32_t QueueEffectUnload(std::int32_t type, void* effect, void* effectManager, int priority);

// The host interface of a material handed out by a loading task; null while materials have no
// host wrapper, and then the caller hands out nothing and takes no reference.
ZelI::IMaterial* HandOutMaterial(Material& material);

// Sets a global switch for the life of the guard and puts the earlier value back. Nothing
// without a switch manager.
class SwitchOverride {
public:
    SwitchOverride(std::uint32_t index, std::int32_t value);
    ~SwitchOverride();
    SwitchOverride(const SwitchOverride&) = delete;
    SwitchOverride& operator=(const SwitchOverride&) = delete;

private:
    GlobalConfigManager* config_;
    std::uint32_t index_;
    std::int32_t saved_ = 0;
};
// Switch i's value; 0 without a switch manager.
std::int32_t GlobalSwitchValue(std::uint32_t index);

}  // namespace Zel
