// The order test of two triangles for back-to-front sorting, by the side of each triangle's plane
// on which the other's corners and a reference point lie.
#pragma once

#include <cstdint>

namespace Zel {

// a, b: three vertex indexes each into positions, a float array with `stride` floats per vertex
// (x, y, z first). The reference point is the first position of the array. Answers 2 when A is
// the farther triangle, 1 when B is, 0 when the planes cannot tell (the triangles cross, the
// reference point lies on a plane, or a triangle is degenerate). Distances within 0.001 of a
// plane count as on it. The caller keeps every index inside the array.
int CompareTriangleOrder(const std::uint32_t* a, const std::uint32_t* b, const float* positions,
                         std::uint32_t stride);

}  // namespace Zel
