// The parameter records of the loading tasks that create scene objects, and the checks and
// helpers that the host interface's creation calls and those tasks share.
//
// Threads: the records are filled on the host's thread and copied by the task (SetParameter);
// the helpers that make objects run under the thread manager's main lock (host's thread in
// direct mode, loading thread 0 in a task).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZelI {
class IActor;
class IModel;
}  // namespace ZelI

namespace Zel {

class Actor;
class SceneManager;

// Characters a task record's name field holds before its terminator.
constexpr std::size_t kTaskNameCapacity = 255;

// True when name (null counts as empty) fits a task record's 256-byte name field with its
// terminator; otherwise logs one line naming the operation and answers false. A cut name would
// load another file than the one asked for.
bool TaskNameFits(const char* operation, const char* name);
// Copies name (null: empty) into a zero-filled field of kTaskNameCapacity + 1 bytes; the caller
// has checked the length with TaskNameFits.
void CopyTaskName(char* field, const char* name);

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

constexpr std::int32_t kShaderLibTaskType = 1;
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

}  // namespace Zel
