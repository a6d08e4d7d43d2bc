// One render group of a mesh (a level of detail): its entries and a further value. Copies copy
// the entries element by element. Owned by its mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/RenderGroupEntry.h"

namespace Zel {

struct LodStripArray {
    std::vector<RenderGroupEntry> entries;
    std::uint32_t value = 0;
};

}  // namespace Zel
