// Plain value types of the model descriptions: float vectors and 4x4 matrices.
#pragma once

#include <array>
#include <cstdint>

namespace ZelModelGen {

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

// Also a quaternion (x, y, z, w) or a colour (r, g, b, a).
struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};

// Row-major: element (row r, column c) is m[4 * r + c]. Node matrices are used with row vectors
// (a point p maps to p x M), so a translation sits in row 3. Identity when default-constructed.
struct Matrix4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& At(int r, int c) { return m[4 * r + c]; }
    float At(int r, int c) const { return m[4 * r + c]; }
};

}  // namespace ZelModelGen
