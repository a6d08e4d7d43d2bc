// The two template actors from which characters are cloned. Globals builds the holder with no
// templates; destroying it gives the templates held back to the actor factory, so it goes before
// the factories.
#pragma once

namespace Zel {

class Actor;

class ActorTemplates {
public:
    ActorTemplates() = default;
    ~ActorTemplates();
    ActorTemplates(const ActorTemplates&) = delete;
    ActorTemplates& operator=(const ActorTemplates&) = delete;

    // The template of slot 0 or 1; null while none is held (or for another slot).
    Actor* GetTemplate(int slot) const {
        return slot == 0 || slot == 1 ? templates_[slot] : nullptr;
    }
    // Takes an actor acquired from the actor factory as the template of the slot, giving back the
    // one held before; another slot is ignored.
    void SetTemplate(int slot, Actor* actor);

private:
    Actor* templates_[2] = {};
};

}  // namespace Zel
