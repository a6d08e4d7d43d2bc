// The actor loading tasks: actor_loader (type 4) makes an actor from its description file on
// loading thread 0, NewActorLoader (type 5) a NewActor; both in one step, handing the actor's
// host interface to the caller's slot on the host's thread.
#pragma once

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class Actor;

class actor_loader : public itask {
public:
    actor_loader() = default;

    std::int32_t GetType() const override { return type_; }
    const char* GetName() const override { return name_; }
    void Reset() override;
    // The record is an ActorLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // Makes the actor at the origin and keeps its host interface; 17 when it does not load.
    std::int32_t OnTaskBegin() override;
    // Detaches the kept interface: the caller never sees it.
    void OnTaskCancel() override;
    // Host thread: writes the interface into the caller's slot when all went well.
    void OnComplete() override;

    Actor* GetActor() const { return actor_; }

protected:
    actor_loader(std::int32_t type, const char* name, bool newActor)
        : type_(type), name_(name), newActor_(newActor) {}

private:
    std::int32_t type_ = kActorLoadTaskType;
    const char* name_ = "actor_loader";
    bool newActor_ = false;
    ActorLoadTaskParameter parameter_;
    Actor* actor_ = nullptr;             // registered in the scene; not owned
    ZelI::IActor* interface_ = nullptr;  // the actor's wrapper; not owned
};

class NewActorLoader final : public actor_loader {
public:
    NewActorLoader() : actor_loader(kNewActorLoadTaskType, "NewActorLoader", true) {}
};

}  // namespace Zel
