#include "Entity/Scene/RenderQueue.h"

#include "Core/ErrorReport.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Renderable.h"
#include "Entity/Scene/RenderableGroup.h"

namespace Zel {
namespace {

constexpr std::uint32_t kSlotFlags[20] = {0x20, 0x30, 0x22, 0x32, 0x05, 0x15, 0x07,
                                          0x17, 0x09, 0x19, 0x0b, 0x1b, 0x25, 0x35,
                                          0x27, 0x37, 0x29, 0x39, 0x2b, 0x3b};

// Where a blending pass of a group goes: the level's and the entities' groups move to their
// transparent group, any other group keeps it.
std::uint32_t BlendTarget(std::uint32_t id) {
    switch (id) {
        case RENDER_GROUP_LEVEL_PER_LIGHT:
        case RENDER_GROUP_LEVEL_UNLIT:
        case RENDER_GROUP_LEVEL_LIT:
            return RENDER_GROUP_LEVEL_TRANSPARENT;
        case RENDER_GROUP_ENTITY_PER_LIGHT:
        case RENDER_GROUP_ENTITY_UNLIT:
        case RENDER_GROUP_ENTITY_LIT:
            return RENDER_GROUP_ENTITY_TRANSPARENT;
        default:
            return id;
    }
}

}  // namespace

std::uint32_t PipelineSlotFlags(std::uint32_t slot) {
    return slot < 20 ? kSlotFlags[slot] : 0;
}

RenderQueue::RenderQueue() = default;

RenderQueue::~RenderQueue() = default;

bool RenderQueue::IsTransparentGroup(std::uint32_t id) {
    return id == RENDER_GROUP_ENTITY_RECEIVERS || id == RENDER_GROUP_LEVEL_RECEIVERS ||
           id == RENDER_GROUP_LEVEL_TRANSPARENT || id == RENDER_GROUP_ENTITY_TRANSPARENT;
}

RenderableGroup* RenderQueue::GetGroup(std::uint32_t id) {
    if (id >= RENDER_GROUP_COUNT) {
        ReportEnsureFailure("render group id < 17", __FILE__, __LINE__);
        return nullptr;
    }
    std::unique_ptr<RenderableGroup>& group = groups_[id];
    if (!group) {
        if (IsTransparentGroup(id))
            group = std::make_unique<RenderableGroupTransparent>(id);
        else
            group = std::make_unique<RenderableGroupSolid>(id);
    }
    return group.get();
}

RenderableGroup* RenderQueue::FindGroup(std::uint32_t id) const {
    return id < RENDER_GROUP_COUNT ? groups_[id].get() : nullptr;
}

void RenderQueue::AddRenderable(Renderable* renderable, Light* light, std::uint32_t groupId,
                                std::uint32_t slot, Material* material) {
    RenderableGroup* group = GetGroup(groupId);
    if (!group || !renderable)
        return;
    if (!material)
        material = renderable->GetMaterial();
    if (!material || !material->IsProgramReady())
        return;
    std::uint32_t target = groupId;
    for (Pass* pass : material->GetPasses()) {
        if (!pass)
            continue;
        // Once a pass blends, the material's later passes follow it: they draw over what it drew.
        if ((pass->renderState.flags & RSF_ALPHA_BLEND) && BlendTarget(target) != target) {
            target = BlendTarget(target);
            group = GetGroup(target);
        }
        group->Add(renderable, pass, light, static_cast<std::int32_t>(slot));
    }
}

void RenderQueue::ForgetLight(const Light* light) {
    for (auto& group : groups_)
        if (auto* solid = dynamic_cast<RenderableGroupSolid*>(group.get()))
            solid->ForgetLight(light);
}

void RenderQueue::ClearGroup(std::uint32_t id) {
    if (RenderableGroup* group = GetGroup(id))
        group->Clear();
}

void RenderQueue::ClearAll() {
    for (auto& group : groups_)
        if (group)
            group->Clear();
}

}  // namespace Zel
