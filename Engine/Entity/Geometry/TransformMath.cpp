#include "Entity/Geometry/TransformMath.h"

#include "Math/MathUtil.h"

namespace Zel {

void MultiplyQuaternions(const float* a, const float* b, float* out) {
    out[0] = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    out[1] = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    out[2] = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    out[3] = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
}

void RotateByQuaternion(const float* q, const float* v, float* out) {
    float uv[3], uuv[3];
    Cross3(q, v, uv);
    Cross3(q, uv, uuv);
    for (int i = 0; i < 3; ++i) out[i] = v[i] + 2.0f * q[3] * uv[i] + 2.0f * uuv[i];
}

void MultiplyMatrices4(const float* a, const float* b, float* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
            out[4 * r + c] = sum;
        }
}

}  // namespace Zel
