// One triangle strip of the ASE strip extension ("Strip" line).
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

struct AseStrip {
    std::int32_t smoothingGroup = 0;
    std::int32_t subMaterial = 0;
    // Vertex indices into the strip set's vertices; each is below the set's vertex count.
    std::vector<std::int32_t> indices;
};

}  // namespace Zel
