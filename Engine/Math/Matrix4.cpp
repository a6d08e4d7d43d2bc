#include "Math/Matrix4.h"

#include <cmath>

#include "Math/MathUtil.h"
#include "Math/RSqrtTable.h"

namespace Zel {

void Matrix4::Transpose(float* m) {
    for (int r = 0; r < 4; ++r) {
        for (int c = r + 1; c < 4; ++c) {
            const float t = m[4 * r + c];
            m[4 * r + c] = m[4 * c + r];
            m[4 * c + r] = t;
        }
    }
}

bool Matrix4::Inverse(float* m) {
    const float a00 = m[0], a01 = m[1], a02 = m[2], a03 = m[3];
    const float a10 = m[4], a11 = m[5], a12 = m[6], a13 = m[7];
    const float a20 = m[8], a21 = m[9], a22 = m[10], a23 = m[11];
    const float a30 = m[12], a31 = m[13], a32 = m[14], a33 = m[15];

    // 2x2 minors of rows 0-1 (s) and of rows 2-3 (c); the determinant pairs them up.
    const float s0 = a00 * a11 - a10 * a01;
    const float s1 = a00 * a12 - a10 * a02;
    const float s2 = a00 * a13 - a10 * a03;
    const float s3 = a01 * a12 - a11 * a02;
    const float s4 = a01 * a13 - a11 * a03;
    const float s5 = a02 * a13 - a12 * a03;
    const float c5 = a22 * a33 - a32 * a23;
    const float c4 = a21 * a33 - a31 * a23;
    const float c3 = a21 * a32 - a31 * a22;
    const float c2 = a20 * a33 - a30 * a23;
    const float c1 = a20 * a32 - a30 * a22;
    const float c0 = a20 * a31 - a30 * a21;

    const float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (std::fabs(det) < 1e-14f) {
        return false;
    }

    m[0] = (a11 * c5 - a12 * c4 + a13 * c3) / det;
    m[1] = (-a01 * c5 + a02 * c4 - a03 * c3) / det;
    m[2] = (a31 * s5 - a32 * s4 + a33 * s3) / det;
    m[3] = (-a21 * s5 + a22 * s4 - a23 * s3) / det;
    m[4] = (-a10 * c5 + a12 * c2 - a13 * c1) / det;
    m[5] = (a00 * c5 - a02 * c2 + a03 * c1) / det;
    m[6] = (-a30 * s5 + a32 * s2 - a33 * s1) / det;
    m[7] = (a20 * s5 - a22 * s2 + a23 * s1) / det;
    m[8] = (a10 * c4 - a11 * c2 + a13 * c0) / det;
    m[9] = (-a00 * c4 + a01 * c2 - a03 * c0) / det;
    m[10] = (a30 * s4 - a31 * s2 + a33 * s0) / det;
    m[11] = (-a20 * s4 + a21 * s2 - a23 * s0) / det;
    m[12] = (-a10 * c3 + a11 * c1 - a12 * c0) / det;
    m[13] = (a00 * c3 - a01 * c1 + a02 * c0) / det;
    m[14] = (-a30 * s3 + a31 * s1 - a32 * s0) / det;
    m[15] = (a20 * s3 - a21 * s1 + a22 * s0) / det;
    return true;
}

void Matrix4::RotateVector(const float* m, float* out, const float* v) {
    for (int i = 0; i < 3; ++i) {
        out[i] = m[4 * i] * v[0] + m[4 * i + 1] * v[1] + m[4 * i + 2] * v[2];
    }
}

void Matrix4::Decompose(const float* m, float* outScale, float* outRotation, float* outPosition) {
    float scale[3];
    float rotation[9];
    for (int j = 0; j < 3; ++j) {
        const float column[3] = {m[j], m[4 + j], m[8 + j]};
        scale[j] = FastSqrt(Dot3(column, column));
        for (int i = 0; i < 3; ++i) {
            if (scale[j] == 0.0f) {
                // A collapsed axis has no direction of its own; the identity's keeps the rotation
                // finite instead of dividing by zero.
                rotation[3 * i + j] = i == j ? 1.0f : 0.0f;
            } else {
                rotation[3 * i + j] = column[i] / scale[j];
            }
        }
    }
    if (outScale != nullptr) {
        outScale[0] = scale[0];
        outScale[1] = scale[1];
        outScale[2] = scale[2];
    }
    if (outPosition != nullptr) {
        outPosition[0] = m[3];
        outPosition[1] = m[7];
        outPosition[2] = m[11];
    }
    if (outRotation != nullptr) {
        Matrix3ToQuaternion(rotation, outRotation);
    }
}

void Matrix4::ExtractPosition(const float* m, float* out) {
    Decompose(m, nullptr, nullptr, out);
}

void Matrix4::ExtractScale(const float* m, float* out) {
    Decompose(m, out, nullptr, nullptr);
}

void Matrix4::ExtractRotation(const float* m, float* out) {
    Decompose(m, nullptr, out, nullptr);
}

void Matrix4::MakeTransform(float* out, const float* scale, const float* rotation,
                            const float* position) {
    float r[9];
    QuaternionToMatrix3(rotation, r);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            out[4 * i + j] = r[3 * i + j] * scale[j];
        }
        out[4 * i + 3] = position[i];
    }
    out[12] = 0.0f;
    out[13] = 0.0f;
    out[14] = 0.0f;
    out[15] = 1.0f;
}

void Matrix4::FromRotationTranslation(float* out, const float* rotation, const float* position) {
    static constexpr float unit[3] = {1.0f, 1.0f, 1.0f};
    MakeTransform(out, unit, rotation, position);
}

void Matrix4::RemoveScale(float* m) {
    float rotation[4];
    float position[3];
    Decompose(m, nullptr, rotation, position);
    FromRotationTranslation(m, rotation, position);
}

}  // namespace Zel
