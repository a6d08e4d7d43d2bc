// Where one mesh of a level lies in the level geometry's triangle arrays (20 bytes).
#pragma once

#include <cstdint>

namespace Zel {

struct TriangleRange {
    std::uint32_t meshIndex = 0;
    std::uint32_t firstVertex = 0;
    std::uint32_t firstFace = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t faceCount = 0;
};

}  // namespace Zel
