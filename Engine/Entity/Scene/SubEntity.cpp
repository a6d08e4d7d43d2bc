#include "Entity/Scene/SubEntity.h"

#include <string>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/QueueMode.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/IndexDataSysMem.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexBufferByFormatSysMem.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/RenderQueue.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

// Global switch 20: every piece is queued with the default material.
constexpr std::uint32_t kQueueDefaultMaterialSwitch = 20;
// Bit of a pass's draw flags: the pass draws a piece once per frame.
constexpr std::uint32_t kOncePerFramePass = PF_DEPTH_ONLY;

constexpr float kSubEntityIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The parameter names, built once: a name longer than the short-string buffer would otherwise
// allocate on every fill.
const std::string& TransparencyTuneName() {
    static const std::string name = "g_fTransparencyTune";
    return name;
}
const std::string& ShiftRatioName() {
    static const std::string name = "g_fShiftColRatio";
    return name;
}
const std::string& ShiftColourName() {
    static const std::string name = "g_ShiftColor";
    return name;
}

bool PassBlends(const Pass& pass) {
    return (pass.renderState.flags & RSF_ALPHA_BLEND) != 0;
}

}  // namespace

SubEntity::SubEntity() {
    ResetParameters();
}

SubEntity::~SubEntity() {
    if (mesh_ && mesh_->IsOwnedByPiece())
        delete mesh_;
}

bool SubEntity::IsClothMesh() const {
    return mesh_ && mesh_->GetMeshType() == kClothMeshType;
}

void SubEntity::ResetParameters() {
    parameters_.SetFloat(TransparencyTuneName(), 1.0f);
    parameters_.SetFloat(ShiftRatioName(), 0.0f);
    parameters_.SetVector4(ShiftColourName(), 1.0f, 1.0f, 1.0f, 1.0f);
}

// --- Renderable ---------------------------------------------------------------------------------

Material* SubEntity::GetMaterial() {
    Material* material = material_.Get();
    if (!material || transparencyKind_ == 0)
        return material;
    return material->GetTransparentVariant(transparencyKind_);
}

void SubEntity::SetMaterial(Material* material) {
    material_.Assign(material);
}

IndexData* SubEntity::GetIndexData() const {
    return mesh_ ? mesh_->GetIndexData() : nullptr;
}

VertexData* SubEntity::GetVertexData() const {
    return mesh_ ? mesh_->GetVertexData() : nullptr;
}

const float* SubEntity::GetWorldMatrix() {
    // A cloth piece poses its vertices through its owner's matrix already (they must meet the
    // physics cloth's particles in the world): the owner's matrix again would move, turn and
    // scale it a second time, away from the body it hangs on.
    if (IsClothMesh())
        return kSubEntityIdentity;
    if ((transformFlags_ & kUseOwnerTransform) && owner_)
        return owner_->GetRenderMatrix();
    return kSubEntityIdentity;
}

const AABB& SubEntity::GetBoundingBox() {
    if (useOwnerBounds_ && owner_)
        return owner_->GetBoundingBox();
    if (mesh_) {
        box_ = mesh_->GetBounds();
        box_.Transform(IsClothMesh() && owner_ ? owner_->GetRenderMatrix() : GetWorldMatrix());
    }
    return box_;
}

RenderOperation* SubEntity::GetRenderOperation() {
    Material* material = GetMaterial();
    Pass* pass = material ? material->GetPass(0) : nullptr;
    if (!pass)
        return nullptr;
    FillRenderOperation(pass, 0);
    record_.renderState = &pass->renderState;
    return &record_;
}

