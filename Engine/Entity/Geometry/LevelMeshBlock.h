// One mesh of a binary level mesh file as read: its material name, triangles and vertex arrays.
// The level geometry turns each into a mesh of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Math/AABB.h"

namespace Zel {

struct LevelMeshBlock {
    std::string material;
    std::uint32_t faceCount = 0;    // F
    std::uint32_t vertexCount = 0;  // V
    // The file's colour count C; colours are present when it is not 0.
    std::uint32_t colourCount = 0;
    // 3F vertex indices, each below V.
    std::vector<std::uint32_t> triangles;
    std::vector<float> positions;  // 3V
    // r, g, b of the first min(C, V) vertices; a colour component holds V elements, the ones
    // after these unset.
    std::vector<float> colours;
    std::vector<float> texCoords0;   // 2V (u, 1 - v of the file) or empty
    std::vector<float> texCoords1;   // 2V or empty
    std::vector<float> faceVectors;  // 3G: the mesh's face extra data
    std::vector<float> normals;      // 3V or empty
    AABB bounds;                     // of the positions; empty when V is 0
};

}  // namespace Zel
