// The character model of the newer body-part kinds. Pooled in its factory in Globals.
#pragma once

#include "Entity/Character/Actor.h"

namespace Zel {

class NewActor : public Actor {
public:
    NewActor() = default;
    ~NewActor() override = default;
    ZEL_CLASS_ID(NewActor)
};

}  // namespace Zel