std::uint32_t SubEntity::FillRenderOperation(Pass* pass, std::uint32_t group) {
    if (!pass)
        return 0;
    // The once-per-frame test belongs to the first group only: the later groups of the same
    // fill sequence are part of the draw the mark admitted.
    if ((pass->passFlags & kOncePerFramePass) && group == 0) {
        if (oncePerFrameMark_)
            return 0;
        oncePerFrameMark_ = 1;
    }
    if (mesh_ && group == 0)
        mesh_->BuildRenderData(owner_, this, pass);
    VertexData* vertexData = GetVertexData();
    IndexData* indexData = GetIndexData();
    if (!vertexData || !indexData || !mesh_)
        return 0;
    if (PassBlends(*pass) && transparencyKind_ != 0) {
        const float alpha = GetTransparencyAlpha();
        for (TextureStage& stage : pass->renderState.stages)
            if (stage.GetTexture())
                stage.constantColour[3] = alpha;
    }
    mesh_->GetRenderOperation(&record_);
    const std::uint32_t vertexFlags = pass->GetVertexFlags();
    VertexBufferByFormat* binding = vertexData->GetBufferByFormat(vertexFlags, true);
    const auto& levels = mesh_->GetRenderGroups();
    const std::size_t level = ChooseLevel();
    PrepareMeshForPass(*pass, vertexFlags, static_cast<std::uint32_t>(level));

    const LodStripArray* list = mesh_->GetCurrentGroup();
    if (levels.size() > 1 && owner_)
        list = levels[level].get();
    parameters_.SetFloat(TransparencyTuneName(),
                         PassBlends(*pass) && owner_ ? owner_->GetTransparencyTune() : 1.0f);
    std::uint32_t count = 0;
    if (list) {
        for (const RenderGroupEntry& entry : list->entries) {
            if (entry.drawCount == 0)
                continue;
            if (count++ != group)
                continue;
            record_.Reset();
            record_.vertexData = vertexData;
            record_.vertexBinding = binding;
            record_.indexData = indexData;
            record_.vertexCount = vertexData->GetVertexCount();
            record_.primitiveType = entry.primitive;
            record_.indexCount = entry.drawCount;
            record_.startIndex = entry.start / 4;
            if (auto* sysMem = dynamic_cast<VertexBufferByFormatSysMem*>(binding)) {
                record_.userVertices = sysMem->GetVertexArray();
                record_.userVertexStride = sysMem->GetStride();
            }
            if (indexData->GetUsage() == 1) {
                // Indices kept in memory are 32-bit words.
                record_.userIndices = indexData->GetIndices();
                record_.userIndexFormat = IS_32BIT;
            }
            record_.pass = pass;
            record_.renderState = &pass->renderState;
            if (owner_ && owner_->GetRenderFlag()) {
                record_.hasColour = true;
                const float* colour = owner_->GetColour();
                for (int c = 0; c < 4; ++c) record_.colour[c] = colour[c];
            }
        }
    }
    record_.owner = owner_;
    record_.value = renderOffset_;
    record_.parameters = &parameters_;
    return count;
}

std::size_t SubEntity::ChooseLevel() const {
    const std::size_t levels = mesh_ ? mesh_->GetRenderGroups().size() : 0;
    if (levels <= 1 || !owner_)
        return 0;
    // The explicit level, else the factor's share of the levels.
    std::size_t level;
    if (owner_->GetExplicitLod() != 0) {
        level = owner_->GetExplicitLod();
    } else {
        const float scaled = static_cast<float>(levels) * owner_->GetLodFactor();
        level = scaled > 0.0f ? static_cast<std::size_t>(scaled) : 0;
    }
    return level < levels - 1 ? level : levels - 1;
}

void SubEntity::PrepareMeshForPass(Pass& pass, std::uint32_t vertexFlags, std::uint32_t level) {
    // A skin drawn by a skeletal model is posed by the model's bone states.
    const auto* model = mesh_->GetMeshType() == kSkinMeshType
                            ? dynamic_cast<const SkeletonModel*>(owner_)
                            : nullptr;
    const BoneStateSet* states = model ? model->GetBoneStates() : nullptr;
    auto* skin = states ? dynamic_cast<Skin*>(mesh_) : nullptr;
    if (!skin) {
        mesh_->PrepareForPass(sortRequested_, GetWorldMatrix(), vertexFlags, pass.passFlags);
        return;
    }
    GpuProgram* program = pass.GetOwner() ? pass.GetOwner()->GetProgram() : nullptr;
    skin->PrepareForPass(*states, program, level, sortRequested_, GetWorldMatrix(), vertexFlags,
                         pass.passFlags);
}

bool SubEntity::IsOwnerMarked() const {
    return owner_ && (owner_->GetState() & ENTITY_STATE_MARKED);
}

