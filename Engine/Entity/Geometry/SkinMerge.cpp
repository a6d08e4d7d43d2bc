#include "Entity/Geometry/SkinMerge.h"

#include <algorithm>
#include <cstring>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

constexpr std::uint32_t kNoGroups = 9999;

std::uint32_t GroupIndexCount(const Mesh& mesh, std::uint32_t g) {
    const auto& groups = mesh.GetRenderGroups();
    if (g >= groups.size() || !groups[g])
        return 0;
    std::uint32_t n = 0;
    for (const RenderGroupEntry& e : groups[g]->entries) n += e.indexCount;
    return n;
}

// Where the group's indices start in the mesh's index array.
std::uint32_t GroupStart(const Mesh& mesh, std::uint32_t g) {
    const auto& groups = mesh.GetRenderGroups();
    if (g >= groups.size() || !groups[g] || groups[g]->entries.empty())
        return 0;
    return groups[g]->entries.front().start / 4;
}

}  // namespace

std::uint32_t SkinMerge::ClampBone(std::uint32_t bone) {
    if (bone >= 39 && bone <= 53)
        return 38;
    if (bone >= 62 && bone <= 76)
        return 61;
    return bone;
}

float SkinMerge::ClampBoneValue(float value) {
    const float whole = static_cast<float>(static_cast<std::int64_t>(value));
    if (whole > 38 && whole < 54)
        return 38;
    if (whole > 61 && whole < 77)
        return 61;
    return value;
}

std::uint32_t SkinMerge::GetTotalVertexCount() const {
    std::uint64_t n = 0;
    for (const Skin* s : sources_) n += s->GetVertexCount();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(n, 0xFFFFFFFFu));
}

std::uint32_t SkinMerge::GetTotalIndexCount() const {
    std::uint32_t n = 0;
    for (const Skin* s : sources_)
        if (const IndexData* index = s->GetIndexData())
            n += index->GetIndexCount();
    return n;
}

std::uint32_t SkinMerge::GetGroupIndexCount(std::uint32_t g) const {
    std::uint32_t n = 0;
    for (const Skin* s : sources_) n += GroupIndexCount(*s, g);
    return n;
}

bool SkinMerge::Merge() {
    if (sources_.empty()) {
        LogTyped(LOG_ENGINE_INIT, "SkinMerge::Merge: %s has no sources", GetName().c_str());
        return false;
    }
    std::uint64_t vertices = 0;
    for (const Skin* s : sources_) vertices += s->GetVertexCount();
    if (vertices > kMaxVertices) {
        LogTyped(LOG_ENGINE_INIT,
                 "SkinMerge::Merge: %llu vertices in %zu sources exceed the %u a merged skin can "
                 "index",
                 static_cast<unsigned long long>(vertices), sources_.size(), kMaxVertices);
        return false;
    }

    // The geometry: bounds over every source, the first source's header words and name.
    const Skin& first = *sources_.front();
    AABB& bounds = GetBoundsForUpdate();
    bounds.Assign(first.GetBounds());
    for (const Skin* s : sources_) bounds.Merge(s->GetBounds());
    for (int i = 0; i < 3; ++i) SetWord(i, first.GetWord(i));
    if (GetName() != first.GetName())
        SetName(first.GetName());
    SetVertexCount(GetTotalVertexCount());
    SetFaceCount(GetGroupIndexCount(0) / 3);
    MergeVertexComponents();
    MergeIndexData();
    BuildGroupVertexLists();

    // Blend records in source order, bones folded.
    std::vector<SkinBlendRecord>& blend = GetBlendRecords();
    blend.assign(GetVertexCount(), SkinBlendRecord());
    std::uint32_t base = 0;
    for (const Skin* s : sources_) {
        const auto& records = s->GetBlendRecords();
        const std::uint32_t n = std::min<std::uint32_t>(s->GetVertexCount(),
                                                        static_cast<std::uint32_t>(records.size()));
        std::copy_n(records.begin(), n, blend.begin() + base);
        base += s->GetVertexCount();
    }
    for (SkinBlendRecord& r : blend)
        for (std::uint32_t& bone : r.bones) bone = ClampBone(bone);

    // BLENDINDICES: each source's slots to skeleton bones, folded, then to slots of the joint
    // palette.
    VertexComponentDataPool* indices = GetVertexData()->FindComponent(VF_BLEND_INDICES);
    float* values = indices ? indices->GetFloats() : nullptr;
    const std::uint32_t valueCount = indices ? indices->GetDataSize() / 4 : 0;
    if (values) {
        std::uint32_t at = 0;
        for (const Skin* s : sources_) {
            const std::uint32_t n = std::min(4 * s->GetVertexCount(), valueCount - at);
            SourcePaletteToBoneIndices(*s, values + at, n);
            at += n;
        }
        for (std::uint32_t i = 0; i < valueCount; ++i) values[i] = ClampBoneValue(values[i]);
    }
    BuildPalette();
    for (std::uint32_t i = 0; i < valueCount; ++i) {
        const auto bone = static_cast<std::uint32_t>(std::max(0.0f, values[i]));
        AddPaletteBone(bone);
        values[i] = static_cast<float>(FindPaletteIndex(bone));
    }
    BuildBoneBatches();
    return true;
}

