// The strip extension of an ASE object (its STRIPS block): the vertex layout flags and the strip
// sets, one per sub-material.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Entity/Geometry/Ase/AseStripSet.h"

namespace Zel {

struct AseStrips {
    std::int32_t hasTexCoords = 0;  // STRIP_TVERT
    std::int32_t hasNormals = 0;    // STRIP_NORMAL
    std::int32_t hasColors = 0;     // STRIP_VERTCOLOR
    // The object's MATERIAL_REF when that line follows the STRIPS block, else -1.
    std::int32_t materialRef = -1;
    std::vector<std::unique_ptr<AseStripSet>> sets;
};

}  // namespace Zel
