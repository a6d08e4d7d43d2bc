#include "Entity/Geometry/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/GpuProgram.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/VertexBufferBinding.h"

namespace Zel {

namespace {

// Compact number ranges: compact [first, last] maps to skeleton [first + shift, last + shift].
struct CompactRange {
    float first, last, shift;
};
constexpr CompactRange kCompactRanges[] = {{0, 6, 0}, {7, 10, 28}, {11, 18, 43}, {19, 35, 58}};

// M . (x, y, z, 1) with the homogeneous divide: h = 0 gives the origin, h = 1 no divide.
void TransformPoint(const float* m, const float* p, float* out) {
    const float x = p[0], y = p[1], z = p[2];
    const float h = m[12] * x + m[13] * y + m[14] * z + m[15];
    if (h == 0.0f) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    out[0] = m[0] * x + m[1] * y + m[2] * z + m[3];
    out[1] = m[4] * x + m[5] * y + m[6] * z + m[7];
    out[2] = m[8] * x + m[9] * y + m[10] * z + m[11];
    if (h != 1.0f)
        for (int k = 0; k < 3; ++k) out[k] /= h;
}

// Floats per element of a component (its element size in floats), 0 without one.
std::uint32_t FloatsPerElement(const VertexComponentDataPool* c) {
    return c ? c->GetElementSize() / 4 : 0;
}

// The byte offset of each semantic in the fixed-function layout of the flags.
struct LayoutOffsets {
    std::uint32_t normal = 0, colour = 0, texcoord0 = 0;
};

LayoutOffsets OffsetsOf(std::uint32_t flags) {
    LayoutOffsets offsets;
    const std::uint32_t* order = LayoutSemanticOrder(true);
    std::uint32_t at = 0;
    for (std::uint32_t k = 0; k < kLayoutSemanticCount; ++k) {
        const std::uint32_t semantic = order[k];
        if ((flags & semantic) == 0)
            continue;
        if (semantic == VF_NORMAL)
            offsets.normal = at;
        else if (semantic == VF_DIFFUSE)
            offsets.colour = at;
        else if (semantic == VF_TEXCOORD0)
            offsets.texcoord0 = at;
        at += VertexElementSize(LayoutElementType(semantic));
    }
    return offsets;
}

std::uint32_t RoundUp4(std::uint32_t n) {
    return (n + 3u) & ~3u;
}

}  // namespace

Skin::Skin(Geometry* owner, std::string name) : Mesh(owner, std::move(name), true, true) {}

Skin::~Skin() {
    Skin::ReleaseRenderData();
}

std::uint32_t Skin::GetMemorySize() const {
    const std::uint64_t bytes =
        Mesh::GetMemorySize() + std::uint64_t(kBlendRecordBytes) * blend_.size();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
}

void Skin::ReleaseRenderData() {
    blend_ = {};
    palette_.fill(0);
    paletteCount_ = 0;
    for (SkinBoneBatch& batch : batches_) batch = SkinBoneBatch();
    paletteMode_ = false;
    Mesh::ReleaseRenderData();
}

void Skin::ApplyVertexUsage() {
    if (VertexData* data = GetVertexData())
        data->SetUsage(SceneIsDX7Mode() ? 6 : 5);
}

void Skin::SetPalette(std::uint32_t count,
                      const std::array<std::uint32_t, kMaxPaletteBones>& slots) {
    paletteCount_ = std::min(count, kMaxPaletteBones);
    palette_ = slots;
}

void Skin::BuildPalette() {
    palette_.fill(0);
    paletteCount_ = 0;
    for (const SkinBlendRecord& record : blend_)
        for (std::uint32_t bone : record.bones)
            if (!AddPaletteBone(bone))
                LogTyped(LOG_ENGINE_INIT, "ERROR : Skin骨骼数量达到最大");
}

std::int32_t Skin::FindPaletteIndex(std::uint32_t bone) const {
    for (std::uint32_t k = 0; k < paletteCount_; ++k)
        if (palette_[k] == bone)
            return static_cast<std::int32_t>(k);
    return -1;
}

bool Skin::AddPaletteBone(std::uint32_t bone) {
    if (FindPaletteIndex(bone) >= 0)
        return true;
    if (paletteCount_ >= kMaxPaletteBones)
        return false;
    palette_[paletteCount_++] = bone;
    return true;
}

std::int32_t Skin::SlotForBone(std::uint32_t bone) {
    if (!AddPaletteBone(bone))
        return -1;
    return FindPaletteIndex(bone);
}

void Skin::CreateBlendComponents() {
    VertexData* data = GetVertexData();
    if (!data || blend_.empty() || data->FindComponent(VF_BLEND_WEIGHTS) ||
        data->FindComponent(VF_BLEND_INDICES))
        return;
    const std::uint32_t n = data->GetVertexCount();
    VertexComponentDataPool* weights = data->AddComponent(VF_BLEND_WEIGHTS, VET_FLOAT4, n);
    VertexComponentDataPool* indices = data->AddComponent(VF_BLEND_INDICES, VET_FLOAT4, n);
    if (!weights || !indices || !weights->GetData() || !indices->GetData())
        return;
    float* w = weights->GetFloats();
    float* b = indices->GetFloats();
    const std::uint32_t records =
        std::min<std::uint32_t>(n, static_cast<std::uint32_t>(blend_.size()));
    for (std::uint32_t v = 0; v < records; ++v)
        for (std::uint32_t k = 0; k < kMaxInfluences; ++k) {
            w[4 * v + k] = blend_[v].weights[k];
            b[4 * v + k] = static_cast<float>(FindPaletteIndex(blend_[v].bones[k]));
        }
}

void Skin::BuildBoneBatches() {
    if (!SceneIsDX7Mode())
        return;
    VertexData* data = GetVertexData();
    const VertexComponentDataPool* position = data ? data->FindComponent(VF_POSITION) : nullptr;
    const VertexComponentDataPool* normal = data ? data->FindComponent(VF_NORMAL) : nullptr;
    const auto influences = [](const SkinBlendRecord& r) {
        return static_cast<std::uint32_t>(std::clamp(r.count, 0, 4));
    };
    std::array<std::uint32_t, kMaxPaletteBones> counts{};
    for (const SkinBlendRecord& record : blend_)
        for (std::uint32_t k = 0; k < influences(record); ++k) {
            const std::int32_t slot = FindPaletteIndex(record.bones[k]);
            if (slot >= 0)
                ++counts[slot];
        }
    for (std::uint32_t slot = 0; slot < kMaxPaletteBones; ++slot) {
        if (counts[slot] == 0)
            continue;
        SkinBoneBatch& batch = batches_[slot];
        batch = SkinBoneBatch();
        batch.count = counts[slot];
        batch.capacity = RoundUp4(counts[slot]);
        batch.positions.assign(4u * batch.capacity, 0.0f);
        batch.normals.assign(4u * batch.capacity, 0.0f);
        for (auto& work : batch.work) work.assign(4u * batch.capacity, 0.0f);
        batch.vertices.assign(batch.capacity, 0);
    }
    std::array<std::uint32_t, kMaxPaletteBones> at{};
    const auto element = [](const VertexComponentDataPool* c, std::uint32_t v) -> const float* {
        return c && c->GetData() && v < c->GetCount() ? c->GetFloats() + v * FloatsPerElement(c)
                                                      : nullptr;
    };
    for (std::uint32_t v = 0; v < blend_.size(); ++v) {
        const SkinBlendRecord& record = blend_[v];
        for (std::uint32_t k = 0; k < influences(record); ++k) {
            const std::int32_t slot = FindPaletteIndex(record.bones[k]);
            if (slot < 0)
                continue;
            SkinBoneBatch& batch = batches_[slot];
            const std::uint32_t c = at[slot]++;
            const float w = record.weights[k];
            if (const float* p = element(position, v)) {
                const float weighted[4] = {p[0] * w, p[1] * w, p[2] * w, w};
                std::memcpy(&batch.positions[4 * c], weighted, sizeof weighted);
            }
            if (const float* nrm = element(normal, v)) {
                const float weighted[4] = {nrm[0] * w, nrm[1] * w, nrm[2] * w, 0.0f};
                std::memcpy(&batch.normals[4 * c], weighted, sizeof weighted);
            }
            batch.vertices[c] = v;
        }
    }
}

void Skin::BuildGroupVertexLists() {
    const IndexData* indexData = GetIndexData();
    const auto& groups = GetRenderGroups();
    vertexLists_.assign(groups.size(), {});
    if (!indexData || !indexData->GetIndices())
        return;
    const std::uint32_t* indices = indexData->GetIndices();
    const std::uint64_t size = indexData->GetArraySize();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        std::set<std::uint32_t> vertices;
        for (const RenderGroupEntry& entry : groups[g]->entries) {
            const std::uint64_t first = entry.start / 4;
            const std::uint64_t last = std::min<std::uint64_t>(first + entry.indexCount, size);
            for (std::uint64_t i = first; i < last; ++i) vertices.insert(indices[i]);
        }
        vertexLists_[g].assign(vertices.begin(), vertices.end());
    }
}