std::int32_t SubEntity::GetSortKey() const {
    const Material* material = material_.Get();
    return material ? material->GetSortKey() : 100;
}

std::uint32_t SubEntity::GetRenderKind() const {
    return IsClothMesh() ? 6 : 2;
}

// --- Queueing -----------------------------------------------------------------------------------

Material* SubEntity::ChooseMaterial(Material* material) const {
    if (IsGlobalSwitchOn(kQueueDefaultMaterialSwitch)) {
        MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
        bool skeletal = false;
        if (owner_) {
            const std::uint32_t id = owner_->GetClassId();
            skeletal =
                (id == ClassId::Actor || id == ClassId::NewActor || id == ClassId::SkeletonModel) &&
                !IsClothMesh();
        }
        material = materials ? materials->GetDefaultMaterial(skeletal) : nullptr;
    }
    if (!material)
        material = const_cast<SubEntity*>(this)->GetMaterial();
    return material;
}

void SubEntity::AddToRenderQueue(RenderQueue* queue, Light* light, Material* material) {
    material = ChooseMaterial(material);
    if (!material || !queue || !owner_)
        return;
    if (light && (material->lightingMode == 1 || material->lightingMode == 2))
        queue->AddRenderable(this, light, owner_->GetRenderGroup(2), material->GetLitSlot(),
                             material);
    else
        queue->AddRenderable(this, nullptr, owner_->GetRenderGroup(1), material->GetUnlitSlot(),
                             material);
}

void SubEntity::AddToRenderQueueForLight(RenderQueue* queue, Light* light, Material* material) {
    material = ChooseMaterial(material);
    if (!material || !queue || !owner_ || !light || !(material->flags & MF_LIT))
        return;
    queue->AddRenderable(this, light, owner_->GetRenderGroup(0), material->GetPerLightSlot(),
                         material);
}

bool SubEntity::HasIndexData() const {
    const IndexData* indexData = GetIndexData();
    return indexData && indexData->GetIndexCount() > 0;
}

float SubEntity::GetTransparencyAlpha() const {
    return owner_ ? owner_->GetTransparencyAlpha() : 1.0f;
}

void SubEntity::CollectTextures(std::set<TextureBase*>& textures) const {
    if (const Material* material = material_.Get())
        material->CollectTextures(textures);
}

void SubEntity::SetSkinPaletteMode(bool on) {
    // A plain mesh has no palette.
    if (auto* skin = dynamic_cast<Skin*>(mesh_))
        skin->SetPaletteMode(on);
}

void SubEntity::SetShiftColor(float r, float g, float b, float a, float ratio) {
    parameters_.SetFloat(ShiftRatioName(), ratio);
    parameters_.SetVector4(ShiftColourName(), r, g, b, a);
}

// --- Clone, reset -------------------------------------------------------------------------------

SubEntity* SubEntity::Clone(bool attach) {
    Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory);
    SubEntity* copy = factory ? factory->Acquire() : nullptr;
    if (copy)
        CopyTo(copy, attach);
    return copy;
}

void SubEntity::CopyTo(SubEntity* target, bool attach) {
    if (!target || target == this)
        return;
    if (attach && owner_) {
        target->owner_ = owner_;
        owner_->AppendSubEntity(target);
    }
    target->mesh_ = mesh_;
    target->material_.Assign(material_.Get());
    target->useOwnerBounds_ = useOwnerBounds_;
    target->box_ = box_;
    target->renderMark_ = renderMark_;
}

void SubEntity::Reset() {
    owner_ = nullptr;
    Material* material = material_.Get();
    material_.Reset();
    // In queued mode a material that only its manager still holds leaves the manager.
    if (material && IsQueueMode())
        if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
            materials->RemoveIfHeld(material);
    useOwnerBounds_ = 0;
    if (mesh_ && mesh_->IsOwnedByPiece())
        delete mesh_;
    mesh_ = nullptr;
    transparencyKind_ = 0;
    oncePerFrameMark_ = 0;
    userWord_ = 0;
    renderMark_ = 0;
    counter_ = 0;
    sortRequested_ = false;
    record_.Reset();
    transformFlags_ |= kUseOwnerTransform;
    tag_ = 1;
    ResetParameters();
}

}  // namespace Zel
