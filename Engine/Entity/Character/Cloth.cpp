#include "Entity/Character/Cloth.h"

#include <algorithm>
#include <cstring>

#include "Core/Globals.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/MeshBuildHelpers.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Math/Matrix4.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhysicsSdk.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

// Position and normal of every vertex of the skin being posed, shared by every cloth (one cloth
// is updated at a time, on the host thread); it grows to the largest skin and never shrinks.
std::vector<float> g_skinScratch;
constexpr std::uint32_t kScratchFloats = 6;

// m x (p, 1) divided by w; a w of 0 gives the origin.
void TransformDivided(const float* m, const float* p, float* out) {
    const float w = m[12] * p[0] + m[13] * p[1] + m[14] * p[2] + m[15];
    for (int r = 0; r < 3; ++r) {
        const float v = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
        out[r] = w == 0.0f ? 0.0f : v / w;
    }
}

}  // namespace

Cloth::Cloth(SkeletonModel* owner) : Mesh(nullptr, "Cloth", true, true), owner_(owner) {}

Cloth::~Cloth() {
    if (ownsPhysics_)
        PhxEntity::ReleaseIfLive(physics_);
    physics_ = nullptr;
    data_ = nullptr;
    skin_ = nullptr;
}

void Cloth::SetGlobalEnabled(bool enabled) {
    SetClothEnabled(enabled);
    SetClothStartupFlag(enabled);
}

bool Cloth::IsGlobalEnabled() {
    return IsClothEnabled();
}

void Cloth::FreeScratchArray() {
    std::vector<float>().swap(g_skinScratch);
}

std::size_t Cloth::GetScratchBytes() {
    return g_skinScratch.size() * sizeof(float);
}

const AABB& Cloth::GetBounds() const {
    return skin_ ? skin_->GetBounds() : Mesh::GetBounds();
}

void Cloth::SetPhysicsCloth(PhxCloth* cloth, bool owns) {
    if (ownsPhysics_ && physics_ != cloth)
        PhxEntity::ReleaseIfLive(physics_);
    physics_ = cloth;
    ownsPhysics_ = cloth && owns;
    lastRequestFalse_ = false;
}

void Cloth::SetPhysicsActive(bool request) {
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene || !scene->IsPhysicsAvailable())
        return;
    if (!request && lastRequestFalse_)
        return;
    if (!owner_ || !physics_)
        return;
    physics_->SetSleeping(request);
    lastRequestFalse_ = !request;
}

void Cloth::AddAttachment(const float* position, const Bone* bone, std::int32_t particle,
                          std::int32_t vertex) {
    Attachment a;
    if (position)
        std::copy_n(position, 3, a.local);
    a.bone = bone;
    a.particle = particle;
    a.vertex = vertex;
    attachments_.push_back(a);
}

