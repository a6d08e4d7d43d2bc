#include "Math/Quaternion.h"

#include <cmath>

#include "Math/MathUtil.h"
#include "Math/RSqrtTable.h"

namespace Zel {

namespace {

// arctan on [-1, 1] by the polynomial of Abramowitz and Stegun 4.4.49.
float AtanUnit(float r) {
    const float r2 = r * r;
    return r * (1.0f +
                r2 * (-0.33333147f +
                      r2 * (0.19993551f +
                            r2 * (-0.142089f +
                                  r2 * (0.10656264f +
                                        r2 * (-0.07528964f +
                                              r2 * (0.042909615f + r2 * (-0.016165737f +
                                                                         r2 * 0.0028662258f))))))));
}

// atan2(s, c) for the quadrant slerp needs (c >= 0).
float Atan2(float s, float c) {
    if (std::fabs(s) <= std::fabs(c)) {
        return AtanUnit(s / c);
    }
    const float r = c / s;
    return r < 0.0f ? -MATH_HALF_PI - AtanUnit(r) : MATH_HALF_PI - AtanUnit(r);
}

// sine by Abramowitz and Stegun 4.3.97 after reduction of the argument to [-pi/2, pi/2].
float Sine(float x) {
    if (x < 0.0f || x >= MATH_TWO_PI) {
        x -= MATH_TWO_PI * std::floor(x / MATH_TWO_PI);
    }
    if (x >= MATH_PI) {
        x = x <= 3.0f * MATH_PI / 2.0f ? MATH_PI - x : x - MATH_TWO_PI;
    } else if (x > MATH_HALF_PI) {
        x = MATH_PI - x;
    }
    const float x2 = x * x;
    return x * (1.0f + x2 * (-0.16666667f +
                             x2 * (0.008333332f +
                                   x2 * (-0.000198409f + x2 * (2.7526e-6f - 2.39e-8f * x2)))));
}

}  // namespace

void Quaternion::FromAngleAxis(float* out, float angle, const float* axis) {
    float n[3];
    ScaleVector3(axis, n, FastRSqrt(Dot3(axis, axis)));
    const float h = 0.5f * angle * DEG_TO_RAD;
    const float s = std::sin(h);
    out[0] = s * n[0];
    out[1] = s * n[1];
    out[2] = s * n[2];
    out[3] = std::cos(h);
}

void Quaternion::Slerp(float* out, const float* q0, const float* q1, float t) {
    const bool equal = q0[0] == q1[0] && q0[1] == q1[1] && q0[2] == q1[2] && q0[3] == q1[3];
    if (t >= 1.0f || equal) {
        for (int i = 0; i < 4; ++i) {
            out[i] = q1[i];
        }
        return;
    }
    if (t <= 0.0f) {
        for (int i = 0; i < 4; ++i) {
            out[i] = q0[i];
        }
        return;
    }
    float k = q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3];
    float sign = 1.0f;
    if (k < 0.0f) {
        // q and -q are the same rotation; the negated end takes the shorter arc.
        sign = -1.0f;
        k = -k;
    }
    float w0;
    float w1;
    if (1.0f - k > 1e-6f) {
        const float sin2 = 1.0f - k * k;
        const float inverseSin = FastRSqrt(sin2);
        const float theta = Atan2(sin2 * inverseSin, k);
        w0 = Sine((1.0f - t) * theta) * inverseSin;
        w1 = Sine(t * theta) * inverseSin;
    } else {
        // Nearly equal: the arc is a straight line to float precision.
        w0 = 1.0f - t;
        w1 = t;
    }
    w1 *= sign;
    for (int i = 0; i < 4; ++i) {
        out[i] = w0 * q0[i] + w1 * q1[i];
    }
}

void Quaternion::FromTwoVectors(float* out, const float* from, const float* to) {
    float a[3];
    float b[3];
    ScaleVector3(from, a, FastRSqrt(Dot3(from, from)));
    ScaleVector3(to, b, FastRSqrt(Dot3(to, to)));
    const float d = Dot3(a, b);
    if (d >= 1.0f) {
        out[0] = 0.0f;
        out[1] = 0.0f;
        out[2] = 0.0f;
        out[3] = 1.0f;
        return;
    }
    if (d <= -0.999f) {
        // Opposite directions: any axis perpendicular to from will do; (g, -1, -1) and its
        // permutations are perpendicular by construction. The branch is chosen on the unit
        // vector so that a short from never divides by a zero component.
        float axis[3];
        if (std::fabs(a[0]) >= 0.01f) {
            axis[0] = (a[1] + a[2]) / a[0];
            axis[1] = -1.0f;
            axis[2] = -1.0f;
        } else if (std::fabs(a[1]) >= 0.01f) {
            axis[0] = -1.0f;
            axis[1] = (a[2] + a[0]) / a[1];
            axis[2] = -1.0f;
        } else {
            axis[0] = -1.0f;
            axis[1] = -1.0f;
            axis[2] = (a[1] + a[0]) / a[2];
        }
        NormalizeVector3(axis);
        const float halfTurn = 90.0f * DEG_TO_RAD;
        const float s = std::sin(halfTurn);
        out[0] = s * axis[0];
        out[1] = s * axis[1];
        out[2] = s * axis[2];
        out[3] = std::cos(halfTurn);
        return;
    }
    const float s = FastSqrt(2.0f * (1.0f + d));
    float c[3];
    Cross3(a, b, c);
    out[0] = c[0] / s;
    out[1] = c[1] / s;
    out[2] = c[2] / s;
    out[3] = s * 0.5f;
}

void Quaternion::ToHorizontal(float* out, const float* v) {
    // A vertical vector has no horizontal part to turn to.
    if (std::fabs(v[0]) < 1e-6f && std::fabs(v[1]) < 1e-6f) {
        out[0] = out[1] = out[2] = 0.0f;
        out[3] = 1.0f;
        return;
    }
    float horizontal[3] = {v[0], v[1], 0.0f};
    NormalizeVector3(horizontal);
    FromTwoVectors(out, v, horizontal);
}

}  // namespace Zel
