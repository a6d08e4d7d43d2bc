// The geometry chunk (tag 1) as its reader delivers it before the parts: the header's resource
// word, the 1120-byte record and the four per-mesh lists that follow it (IOGeometryBin.h).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Zel {

struct GeometryChunkRecord {
    std::uint32_t resourceWord = 0;
    std::uint32_t partCount = 0;
    std::array<float, 3> boxMin{};
    std::array<float, 3> boxMax{};
    std::array<std::uint32_t, 10> headerWords{};
    // Matrix table slots 0-15, row-major (the file stores each column by column).
    std::array<std::array<float, 16>, 16> matrices{};
    std::uint32_t matrixCount = 0;
    std::uint32_t animationCount = 0;
    std::uint32_t materialFileCount = 0;
    std::vector<std::uint32_t> extraWords;
    std::vector<std::array<float, 3>> scales;
    std::vector<std::array<float, 3>> translations;
    std::vector<std::array<float, 4>> rotations;
};

}  // namespace Zel
