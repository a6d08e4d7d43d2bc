// The character model: a skeleton model assembled from body parts. Pooled in its factory in
// Globals; each actor takes a new id from the actor id counter of Globals when it is built.
#pragma once

#include <cstdint>

#include "Entity/Character/SkeletonModel.h"

namespace Zel {

class Actor : public SkeletonModel {
public:
    Actor();
    ~Actor() override = default;
    ZEL_CLASS_ID(Actor)

    // -1 when no counter existed at construction.
    std::int32_t GetActorId() const { return actorId_; }

private:
    std::int32_t actorId_ = -1;
};

}  // namespace Zel
