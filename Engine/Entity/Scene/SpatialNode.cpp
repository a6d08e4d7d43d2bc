#include "Entity/Scene/SpatialNode.h"

#include <algorithm>

#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/SectionGuard.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "Math/Frustum.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

bool ShowsSceneNode(const SceneNode* node) {
    return (node->GetState() & NODE_VISIBLE) != 0;
}

void MarkForLight(SceneNode* node, Light* light, RenderQueue* queue) {
    node->SetLightMask(node->GetLightMask() | light->GetLightBit());
    node->AddSubEntitiesForLight(queue, light, nullptr);
}

}  // namespace

SpatialNode::~SpatialNode() {
    children_.clear();
    SectionGuard guard(lock_);
    for (SceneNode* node : entities_)
        if (node->GetSpatialCell() == this)
            node->SetSpatialCell(nullptr);
    entities_.clear();
}

SpatialNode* SpatialNode::FindNode(SceneNode* node, bool allowUp, bool descend,
                                   std::uint32_t stamp) {
    if (visitStamp_ == stamp)
        return nullptr;
    visitStamp_ = stamp;
    const int k = GetBox().Intersect(node->GetBoundingBox());
    if (k == INTERSECT_INSIDE) {
        if (!descend)
            return this;
        for (const auto& child : children_)
            if (SpatialNode* found = child->FindNode(node, false, true, stamp))
                return found;
        return this;
    }
    if (k < INTERSECT_DISJOINT || k > INTERSECT_ENCLOSED)
        return nullptr;
    if (allowUp && parent_)
        return parent_->FindNode(node, true, k == INTERSECT_DISJOINT, stamp);
    return parent_ ? nullptr : this;
}

bool SpatialNode::Insert(SceneNode* node, bool allowUp, bool descend, std::uint32_t stamp) {
    if (!node)
        return false;
    SpatialNode* target = FindNode(node, allowUp, descend, stamp);
    if (!target)
        return false;
    SpatialNode* old = node->GetSpatialCell();
    if (old == target)
        return true;
    if (old)
        old->Remove(node);
    node->SetSpatialCell(target);
    SectionGuard guard(target->lock_);
    target->entities_.push_back(node);
    return true;
}

void SpatialNode::Remove(SceneNode* node) {
    SectionGuard guard(lock_);
    const auto it = std::find(entities_.begin(), entities_.end(), node);
    if (it != entities_.end())
        entities_.erase(it);
}

bool SpatialNode::Contains(const SceneNode* node) const {
    return node && node->GetSpatialCell() == this;
}

bool SpatialNode::Place(SceneNode* node) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    // Without a scene manager a private counter keeps each placement's stamp fresh.
    static std::uint32_t fallbackStamp = 0;
    const std::uint32_t stamp = scene ? scene->NextSpatialStamp() : ++fallbackStamp;
    return Insert(node, true, true, stamp);
}

void SpatialNode::SetEntitiesVisible(bool visible) {
    SectionGuard guard(lock_);
    for (SceneNode* node : entities_) {
        const std::uint32_t tests = node->GetVisibilityTestFlags();
        if (visible) {
            node->SetStateBits(NODE_VISIBLE);
            node->SetVisibilityTestFlags(tests & ~SPATIAL_TEST_CULLED);
        } else {
            node->ClearStateBits(NODE_VISIBLE);
            node->SetVisibilityTestFlags(tests | SPATIAL_TEST_CULLED);
        }
    }
}

void SpatialNode::SetParentAndName(SpatialNode* parent, std::uint32_t index) {
    parent_ = parent;
    name_ = (parent ? parent->name_ : std::string()) + std::to_string(index);
}

bool SpatialNode::HasEntities() const {
    SectionGuard guard(lock_);
    return !entities_.empty();
}

namespace {

constexpr int kDebugPredicateCount = 7;
constexpr float kDebugColours[kDebugPredicateCount][4] = {
    {0, 0, 0, 1}, {1, 1, 1, 1}, {0, 1, 0, 1},          {1, 0, 0, 1},
    {0, 0, 1, 1}, {1, 1, 0, 1}, {0.5f, 0.6f, 0.7f, 1},
};

}  // namespace

int SpatialNode::DebugColourIndex(int mode, int predicateA, int predicateB) const {
    const auto holds = [this](int predicate) {
        switch (predicate) {
            case 1:
                return true;
            case 2:
                return (flags_ & SPATIAL_LEAF) != 0;
            case 3:
                return (flags_ & SPATIAL_OCCLUDED) != 0;
            case 4:
                return (flags_ & SPATIAL_VISIBLE) != 0;
            case 5:
                return HasEntities();
            case 6:
                return (flags_ & SPATIAL_OCCLUDED) == 0;
            default:  // 0 never; an index outside the table never holds
                return false;
        }
    };
    if (mode == 0)
        return holds(predicateA) && holds(predicateB) ? predicateB : -1;
    if (mode == 1 && holds(predicateA))
        return predicateB > 0 && holds(predicateB) ? predicateB : predicateA;
    return -1;
}

