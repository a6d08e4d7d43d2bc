// A cell of a spatial tree. The level's octree is built from these cells over the level's static
// triangles; scene nodes are listed in the cell that best encloses their box. Each frame the level
// drives the tree: the frustum cull sets or clears every listed node's visible-this-frame bit, the
// occluder pass hides what lies wholly behind an occluder, the light pass queues entities per
// light, and the collect passes gather the level's own triangles as index runs.
//
// Threads: the entity list is touched only under the cell's lock, one cell at a time; flags,
// stamps, children and runs are built by the level's load before the level joins a frame, and
// the passes run on the render thread only.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "Core/locksection.h"
#include "Entity/Geometry/IndexRun.h"
#include "Math/AABB.h"

namespace Zel {

class BoundingVolume;
class Frustum;
class Light;
class RenderQueue;
class SceneNode;
struct OccluderRecord;

// Per mesh index, the runs the collect passes gathered (not owned).
using RunTable = std::vector<std::vector<const IndexRun*>>;

// What a tree build reads; the octree's data derives from it.
struct SpatialNodeCreateInfo {
    virtual ~SpatialNodeCreateInfo() = default;
};

enum SpatialNodeFlags : std::uint32_t {
    SPATIAL_VISIBLE = 1,      // result of the last cull
    SPATIAL_LEAF = 2,         // the build stopped here
    SPATIAL_HAS_CONTENT = 4,  // the cell holds triangles of its own
    SPATIAL_OCCLUDED = 8,
};

// Bits of a scene node's visibility-test flags that the tree writes.
enum SpatialTestFlags : std::uint32_t {
    SPATIAL_TEST_CULLED = 1,    // hidden by the frustum test of its cell
    SPATIAL_TEST_OCCLUDED = 2,  // hidden by an occluder
};

class SpatialNode {
public:
    SpatialNode() = default;
    // Deletes the children and runs; every listed scene node loses its cell link.
    virtual ~SpatialNode();
    SpatialNode(const SpatialNode&) = delete;
    SpatialNode& operator=(const SpatialNode&) = delete;

    virtual bool IsVisible() const { return (flags_ & SPATIAL_VISIBLE) != 0; }
    // The cell that should list the node: up the tree until the box fits, then down into the
    // first child it fits. A cell entered once under stamp answers null.
    virtual SpatialNode* FindNode(SceneNode* node, bool allowUp, bool descend, std::uint32_t stamp);
    // Lists the node in FindNode's cell, leaving its old cell. False when no cell took it.
    virtual bool Insert(SceneNode* node, bool allowUp, bool descend, std::uint32_t stamp);
    // Unlists the node; its cell link is the caller's.
    virtual void Remove(SceneNode* node);
    virtual bool Contains(const SceneNode* node) const;
    // Re-places a node whose bounds changed, starting from this cell (a fresh scene stamp).
    virtual bool Place(SceneNode* node);
    // code: the parent's classification against volume (2 for a caller that knows nothing).
    virtual void CollectEntities(const BoundingVolume& volume, std::vector<SceneNode*>& out,
                                 int code);
    virtual void CollectNodes(const BoundingVolume& volume, std::vector<SpatialNode*>& out,
                              int code);
    // Classifies every cell and listed node; depthLimit -1 cuts nothing, else cells at that depth
    // and below count as hidden.
    virtual void Cull(const Frustum& frustum, int code, int depthLimit);
    // Clears the occluded bit of the whole tree (occluder culling switched off).
    virtual void ClearOccludedShallow();
    virtual void CullByOccluder(const OccluderRecord& record);
    virtual void CullEntities(const Frustum& frustum);
    virtual void CullForLight(Light* light, RenderQueue* queue, RunTable& runs, int code);
    virtual void CollectVisibleRuns(RunTable& runs);
    virtual void CollectRunsForLight(const Light* light, RunTable& runs, int code);
    virtual const AABB& GetBox() const = 0;
    virtual const AABB& GetContentBox() const { return GetBox(); }
    virtual void Build(const SpatialNodeCreateInfo& info) = 0;
    virtual void FinishBuild();
    virtual void CollectRunsInVolume(const BoundingVolume& volume, RunTable& runs, int code);
    virtual void CollectVisibleRunsInVolume(const BoundingVolume& volume, RunTable& runs, int code);
    virtual void SetOccluded(bool occluded);
    // The debug view: draws the cell's box (RenderSystem::DrawAABB through the scene's render
    // system) as DebugColourIndex says, then, when recurse is set and the depth is below
    // depthLimit (-1: no limit), each child's. Nothing at all when predicateA is below 1. colour
    // is not read. Answers the boxes handed to the render system. Host thread.
    virtual std::uint32_t DrawDebug(bool recurse, const float* colour, int mode, int predicateA,
                                    int predicateB, int depthLimit);
    // The debug colour (index into the table below) this cell's box is drawn in, or -1. Predicate
    // i: 0 never, 1 always, 2 leaf, 3 occluded, 4 visible, 5 lists scene nodes, 6 not occluded;
    // an index outside the table never holds. Mode 0: both predicates hold, colour predicateB.
    // Mode 1: predicateA holds, colour predicateB when it is above 0 and holds, else predicateA.
    // Colours: 0 black, 1 white, 2 green, 3 red, 4 blue, 5 yellow, 6 grey-blue.
    int DebugColourIndex(int mode, int predicateA, int predicateB) const;

    void SetEntitiesVisible(bool visible);
    void SetParentAndName(SpatialNode* parent, std::uint32_t index);
    bool HasEntities() const;

    const std::string& GetName() const { return name_; }
    // The name's length minus 1 ("0" is the root).
    int GetDepth() const { return static_cast<int>(name_.size()) - 1; }
    SpatialNode* GetParent() const { return parent_; }
    std::uint32_t GetChildCount() const { return static_cast<std::uint32_t>(children_.size()); }
    SpatialNode* GetChild(std::uint32_t i) const {
        return i < children_.size() ? children_[i].get() : nullptr;
    }
    std::uint32_t GetFlags() const { return flags_; }
    const std::vector<IndexRun>& GetRuns() const { return runs_; }
    std::uint32_t GetLowestMesh() const { return lowestMesh_; }
    std::uint32_t GetHighestMesh() const { return highestMesh_; }

protected:
    // Visits this cell and its subtree where volume meets them (code as for CollectEntities).
    template <class Visit>
    void WalkVolume(const BoundingVolume& volume, int code, const Visit& visit);
    void TakeAllRuns(RunTable& runs) const;
    // The walk shared by the light and volume collects: volume tests the cell box when code is 2
    // or 3; needVisible skips hidden cells.
    void CollectRunsWalk(const BoundingVolume& volume, RunTable& runs, int code, bool needVisible);

    std::string name_ = "Error";
    SpatialNode* parent_ = nullptr;
    std::vector<std::unique_ptr<SpatialNode>> children_;
    std::uint32_t visitStamp_ = 0;
    std::list<SceneNode*> entities_;
    mutable locksection lock_;
    std::uint32_t flags_ = 0;
    std::vector<IndexRun> runs_;
    std::vector<std::vector<std::uint32_t>> runIndices_;  // owns each run's indices
    std::uint32_t lowestMesh_ = 9999;
    std::uint32_t highestMesh_ = 0;
};

}  // namespace Zel