void SkinMerge::SourcePaletteToBoneIndices(const Skin& source, float* values, std::uint32_t count) {
    const auto& palette = source.GetPalette();
    for (std::uint32_t i = 0; i < count; ++i) {
        const float slot = values[i];
        // An empty slot (-1) would otherwise be read as a palette index.
        values[i] = slot >= 0 && slot < static_cast<float>(source.GetPaletteCount())
                        ? static_cast<float>(palette[static_cast<std::uint32_t>(slot)])
                        : 0.0f;
    }
}

void SkinMerge::MergeVertexComponents() {
    VertexData& merged = *GetVertexData();
    merged.ClearComponents();
    const std::uint32_t total = GetVertexCount();
    merged.SetVertexCount(total);
    std::uint32_t base = 0;
    for (const Skin* s : sources_) {
        const VertexData* data = s->GetVertexData();
        if (data) {
            for (const auto& c : data->GetComponents()) {
                if (c->semantic == VF_COLOUR || c->semantic == VF_DIFFUSE || !c->GetData())
                    continue;
                VertexComponentDataPool* into = merged.FindComponent(c->semantic);
                if (!into)
                    into = merged.AddComponent(c->semantic, c->type, total);
                if (!into || into->type != c->type)
                    continue;
                // A source that lacks a component leaves its range zero: the offset follows the
                // vertex base, not the bytes of the sources that had one.
                const std::uint64_t size = VertexElementSize(c->type);
                const std::uint64_t offset = base * size;
                const std::uint64_t bytes = std::min<std::uint64_t>(
                    c->GetDataSize(), std::uint64_t(s->GetVertexCount()) * size);
                if (offset + bytes <= into->GetDataSize())
                    std::memcpy(into->GetData() + offset, c->GetData(), bytes);
            }
        }
        base += s->GetVertexCount();
    }
}

void SkinMerge::MergeIndexData() {
    IndexData& merged = *GetIndexData();
    std::uint32_t groups = kNoGroups;
    for (const Skin* s : sources_)
        groups = std::min(groups, static_cast<std::uint32_t>(s->GetRenderGroups().size()));
    std::uint32_t grouped = 0;
    for (std::uint32_t g = 0; g < groups; ++g) grouped += GetGroupIndexCount(g);
    merged.AllocateIndices(std::max(GetTotalIndexCount(), grouped));
    if (const IndexData* first = sources_.front()->GetIndexData())
        merged.SetLeadingWord(first->GetLeadingWord());
    std::uint32_t* out = merged.GetIndices();

    std::uint32_t at = 0;
    for (std::uint32_t g = 0; g < groups; ++g) {
        const std::uint32_t n = GetGroupIndexCount(g);
        auto group = std::make_unique<LodStripArray>();
        group->entries.push_back({PT_TRIANGLE_LIST, n, n, 4 * at, 0});
        group->value = n / 3;
        AddRenderGroup(std::move(group));
        std::uint32_t base = 0;
        for (const Skin* s : sources_) {
            const IndexData* index = s->GetIndexData();
            const std::uint32_t count = GroupIndexCount(*s, g);
            const std::uint32_t start = GroupStart(*s, g);
            const std::uint32_t* from = index ? index->GetIndices() : nullptr;
            const std::uint32_t available = index ? index->GetArraySize() : 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint64_t source = std::uint64_t(start) + i;
                out[at + i] = base + (from && source < available ? from[source] : 0);
            }
            at += count;
            base += s->GetVertexCount();
        }
    }
    merged.CreateBuffer(DeviceUses32BitIndices() ? IS_32BIT : IS_16BIT, BU_STATIC | BU_WRITE_ONLY);
    if (!GetRenderGroups().empty())
        SetCurrentGroup(GetRenderGroups().front().get());
}

GeometrySkinMerge::GeometrySkinMerge(CResourceManager* manager)
    : GeometrySkin(manager, "MergedGeomtrySkin", "GeometrySkin", 0) {}

std::unique_ptr<Mesh> GeometrySkinMerge::CreateMesh(const std::string& name) {
    return std::make_unique<SkinMerge>(this, name);
}

SkinMerge* GeometrySkinMerge::AddMergedMesh(const std::vector<const Skin*>& sources) {
    auto* merged = static_cast<SkinMerge*>(AddMesh());
    merged->SetSources(sources);
    if (!merged->Merge()) {
        RemoveMesh(merged);
        meshes_.pop_back();
        return nullptr;
    }
    merged->SetSortKey(0);
    return merged;
}

}  // namespace Zel