bool Cloth::Build(ClothMeshData* data, Mesh* skin, std::uint32_t vertexOffset,
                  std::uint32_t pieceValue, std::uint32_t pieceId) {
    if (!data || !skin || !skin->GetVertexData())
        return false;
    data_ = data;
    skin_ = skin;
    vertexOffset_ = vertexOffset;
    pieceValue_ = pieceValue;

    const VertexData& source = *skin->GetVertexData();
    const std::uint32_t n = source.GetVertexCount();
    vertices_.assign(std::size_t(n) * kVertexFloats, 0.0f);
    if (const VertexComponentDataPool* uv = source.FindComponent(VF_TEXCOORD0);
        uv && uv->GetData() && uv->GetElementSize() >= 8) {
        const std::uint32_t stride = uv->GetElementSize() / 4;
        const std::uint32_t count = std::min(n, uv->GetCount());
        for (std::uint32_t v = 0; v < count; ++v) {
            vertices_[std::size_t(v) * kVertexFloats + 6] = uv->GetFloats()[v * stride];
            vertices_[std::size_t(v) * kVertexFloats + 7] = uv->GetFloats()[v * stride + 1];
        }
    }
    VertexData* own = Mesh::GetVertexData();
    if (!own)
        return false;
    own->ClearComponents();
    own->SetVertexCount(n);
    if (!own->AddComponent(VF_POSITION, VET_FLOAT3, n) ||
        !own->AddComponent(VF_NORMAL, VET_FLOAT3, n) ||
        !own->AddComponent(VF_TEXCOORD0, VET_FLOAT2, n))
        return false;
    SetVertexCount(n);
    SetFaceCount(skin->GetFaceCount());

    std::vector<std::uint32_t> indices;
    if (const IndexData* skinIndices = skin->GetIndexData();
        skinIndices && skinIndices->GetIndices()) {
        const std::uint32_t count =
            std::min(skinIndices->GetIndexCount(), skinIndices->GetArraySize());
        indices.assign(skinIndices->GetIndices(), skinIndices->GetIndices() + count);
    }
    // An index past the skin's vertices would draw from outside the vertex array.
    for (std::uint32_t& index : indices)
        if (index >= n)
            index = 0;
    if (!indices.empty() && !FillMeshIndices(*this, indices, BU_STATIC | BU_WRITE_ONLY, false))
        return false;
    auto group = std::make_unique<LodStripArray>();
    const auto count = static_cast<std::uint32_t>(indices.size());
    group->entries.push_back({PT_TRIANGLE_LIST, count, count, 0, 0});
    AddRenderGroup(std::move(group));

    Skeleton* skeleton = owner_ ? owner_->GetSkeleton() : nullptr;
    for (const ClothAttachment& record : data->GetAttachments()) {
        if (record.subMesh != pieceId)
            continue;
        const auto particle = static_cast<std::int32_t>(record.weldedIndex);
        const auto vertex = static_cast<std::int32_t>(record.renderVertex);
        if (record.bone.empty()) {
            AddAttachment(record.position.data(), nullptr, particle, vertex);
            continue;
        }
        const Bone* bone = skeleton ? skeleton->FindBone(record.bone) : nullptr;
        if (!bone)
            continue;
        float inverse[16];
        std::copy_n(bone->GetBindMatrix(), 16, inverse);
        float local[3];
        if (Matrix4::Inverse(inverse))
            TransformDivided(inverse, record.position.data(), local);
        else
            std::copy_n(record.position.data(), 3, local);
        AddAttachment(local, bone, particle, vertex);
    }
    PublishVertices();
    return true;
}

std::int32_t Cloth::ParticleOf(std::uint32_t i) const {
    const std::uint64_t index = std::uint64_t(vertexOffset_) + i;
    if (!data_ || !physics_ || index >= data_->GetRenderVertexCount())
        return -1;
    const auto v = static_cast<std::uint32_t>(index);
    if (data_->IsPinned(v))
        return -1;
    const std::uint32_t p = data_->GetPhysicsIndex(v);
    return p < static_cast<std::uint32_t>(std::max(physics_->GetVertexCount(), 0))
               ? static_cast<std::int32_t>(p)
               : -1;
}

void Cloth::UpdateSkinning(bool simulate) {
    const std::uint32_t n = GetVertexCount();
    auto* skin =
        skin_ && skin_->GetClassId() == ClassId::Skin ? static_cast<Skin*>(skin_) : nullptr;
    const BoneStateSet* states = owner_ ? owner_->GetBoneStates() : nullptr;
    const bool simulating = physics_ && simulate;
    bool skinned = false;
    if (skin && states && n > 0 && vertices_.size() >= std::size_t(n) * kVertexFloats) {
        const float* world = owner_->GetWorldMatrix();
        if (!physics_) {
            skin->SkinVertices(vertices_.data(), *states, VF_POSITION | VF_NORMAL | VF_TEXCOORD0,
                               kVertexFloats * 4, world, 0);
        } else if (!simulate) {
            skin->SkinVertices(vertices_.data(), *states, VF_POSITION | VF_NORMAL,
                               kVertexFloats * 4, world, 0);
        } else {
            if (g_skinScratch.size() < std::size_t(n) * kScratchFloats) {
                std::vector<float>().swap(g_skinScratch);
                g_skinScratch.resize(std::size_t(n) * kScratchFloats);
            }
            skin->SkinVertices(g_skinScratch.data(), *states, VF_POSITION | VF_NORMAL,
                               kScratchFloats * 4, world, 0);
        }
        skinned = true;
    }
    if (simulating && skinned) {
        // Until the physics cloth has been read back from a step its particles are not where
        // the cloth is: every vertex follows the skin.
        const bool followSkin = physics_->IsSyncPending();
        const auto* particles = static_cast<const std::uint8_t*>(physics_->GetVertexBuffer());
        const std::int32_t stride = physics_->GetVertexStride();
        for (std::uint32_t i = 0; i < n; ++i) {
            const float* s = g_skinScratch.data() + std::size_t(i) * kScratchFloats;
            float* out = vertices_.data() + std::size_t(i) * kVertexFloats;
            const std::int32_t p = followSkin || !particles ? -1 : ParticleOf(i);
            if (p < 0) {
                std::copy_n(s, 6, out);
                continue;
            }
            const auto* q = reinterpret_cast<const float*>(particles + std::size_t(p) * stride);
            const float w = data_->GetWeight(vertexOffset_ + i);
            for (int c = 0; c < 6; ++c) out[c] = q[c] * w + s[c] * (1.0f - w);
        }
    }
    if (simulating && owner_)
        PinAttachments(g_skinScratch, skinned ? n : 0);
    PublishVertices();
}

