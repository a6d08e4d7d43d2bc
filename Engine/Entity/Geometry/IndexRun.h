// A run of 32-bit indexes that Mesh::FillIndexRuns copies into a mesh's index buffer (the visible
// pieces of a level mesh). The indexes are not owned.
#pragma once

#include <cstdint>

namespace Zel {

struct IndexRun {
    std::uint32_t word = 0;
    std::uint32_t count = 0;
    const std::uint32_t* indices = nullptr;
};

}  // namespace Zel
