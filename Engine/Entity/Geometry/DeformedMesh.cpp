#include "Entity/Geometry/DeformedMesh.h"

#include <algorithm>
#include <cmath>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/DeformedModel.h"
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
    // Each mesh keeps its own element stride; the first three floats of an element blend.
    const std::uint32_t sa = ca->GetElementSize() / 4, sb = cb->GetElementSize() / 4,
                        so = co->GetElementSize() / 4;
    if (sa < 3 || sb < 3 || so < 3)
        return;
    const std::uint32_t n = std::min(
        {ca->GetDataSize() / (4 * sa), cb->GetDataSize() / (4 * sb), co->GetDataSize() / (4 * so)});
    const float* pa = ca->GetFloats();
    const float* pb = cb->GetFloats();
    float* po = co->GetFloats();
    for (std::uint32_t v = 0; v < n; ++v)
        for (std::uint32_t c = 0; c < 3; ++c)
            po[v * so + c] = pa[v * sa + c] * w + pb[v * sb + c] * (1.0f - w);
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
        // w is a's weight: the shape stays a until 90% of the way to b, so that a switching key
        // shows late rather than early.
        (w > 0.1f ? a : b).mesh->CopyTo(*out.mesh);
        return true;
    }
    a.mesh->CopyTo(*out.mesh);
    BlendComponent(*a.mesh, *b.mesh, *out.mesh, VF_POSITION, w);
    if (flags & MODE_BLEND_NORMALS)
        BlendComponent(*a.mesh, *b.mesh, *out.mesh, VF_NORMAL, w);
    return true;
}

bool DeformedMesh::KeysIncrease() const {
    for (std::size_t i = 1; i < keys_.size(); ++i)
        if (!(keys_[i]->time > keys_[i - 1]->time))
            return false;
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
    // Keys whose times do not increase cannot be sampled in order: they stay as the file gave
    // them and are switched when drawn.
    const double start = keys_.front()->time;
    const double duration = double{keys_.back()->time} - start;
    if (!KeysIncrease() || static_cast<double>(keys_.size()) / duration >= 30.0) {
        modeFlags_ &= ~std::uint32_t(MODE_BLEND);
        return 0;
    }
    Geometry* geometry = GetOwner();
    // The small tolerance keeps a last key that sits on the grid from being sampled twice.
    const double steps = std::floor(duration * 30.0 + 1e-4);
    if (!geometry || !(steps < static_cast<double>(kMaxBakedKeys))) {
        modeFlags_ |= MODE_BLEND;
        return 1;
    }
    std::vector<double> times;
    for (std::uint32_t i = 0; i <= static_cast<std::uint32_t>(steps); ++i)
        times.push_back(start + static_cast<double>(i) / 30.0);
    if (double{keys_.back()->time} - times.back() > 1e-5)
        times.push_back(keys_.back()->time);

    std::vector<std::unique_ptr<Key>> baked;
    std::size_t pair = 0;
    for (const double sample : times) {
        const auto t = static_cast<float>(sample);
        while (pair + 2 < keys_.size() && t >= keys_[pair + 1]->time) ++pair;
        const Key& a = *keys_[pair];
        const Key& b = *keys_[pair + 1];
        auto key = std::make_unique<Key>();
        key->time = t;
        key->mesh = geometry->AddMesh();
        key->blend = false;
        if (t >= b.time) {
            // The end of the span shows the last key as it is.
            if (b.mesh && key->mesh)
                b.mesh->CopyTo(*key->mesh);
        } else {
            const float w = (b.time - t) / (b.time - a.time);
            MorphBlend(a, b, w, *key, MODE_BLEND | MODE_BLEND_NORMALS);
        }
        baked.push_back(std::move(key));
    }
    for (const auto& key : keys_)
        if (key->mesh && key->mesh != this)
            geometry->RemoveMesh(key->mesh);
    keys_ = std::move(baked);
    modeFlags_ &= ~std::uint32_t(MODE_BLEND);
    return 0;
}

void DeformedMesh::ShowKey(std::uint32_t k, float time, std::uint32_t vertexFlags) {
    if (k >= keys_.size())
        return;
    if (modeFlags_ == 0) {
        SetSourceMesh(keys_[k]->mesh);
        return;
    }
    const Key& a = *keys_[k];
    float w = 1.0f;
    const Key* b = &a;
    // Past the last key, before a switching key, or between keys that do not advance in time,
    // the current key is shown as it is.
    if (k + 1 < keys_.size() && keys_[k + 1]->blend && keys_[k + 1]->time > a.time) {
        b = keys_[k + 1].get();
        w = (b->time - time) / (b->time - a.time);
    }
    if (!a.mesh || !b->mesh || source_ != this)
        return;
    bool wrote = false;
    if (vertexFlags & VF_POSITION) {
        BlendComponent(*a.mesh, *b->mesh, *this, VF_POSITION, w);
        wrote = true;
    }
    if ((vertexFlags & VF_NORMAL) && (modeFlags_ & MODE_BLEND_NORMALS)) {
        BlendComponent(*a.mesh, *b->mesh, *this, VF_NORMAL, w);
        wrote = true;
    }
    // The next draw of any layout rewrites its buffer from the blended components.
    if (wrote && Mesh::GetVertexData())
        Mesh::GetVertexData()->SetDirty(true);
}

void DeformedMesh::BuildRenderData(Entity* model, Renderable* piece, const Pass* pass) {
    const auto* deformed = dynamic_cast<const DeformedModel*>(model);
    if (!deformed || !piece || !pass)
        return;
    ShowKey(deformed->GetKeyIndex(), deformed->GetTime(), pass->GetVertexFlags());
}

}  // namespace Zel
