// A run of 32-bit indexes of one level mesh: the triangles of that mesh that one cell of the
// level octree holds, numbered locally to the mesh. Mesh::FillIndexRuns copies runs into the mesh's
// index buffer (the visible pieces of a level mesh). The indexes are not owned by the record.
#pragma once

#include <cstdint>

namespace Zel {

struct IndexRun {
    std::uint32_t meshIndex = 0;  // the mesh in the level geometry
    std::uint32_t count = 0;      // three per triangle
    const std::uint32_t* indices = nullptr;
    // Smallest 3 x local triangle number, and the largest one + 2, over the run's triangles.
    std::uint32_t firstIndex = 9999999;
    std::uint32_t lastIndex = 0;
};

}  // namespace Zel
