// A cell of the level's spatial tree: it holds the scene nodes whose boxes it bounds. Until the
// level octree arrives the tree holds nothing and these operations place nobody; scene nodes
// already keep their cell link and call them where the tree expects to hear of a change.
#pragma once

#include <cstdint>

namespace Zel {

class SceneNode;

class SpatialNode {
public:
    SpatialNode() = default;
    virtual ~SpatialNode() = default;
    SpatialNode(const SpatialNode&) = delete;
    SpatialNode& operator=(const SpatialNode&) = delete;

    // Puts the node into the tree below this cell (stamp: the scene manager's insertion stamp, so
    // that one insertion visits a cell once). True when a cell took it.
    virtual bool Insert(SceneNode* /*node*/, bool /*up*/, bool /*down*/, std::uint32_t /*stamp*/) {
        return false;
    }
    // Re-places a node whose bounds changed, starting from this cell.
    virtual bool Place(SceneNode* /*node*/) { return false; }
    // Takes the node out of this cell.
    virtual void Remove(SceneNode* /*node*/) {}
};

}  // namespace Zel
