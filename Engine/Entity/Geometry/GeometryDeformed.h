// The geometry of a deformed (morph-animated) model: its meshes are DeformedMesh objects and it
// keeps the list of morph meshes (targets) that the scene's deformed model reads by index. It
// loads from the binary ".an3" chunk stream or from a ".anm" or ".xml" description whose ASE scene
// carries the morph frames (MeshSerializer::LoadDeformedFromAse).
//
// Threads: loaded on the loading thread, read on the host thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/Geometry.h"

namespace Zel {

class DeformedMesh;

class GeometryDeformed : public Geometry {
public:
    GeometryDeformed(CResourceManager* manager, std::string_view name, std::string_view group,
                     std::uint32_t handle);
    ~GeometryDeformed() override;
    ZEL_CLASS_ID(GeometryDeformed)

    // The Geometry size plus each target's memory size.
    std::uint32_t CalculateSize() override;
    // ".an3" by name; otherwise the ".an3" sibling when binary files are preferred, then the
    // description. The load path is the same after the call.
    bool LoadImpl() override;
    void UnloadImpl() override;
    std::uint32_t GetKind() const override { return 3; }
    std::unique_ptr<Mesh> CreateMesh(const std::string& name) override;
    // The ".an3" of the load path (IOGeometryDeformed::Read).
    bool LoadBinaryDeformed();

    // Target i, or null when i is not below the target count.
    DeformedMesh* GetMorphTarget(std::uint32_t i) const;
    std::uint32_t GetMorphTargetCount() const {
        return static_cast<std::uint32_t>(targets_.size());
    }
    void AddMorphTarget(DeformedMesh* mesh) { targets_.push_back(mesh); }
    float GetMorphValue() const { return morphValue_; }
    bool GetMorphFlag() const { return morphFlag_; }
    void SetMorph(float value, bool flag) {
        morphValue_ = value;
        morphFlag_ = flag;
    }

private:
    float morphValue_ = 0.0f;
    bool morphFlag_ = true;
    std::vector<DeformedMesh*> targets_;  // meshes of this geometry
};

}  // namespace Zel
