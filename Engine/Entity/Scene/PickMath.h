// Point and direction transforms shared by picking and decals: 16-float matrices, row-major,
// acting on column vectors (Math/Matrix4.h).
#pragma once

#include <algorithm>
#include <cmath>

#include "Math/AABB.h"
#include "Math/BoundingVolume.h"

namespace Zel {

// out = m x (p, 1), divided by w unless w is 1; w = 0 gives (0, 0, 0). out may be p.
inline void TransformPointW(const float* m, const float* p, float* out) {
    float q[3];
    for (int r = 0; r < 3; ++r)
        q[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    const float w = m[12] * p[0] + m[13] * p[1] + m[14] * p[2] + m[15];
    const float scale = w == 0.0f ? 0.0f : (w == 1.0f ? 1.0f : 1.0f / w);
    for (int r = 0; r < 3; ++r) out[r] = q[r] * scale;
}

// out = the upper 3x3 of m applied to v (no translation). out may be v.
inline void RotateDirection(const float* m, const float* v, float* out) {
    float q[3];
    for (int r = 0; r < 3; ++r) q[r] = m[4 * r] * v[0] + m[4 * r + 1] * v[1] + m[4 * r + 2] * v[2];
    for (int r = 0; r < 3; ++r) out[r] = q[r];
}

// Whether the ray misses the box grown by a hair on every side. Boxes only filter the exact
// triangle tests, whose bounds are inclusive: a ray along a box face (a pick at a model's
// outline) must not be lost to rounding in the transforms that made box and ray.
inline bool RayMissesBox(const AABB& box, const Ray& ray) {
    const float* lo = box.GetMin();
    const float* hi = box.GetMax();
    float pad = 0.0f;
    for (int a = 0; a < 3; ++a)
        pad = std::max({pad, std::fabs(lo[a]), std::fabs(hi[a]), hi[a] - lo[a]});
    pad = pad * 1e-5f + 1e-6f;
    const float min[3] = {lo[0] - pad, lo[1] - pad, lo[2] - pad};
    const float max[3] = {hi[0] + pad, hi[1] + pad, hi[2] + pad};
    return AABB(min, max).IntersectRay(ray) == RAY_MISS;
}

}  // namespace Zel