std::uint32_t SpatialNode::DrawDebug(bool recurse, const float* colour, int mode, int predicateA,
                                     int predicateB, int depthLimit) {
    if (predicateA < 1)
        return 0;
    std::uint32_t drawn = 0;
    const int index = DebugColourIndex(mode, predicateA, predicateB);
    if (index >= 0) {
        SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        if (RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr) {
            const AABB& box = GetBox();
            system->DrawAABB(box.GetMin(), box.GetMax(), kDebugColours[index]);
            ++drawn;
        }
    }
    if (recurse && (depthLimit == -1 || GetDepth() < depthLimit))
        for (const auto& child : children_)
            drawn += child->DrawDebug(true, colour, mode, predicateA, predicateB, depthLimit);
    return drawn;
}

template <class Visit>
void SpatialNode::WalkVolume(const BoundingVolume& volume, int code, const Visit& visit) {
    if (code == INTERSECT_DISJOINT)
        return;
    if (code != INTERSECT_INSIDE) {
        code = volume.Intersect(GetBox());
        if (code == INTERSECT_DISJOINT)
            return;
    }
    visit(*this);
    for (const auto& child : children_) child->WalkVolume(volume, code, visit);
}

void SpatialNode::CollectEntities(const BoundingVolume& volume, std::vector<SceneNode*>& out,
                                  int code) {
    WalkVolume(volume, code, [&out](SpatialNode& node) {
        SectionGuard guard(node.lock_);
        out.insert(out.end(), node.entities_.begin(), node.entities_.end());
    });
}

void SpatialNode::CollectNodes(const BoundingVolume& volume, std::vector<SpatialNode*>& out,
                               int code) {
    WalkVolume(volume, code, [&out](SpatialNode& node) { out.push_back(&node); });
}

void SpatialNode::Cull(const Frustum& frustum, int code, int depthLimit) {
    int childCode = code;
    if (depthLimit != -1 && GetDepth() >= depthLimit) {
        flags_ &= ~SPATIAL_VISIBLE;
        SetEntitiesVisible(false);
    } else if (code == INTERSECT_INSIDE || code == INTERSECT_DISJOINT) {
        const bool visible = code == INTERSECT_INSIDE;
        flags_ = visible ? (flags_ | SPATIAL_VISIBLE) : (flags_ & ~SPATIAL_VISIBLE);
        SetEntitiesVisible(visible);
    } else {
        childCode = frustum.Intersect(GetBox());
        if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
            ++(*stats)[FRAME_NODES_TESTED];
        if (childCode == INTERSECT_DISJOINT) {
            flags_ &= ~SPATIAL_VISIBLE;
            SetEntitiesVisible(false);
        } else {
            flags_ |= SPATIAL_VISIBLE;
            if (childCode == INTERSECT_INSIDE)
                SetEntitiesVisible(true);
            else
                CullEntities(frustum);
        }
    }
    for (const auto& child : children_) child->Cull(frustum, childCode, depthLimit);
}

void SpatialNode::CullEntities(const Frustum& frustum) {
    SectionGuard guard(lock_);
    for (SceneNode* node : entities_) {
        if (frustum.Intersect(node->GetBoundingBox()) == INTERSECT_DISJOINT)
            node->ClearStateBits(NODE_VISIBLE);
        else
            node->SetStateBits(NODE_VISIBLE);
    }
}

void SpatialNode::ClearOccludedShallow() {
    // Switching occluders off must show every cell again, however deep the last pass hid it.
    flags_ &= ~SPATIAL_OCCLUDED;
    for (const auto& child : children_) child->ClearOccludedShallow();
}

void SpatialNode::SetOccluded(bool occluded) {
    flags_ = occluded ? (flags_ | SPATIAL_OCCLUDED) : (flags_ & ~SPATIAL_OCCLUDED);
    {
        SectionGuard guard(lock_);
        for (SceneNode* node : entities_) {
            if (!ShowsSceneNode(node))
                continue;
            const std::uint32_t tests = node->GetVisibilityTestFlags();
            if (occluded) {
                node->ClearStateBits(NODE_VISIBLE);
                node->SetVisibilityTestFlags(tests | SPATIAL_TEST_OCCLUDED);
            } else {
                node->SetVisibilityTestFlags(tests & ~SPATIAL_TEST_OCCLUDED);
            }
        }
    }
    for (const auto& child : children_) child->SetOccluded(occluded);
}

