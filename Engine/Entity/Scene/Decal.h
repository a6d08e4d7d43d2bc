// A decal projected onto the scene. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class Decal : public Entity {
public:
    Decal() = default;
    ~Decal() override = default;
    ZEL_CLASS_ID(Decal)
};

}  // namespace Zel
