// A rotation quaternion (x, y, z, w). A vector v turns as v + 2w (u x v) + 2 u x (u x v) with
// u = (x, y, z). The operations are static and work on plain 4-float arrays (x, y, z, w); angles
// are in degrees. None allocates, locks or logs.
#pragma once

namespace Zel {

struct Quaternion {
    float x, y, z, w;

    float* Ptr() { return &x; }
    const float* Ptr() const { return &x; }

    // Rotation by angle degrees about axis (normalised here); a zero axis gives (0, 0, 0, cos h).
    static void FromAngleAxis(float* out, float angle, const float* axis);

    // Spherical interpolation from q0 (t <= 0) to q1 (t >= 1) along the shorter arc; equal inputs
    // give q1. The result is not renormalised. out may be q0 or q1.
    static void Slerp(float* out, const float* q0, const float* q1, float t);

    // Shortest-arc rotation turning the direction of from onto that of to; opposite directions
    // give a half turn about an axis perpendicular to from.
    static void FromTwoVectors(float* out, const float* from, const float* to);

    // FromTwoVectors from v to its horizontal part (v.x, v.y, 0), normalised; the identity for
    // a vertical v (|x| and |y| below 1e-6).
    static void ToHorizontal(float* out, const float* v);
};

static_assert(sizeof(Quaternion) == 4 * sizeof(float));

}  // namespace Zel
