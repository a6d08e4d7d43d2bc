// The simplified level: the meshes of a simplified level geometry with their materials, culled
// per mesh (a mesh outside the view draws nothing, any other draws all its triangles). No octree,
// occluders or runs; nodes are not listed in it. Pooled in its factory in Globals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Geometry/SimpStaticGeometry.h"
#include "Entity/Scene/Level.h"

namespace Zel {

class SimpLevel : public Level {
public:
    SimpLevel() = default;
    ~SimpLevel() override = default;
    ZEL_CLASS_ID(SimpLevel)

    Geometry* GetGeometry() const override { return geometry_.Get(); }
    std::uint32_t GetEntityKind() const override { return 14; }
    // A simplified level loads only on the host's thread: answers 0, queues nothing.
    std::uint32_t LoadAsync(const std::string& /*name*/, ZelI::ILevel** /*result*/,
                            std::uint32_t /*priority*/) override {
        return 0;
    }
    bool ProcessLoadLevelGeometry(const std::string& name) override;
    void UpdateVisibleRuns(SceneNode* /*viewer*/) override {}
    void Cull(Camera* camera) override;
    void InsertNode(SceneNode* /*node*/) override {}
    void Reset() override;

private:
    SharedPtr<SimpStaticGeometry> geometry_;
    std::vector<std::uint32_t> fullDrawCounts_;  // per mesh, as loaded
};

}  // namespace Zel
