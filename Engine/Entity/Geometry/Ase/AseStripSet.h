// One sub-material set of the ASE strip extension (STRIP_NUMVERTS inside STRIP_SUBMTLS): its own
// vertices, the strips over them, strip lists per level of detail and LOD levels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Entity/Geometry/Ase/AseLod.h"
#include "Entity/Geometry/Ase/AseStrip.h"
#include "Entity/Geometry/Ase/AseVertexWeights.h"

namespace Zel {

struct AseStripSet {
    std::int32_t subMaterial = 0;
    // positions.size() == vertexCount; texCoords, normals and colors are either empty (the
    // STRIPS block's layout flag was clear) or vertexCount long. Positions are not scaled.
    std::int32_t vertexCount = 0;
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 2>> texCoords;  // u, v as written
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<float, 4>> colors;  // r, g, b, a
    std::vector<AseStrip> strips;
    std::vector<std::vector<AseStrip>> stripLods;  // one list per SUBMAT_STRIPS_LOD entry
    std::vector<AseLod> lods;
    // Empty, or one entry per vertex once any V_weight line was read.
    std::vector<AseVertexWeights> vertexWeights;
};

}  // namespace Zel
