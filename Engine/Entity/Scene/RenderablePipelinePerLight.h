// The solid groups' batches: for one pipeline slot and one light, a list of renderables per pass
// object, so that a draw binds a pass's state and textures once for all the pieces that share it.
// Host thread; the process-wide list pool has its own lock.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

class Light;
class Pass;
class PerLightPipelineMap;
class Renderable;

// The renderables queued for one pass object, in the order they were added. Lists come from one
// process-wide pool and keep their capacity between frames.
struct RenderableList {
    Pass* pass = nullptr;
    std::vector<Renderable*> renderables;
};

// What tells the lists of a pipeline apart: the pass's index in its material, its material's GPU
// program id and the pass object itself.
struct PassKey {
    std::uint32_t passIndex = 0;
    std::uint64_t programId = 0;
    const Pass* pass = nullptr;

    static PassKey Of(const Pass& pass);
    bool operator==(const PassKey&) const = default;
    std::uint64_t Hash() const;
};

class RenderablePipelinePerLight {
public:
    // light may be null (pieces drawn without a light); map is the owning map (not owned).
    RenderablePipelinePerLight(std::int32_t slot, Light* light, PerLightPipelineMap* map);
    // Gives every list back to the pool.
    virtual ~RenderablePipelinePerLight();
    RenderablePipelinePerLight(const RenderablePipelinePerLight&) = delete;
    RenderablePipelinePerLight& operator=(const RenderablePipelinePerLight&) = delete;

    // Appends the renderable to the list of the pass (opened on first use). Nothing when the
    // pipeline's light is not visible this frame; a null light always accepts.
    virtual void Add(Renderable* renderable, Pass* pass);
    virtual void Flush() {}
    // Empties every list and the table. The lists are kept for the next frame (capacity
    // included), so that queueing allocates nothing once the frames look alike.
    virtual void Clear();
    virtual bool IsEmpty() const { return lists_.empty(); }

    std::int32_t GetSlot() const { return slot_; }
    Light* GetLight() const { return light_; }
    PerLightPipelineMap* GetMap() const { return map_; }
    // The lists in the order they were opened this frame.
    const std::vector<RenderableList*>& GetLists() const { return lists_; }
    // The list of the key, or null.
    RenderableList* Find(const PassKey& key) const;

private:
    struct Slot {
        PassKey key;
        RenderableList* list = nullptr;  // null: free slot
    };

    RenderableList* TakeList();
    // Doubles the table and re-enters every open list.
    void Grow();
    std::size_t SlotOf(const PassKey& key) const;

    std::int32_t slot_;
    Light* light_;                        // not owned
    PerLightPipelineMap* map_;            // not owned
    std::vector<Slot> table_;             // open addressing, a power of two long
    std::vector<RenderableList*> lists_;  // open this frame
    std::vector<RenderableList*> spare_;  // emptied, ready for the next key
};

}  // namespace Zel
