#include "Entity/Scene/SimpLevel.h"

#include "Entity/Geometry/Mesh.h"
#include "Entity/Scene/Camera.h"

namespace Zel {

namespace {

constexpr std::uint32_t kSimpStaticGeometryKind = 19;

}  // namespace

bool SimpLevel::ProcessLoadLevelGeometry(const std::string& name) {
    DropLoadedLevel();
    auto* geometry =
        dynamic_cast<SimpStaticGeometry*>(LoadLevelGeometry(name, kSimpStaticGeometryKind));
    geometry_.Assign(geometry);
    if (!geometry) {
        EndLoading();
        return false;
    }
    // A simplified level always looks its materials up by name.
    BindMeshes(*geometry, false);
    fullDrawCounts_.clear();
    for (std::uint32_t i = 0; i < geometry->GetMeshCount(); ++i)
        fullDrawCounts_.push_back(geometry->GetMeshDrawCount(i));
    EndLoading();
    return true;
}

void SimpLevel::Cull(Camera* camera) {
    SimpStaticGeometry* geometry = geometry_.Get();
    if (!geometry || !camera)
        return;
    for (std::uint32_t i = 0; i < fullDrawCounts_.size(); ++i) {
        const Mesh* mesh = geometry->GetMesh(i);
        const bool outside = !mesh || camera->Intersect(mesh->GetBounds()) == INTERSECT_DISJOINT;
        geometry->SetMeshDrawCount(i, outside ? 0 : fullDrawCounts_[i]);
    }
    SetStateBits(NODE_VISIBLE);
}

void SimpLevel::Reset() {
    geometry_.Assign(nullptr);
    fullDrawCounts_.clear();
    Level::Reset();
}

}  // namespace Zel
