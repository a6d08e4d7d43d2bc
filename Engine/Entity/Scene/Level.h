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
    // Chooses the index runs the level draws for a viewer (a light or a camera; null: the
    // current camera). The level octree brings the runs; until then there are none to choose.
    virtual void UpdateVisibleRuns(SceneNode* /*viewer*/) {}
    // Gathers the index runs a light reaches. As above, nothing to gather yet.
    virtual void GatherLightRuns(SceneNode* /*light*/) {}
    // Chooses the runs the camera sees (the pipe's camera push). Nothing to choose yet.
    virtual void Cull(class Camera* /*camera*/) {}
    // Rewrites the index buffer of a transparent piece (its user word names its runs) from the
    // camera's or the light's runs before it is drawn. No runs to write yet.
    virtual void RebuildMeshForCamera(std::uint32_t /*userWord*/) {}
    virtual void RebuildMeshForLight(const Light* /*light*/, std::uint32_t /*userWord*/) {}
};

}  // namespace Zel
