// The scene manager's draws of the render queue's groups and the host's render pipes: a pipe
// collects pushed nodes in the embedded pipeline, queues their pieces, draws the opaque groups,
// then the transparent ones, and clears them. Host thread.
#include <algorithm>
#include <cstring>

#include "Core/ClassIds.h"
#include "Core/DeviceCaps.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/Renderable.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/Shadow.h"
#include "Render/RenderDevice.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"

namespace Zel {
namespace {

// Global switches the pipes read.
constexpr std::uint32_t kDrawTransparent = 16;
constexpr std::uint32_t kDrawOpaque = 17;
constexpr std::uint32_t kDrawModels = 18;
constexpr std::uint32_t kUpdateParticles = 31;
constexpr std::uint32_t kCullPushedNodes = 71;
constexpr std::uint32_t kTransparentAsOpaque = 78;

// The pipeline slots a solid group draws, in order; the second half needs shader model 2.
constexpr std::int32_t kDrawnSlots[] = {0, 1, 4, 5, 8, 9, 12, 13, 16, 17};

// Slots 8, 9, 16 and 17 draw with vertex and pixel shaders 2.0.
bool SlotNeedsShaderModel2(std::int32_t slot) {
    return slot == 8 || slot == 9 || slot == 16 || slot == 17;
}

void AddToStat(FrameStatWord word, std::uint32_t value) {
    if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
        (*stats)[word] += value;
}

// A pass whose draws count as blended into the frame for the piece's later passes.
bool PassAdvancesRenderMark(const Pass& pass) {
    return (pass.passFlags & PF_FINAL_PASS) && !(pass.passFlags & PF_DEPTH_ONLY);
}

void SetGroupFlag(RenderableGroup& group, std::uint32_t flag, bool on) {
    group.SetFlags(on ? (group.GetFlags() | flag) : (group.GetFlags() & ~flag));
}

}  // namespace

// ---- Group draws

std::uint32_t SceneManager::DrawRenderablePass(Renderable& piece, Pass& pass, Light* light) {
    const std::uint32_t groups = piece.FillRenderOperation(&pass, 0);
    if (groups == 0 || !renderSystem_)
        return 1;
    const std::uint32_t mark = piece.GetRenderMark();
    if (PassAdvancesRenderMark(pass))
        piece.SetRenderMark(mark + 1);
    const float* world = piece.GetWorldMatrix();
    const float* view = viewStack_.Top();
    const float* projection = projectionStack_.Top();
    for (std::uint32_t group = 0; group < groups; ++group) {
        if (group > 0 && piece.FillRenderOperation(&pass, group) == 0)
            break;
        RenderOperation& record = *piece.GetRenderOperationRecord();
        record.accumulation = mark;
        record.pass = &pass;
        record.renderState = &pass.renderState;
        record.light = light;
        if (!world || !view || !projection || !record.vertexData || !record.indexData)
            return 1;
        std::memcpy(record.worldMatrix, world, sizeof record.worldMatrix);
        std::memcpy(record.viewMatrix, view, sizeof record.viewMatrix);
        std::memcpy(record.projectionMatrix, projection, sizeof record.projectionMatrix);
        if (piece.IsOwnerMarked()) {
            std::uint32_t pixels = 0;
            renderSystem_->ProcessRenderOperationWithQuery(record, &pixels);
            piece.SetCounter(pixels);
        } else {
            renderSystem_->ProcessRenderOperation(record);
        }
    }
    return 1;
}

std::uint32_t SceneManager::DrawSolidGroup(RenderableGroup& group) {
    auto* solid = dynamic_cast<RenderableGroupSolid*>(&group);
    if (!solid || !renderSystem_)
        return 0;
    const bool shaderModel2 = HasShaderModel2(Globals::Find(&Globals::GetDeviceCaps));
    std::uint32_t visited = 0;
    for (std::int32_t slot : kDrawnSlots) {
        if (SlotNeedsShaderModel2(slot) && !shaderModel2)
            continue;
        PerLightPipelineMap* map = solid->FindLightPipelineMap(slot);
        if (!map || map->GetPipelines().empty())
            continue;
        renderSystem_->SetPipelineSlot(static_cast<std::uint32_t>(slot));
        for (const auto& [light, pipeline] : map->GetPipelines()) {
            if (pipeline->IsEmpty())
                continue;
            renderSystem_->SetLight(light);
            for (RenderableList* list : pipeline->GetLists()) {
                if (!list->pass)
                    continue;
                list->pass->LoadTextures();
                for (Renderable* piece : list->renderables) {
                    DrawRenderablePass(*piece, *list->pass, light);
                    ++visited;
                }
            }
        }
    }
    return visited;
}

void SceneManager::DrawTransparentGroup(RenderableGroup& group) {
    auto* transparent = dynamic_cast<RenderableGroupTransparent*>(&group);
    if (!transparent || !renderSystem_ || !IsGlobalSwitchOn(kDrawTransparent))
        return;
    if (!IsGlobalSwitchOn(kTransparentAsOpaque))
        transparent->Render();
    renderSystem_->SetAmbientColor(ambient_[0], ambient_[1], ambient_[2], ambient_[3]);
    const bool levelPieces = (group.GetFlags() & RENDER_GROUP_FLAG_LEVEL) && level_;
    const Light* remembered = nullptr;
    for (const RenderableGroupTransparent::Entry& entry : transparent->GetEntries()) {
        const auto slot = static_cast<std::uint32_t>(entry.slot);
        renderSystem_->SetPipelineSlot(slot);
        renderSystem_->SetLight(entry.light);
        if (levelPieces) {
            // The level's shared index buffer holds the runs of one viewer at a time.
            if (PipelineSlotFlags(slot) & 0x20) {
                level_->RebuildMeshForCamera(entry.renderable->GetUserWord());
            } else if (entry.light != remembered) {
                level_->RebuildMeshForLight(entry.light, entry.renderable->GetUserWord());
                remembered = entry.light;
            }
        }
        entry.pass->LoadTextures();
        DrawRenderablePass(*entry.renderable, *entry.pass, entry.light);
    }
    AddToStat(FRAME_TRANSPARENT_ENTRIES,
              static_cast<std::uint32_t>(transparent->GetEntries().size()));
}

void SceneManager::DrawLevelLitGroups(RenderQueue& queue) {
    DrawSolidGroupPair(queue, RENDER_GROUP_LEVEL_LIT, RENDER_GROUP_LEVEL_PER_LIGHT,
                       FRAME_STATIC_WORLD_PIECES);
}

void SceneManager::DrawEntityLitGroups(RenderQueue& queue) {
    DrawSolidGroupPair(queue, RENDER_GROUP_ENTITY_LIT, RENDER_GROUP_ENTITY_PER_LIGHT,
                       FRAME_ENTITY_LIT_PIECES);
}

void SceneManager::DrawUnlitGroups(RenderQueue& queue) {
    if (renderSystem_)
        renderSystem_->SetAmbientColor(ambient_[0], ambient_[1], ambient_[2], ambient_[3]);
    for (std::uint32_t id : {RENDER_GROUP_LEVEL_UNLIT, RENDER_GROUP_ENTITY_UNLIT})
        SetGroupFlag(*queue.GetGroup(id), RENDER_GROUP_FLAG_UNLIT, true);
    DrawSolidGroupPair(queue, RENDER_GROUP_LEVEL_UNLIT, RENDER_GROUP_ENTITY_UNLIT,
                       FRAME_STATIC_WORLD_PIECES);
}

void SceneManager::DrawSolidGroupPair(RenderQueue& queue, std::uint32_t first, std::uint32_t second,
                                      std::uint32_t counter) {
    std::uint32_t drawn = 0;
    for (std::uint32_t id : {first, second}) {
        RenderableGroup& group = *queue.GetGroup(id);
        // The level's groups have even ids, the entities' odd ones.
        SetGroupFlag(group, RENDER_GROUP_FLAG_LEVEL, id % 2 == 0);
        drawn += DrawSolidGroup(group);
    }
    AddToStat(static_cast<FrameStatWord>(counter), drawn);
}

void SceneManager::DrawLevelTransparentGroup(RenderQueue& queue) {
    RenderableGroup& group = *queue.GetGroup(RENDER_GROUP_LEVEL_TRANSPARENT);
    SetGroupFlag(group, RENDER_GROUP_FLAG_LEVEL, true);
    DrawTransparentGroup(group);
}

void SceneManager::DrawEntityTransparentGroup(RenderQueue& queue) {
    RenderableGroup& group = *queue.GetGroup(RENDER_GROUP_ENTITY_TRANSPARENT);
    SetGroupFlag(group, RENDER_GROUP_FLAG_LEVEL, false);
    DrawTransparentGroup(group);
}

// ---- Render pipes

void SceneManager::UseMainCameraView() {
    Camera* camera = GetMainCamera();
    if (!camera)
        return;
    camera->UpdateView();
    const float* view = camera->GetViewMatrix()->m;
    SetViewMatrix(view);
    SetProjectionMatrix(camera->GetProjectionMatrix()->m);
    float viewProjection[16];
    std::copy_n(GetViewProjectionMatrix(), 16, viewProjection);
    SetCurrentView(view, viewProjection, camera->GetWorldPosition());
    SetRenderCamera(camera);
}

void SceneManager::PushNewPipe(std::int32_t mode, std::int32_t /*extra*/, SceneNode* target) {
    if (mode != RenderCorePipeline::MODE_NORMAL && mode != RenderCorePipeline::MODE_LIGHT)
        return;
    if (pipeOpen_)
        pipeline_.Clear();
    pipeline_.SetMode(mode);
    pipeOpen_ = 1;
    pipeline_.SetTarget(target);
}

void SceneManager::PushRenderable(Entity* node) {
    if (renderingEnabled_)
        PushRenderableImpl(node);
}

void SceneManager::PushRenderableImpl(Entity* node) {
    if (!renderingEnabled_ || !pipeOpen_ || !node)
        return;
    const bool actor = node->GetClassId() == ClassId::Actor;
    if (IsGlobalSwitchOn(kCullPushedNodes) && renderCamera_ &&
        node->GetClassId() != ClassId::BillBoard &&
        renderCamera_->IntersectAABB(node->GetBoundingBox()) == 1) {
        AddToStat(actor ? FRAME_CULLED_ACTORS : FRAME_CULLED_MODELS, 1);
        return;
    }
    if (!actor) {
        if (!IsGlobalSwitchOn(kDrawModels))
            return;
        AddToStat(FRAME_PUSHED_MODELS, 1);
    }
    node->AddToPipe(&pipeline_);
}

void SceneManager::PushNodeWithCamera(Entity* node) {
    if (!renderingEnabled_ || !pipeOpen_ || !node ||
        (node->GetAnimationFlags() & ENTITY_NEVER_PUSHED))
        return;
    node->SetStateBits(NODE_VISIBLE);
    if (renderCamera_)
        if (auto* level = dynamic_cast<Level*>(node))
            level->Cull(renderCamera_);
    pipeline_.Add(node);
}

void SceneManager::PassToOpenPipe(RenderCallback* object) {
    if (renderingEnabled_ && pipeOpen_ && object && IsGlobalSwitchOn(kUpdateParticles))
        pipeline_.AddCallback(object);
}

void SceneManager::ProcessCurrentPipe() {
    if (pipeOpen_)
        pipeline_.Render(renderQueue_.get());
}

void SceneManager::RenderPushedPipes() {
    if (!IsGlobalSwitchOn(kDrawOpaque))
        return;
    if (auto* light = dynamic_cast<Light*>(pipeline_.GetTarget()))
        SetAmbientColour(light->GetAmbient());
    if (renderGroupFlags_ & 4u)
        DrawUnlitGroups(*renderQueue_);
    DrawLevelLitGroups(*renderQueue_);
    DrawEntityLitGroups(*renderQueue_);
}

void SceneManager::RenderTransparentPipeline() {
    if (!IsGlobalSwitchOn(kDrawTransparent))
        return;
    DrawLevelTransparentGroup(*renderQueue_);
    DrawEntityTransparentGroup(*renderQueue_);
}

void SceneManager::CleanPushedObjsAndSubModels() {
    if (pipeOpen_) {
        pipeline_.Clear();
        pipeOpen_ = 0;
    }
    for (std::uint32_t id :
         {RENDER_GROUP_LEVEL_PER_LIGHT, RENDER_GROUP_ENTITY_PER_LIGHT, RENDER_GROUP_LEVEL_LIT,
          RENDER_GROUP_ENTITY_LIT, RENDER_GROUP_LEVEL_UNLIT, RENDER_GROUP_ENTITY_UNLIT})
        renderQueue_->ClearGroup(id);
}

void SceneManager::ClearTransparentPipeline() {
    renderQueue_->ClearGroup(RENDER_GROUP_LEVEL_TRANSPARENT);
    renderQueue_->ClearGroup(RENDER_GROUP_ENTITY_TRANSPARENT);
    level_ = nullptr;
}

void SceneManager::RenderShadows(Level* level) {
    if (shadowQuality_ != SHADOW_OFF) {
        if (level)
            SetLevel(level);
        RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
        if (!device || device->GetFixedFunctionMode() != MODE_SHADER)
            shadowQuality_ = SHADOW_FAKE;
        if (Shadow* shadow = Shadow::GetShadowInstance(
                shadowQuality_ == SHADOW_FAKE ? SHADOW_KIND_FAKE : SHADOW_KIND_MAP)) {
            shadow->CollectCasters(&pipeline_, renderQueue_.get());
            shadow->Render(level);
        }
    }
    EndShadowPipe();
}

void SceneManager::EndShadowPipe() {
    if (pipeOpen_)
        pipeline_.Clear();
    renderQueue_->ClearGroup(RENDER_GROUP_SHADOW_CASTERS);
}

void SceneManager::SetShadowBias(bool on) {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    if (!device || shadowQuality_ != SHADOW_FAKE)
        return;
    device->SetDepthBias(on ? -0.001f : 0.0f);
    device->SetSlopeScaleDepthBias(on ? 1.0f : 0.0f);
}

std::uint32_t SceneManager::RenderShadowCasters() {
    if (shadowQuality_ == SHADOW_OFF)
        return 0;
    SetShadowBias(true);
    RenderableGroup& casters = *renderQueue_->GetGroup(RENDER_GROUP_SHADOW_CASTERS);
    SetGroupFlag(casters, RENDER_GROUP_FLAG_LEVEL, false);
    // The map is a target of its own: each caster draws there as a first pass, and the pieces'
    // marks of what the frame drew of them are kept for the draws that follow (a blended piece
    // drawn in the transparent pipeline would otherwise be added onto the frame).
    casterMarks_.clear();
    if (auto* solid = dynamic_cast<RenderableGroupSolid*>(&casters))
        solid->ForEachList([this](std::int32_t, Light*, const RenderableList& list) {
            for (Renderable* piece : list.renderables) {
                casterMarks_.emplace_back(piece, piece->GetRenderMark());
                piece->SetRenderMark(0);
            }
        });
    DrawSolidGroup(casters);
    // Backwards, so a piece queued twice gets back the mark it had before the first.
    for (auto it = casterMarks_.rbegin(); it != casterMarks_.rend(); ++it)
        it->first->SetRenderMark(it->second);
    casterMarks_.clear();
    SetShadowBias(false);
    return 0;
}

std::uint32_t SceneManager::RenderShadowReceivers() {
    if (shadowQuality_ == SHADOW_OFF)
        return 0;
    SetShadowBias(true);
    RenderableGroup& entities = *renderQueue_->GetGroup(RENDER_GROUP_ENTITY_RECEIVERS);
    SetGroupFlag(entities, RENDER_GROUP_FLAG_LEVEL, false);
    DrawTransparentGroup(entities);
    RenderableGroup& level = *renderQueue_->GetGroup(RENDER_GROUP_LEVEL_RECEIVERS);
    SetGroupFlag(level, RENDER_GROUP_FLAG_LEVEL, true);
    DrawTransparentGroup(level);
    SetShadowBias(false);
    return 0;
}

void SceneManager::ClearShadowReceivers() {
    renderQueue_->ClearGroup(RENDER_GROUP_ENTITY_RECEIVERS);
    renderQueue_->ClearGroup(RENDER_GROUP_LEVEL_RECEIVERS);
}

}  // namespace Zel
