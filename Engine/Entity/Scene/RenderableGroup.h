// The render groups of the render queue. A solid group batches its pieces per pipeline slot, per
// light and per pass (the scene draws them light by light and pass by pass); a transparent group
// keeps a flat list that is sorted far to near and paired just before it is drawn. Groups, their
// maps, pipelines and lists are made once and reused: per frame only their contents change.
// Host thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "Entity/Scene/RenderablePipelinePerLight.h"

namespace Zel {

class Camera;
class Light;
class Pass;
class Renderable;
class RenderableGroupSolid;

// Bits of a group's flag word.
enum RenderGroupFlag : std::uint32_t {
    RENDER_GROUP_FLAG_LEVEL = 1,        // set by the scene draw before a level group
    RENDER_GROUP_FLAG_UNLIT = 2,        // set before the kind-1 groups are drawn
    RENDER_GROUP_FLAG_TRANSPARENT = 4,  // a transparent group
};

class RenderableGroup {
public:
    RenderableGroup(std::uint32_t id, std::uint32_t flags) : id_(id), flags_(flags) {}
    virtual ~RenderableGroup() = default;
    RenderableGroup(const RenderableGroup&) = delete;
    RenderableGroup& operator=(const RenderableGroup&) = delete;

    virtual void Clear() = 0;
    // Files one pass of a renderable (light may be null; slot 0..19).
    virtual void Add(Renderable* renderable, Pass* pass, Light* light, std::int32_t slot) = 0;
    // Prepares the group for its draw (a solid group needs nothing).
    virtual void Render() = 0;

    std::uint32_t GetId() const { return id_; }
    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }
    bool IsTransparent() const { return (flags_ & RENDER_GROUP_FLAG_TRANSPARENT) != 0; }

private:
    std::uint32_t id_;
    std::uint32_t flags_;
};

// The pipelines of one slot of a solid group, one per light (a null light is a key too), in
// address order.
class PerLightPipelineMap {
public:
    using Pipelines = std::map<Light*, std::unique_ptr<RenderablePipelinePerLight>>;

    PerLightPipelineMap(std::int32_t slot, RenderableGroupSolid* group)
        : slot_(slot), group_(group) {}
    PerLightPipelineMap(const PerLightPipelineMap&) = delete;
    PerLightPipelineMap& operator=(const PerLightPipelineMap&) = delete;

    // The pipeline of the light, made on first use.
    RenderablePipelinePerLight& GetPipeline(Light* light);
    const Pipelines& GetPipelines() const { return pipelines_; }
    std::int32_t GetSlot() const { return slot_; }
    RenderableGroupSolid* GetGroup() const { return group_; }
    void Clear();
    // Deletes the pipeline of the light (null: of every light but the null key).
    void Forget(const Light* light);

private:
    std::int32_t slot_;
    RenderableGroupSolid* group_;  // not owned
    Pipelines pipelines_;
};

class RenderableGroupSolid : public RenderableGroup {
public:
    static constexpr std::int32_t kSlotCount = 20;

    explicit RenderableGroupSolid(std::uint32_t id) : RenderableGroup(id, 0) {}

    // Empties every pipeline of every map; maps and pipelines stay for the next frame.
    void Clear() override;
    void Add(Renderable* renderable, Pass* pass, Light* light, std::int32_t slot) override;
    void Render() override {}

    // The map of a slot, made on first use; a slot outside 0..19 is a programmer error (null).
    PerLightPipelineMap* GetLightPipelineMap(std::int32_t slot);
    // Deletes the pipelines of the light in every slot (null: of every light).
    void ForgetLight(const Light* light);
    // The map of a slot without making it (null when none or out of range).
    PerLightPipelineMap* FindLightPipelineMap(std::int32_t slot) const;
    // Visits every list once: by slot, then by light in key order, then in the order the lists
    // were opened; fn(slot, light, list).
    template <class Fn>
    void ForEachList(Fn&& fn) const {
        for (std::int32_t slot = 0; slot < kSlotCount; ++slot) {
            if (!maps_[slot])
                continue;
            for (const auto& [light, pipeline] : maps_[slot]->GetPipelines())
                for (const RenderableList* list : pipeline->GetLists()) fn(slot, light, *list);
        }
    }

private:
    std::array<std::unique_ptr<PerLightPipelineMap>, kSlotCount> maps_;
    // The pipeline of the last Add: the passes of one piece come one after the other for the
    // same slot and light, and pipelines live as long as the group.
    RenderablePipelinePerLight* lastPipeline_ = nullptr;
};

class RenderableGroupTransparent : public RenderableGroup {
public:
    struct Entry {
        Renderable* renderable = nullptr;
        Pass* pass = nullptr;
        Light* light = nullptr;
        std::int32_t slot = 0;
    };

    explicit RenderableGroupTransparent(std::uint32_t id)
        : RenderableGroup(id, RENDER_GROUP_FLAG_TRANSPARENT) {}

    // Empties the list (capacity kept).
    void Clear() override { entries_.clear(); }
    // Appends an entry; a null renderable or pass adds nothing.
    void Add(Renderable* renderable, Pass* pass, Light* light, std::int32_t slot) override;
    // Refreshes every entry's box, sorts far to near along the scene's main camera (queue order
    // among equal depths; no sort without a main camera), then drops the pieces without a
    // material and puts the two passes of a two-sided piece together, the pass culling
    // counter-clockwise faces first.
    void Render() override;
    // Render with the camera given (null: no sort).
    void SortAndPair(Camera* camera);

    const std::vector<Entry>& GetEntries() const { return entries_; }

private:
    // An entry's depth along the camera and its place in the list: the sort moves these small
    // keys, not the entries.
    struct SortKey {
        float depth;
        std::uint32_t index;
    };

    void SortByDepth();
    // Emits the entries in key order into scratch_, dropping and pairing, then takes scratch_.
    void Pair();

    std::vector<Entry> entries_;
    // Capacity of all three kept between frames, so that a steady frame allocates nothing.
    std::vector<Entry> scratch_;  // pairing output
    std::vector<SortKey> keys_, keyScratch_;
};

}  // namespace Zel
