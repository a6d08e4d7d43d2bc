#include "Entity/Character/ActorTemplates.h"

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Character/Actor.h"

namespace Zel {
namespace {
void GiveBack(Actor* actor) {
    if (!actor)
        return;
    if (Factory<Actor>* factory = Globals::Find(&Globals::GetActorFactory))
        factory->Release(actor);
}
}  // namespace

ActorTemplates::~ActorTemplates() {
    for (Actor*& actor : templates_) {
        GiveBack(actor);
        actor = nullptr;
    }
}

void ActorTemplates::SetTemplate(int slot, Actor* actor) {
    if (slot != 0 && slot != 1)
        return;
    if (templates_[slot] != actor)
        GiveBack(templates_[slot]);
    templates_[slot] = actor;
}

}  // namespace Zel