std::uint32_t Skin::SkinVertices(void* destination, const BoneStateSet& model,
                                 std::uint32_t vertexFlags, std::uint32_t stride,
                                 const float* finalMatrix, std::uint32_t listIndex) {
    VertexData* data = GetVertexData();
    const VertexComponentDataPool* position = data ? data->FindComponent(VF_POSITION) : nullptr;
    if (!destination || !position || !position->GetData())
        return 0;
    const VertexComponentDataPool* normal = data->FindComponent(VF_NORMAL);
    const VertexComponentDataPool* texcoord = data->FindComponent(VF_TEXCOORD0);
    const VertexComponentDataPool* colour = data->FindComponent(VF_DIFFUSE);
    const bool withNormal = (vertexFlags & VF_NORMAL) != 0;
    const bool writeColour = (vertexFlags & VF_DIFFUSE) != 0 && colour && colour->GetData();
    const bool writeTexcoord = (vertexFlags & VF_TEXCOORD0) != 0 && texcoord && texcoord->GetData();
    const LayoutOffsets offsets = OffsetsOf(vertexFlags);

    if (vertexLists_.empty()) {
        std::vector<std::uint32_t> all(data->GetVertexCount());
        for (std::uint32_t v = 0; v < all.size(); ++v) all[v] = v;
        vertexLists_.push_back(std::move(all));
        listIndex = 0;
    }
    const std::vector<std::uint32_t>& list =
        vertexLists_[std::min<std::size_t>(listIndex, vertexLists_.size() - 1)];

    const auto inside = [](const VertexComponentDataPool* c, std::uint32_t v) {
        return c && c->GetData() && v < c->GetCount();
    };
    auto* out = static_cast<std::uint8_t*>(destination);
    for (std::uint32_t v : list) {
        // A vertex past its blend record or its position has nothing to pose.
        if (v >= blend_.size() || v >= data->GetVertexCount() || !inside(position, v))
            continue;
        const SkinBlendRecord& record = blend_[v];
        const float* p = position->GetFloats() + v * FloatsPerElement(position);
        const float* nrm = withNormal && inside(normal, v)
                               ? normal->GetFloats() + v * FloatsPerElement(normal)
                               : nullptr;
        float sum[3] = {0, 0, 0}, normalSum[3] = {0, 0, 0};
        const std::uint32_t influences = static_cast<std::uint32_t>(std::clamp(record.count, 0, 4));
        for (std::uint32_t k = 0; k < influences; ++k) {
            const float* m = SkinMatrixOf(model, record.bones[k]);
            const float w = record.weights[k];
            float t[3];
            TransformPoint(m, p, t);
            for (int c = 0; c < 3; ++c) sum[c] += w * t[c];
            if (nrm) {
                float r[3];
                Matrix4::RotateVector(m, r, nrm);
                for (int c = 0; c < 3; ++c) normalSum[c] += w * r[c];
            }
        }
        std::uint8_t* d = out + std::size_t(v) * stride;
        float posed[3];
        TransformPoint(finalMatrix, sum, posed);
        std::memcpy(d, posed, sizeof posed);
        if (withNormal) {
            float rotated[3];
            Matrix4::RotateVector(finalMatrix, rotated, normalSum);
            std::memcpy(d + offsets.normal, rotated, sizeof rotated);
        }
        if (writeColour && v < colour->GetCount())
            std::memcpy(d + offsets.colour,
                        colour->GetData() + std::size_t(v) * colour->GetElementSize(), 4);
        if (writeTexcoord && v < texcoord->GetCount())
            std::memcpy(d + offsets.texcoord0,
                        texcoord->GetData() + std::size_t(v) * texcoord->GetElementSize(), 8);
    }
    return static_cast<std::uint32_t>(list.size());
}

