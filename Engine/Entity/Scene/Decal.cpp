#include "Entity/Scene/Decal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/StreamIndexData.h"
#include "Entity/Geometry/StreamVertexData.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/PickMath.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SubEntity.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

constexpr std::uint32_t kDecalLayout = VF_POSITION | VF_TEXCOORD0;
constexpr std::uint32_t kDecalStride = 4 * Decal::kVertexFloats;

// The streamed buffer shown to the draw path as an already built buffer of the decal's layout.
// It borrows the stream's declaration and binding and never gives them back.
class DecalStreamBinding : public VertexBufferByFormat {
public:
    explicit DecalStreamBinding(StreamVertexData& data)
        : VertexBufferByFormat(&data, kDecalLayout) {
        declaration_ = data.GetDeclaration();
        binding_ = data.GetBinding();
        built_ = true;
        stride_ = data.GetStride();
    }
    void Build() override {}
    void Refresh() override {}
};

// What one sub-entity of a receiver offers a decal.
struct DecalReceiver {
    Entity* entity;
    Mesh* mesh;
    bool twoSided;
    bool blended;
    bool alphaTested;
};

void CollectDecalReceivers(Entity& entity, std::vector<DecalReceiver>& out) {
    for (SubEntity* piece : entity.GetSubEntities()) {
        Material* material = piece->GetOwnMaterial();
        if (!piece->GetMesh() || !material)
            continue;
        const Pass* first = material->GetPass(0);
        out.push_back({&entity, piece->GetMesh(), first && first->renderState.cullMode == CULL_NONE,
                       material->HasBlendedPass(), material->HasAlphaTestedPass()});
    }
}

bool BoxesTouch(const AABB& a, const AABB& b) {
    for (int k = 0; k < 3; ++k)
        if (a.GetMin()[k] > b.GetMax()[k] || a.GetMax()[k] < b.GetMin()[k])
            return false;
    return true;
}

}  // namespace

// --- The build ----------------------------------------------------------------------------------

// Cuts the receivers' triangles to the decal box and collects the output mesh.
class Decal::Builder {
public:
    Builder(const OBB& volume, const float* uvFrom, const float* uvTo, bool twoSided)
        : volume_(volume), twoSided_(twoSided) {
        BuildClipPlanes(volume.GetExtents(), planes_);
        const float* e = volume.GetExtents();
        centreU_ = (uvFrom[0] + uvTo[0]) * 0.5f;
        centreV_ = (uvFrom[1] + uvTo[1]) * 0.5f;
        scaleU_ = (centreU_ - uvFrom[0]) / e[0];
        scaleV_ = (centreV_ - uvFrom[1]) / e[2];
        // World to decal space: the rows are the axes, the translation takes the centre away.
        const float* axes[3] = {volume.GetAxisX(), volume.GetAxisY(), volume.GetAxisZ()};
        const float* c = volume.GetCenter();
        for (int r = 0; r < 3; ++r) {
            std::copy_n(axes[r], 3, toDecal_ + 4 * r);
            toDecal_[4 * r + 3] = -Dot3(axes[r], c);
        }
        toDecal_[12] = toDecal_[13] = toDecal_[14] = 0.0f;
        toDecal_[15] = 1.0f;
    }

    void Process(const DecalReceiver& receiver);

    std::vector<float> vertices;  // kVertexFloats per vertex
    std::vector<std::uint32_t> indices;

private:
    struct Corner {
        float p[3];
        bool inside;
    };

    std::uint32_t AddVertex(const float* p);
    // Sutherland-Hodgman against the six planes: corners on a plane stay, a point is added
    // where an edge crosses a plane strictly.
    void ClipPolygon(std::vector<std::array<float, 3>>& ring) const;

    const OBB& volume_;
    bool twoSided_;
    DecalClipPlane planes_[6];
    float centreU_, centreV_, scaleU_, scaleV_;
    float toDecal_[16];
};

