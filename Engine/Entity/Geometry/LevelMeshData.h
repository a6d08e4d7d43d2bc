// A binary level mesh file as read (LevelMeshReader.h): the meshes in file order, the totals the
// level geometry stores, the bounds of all meshes and the occluders.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/LevelMeshBlock.h"
#include "Entity/Geometry/LevelOccluder.h"
#include "Math/AABB.h"

namespace Zel {

struct LevelMeshData {
    std::vector<LevelMeshBlock> meshes;
    std::uint64_t faceTotal = 0;
    std::uint64_t vertexTotal = 0;
    AABB bounds;  // union of the meshes' bounds; empty when no mesh has vertices
    std::vector<LevelOccluder> occluders;
};

}  // namespace Zel