bool Skin::SkinIntoVertexBuffer(const BoneStateSet& model, std::uint32_t vertexFlags,
                                std::uint32_t listIndex) {
    VertexData* data = GetVertexData();
    if (!IsSkinningOn() || !data)
        return false;
    VertexBufferByFormat* format = data->GetBufferByFormat(vertexFlags, true);
    const VertexBufferBinding* binding = format ? format->GetBinding() : nullptr;
    HardwareVertexBuffer* buffer = binding ? binding->GetSlot(0).buffer.Get() : nullptr;
    const std::uint32_t stride = format ? format->GetStride() : 0;
    if (!buffer || stride == 0)
        return false;
    const std::uint64_t bytes = std::uint64_t(data->GetVertexCount()) * stride;
    const std::uint32_t offset = binding->GetSlot(0).offset;
    if (offset + bytes > buffer->GetSizeInBytes())
        return false;
    const std::uint32_t option = (buffer->GetUsage() & BU_DYNAMIC) ? LO_DISCARD : LO_NORMAL;
    void* destination = buffer->Lock(offset, static_cast<std::uint32_t>(bytes), option);
    if (!destination)
        return false;
    SkinVertices(destination, model, vertexFlags, stride, IdentityMatrix(), listIndex);
    buffer->Unlock();
    return true;
}

