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

    // Hands the object back to the Globals factory of its own kind, then lets the resource
    // managers collect what it held. The scene manager's ReleaseEntity ends here.
    virtual void ReturnToFactory();
};

}  // namespace Zel
