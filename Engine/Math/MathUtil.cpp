#include "Math/MathUtil.h"

#include <cmath>

#include "Math/RSqrtTable.h"

namespace Zel {

void ScaleVector3(const float* v, float* out, float s) {
    out[0] = v[0] * s;
    out[1] = v[1] * s;
    out[2] = v[2] * s;
}

void Cross3(const float* a, const float* b, float* out) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void NormalizeVector3(float* v) {
    ScaleVector3(v, v, FastRSqrt(Dot3(v, v)));
}

void NormalizePlane(float* plane) {
    const float inverseLength = FastRSqrt(Dot3(plane, plane));
    for (int i = 0; i < 4; ++i) {
        plane[i] *= inverseLength;
    }
}

const float* IdentityMatrix() {
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return identity;
}

const float* GetIdentityMatrix() {
    static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return identity;
}

const float* ZeroPoint4() {
    static const float point[4] = {0, 0, 0, 1};
    return point;
}

void TransposeMatrix4(const float* in, float* out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[4 * c + r] = in[4 * r + c];
        }
    }
}

float* QuaternionToMatrix3(const float* q, float* out) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float x2 = 2.0f * x, y2 = 2.0f * y, z2 = 2.0f * z;
    out[0] = 1.0f - (z * z2 + y * y2);
    out[1] = x * y2 - z2 * w;
    out[2] = y2 * w + x * z2;
    out[3] = x * y2 + z2 * w;
    out[4] = 1.0f - (z * z2 + x * x2);
    out[5] = y * z2 - x2 * w;
    out[6] = x * z2 - y2 * w;
    out[7] = x2 * w + y * z2;
    out[8] = 1.0f - (x * x2 + y * y2);
    return out;
}

float* Matrix3ToQuaternion(const float* m, float* out) {
    auto at = [m](int r, int c) { return m[3 * r + c]; };
    const float trace = at(0, 0) + at(1, 1) + at(2, 2);
    if (trace > 0.0f) {
        const float t = trace + 1.0f;
        const float s = 0.5f * FastRSqrt(t);
        out[3] = t * s;
        out[0] = (at(2, 1) - at(1, 2)) * s;
        out[1] = (at(0, 2) - at(2, 0)) * s;
        out[2] = (at(1, 0) - at(0, 1)) * s;
        return out;
    }
    // Build from the largest diagonal element, where the square root is best conditioned.
    int i = at(0, 0) < at(1, 1) ? 1 : 0;
    if (at(i, i) < at(2, 2)) {
        i = 2;
    }
    static constexpr int next[3] = {1, 2, 0};
    const int j = next[i];
    const int k = next[j];
    const float u = at(i, i) - (at(k, k) + at(j, j)) + 1.0f;
    const float s = 0.5f * FastRSqrt(u);
    out[i] = u * s;
    out[3] = (at(k, j) - at(j, k)) * s;
    out[j] = (at(i, j) + at(j, i)) * s;
    out[k] = (at(i, k) + at(k, i)) * s;
    return out;
}

float* Matrix3ToEuler(const float* m, float* out) {
    float s = m[2];
    if (s > 1.0f) {
        s = 1.0f;
    } else if (s < -1.0f) {
        s = -1.0f;
    }
    const float a = -std::asin(s);
    out[0] = a * RAD_TO_DEG;
    if (std::cos(a) <= 0.0009765625f) {
        // Gimbal lock: the two remaining turns act about the same axis; keep one of them.
        out[1] = -std::atan2(m[3], m[4]) * RAD_TO_DEG;
        out[2] = 0.0f;
    } else {
        out[1] = std::atan2(m[1], m[0]) * RAD_TO_DEG;
        out[2] = std::atan2(m[5], m[8]) * RAD_TO_DEG;
    }
    return out;
}

float* EulerToQuaternion(const float* e, float* out) {
    const float h0 = e[0] * DEG_TO_RAD * 0.5f;
    const float h1 = e[1] * DEG_TO_RAD * 0.5f;
    const float h2 = e[2] * DEG_TO_RAD * 0.5f;
    const float s0 = std::sin(h0), c0 = std::cos(h0);
    const float s1 = std::sin(h1), c1 = std::cos(h1);
    const float s2 = std::sin(h2), c2 = std::cos(h2);
    out[0] = s1 * (c2 * s0) - c1 * (c0 * s2);
    out[1] = -(c2 * s0) * c1 - s1 * (c0 * s2);
    out[2] = (s0 * s2) * c1 - (c2 * c0) * s1;
    out[3] = (c2 * c0) * c1 + (s0 * s2) * s1;
    return out;
}

float* QuaternionToEuler(const float* q, float* out) {
    float m[9];
    return Matrix3ToEuler(QuaternionToMatrix3(q, m), out);
}

namespace {

float ByteChannel(std::uint32_t packed, int shift) {
    return static_cast<float>(((packed >> shift) & 0xFFu) / 255.0);
}

std::uint32_t ChannelByte(float value) {
    // Out-of-range channels saturate instead of spilling into their neighbours (NaN gives 0).
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) {
        return 0;
    }
    if (scaled >= 255.0f) {
        return 255;
    }
    return static_cast<std::uint32_t>(scaled);
}

}  // namespace

void ColorFromARGB(std::uint32_t packed, float* out) {
    out[0] = ByteChannel(packed, 16);
    out[1] = ByteChannel(packed, 8);
    out[2] = ByteChannel(packed, 0);
    out[3] = ByteChannel(packed, 24);
}

void ColorFromABGR(std::uint32_t packed, float* out) {
    out[0] = ByteChannel(packed, 0);
    out[1] = ByteChannel(packed, 8);
    out[2] = ByteChannel(packed, 16);
    out[3] = ByteChannel(packed, 24);
}

std::uint32_t PackColorARGB(const float* rgba) {
    return (ChannelByte(rgba[3]) << 24) | (ChannelByte(rgba[0]) << 16) |
           (ChannelByte(rgba[1]) << 8) | ChannelByte(rgba[2]);
}

}  // namespace Zel