void Cloth::PinAttachments(const std::vector<float>& skinned, std::uint32_t skinnedVertices) {
    const std::int32_t particles = physics_->GetVertexCount();
    for (Attachment& a : attachments_) {
        if (a.particle < 0 || a.particle >= particles)
            continue;
        const std::int32_t boneIndex = a.bone ? a.bone->GetIndex() : -1;
        if (boneIndex < 0) {
            // A vertex pin needs this frame's skinned shape.
            if (a.vertex < 0 || static_cast<std::uint32_t>(a.vertex) >= skinnedVertices)
                continue;
            std::copy_n(skinned.data() + std::size_t(a.vertex) * kScratchFloats, 3, a.world);
        } else {
            float world[16];
            owner_->GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(boneIndex), world);
            TransformDivided(world, a.local, a.world);
        }
        physics_->AttachVertexToGlobalPosition(a.particle, a.world);
    }
}

void Cloth::PublishVertices() {
    VertexData* own = Mesh::GetVertexData();
    if (!own)
        return;
    const std::uint32_t n =
        std::min<std::uint64_t>(GetVertexCount(), vertices_.size() / kVertexFloats);
    const std::uint32_t semantics[3] = {VF_POSITION, VF_NORMAL, VF_TEXCOORD0};
    const std::uint32_t offsets[3] = {0, 3, 6};
    const std::uint32_t widths[3] = {3, 3, 2};
    for (int k = 0; k < 3; ++k) {
        VertexComponentDataPool* component = own->FindComponent(semantics[k]);
        if (!component || !component->GetData())
            continue;
        const std::uint32_t count = std::min(n, component->GetCount());
        float* out = component->GetFloats();
        for (std::uint32_t v = 0; v < count; ++v)
            std::copy_n(vertices_.data() + std::size_t(v) * kVertexFloats + offsets[k], widths[k],
                        out + std::size_t(v) * widths[k]);
    }
    own->SetDirty(true);
}

void Cloth::BuildRenderData(Entity* /*model*/, Renderable* piece, const Pass* pass) {
    const auto* subEntity = dynamic_cast<SubEntity*>(piece);
    if (!pass || !subEntity || !(pass->passFlags & kPassDepthSorted) || !IsSingleTriangleList() ||
        !subEntity->IsSortRequested() || !enabled_ || vertices_.empty())
        return;
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return;
    float viewWorld[16], clip[16];
    MultiplyMatrices4(scene->GetViewMatrix(), const_cast<SubEntity*>(subEntity)->GetWorldMatrix(),
                      viewWorld);
    MultiplyMatrices4(scene->GetProjectionMatrix(), viewWorld, clip);
    // The shape changes every frame: the homogeneous positions are made from it each time.
    const std::uint32_t n = GetVertexCount();
    std::vector<float>& homogeneous = GetHomogeneous();
    homogeneous.assign(std::size_t((n + 3) / 4) * 16, 0.0f);
    for (std::uint32_t v = 0; v < n; ++v) {
        std::copy_n(vertices_.data() + std::size_t(v) * kVertexFloats, 3, &homogeneous[4 * v]);
        homogeneous[4 * v + 3] = 1.0f;
    }
    ProjectHomogeneous(clip, n);
}

}  // namespace Zel
