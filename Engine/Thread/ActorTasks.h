// The task classes that change an actor's body parts on loading thread 0: one body part (".bp3"
// and ".bp4" files, type 6; ".bp5" files, type 7), the clone of another actor's parts (type 9)
// and the clean-up of the body-part images (type 10).
//
// A body-part load reads the part's files and makes the physics cloth of its cloth companion on
// the worker; the part's sub-entities and materials are made on the host's thread, in the
// main-thread hook after the worker's second step, where the scene and the device belong, and
// the companion's pieces take the physics cloth made for them.
#pragma once

#include <cstdint>
#include <string>

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class Actor;
class ActorMaterialLibrary;
class GeometryBodyPart;
struct BodyPartEntry;

// The record of the body-part task (6): the part file, the actor and the slot.
struct BodyPartTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    Actor* actor = nullptr;
    std::uint32_t slot = 0;
};

// The record of the ".bp5" part task (7): the part file, the actor's material library (whose
// owner is the actor) and the slot.
struct BodyPart5TaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    ActorMaterialLibrary* library = nullptr;
    std::uint32_t slot = 0;
};

// The record of the clone task (9): the actor that takes the parts, the actor they come from, a
// value handed back on success and where it goes (null: nowhere).
struct ActorCloneTaskParameter {
    Actor* destination = nullptr;
    Actor* source = nullptr;
    std::intptr_t value = 0;
    std::intptr_t* result = nullptr;
};

constexpr std::int32_t kBodyPartTaskType = 6;
constexpr std::int32_t kBodyPart5TaskType = 7;
constexpr std::int32_t kActorCloneTaskType = 9;
constexpr std::int32_t kTextureCleanerTaskType = 10;

// Two steps, begin and main, both on the worker; the part is then taken into its slot by the
// host's side. 18 for a missing actor, a part that does not load or one the actor refuses.
class LoadBodyPartTask : public itask {
public:
    static constexpr std::int32_t kFailure = 18;

    LoadBodyPartTask() = default;
    std::int32_t GetType() const override { return kBodyPartTaskType; }
    const char* GetName() const override { return "LoadBodyPartTask"; }
    void Reset() override;
    // The record is a BodyPartTaskParameter.
    void SetParameter(const void* parameter) override;
    // Releases the slot and loads the part's geometry.
    std::int32_t OnTaskBegin() override;
    // Checks the actor again and makes the physics cloth of the part's cloth companion (under
    // the physics mutex); the part is taken on the host's side.
    std::int32_t OnTask() override;
    // 3 becomes 4; after 4 the part is taken into its slot and the actor refreshed, then done.
    std::int32_t OnMainThread(std::int32_t state) override;

protected:
    // The actor, reporting when there is none.
    Actor* CheckedActor();
    // Begin-load and take of the class's kind of part.
    virtual bool BeginLoad(Actor& actor);
    virtual bool TakePart(Actor& actor);
    virtual void PrepareCloth(Actor& actor);
    std::int32_t Fail() {
        SetResult(kFailure);
        return -1;
    }

    std::string name_;
    Actor* actor_ = nullptr;
    std::uint32_t slot_ = 0;

private:
    GeometryBodyPart* geometry_ = nullptr;  // held by the actor geometry's entry
};

class LoadBodyPart5Task : public LoadBodyPartTask {
public:
    std::int32_t GetType() const override { return kBodyPart5TaskType; }
    const char* GetName() const override { return "LoadBodyPart5Task"; }
    void Reset() override;
    // The record is a BodyPart5TaskParameter.
    void SetParameter(const void* parameter) override;

protected:
    bool BeginLoad(Actor& actor) override;
    bool TakePart(Actor& actor) override;
    // The material library loads a ".bp5" part's cloth with the part.
    void PrepareCloth(Actor&) override {}

private:
    BodyPartEntry* entry_ = nullptr;  // owned by the actor geometry
};

// Repeated begin: OnTaskBegin runs once per clone step, index 0 to 3, then the task is done.
// Step 0 releases the destination's parts, 1 shares the source's parts into it, 2 stands for
// the body texture (the parts taken in step 1 have it composed again), 3 restarts its channels
// and hands the value back. A failing step (19, 20, 21) ends the task.
class ActorCloneTask : public itask {
public:
    static constexpr std::int32_t kLastCloneStep = 3;

    std::int32_t GetType() const override { return kActorCloneTaskType; }
    const char* GetName() const override { return "ActorCloneTask"; }
    void Reset() override;
    // The record is an ActorCloneTaskParameter.
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;
    std::int32_t OnMainThread(std::int32_t state) override;
    // The clone step the next OnTaskBegin works on.
    std::int32_t GetCloneStep() const { return cloneStep_; }

private:
    std::int32_t FailStep(std::int32_t code);

    ActorCloneTaskParameter parameter_;
    std::int32_t cloneStep_ = 0;
};

// The queued set of a body part: a task on loading thread 0 (".bp5" files on a plain actor go
// through its material library's task), mode as its priority. Answers the task id; -1 without an
// actor geometry, for a name the record cannot hold (logged) or without loading thread 0.
std::int32_t QueueBodyPart(Actor& actor, std::uint32_t slot, const std::string& name,
                           std::int32_t mode);
// QueueBodyPart with mode 2, then the task run to its end: true when it succeeded.
bool SetBodyPartQueued(Actor& actor, std::uint32_t slot, const std::string& name);

// Every body-part geometry lets go of its images. One step.
class actor_texcleaner : public itask {
public:
    std::int32_t GetType() const override { return kTextureCleanerTaskType; }
    const char* GetName() const override { return "actor_texcleaner"; }
    std::int32_t OnTaskBegin() override;
};

}  // namespace Zel