std::uint32_t Decal::Builder::AddVertex(const float* p) {
    const auto index = static_cast<std::uint32_t>(vertices.size() / kVertexFloats);
    float w = p[2] * scaleV_ + centreV_;
    w = std::isnan(w) ? 0.0f : std::clamp(w, 0.0f, 1.0f);
    const float v[kVertexFloats] = {p[0], p[1] + kDepthOffset, p[2], p[0] * scaleU_ + centreU_,
                                    1.0f - w};
    vertices.insert(vertices.end(), v, v + kVertexFloats);
    return index;
}

void Decal::Builder::ClipPolygon(std::vector<std::array<float, 3>>& ring) const {
    std::vector<std::array<float, 3>> next;
    for (const DecalClipPlane& plane : planes_) {
        if (ring.empty())
            return;
        next.clear();
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& from = ring[i];
            const auto& to = ring[(i + 1) % ring.size()];
            const float da = plane.sign * (from[plane.axis] - plane.distance);
            const float db = plane.sign * (to[plane.axis] - plane.distance);
            if (da >= 0.0f)
                next.push_back(from);
            if ((da > 0.0f && db < 0.0f) || (da < 0.0f && db > 0.0f)) {
                const float t = da / (da - db);
                next.push_back({from[0] + (to[0] - from[0]) * t, from[1] + (to[1] - from[1]) * t,
                                from[2] + (to[2] - from[2]) * t});
                // The crossing lies on the plane exactly.
                next.back()[plane.axis] = plane.distance;
            }
        }
        ring.swap(next);
    }
}

