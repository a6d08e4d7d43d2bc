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

void PerLightPipelineMap::Forget(const Light* light) {
    if (light) {
        pipelines_.erase(const_cast<Light*>(light));
        return;
    }
    for (auto it = pipelines_.begin(); it != pipelines_.end();)
        it = it->first ? pipelines_.erase(it) : std::next(it);
}

void RenderableGroupSolid::ForgetLight(const Light* light) {
    lastPipeline_ = nullptr;
    for (auto& map : maps_)
        if (map)
            map->Forget(light);
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
    RenderablePipelinePerLight* pipeline = lastPipeline_;
    if (!pipeline || pipeline->GetSlot() != slot || pipeline->GetLight() != light) {
        PerLightPipelineMap* map = GetLightPipelineMap(slot);
        if (!map)
            return;
        pipeline = lastPipeline_ = &map->GetPipeline(light);
    }
    pipeline->Add(renderable, pass);
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
    entries_.push_back({renderable, pass, light, slot});
}

void RenderableGroupTransparent::Render() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    SortAndPair(scene ? scene->GetMainCamera() : nullptr);
}

void RenderableGroupTransparent::SortAndPair(Camera* camera) {
    if (entries_.empty())
        return;
    const auto n = static_cast<std::uint32_t>(entries_.size());
    keys_.resize(n);
    float p[3] = {0.0f, 0.0f, 0.0f}, d[3] = {0.0f, 0.0f, 0.0f};
    if (camera) {
        const float* position = camera->GetWorldPosition();
        const float* direction = camera->GetDirection();
        for (int c = 0; c < 3; ++c) {
            p[c] = position[c];
            d[c] = direction[c];
        }
    }
    // One walk refreshes each box and, with a camera, takes its depth while the piece is at hand.
    for (std::uint32_t i = 0; i < n; ++i) {
        Renderable& piece = *entries_[i].renderable;
        const AABB& box = piece.GetBoundingBox();
        keys_[i] = {0.0f, i};
        if (!camera)
            continue;
        float centre[3];
        box.GetCenter(centre);
        const float along =
            d[0] * (centre[0] - p[0]) + d[1] * (centre[1] - p[1]) + d[2] * (centre[2] - p[2]);
        const float depth = std::fabs(static_cast<float>(piece.GetSortKey()) * along);
        keys_[i].depth = std::isnan(depth) ? 0.0f : depth;
    }
    if (camera)
        SortByDepth();
    Pair();
}

void RenderableGroupTransparent::SortByDepth() {
    // A merge sort, farther first: stable, so equal depths keep the queue order and the result is
    // the same whatever a platform's sort would do with ties. Short runs are insertion-sorted in
    // place first, then merged back and forth with the scratch keys.
    constexpr std::size_t kRun = 16;
    const std::size_t n = keys_.size();
    for (std::size_t lo = 0; lo < n; lo += kRun) {
        const std::size_t hi = std::min(lo + kRun, n);
        for (std::size_t i = lo + 1; i < hi; ++i) {
            const SortKey key = keys_[i];
            std::size_t j = i;
            for (; j > lo && keys_[j - 1].depth < key.depth; --j) keys_[j] = keys_[j - 1];
            keys_[j] = key;
        }
    }
    keyScratch_.resize(n);
    std::vector<SortKey>* from = &keys_;
    std::vector<SortKey>* to = &keyScratch_;
    for (std::size_t width = kRun; width < n; width *= 2) {
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
    if (from != &keys_)
        keys_.swap(keyScratch_);
}

void RenderableGroupTransparent::Pair() {
    scratch_.clear();
    const std::size_t n = keys_.size();
    for (std::size_t i = 0; i < n;) {
        const Entry& entry = entries_[keys_[i].index];
        Material* material = entry.renderable->GetMaterial();
        if (!material) {
            ++i;
            continue;
        }
        if (i + 1 == n) {
            scratch_.push_back(entry);
            break;
        }
        const Entry& next = entries_[keys_[i + 1].index];
        // Only a two-pass material can pair; asking that first spares the other lookups.
        bool pair = material->GetPassCount() == 2;
        if (pair) {
            Material* nextMaterial = next.renderable->GetMaterial();
            pair = nextMaterial == material &&
                   entry.renderable->GetVertexData() == next.renderable->GetVertexData() &&
                   entry.pass->renderState.cullMode != next.pass->renderState.cullMode;
        }
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
