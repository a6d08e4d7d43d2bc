#include "Entity/Geometry/DeformedMesh.h"

#include <algorithm>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/RenderCodes.h"

namespace Zel {

namespace {

// Baking stops here: a longer span keeps its keys and blends them when drawn, so that a file's
// key times cannot make the load allocate without bound.
constexpr std::uint32_t kMaxBakedKeys = 3000;

// out = a x w + b x (1 - w) over the components of the semantic, as far as all three reach.
void BlendComponent(const Mesh& a, const Mesh& b, Mesh& out, std::uint32_t semantic, float w) {
    const VertexData* da = a.GetVertexData();
    const VertexData* db = b.GetVertexData();
    VertexData* dout = out.GetVertexData();
    const VertexComponentDataPool* ca = da ? da->FindComponent(semantic) : nullptr;
    const VertexComponentDataPool* cb = db ? db->FindComponent(semantic) : nullptr;
    VertexComponentDataPool* co = dout ? dout->FindComponent(semantic) : nullptr;
    if (!ca || !cb || !co || !ca->GetData() || !cb->GetData() || !co->GetData())
        return;
    const std::uint32_t n =
        std::min({ca->GetDataSize(), cb->GetDataSize(), co->GetDataSize()}) / 12;
    const float* pa = ca->GetFloats();
    const float* pb = cb->GetFloats();
    float* po = co->GetFloats();
    for (std::uint32_t i = 0; i < 3 * n; ++i) po[i] = pa[i] * w + pb[i] * (1.0f - w);
}

}  // namespace

DeformedMesh::DeformedMesh(Geometry* owner, std::string name)
    : Mesh(owner, std::move(name), true, true) {}

DeformedMesh::~DeformedMesh() {
    keys_.clear();
}

std::uint32_t DeformedMesh::GetMemorySize() const {
    std::uint64_t bytes = Mesh::GetMemorySize();
    for (const auto& key : keys_)
        if (key->mesh && key->mesh != this)
            bytes += key->mesh->GetMemorySize();
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
}

void DeformedMesh::ReleaseRenderData() {
    keys_.clear();
    modeFlags_ = 0;
    source_ = this;
    Mesh::ReleaseRenderData();
}

VertexData* DeformedMesh::GetVertexData() const {
    if (!UsesSharedVertexData() && source_ != this)
        return source_->GetVertexData();
    return Mesh::GetVertexData();
}

IndexData* DeformedMesh::GetIndexData() const {
    if (!UsesSharedIndexData() && source_ != this)
        return source_->GetIndexData();
    return Mesh::GetIndexData();
}

void DeformedMesh::FinishLoad() {
    if (keys_.empty() || !keys_.front()->mesh || keys_.front()->mesh == this)
        return;
    keys_.front()->mesh->CopyTo(*this);
}

bool DeformedMesh::MorphBlend(const Key& a, const Key& b, float w, Key& out, std::uint32_t flags) {
    if (!a.mesh || !b.mesh || !out.mesh)
        return false;
    if (!b.blend) {
        // w is a's weight: the shape stays a until 90% of the way to b.
        (w > 0.1f ? a : b).mesh->CopyTo(*out.mesh);
        return true;
    }
    a.mesh->CopyTo(*out.mesh);
    BlendComponent(*a.mesh, *b.mesh, *out.mesh, VF_POSITION, w);
    if (flags & MODE_BLEND_NORMALS)
        BlendComponent(*a.mesh, *b.mesh, *out.mesh, VF_NORMAL, w);
    return true;
}

int DeformedMesh::ResampleKeys() {
    if (keys_.empty())
        return -1;
    const Mesh* first = keys_.front()->mesh;
    if ((first && first->GetVertexCount() >= kBakeVertexLimit) || keys_.size() == 1) {
        modeFlags_ |= MODE_BLEND;
        return 1;
    }
    const float start = keys_.front()->time;
    const float duration = keys_.back()->time - start;
    if (!(duration > 0.0f) || static_cast<float>(keys_.size()) / duration >= 30.0f) {
        modeFlags_ &= ~std::uint32_t(MODE_BLEND);
        return 0;
    }
    const float samples = duration / kSampleStep;
    Geometry* geometry = GetOwner();
    if (!geometry || !(samples < static_cast<float>(kMaxBakedKeys))) {
        modeFlags_ |= MODE_BLEND;
        return 1;
    }
    // Samples run from the first key's time, and every sample inside the keys' span makes a key
    // (the pair moves on as often as it must).
    const auto n = static_cast<std::uint32_t>(samples);
    std::vector<std::unique_ptr<Key>> baked;
    std::size_t pair = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const float t = start + static_cast<float>(i) * kSampleStep;
        while (pair + 2 < keys_.size() && t >= keys_[pair + 1]->time) ++pair;
        const Key& a = *keys_[pair];
        const Key& b = *keys_[pair + 1];
        if (!(a.time <= t && t < b.time))
            continue;
        auto key = std::make_unique<Key>();
        key->time = t;
        key->mesh = geometry->AddMesh();
        key->blend = false;
        const float w = (b.time - t) / (b.time - a.time);
        MorphBlend(a, b, w, *key, MODE_BLEND | MODE_BLEND_NORMALS);
        baked.push_back(std::move(key));
    }
    for (const auto& key : keys_)
        if (key->mesh && key->mesh != this)
            geometry->RemoveMesh(key->mesh);
    keys_ = std::move(baked);
    modeFlags_ &= ~std::uint32_t(MODE_BLEND);
    return 0;
}

}  // namespace Zel
