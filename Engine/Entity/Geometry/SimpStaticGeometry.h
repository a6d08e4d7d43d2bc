// The geometry of the simplified level (kind 19): the level description and its mesh file read
// like StaticGeometry's, meshes only (no triangle arrays, no occluders). Loading thread for the
// load; host thread otherwise.
#pragma once

#include <cstdint>
#include <string_view>

#include "Entity/Geometry/Geometry.h"

namespace Zel {

class SimpStaticGeometry : public Geometry {
public:
    SimpStaticGeometry(CResourceManager* manager, std::string_view name, std::string_view group,
                       std::uint32_t handle);
    ~SimpStaticGeometry() override;
    ZEL_CLASS_ID(SimpStaticGeometry)

    // As StaticGeometry's load (its switch 36 too, not 58); reports "SimpStaticGeometry
    // 资源文件格式错误！%s" on failure, leaving the geometry empty.
    bool LoadImpl() override;
    std::uint32_t GetKind() const override { return 19; }

    void SetTotals(std::uint32_t faces, std::uint32_t vertices) {
        faceTotal_ = faces;
        vertexTotal_ = vertices;
    }
    bool UsesIndexShadow() const { return settingFlags_[1]; }
};

}  // namespace Zel
