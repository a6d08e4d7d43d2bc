// The picking octree of one entity's triangles. Until the entity octree is built the tree holds
// no triangles: picking through it finds nothing, and an entity falls back on its box.
#pragma once

namespace Zel {

class Entity;

class EntityOctreeNode {
public:
    EntityOctreeNode() = default;
    virtual ~EntityOctreeNode() = default;
    EntityOctreeNode(const EntityOctreeNode&) = delete;
    EntityOctreeNode& operator=(const EntityOctreeNode&) = delete;

    // Fills the tree from the entity's meshes through its world matrix.
    virtual void Build(Entity* /*entity*/) {}
};

}  // namespace Zel