void Decal::Builder::Process(const DecalReceiver& receiver) {
    const VertexData* data = receiver.mesh->GetVertexData();
    const VertexComponentDataPool* position = data ? data->FindComponent(VF_POSITION) : nullptr;
    const IndexData* indexData = receiver.mesh->GetIndexData();
    if (!position || !position->GetData() || position->GetElementSize() != 12 || !indexData ||
        !indexData->GetIndices())
        return;
    const float* positions = position->GetFloats();
    const std::uint32_t vertexCount = position->GetCount();
    const std::uint32_t* source = indexData->GetIndices();
    const std::uint32_t triangleCount =
        std::min(indexData->GetIndexCount(), indexData->GetArraySize()) / 3;
    float m[16];
    MultiplyMatrices4(toDecal_, receiver.entity->GetWorldMatrix(), m);
    const bool twoSided = twoSided_ && receiver.twoSided;
    const float* e = volume_.GetExtents();

    // 1. Classification: corners carried to decal space once each.
    std::vector<Corner> corners;
    std::unordered_map<std::uint32_t, std::uint32_t> cornerOf;
    std::vector<std::array<std::uint32_t, 3>> inside, crossing;
    auto corner = [&](std::uint32_t v) {
        auto [it, fresh] = cornerOf.try_emplace(v, static_cast<std::uint32_t>(corners.size()));
        if (fresh) {
            Corner c;
            TransformPointW(m, positions + 3 * std::size_t(v), c.p);
            c.inside = volume_.ContainsLocalPoint(c.p);
            corners.push_back(c);
        }
        return it->second;
    };
    for (std::uint32_t t = 0; t < triangleCount; ++t) {
        std::uint32_t v[3] = {source[3 * t], source[3 * t + 1], source[3 * t + 2]};
        if (v[0] >= vertexCount || v[1] >= vertexCount || v[2] >= vertexCount)
            continue;
        std::uint32_t c[3] = {corner(v[0]), corner(v[1]), corner(v[2])};
        // Facing in decal space, where the projection runs along +y: the receiver's own rotation
        // is taken into account.
        const float* p0 = corners[c[0]].p;
        const float* p1 = corners[c[1]].p;
        const float* p2 = corners[c[2]].p;
        const float a[3] = {p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
        const float b[3] = {p0[0] - p1[0], p0[1] - p1[1], p0[2] - p1[2]};
        const float facing = a[2] * b[0] - a[0] * b[2];  // ((a x b) . (0, 1, 0))
        if (twoSided) {
            if (std::fabs(facing) < 0x1p-21f)
                continue;
            if (facing < 0.0f)
                std::swap(c[1], c[2]);
        } else if (facing < 0.001f) {
            continue;
        }
        const int in = corners[c[0]].inside + corners[c[1]].inside + corners[c[2]].inside;
        if (in == 3) {
            inside.push_back({c[0], c[1], c[2]});
            continue;
        }
        bool beyond = false;
        for (int axis = 0; axis < 3 && in == 0 && !beyond; ++axis) {
            int above = 0, below = 0;
            for (std::uint32_t k : c) {
                above += corners[k].p[axis] > e[axis];
                below += corners[k].p[axis] < -e[axis];
            }
            beyond = above == 3 || below == 3;
        }
        if (!beyond)
            crossing.push_back({c[0], c[1], c[2]});
    }

    // 2. Crossing triangles, each clipped by itself; the pieces share no vertices.
    std::vector<std::array<float, 3>> ring;
    for (const auto& t : crossing) {
        ring.clear();
        for (std::uint32_t k : t)
            ring.push_back({corners[k].p[0], corners[k].p[1], corners[k].p[2]});
        ClipPolygon(ring);
        if (ring.size() < 3)
            continue;
        bool kept = true;
        for (const auto& p : ring) kept = kept && volume_.ContainsLocalPoint(p.data());
        if (!kept)
            continue;
        const std::uint32_t first = AddVertex(ring[0].data());
        std::uint32_t previous = AddVertex(ring[1].data());
        for (std::size_t k = 2; k < ring.size(); ++k) {
            const std::uint32_t current = AddVertex(ring[k].data());
            indices.insert(indices.end(), {first, previous, current});
            previous = current;
        }
    }

    // 3. Inside triangles keep their shared corners shared.
    std::unordered_map<std::uint32_t, std::uint32_t> outputOf;
    for (const auto& t : inside) {
        for (std::uint32_t k : t) {
            auto [it, fresh] = outputOf.try_emplace(k, 0u);
            if (fresh)
                it->second = AddVertex(corners[k].p);
            indices.push_back(it->second);
        }
    }
}

// --- Decal --------------------------------------------------------------------------------------

Decal::Decal() {
    localBox_.SetEmpty();
}

Decal::~Decal() {
    FreeBuilt();
    material_.Reset();
}

void Decal::BuildClipPlanes(const float* e, DecalClipPlane* out) {
    for (std::uint32_t axis = 0; axis < 3; ++axis) {
        out[2 * axis] = {e[axis], -1.0f, axis};
        out[2 * axis + 1] = {-e[axis], 1.0f, axis};
    }
}

void Decal::FreeBuilt() {
    binding_.reset();
    vertexData_.reset();
    indexData_.reset();
    vertexCount_ = 0;
    empty_ = true;
}

void Decal::Reset() {
    FreeBuilt();
    material_.Reset();
    record_.Reset();
    Entity::Reset();
}

void Decal::SetMaterial(Material* material) {
    material_.Assign(material);
    record_.program = material ? material->GetProgram() : nullptr;
}

Material* Decal::GetMaterial() {
    if (Material* own = material_.Get())
        return own;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    return materials ? materials->GetDefaultMaterial(false) : nullptr;
}

IndexData* Decal::GetIndexData() const {
    return indexData_.get();
}

VertexData* Decal::GetVertexData() const {
    return vertexData_.get();
}

const float* Decal::GetBuiltVertices() const {
    return vertexData_ ? reinterpret_cast<const float*>(vertexData_->GetStaging()) : nullptr;
}

std::vector<std::uint32_t> Decal::GetBuiltIndices() const {
    return indexData_ ? indexData_->GetStaging() : std::vector<std::uint32_t>{};
}

std::uint32_t Decal::FillRenderOperation(Pass* /*pass*/, std::uint32_t /*group*/) {
    return !empty_ && record_.program ? 1 : 0;
}

void Decal::AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* /*material*/) {
    Material* material = GetMaterial();
    if (empty_ || !queue || !material)
        return;
    // A material lit per light draws its per-light technique; any other its own unlit one.
    const std::uint32_t slot =
        (material->flags & MF_LIT) ? material->GetPerLightSlot() : material->GetUnlitSlot();
    queue->AddRenderable(this, light, RENDER_GROUP_ENTITY_PER_LIGHT, slot, material);
}

