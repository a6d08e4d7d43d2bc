#include "Entity/Scene/RenderableGroup.h"

#include <algorithm>
#include <cmath>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Renderable.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/AABB.h"

namespace Zel {

// --- Solid groups -------------------------------------------------------------------------------

RenderablePipelinePerLight& PerLightPipelineMap::GetPipeline(Light* light) {
    std::unique_ptr<RenderablePipelinePerLight>& pipeline = pipelines_[light];
    if (!pipeline)
        pipeline = std::make_unique<RenderablePipelinePerLight>(slot_, light, this);
    return *pipeline;
}

void PerLightPipelineMap::Clear() {
    for (auto& [light, pipeline] : pipelines_) pipeline->Clear();
}

PerLightPipelineMap* RenderableGroupSolid::GetLightPipelineMap(std::int32_t slot) {
    if (slot < 0 || slot >= kSlotCount) {
        ReportEnsureFailure("pipeline slot < 20", __FILE__, __LINE__);
        return nullptr;
    }
    if (!maps_[slot])
        maps_[slot] = std::make_unique<PerLightPipelineMap>(slot, this);
    return maps_[slot].get();
}

PerLightPipelineMap* RenderableGroupSolid::FindLightPipelineMap(std::int32_t slot) const {
    return slot >= 0 && slot < kSlotCount ? maps_[slot].get() : nullptr;
}

void RenderableGroupSolid::Add(Renderable* renderable, Pass* pass, Light* light,
                               std::int32_t slot) {
    if (PerLightPipelineMap* map = GetLightPipelineMap(slot))
        map->GetPipeline(light).Add(renderable, pass);
}

void RenderableGroupSolid::Clear() {
    for (auto& map : maps_)
        if (map)
            map->Clear();
}

// --- Transparent groups -------------------------------------------------------------------------

void RenderableGroupTransparent::Add(Renderable* renderable, Pass* pass, Light* light,
                                     std::int32_t slot) {
    if (!renderable || !pass)
        return;
    entries_.push_back({renderable, pass, light, slot, 0.0f});
}

void RenderableGroupTransparent::Render() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    SortAndPair(scene ? scene->GetMainCamera() : nullptr);
}

void RenderableGroupTransparent::SortAndPair(Camera* camera) {
    if (entries_.empty())
        return;
    for (Entry& entry : entries_) entry.renderable->GetBoundingBox();
    if (camera) {
        const float* position = camera->GetWorldPosition();
        const float p[3] = {position[0], position[1], position[2]};
        const float* direction = camera->GetDirection();
        const float d[3] = {direction[0], direction[1], direction[2]};
        for (Entry& entry : entries_) {
            float centre[3];
            entry.renderable->GetStoredBox().GetCenter(centre);
            const float along =
                d[0] * (centre[0] - p[0]) + d[1] * (centre[1] - p[1]) + d[2] * (centre[2] - p[2]);
            const float depth =
                std::fabs(static_cast<float>(entry.renderable->GetSortKey()) * along);
            entry.depth = std::isnan(depth) ? 0.0f : depth;
        }
        SortByDepth();
    }
    Pair();
}

void RenderableGroupTransparent::SortByDepth() {
    // A bottom-up merge sort, farther first: stable, so equal depths keep the queue order and
    // the result is the same whatever the platform's sort does with ties.
    const std::size_t n = entries_.size();
    scratch_.resize(n);
    std::vector<Entry>* from = &entries_;
    std::vector<Entry>* to = &scratch_;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi)
                (*to)[out++] = (*from)[b].depth > (*from)[a].depth ? (*from)[b++] : (*from)[a++];
            while (a < mid) (*to)[out++] = (*from)[a++];
            while (b < hi) (*to)[out++] = (*from)[b++];
        }
        std::swap(from, to);
    }
    if (from != &entries_)
        entries_.swap(scratch_);
}

void RenderableGroupTransparent::Pair() {
    scratch_.clear();
    const std::size_t n = entries_.size();
    for (std::size_t i = 0; i < n;) {
        const Entry& entry = entries_[i];
        Material* material = entry.renderable->GetMaterial();
        if (!material) {
            ++i;
            continue;
        }
        if (i + 1 == n) {
            scratch_.push_back(entry);
            break;
        }
        const Entry& next = entries_[i + 1];
        Material* nextMaterial = next.renderable->GetMaterial();
        const bool pair = nextMaterial && nextMaterial == material &&
                          entry.renderable->GetVertexData() == next.renderable->GetVertexData() &&
                          material->GetPassCount() == 2 &&
                          entry.pass->renderState.cullMode != next.pass->renderState.cullMode;
        if (!pair) {
            scratch_.push_back(entry);
            ++i;
            continue;
        }
        // The far faces of a two-sided piece go first: the pass culling the near ones.
        const bool nextFirst = next.pass->renderState.cullMode == CULL_COUNTER_CLOCKWISE;
        scratch_.push_back(nextFirst ? next : entry);
        scratch_.push_back(nextFirst ? entry : next);
        i += 2;
    }
    entries_.swap(scratch_);
}

}  // namespace Zel
