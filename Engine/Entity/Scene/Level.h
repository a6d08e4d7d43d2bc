// The static world of a scene, an entity over a level geometry. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class Level : public Entity {
public:
    Level() = default;
    ~Level() override = default;
    ZEL_CLASS_ID(Level)
};

}  // namespace Zel