bool Decal::Build(const DecalSource& source, const float* direction, const float* up,
                  const float* centre, const float* extents, Material* material,
                  const float* uvFrom, const float* uvTo) {
    record_.Reset();
    record_.primitiveType = PT_TRIANGLE_LIST;
    SetMaterial(material);
    FreeBuilt();

    volume_.SetCenter(centre);
    volume_.SetAxes(direction, up);
    volume_.SetExtents(extents);
    // The world box of the box: on each world axis the three half axes add up, so that every
    // receiver that reaches the box's corners is searched.
    const float* axes[3] = {volume_.GetAxisX(), volume_.GetAxisY(), volume_.GetAxisZ()};
    float lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        float half = 0.0f;
        for (int a = 0; a < 3; ++a) half += std::fabs(axes[a][k]) * extents[a];
        lo[k] = centre[k] - half;
        hi[k] = centre[k] + half;
    }
    volumeBox_.SetMinMax(lo, hi);

    std::vector<DecalReceiver> receivers;
    auto accept = [&](Entity* entity) {
        if (!entity || !entity->IsVisible())
            return;
        const std::uint32_t kind = entity->GetEntityKind();
        if (kind != 0 && kind != 1 && kind != 10 && kind != 14)
            return;
        if (BoxesTouch(entity->GetBoundingBox(), volumeBox_))
            CollectDecalReceivers(*entity, receivers);
    };
    accept(source.mainReceiver);
    for (Entity* entity : source.receivers) accept(entity);

    Builder builder(volume_, uvFrom, uvTo, source.twoSided);
    for (const DecalReceiver& r : receivers) {
        if (r.mesh->GetMeshType() != kStaticMeshType || (r.blended && !source.acceptBlended) ||
            (r.alphaTested && !source.acceptAlphaTested))
            continue;
        builder.Process(r);
    }
    const auto count = static_cast<std::uint32_t>(builder.vertices.size() / kVertexFloats);
    if (count == 0 || builder.indices.empty())
        return false;
    if (count > kMax16BitVertices && !DeviceUses32BitIndices()) {
        LogError("Decal: %u vertices need 32-bit indices, which the device does not take", count);
        return false;
    }
    vertexData_ = std::make_unique<StreamVertexData>(kDecalLayout, kDecalStride, count);
    if (!vertexData_->GetStaging()) {
        FreeBuilt();
        return false;
    }
    std::memcpy(vertexData_->GetStaging(), builder.vertices.data(),
                builder.vertices.size() * sizeof(float));
    vertexData_->Upload(count);
    indexData_ = std::make_unique<StreamIndexData>();
    const auto indexCount = static_cast<std::uint32_t>(builder.indices.size());
    indexData_->GetStaging() = std::move(builder.indices);
    indexData_->Commit(indexCount);
    binding_ = std::make_unique<DecalStreamBinding>(*vertexData_);
    vertexCount_ = count;
    empty_ = false;
    record_.vertexData = vertexData_.get();
    record_.vertexBinding = binding_.get();
    record_.indexData = indexData_.get();
    record_.vertexCount = count;
    record_.indexCount = indexCount;

    // The node maps decal space to the world: columns are the box axes, translation the centre.
    float matrix[16] = {axes[0][0], axes[1][0], axes[2][0], centre[0],  axes[0][1], axes[1][1],
                        axes[2][1], centre[1],  axes[0][2], axes[1][2], axes[2][2], centre[2],
                        0,          0,          0,          1};
    SetLocalMatrix(matrix);
    AABB box;
    box.SetEmpty();
    for (std::uint32_t v = 0; v < count; ++v) {
        float world[3];
        TransformPointW(matrix, GetBuiltVertices() + kVertexFloats * v, world);
        box.MergePoint(world);
    }
    SetBoundingBox(box);
    const float lower[3] = {box.GetMin()[0] - centre[0], box.GetMin()[1] - centre[1],
                            box.GetMin()[2] - centre[2]};
    const float upper[3] = {box.GetMax()[0] - centre[0], box.GetMax()[1] - centre[1],
                            box.GetMax()[2] - centre[2]};
    localBox_.SetMinMax(lower, upper);
    return true;
}

}  // namespace Zel
