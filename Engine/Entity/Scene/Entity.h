// The drawable scene object: a node holding a geometry and one sub-entity per mesh. Pooled in its
// factory in Globals.
#pragma once

#include "Entity/Scene/SceneNode.h"

namespace Zel {

class Entity : public SceneNode {
public:
    Entity() = default;
    ~Entity() override = default;
    ZEL_CLASS_ID(Entity)
};

}  // namespace Zel
