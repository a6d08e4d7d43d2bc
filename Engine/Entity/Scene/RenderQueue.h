// The render queue: the seventeen render groups a frame's pieces are filed in, pass by pass. Even
// group ids hold the static level, odd ids the entities; 3, 4, 12 and 13 are transparent, every
// other id solid. Owned by the scene manager; filled by the renderables (SubEntity and its
// siblings), emptied group by group by the scene and the pipe calls. Host thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace Zel {

class Light;
class Material;
class Renderable;
class RenderableGroup;

enum RenderGroupId : std::uint32_t {
    RENDER_GROUP_SHADOW_CASTERS = 2,
    RENDER_GROUP_ENTITY_RECEIVERS = 3,
    RENDER_GROUP_LEVEL_RECEIVERS = 4,
    RENDER_GROUP_LEVEL_PER_LIGHT = 6,
    RENDER_GROUP_ENTITY_PER_LIGHT = 7,
    RENDER_GROUP_LEVEL_UNLIT = 8,
    RENDER_GROUP_ENTITY_UNLIT = 9,
    RENDER_GROUP_LEVEL_LIT = 10,
    RENDER_GROUP_ENTITY_LIT = 11,
    RENDER_GROUP_LEVEL_TRANSPARENT = 12,
    RENDER_GROUP_ENTITY_TRANSPARENT = 13,
    RENDER_GROUP_COUNT = 17,
};

// The flag word of each pipeline slot (0..19). Bit 0x20 marks the slots whose level pieces, drawn
// from a transparent group, take the camera's run table instead of their light's.
std::uint32_t PipelineSlotFlags(std::uint32_t slot);

class RenderQueue {
public:
    RenderQueue();
    // Deletes every group.
    ~RenderQueue();
    RenderQueue(const RenderQueue&) = delete;
    RenderQueue& operator=(const RenderQueue&) = delete;

    // True for the transparent ids 3, 4, 12 and 13.
    static bool IsTransparentGroup(std::uint32_t id);
    // The group of the id, made on first use. An id above 16 is a programmer error (null).
    RenderableGroup* GetGroup(std::uint32_t id);
    // The group of the id when it exists, without making it.
    RenderableGroup* FindGroup(std::uint32_t id) const;
    // Files every pass of the material (the renderable's own when null) under the group: from
    // the first blending pass on, the passes of a level or entity group (6 to 11) go to its
    // transparent group (12 or 13). Nothing without a material or with a program that is not
    // ready.
    void AddRenderable(Renderable* renderable, Light* light, std::uint32_t groupId,
                       std::uint32_t slot, Material* material);
    // The characters' form: no light, and the pipeline slot (the technique the program draws
    // with) chosen by the caller, e.g. a cloth piece's own technique.
    void AddRenderable(Renderable* renderable, Material* material, std::uint32_t groupId,
                       std::uint32_t technique) {
        AddRenderable(renderable, nullptr, groupId, technique, material);
    }
    // Drops the batches the solid groups keep for the light (null: for every light), with what
    // they hold; a light being deleted is forgotten first.
    void ForgetLight(const Light* light);
    // Empties the group (making it if need be).
    void ClearGroup(std::uint32_t id);
    void ClearAll();

private:
    std::array<std::unique_ptr<RenderableGroup>, RENDER_GROUP_COUNT> groups_;
};

}  // namespace Zel
