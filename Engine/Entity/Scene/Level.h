// The static world of a scene, an entity over a level geometry. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class Level : public Entity {
public:
    Level() = default;
    ~Level() override = default;
    ZEL_CLASS_ID(Level)

    // Places a node in the level's spatial tree. A level without its octree (none is built yet)
    // keeps no nodes: the node only leaves the cell it was in.
    virtual void InsertNode(SceneNode* node);
};

}  // namespace Zel
