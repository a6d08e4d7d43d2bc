#include "modelgen/GeometryDescription.h"

#include <algorithm>

namespace ZelModelGen {

const MeshDesc& MainMeshOf(const PartDesc& part) {
    return std::visit(
        [](const auto& p) -> const MeshDesc& {
            if constexpr (std::is_same_v<std::decay_t<decltype(p)>, MeshDesc>)
                return p;
            else
                return p.mesh;
        },
        part);
}

namespace {

void AddMorphMeshes(const MorphMeshDesc& morph, std::vector<const MeshDesc*>& out) {
    out.push_back(&morph.mesh);
    for (const MorphKey& key : morph.keys) AddMorphMeshes(key.target, out);
}

void AddPartMeshes(const PartDesc& part, std::vector<const MeshDesc*>& out) {
    if (const auto* morph = std::get_if<MorphMeshDesc>(&part)) {
        AddMorphMeshes(*morph, out);
        return;
    }
    out.push_back(&MainMeshOf(part));
    if (const auto* cloth = std::get_if<ClothMeshDesc>(&part)) {
        for (const ClothSubPart& sub : cloth->subParts) {
            if (sub.kind == 0) out.push_back(&sub.mesh);
            if (sub.kind == 1) out.push_back(&sub.skin.mesh);
        }
    }
}

Vec3 Combine(const GeometryDesc& g, bool minimum) {
    bool any = false;
    Vec3 r;
    for (const PartDesc& part : g.parts) {
        const MeshDesc& mesh = MainMeshOf(part);
        Vec3 b = minimum ? mesh.BoxMin() : mesh.BoxMax();
        if (!any) {
            r = b;
            any = true;
            continue;
        }
        r.x = minimum ? std::min(r.x, b.x) : std::max(r.x, b.x);
        r.y = minimum ? std::min(r.y, b.y) : std::max(r.y, b.y);
        r.z = minimum ? std::min(r.z, b.z) : std::max(r.z, b.z);
    }
    return r;
}

}  // namespace

std::vector<const MeshDesc*> MeshesInReadOrder(const GeometryDesc& geometry) {
    std::vector<const MeshDesc*> out;
    for (const PartDesc& part : geometry.parts) AddPartMeshes(part, out);
    return out;
}

Vec3 GeometryDesc::BoxMin() const { return boxMin ? *boxMin : Combine(*this, true); }
Vec3 GeometryDesc::BoxMax() const { return boxMax ? *boxMax : Combine(*this, false); }

}  // namespace ZelModelGen
