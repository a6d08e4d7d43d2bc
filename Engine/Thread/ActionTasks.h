// The one-step task classes that make actions resident and carry out actor requests on loading
// thread 0: the channel's set-action and set-next-action tasks, the shared-set load, and the
// actor's material rebuild and level-of-detail change. Each copies its parameter record in
// SetParameter and works in OnTaskBegin under the main lock; the channel and actor changes the
// host asked for are made on the host's thread by the caller, these only prepare them.
#pragma once

#include <cstdint>

#include "Core/itask.h"

namespace Zel {

class Actor;
class ActionOwner;
class AnimationChannel;
class SkeletonModel;

// The parameter record of the set-action and set-next-action tasks.
struct ActionRequestRecord {
    static constexpr std::size_t kNameSize = 128;

    AnimationChannel* channel = nullptr;  // not read by the task
    char name[kNameSize] = {};            // zero-terminated
    std::uint8_t loop = 0;                // not read by the task
    std::uint8_t padding[3] = {};
    ActionOwner* owner = nullptr;  // the channel's owner model
};

// The parameter record of the shared-set load.
struct SharedActionRequestRecord {
    static constexpr std::size_t kSetNameSize = 128;
    static constexpr std::size_t kFileSize = 256;

    char setName[kSetNameSize] = {};
    char file[kFileSize] = {};
    SkeletonModel* model = nullptr;
};

// The parameter record of the level-of-detail task.
struct ActorLodRecord {
    Actor* actor = nullptr;
    std::int32_t level = 0;
};

// Makes the named tree action of the owner resident; fails with kFailure without an owner or
// when the action does not resolve. Types 12 and 14 differ only in name.
class ChannelActionTask : public itask {
public:
    static constexpr std::int32_t kFailure = 22;

    void Reset() override;
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;
    const ActionRequestRecord& GetRecord() const { return record_; }

private:
    ActionRequestRecord record_;
};

class AnimationChannel_SetActionTask final : public ChannelActionTask {
public:
    static constexpr std::int32_t kType = 12;
    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "AnimationChannel_SetActionTask"; }
};

class AnimationChannel_SetNextActionTask final : public ChannelActionTask {
public:
    static constexpr std::int32_t kType = 14;
    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "animchn_set_NextAction"; }
};

// Adds the action file to the shared set of the model's skeleton; fails with kFailure without a
// model or when the file adds nothing.
class SharedActions_LoadActionTask final : public itask {
public:
    static constexpr std::int32_t kType = 17;
    static constexpr std::int32_t kFailure = 28;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "SharedActions_LoadActionTask"; }
    void Reset() override;
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;

private:
    SharedActionRequestRecord record_;
};

// Rebuilds the actor's materials. The parameter is the actor itself, not a record. Always
// answers 1; without an actor it reports.
class ActorProcessTask final : public itask {
public:
    static constexpr std::int32_t kType = 8;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "actorprocess_param"; }
    void Reset() override;
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;

private:
    Actor* actor_ = nullptr;
};

// Sets the actor's level of detail (the actor keeps only levels it knows). Always answers 1.
class actor_setlod final : public itask {
public:
    static constexpr std::int32_t kType = 11;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "actor_setlod"; }
    void Reset() override;
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;

private:
    ActorLodRecord record_;
};

}  // namespace Zel
