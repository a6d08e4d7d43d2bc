#include "Entity/Character/Actor.h"

#include "Core/ActorIdCounter.h"
#include "Core/Globals.h"

namespace Zel {

Actor::Actor() {
    if (ActorIdCounter* counter = Globals::Find(&Globals::GetActorIdCounter))
        actorId_ = counter->Next();
}

}  // namespace Zel