void Skin::ProjectToScreenBound(const float* matrix, const BoneStateSet& model) {
    const std::uint32_t n = PrepareHomogeneous();
    // The posed positions land at the vertices' own places, which the array holds only when
    // every vertex has its homogeneous position.
    const VertexData* data = GetVertexData();
    if (n > 0 && data && n == data->GetVertexCount())
        SkinVertices(GetHomogeneous().data(), model, VF_POSITION, 16, IdentityMatrix(), 0);
    ProjectHomogeneous(matrix, n);
}

bool Skin::IsSkinningOn() {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return !config || config->GetValue(kSkinningSwitch) != 0;
}

void Skin::PrepareForPass(const BoneStateSet& model, GpuProgram* program, std::uint32_t listIndex,
                          bool sortRequested, const float* world, std::uint32_t passVertexFlags,
                          std::uint32_t passFlags) {
    // The tangent step only: a skin sorts by its posed positions below.
    Mesh::PrepareForPass(false, world, passVertexFlags, passFlags);
    if (SceneIsDX7Mode()) {
        SkinIntoVertexBuffer(model, passVertexFlags, listIndex);
    } else if (program && IsSkinningOn()) {
        const std::uint32_t count = CollectPaletteMatrices(model, paletteMatrices_);
        if (count > 0)
            program->SetMatrixArray(kBoneMatrixParameter, paletteMatrices_.data(), count);
    }
    float clip[16];
    if (!sortRequested || !world || !(passFlags & kPassDepthSorted) || !IsSingleTriangleList() ||
        !ClipMatrixUnderCamera(world, clip))
        return;
    sortingModel_ = &model;
    SortTrianglesFull(clip, true);
    sortingModel_ = nullptr;
}

void Skin::ProjectPositions(const float* matrix) {
    if (sortingModel_)
        ProjectToScreenBound(matrix, *sortingModel_);
    else
        Mesh::ProjectPositions(matrix);
}

const float* Skin::SkinMatrixOf(const BoneStateSet& model, std::uint32_t bone) {
    if (const BoneState* state = model.GetBoneState(bone))
        return state->skinMatrix;
    if (!loggedBoneRange_) {
        loggedBoneRange_ = true;
        LogTyped(LOG_ENGINE_INIT,
                 "Skin::SkinVertices: %s names bone %u, but the model has %u bone states",
                 GetName().c_str(), bone, model.GetCount());
    }
    return IdentityMatrix();
}

std::uint32_t Skin::CollectPaletteMatrices(const BoneStateSet& model, std::vector<float>& out) {
    out.clear();
    if (paletteMode_ || model.GetCount() == 0)
        return 0;
    out.reserve(16u * paletteCount_);
    for (std::uint32_t k = 0; k < paletteCount_; ++k) {
        const float* m = SkinMatrixOf(model, palette_[k]);
        out.insert(out.end(), m, m + 16);
    }
    return paletteCount_;
}

void Skin::SetPaletteMode(bool mode) {
    VertexData* data = GetVertexData();
    VertexComponentDataPool* indices = data ? data->FindComponent(VF_BLEND_INDICES) : nullptr;
    if (mode == paletteMode_ || !indices || !indices->GetData())
        return;
    float* values = indices->GetFloats();
    const std::uint32_t count = indices->GetDataSize() / 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const float v = values[i];
        if (v < 0.0f)
            continue;  // an empty slot stays empty in both forms
        if (mode) {
            const auto slot = static_cast<std::uint32_t>(v);
            values[i] = slot < kMaxPaletteBones
                            ? CompactBoneIndex(static_cast<float>(palette_[slot]))
                            : -1.0f;
        } else {
            const float bone = ExpandBoneIndex(v);
            values[i] = static_cast<float>(SlotForBone(static_cast<std::uint32_t>(bone)));
        }
    }
    paletteMode_ = mode;
    data->SetDirty(true);
}

float Skin::ExpandBoneIndex(float compact) {
    for (const CompactRange& r : kCompactRanges)
        if (compact >= r.first && compact <= r.last)
            return compact + r.shift;
    return compact;
}

float Skin::CompactBoneIndex(float bone) {
    for (const CompactRange& r : kCompactRanges)
        if (bone >= r.first + r.shift && bone <= r.last + r.shift)
            return bone - r.shift;
    return bone;
}

}  // namespace Zel
