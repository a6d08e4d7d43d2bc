// A 3x3 matrix: nine floats, row-major (m00 m01 m02 / m10 m11 m12 / m20 m21 m22), acting on
// column vectors. A plain value; the operations on it are the free functions of MathUtil.h.
#pragma once

namespace Zel {

struct Matrix3 {
    float m[9];
};

}  // namespace Zel