void SpatialNode::CullByOccluder(const OccluderRecord& record) {
    if (!(flags_ & SPATIAL_VISIBLE) || (flags_ & SPATIAL_OCCLUDED))
        return;
    const AABB& box = GetBox();
    const int side = OccluderVolume::ClassifyBox(record, box.GetMin(), box.GetMax());
    if (side == 0) {
        SetOccluded(true);
        return;
    }
    {
        SectionGuard guard(lock_);
        for (SceneNode* node : entities_) {
            if (!ShowsSceneNode(node))
                continue;
            const AABB& own = node->GetBoundingBox();
            const std::uint32_t tests = node->GetVisibilityTestFlags();
            if (OccluderVolume::ClassifyBox(record, own.GetMin(), own.GetMax()) == 0) {
                node->ClearStateBits(NODE_VISIBLE);
                node->SetVisibilityTestFlags(tests | SPATIAL_TEST_OCCLUDED);
            } else {
                node->SetVisibilityTestFlags(tests & ~SPATIAL_TEST_OCCLUDED);
            }
        }
    }
    // A cell wholly outside one plane of the volume holds only cells and nodes that are outside
    // it too (their boxes lie in the cell's), so none of them can be hidden by this occluder.
    if (side == 1)
        return;
    for (const auto& child : children_) child->CullByOccluder(record);
}

void SpatialNode::TakeAllRuns(RunTable& runs) const {
    for (const IndexRun& run : runs_)
        if (run.meshIndex < runs.size())
            runs[run.meshIndex].push_back(&run);
}

void SpatialNode::CullForLight(Light* light, RenderQueue* queue, RunTable& runs, int code) {
    if (!IsVisible() || !light)
        return;
    // A light without position reaches every visible cell, whatever its sphere says.
    if (light->GetKind() == 0)
        code = INTERSECT_INSIDE;
    if (code == INTERSECT_DISJOINT)
        return;
    int childCode = code;
    if (code == INTERSECT_INSIDE) {
        TakeAllRuns(runs);
        SectionGuard guard(lock_);
        for (SceneNode* node : entities_)
            if (ShowsSceneNode(node))
                MarkForLight(node, light, queue);
    } else {
        const Sphere& sphere = light->GetSphere();
        childCode = sphere.Intersect(GetBox());
        if (childCode == INTERSECT_INSIDE) {
            TakeAllRuns(runs);
            SectionGuard guard(lock_);
            for (SceneNode* node : entities_)
                if (ShowsSceneNode(node))
                    MarkForLight(node, light, queue);
        } else if (childCode != INTERSECT_DISJOINT) {
            if ((flags_ & SPATIAL_HAS_CONTENT) &&
                sphere.Intersect(GetContentBox()) != INTERSECT_DISJOINT)
                TakeAllRuns(runs);
            SectionGuard guard(lock_);
            for (SceneNode* node : entities_)
                if (ShowsSceneNode(node) &&
                    sphere.Intersect(node->GetBoundingBox()) != INTERSECT_DISJOINT)
                    MarkForLight(node, light, queue);
        }
    }
    for (const auto& child : children_) child->CullForLight(light, queue, runs, childCode);
}

void SpatialNode::CollectVisibleRuns(RunTable& runs) {
    if (!IsVisible() || (flags_ & SPATIAL_OCCLUDED))
        return;
    TakeAllRuns(runs);
    for (const auto& child : children_) child->CollectVisibleRuns(runs);
}

void SpatialNode::CollectRunsWalk(const BoundingVolume& volume, RunTable& runs, int code,
                                  bool needVisible) {
    if ((needVisible && !IsVisible()) || code == INTERSECT_DISJOINT)
        return;
    if (code != INTERSECT_INSIDE) {
        code = volume.Intersect(GetBox());
        if (code == INTERSECT_INSIDE)
            TakeAllRuns(runs);
        else if (code != INTERSECT_DISJOINT && (flags_ & SPATIAL_HAS_CONTENT) &&
                 volume.Intersect(GetContentBox()) != INTERSECT_DISJOINT)
            TakeAllRuns(runs);
    } else {
        TakeAllRuns(runs);
    }
    for (const auto& child : children_) child->CollectRunsWalk(volume, runs, code, needVisible);
}

void SpatialNode::CollectRunsForLight(const Light* light, RunTable& runs, int code) {
    if (!light)
        return;
    // A light without position reaches every visible cell, whatever its sphere says.
    if (light->GetKind() == 0)
        code = INTERSECT_INSIDE;
    CollectRunsWalk(light->GetSphere(), runs, code, true);
}

void SpatialNode::CollectRunsInVolume(const BoundingVolume& volume, RunTable& runs, int code) {
    CollectRunsWalk(volume, runs, code, false);
}

void SpatialNode::CollectVisibleRunsInVolume(const BoundingVolume& volume, RunTable& runs,
                                             int code) {
    CollectRunsWalk(volume, runs, code, true);
}

void SpatialNode::FinishBuild() {
    for (const auto& child : children_) child->FinishBuild();
}

}  // namespace Zel
