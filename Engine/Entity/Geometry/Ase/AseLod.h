// One level of detail of an ASE strip set (a DEPTH block of LEVELOFDETAIL): one strip and a
// triangle list, both 16-bit indices into the set's vertices.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

struct AseLod {
    float depth = 0.0f;
    std::uint16_t faceCount = 0;
    // strip.size() == stripLength and triangles.size() == triangleIndexCount (three per
    // triangle); entries that no line filled are 0. Every index is below the set's vertex count.
    std::uint16_t stripLength = 0;
    std::uint16_t triangleIndexCount = 0;
    std::vector<std::uint16_t> strip;
    std::vector<std::uint16_t> triangles;
};

}  // namespace Zel
