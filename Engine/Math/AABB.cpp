#include "Math/AABB.h"

#include "Math/OBB.h"
#include "Math/Ray.h"
#include "Math/Sphere.h"

namespace Zel {

AABB::AABB(const float* min, const float* max) {
    SetMinMax(min, max);
}

void AABB::SetMinMax(const float* min, const float* max) {
    for (int i = 0; i < 3; ++i) {
        min_[i] = min[i];
        max_[i] = max[i];
    }
    empty_ = false;
    cornersDirty_ = true;
}

void AABB::GetCenter(float* out) const {
    for (int i = 0; i < 3; ++i) {
        out[i] = (min_[i] + max_[i]) * 0.5f;
    }
}

void AABB::UpdateCorners() const {
    if (!cornersDirty_) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        corners_[i][0] = (i & 4) ? max_[0] : min_[0];
        corners_[i][1] = (i & 2) ? max_[1] : min_[1];
        corners_[i][2] = (i & 1) ? max_[2] : min_[2];
    }
    cornersDirty_ = false;
}

const float* AABB::GetCorners() const {
    UpdateCorners();
    return corners_[0];
}

void AABB::Merge(const AABB& other) {
    if (empty_) {
        SetMinMax(other.min_, other.max_);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (other.min_[i] < min_[i]) {
            min_[i] = other.min_[i];
        }
        if (other.max_[i] > max_[i]) {
            max_[i] = other.max_[i];
        }
    }
    cornersDirty_ = true;
}

void AABB::MergePoint(const float* p) {
    if (empty_) {
        SetMinMax(p, p);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (p[i] < min_[i]) {
            min_[i] = p[i];
        }
        if (p[i] > max_[i]) {
            max_[i] = p[i];
        }
    }
    cornersDirty_ = true;
}

void AABB::ExtendByPoint(float x, float y, float z) {
    const float p[3] = {x, y, z};
    MergePoint(p);
}

void AABB::Transform(const float* m) {
    UpdateCorners();
    float corners[8][3];
    for (int i = 0; i < 8; ++i) {
        const float* p = corners_[i];
        const float w = m[12] * p[0] + m[13] * p[1] + m[14] * p[2] + m[15];
        float q[3] = {0.0f, 0.0f, 0.0f};
        if (w != 0.0f) {
            for (int r = 0; r < 3; ++r) {
                q[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
            }
            if (w != 1.0f) {
                const float inverseW = 1.0f / w;
                for (float& value : q) {
                    value *= inverseW;
                }
            }
        }
        corners[i][0] = q[0];
        corners[i][1] = q[1];
        corners[i][2] = q[2];
    }
    empty_ = true;
    for (const auto& corner : corners) {
        MergePoint(corner);
    }
}

void AABB::Assign(const AABB& other) {
    for (int i = 0; i < 3; ++i) {
        min_[i] = other.min_[i];
        max_[i] = other.max_[i];
    }
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 3; ++j) {
            corners_[i][j] = other.corners_[i][j];
        }
    }
    empty_ = other.empty_;
    cornersDirty_ = other.cornersDirty_;
}

bool AABB::ContainsPoint(const float* p) const {
    for (int i = 0; i < 3; ++i) {
        if (p[i] < min_[i] || p[i] > max_[i]) {
            return false;
        }
    }
    return true;
}

int AABB::IntersectSphere(const Sphere& other) const {
    const float* s = other.GetCenter();
    const float r = other.GetRadius();
    float d2 = 0.0f;
    for (int i = 0; i < 3; ++i) {
        if (s[i] < min_[i]) {
            d2 += (s[i] - min_[i]) * (s[i] - min_[i]);
        } else if (s[i] > max_[i]) {
            d2 += (s[i] - max_[i]) * (s[i] - max_[i]);
        }
    }
    if (d2 > r * r) {
        return INTERSECT_DISJOINT;
    }
    bool sphereInside = true;
    for (int i = 0; i < 3; ++i) {
        if (s[i] - min_[i] < r || max_[i] - s[i] < r) {
            sphereInside = false;
        }
    }
    if (sphereInside) {
        return INTERSECT_INSIDE;
    }
    UpdateCorners();
    for (const auto& corner : corners_) {
        const float d[3] = {corner[0] - s[0], corner[1] - s[1], corner[2] - s[2]};
        if (d[0] * d[0] + d[1] * d[1] + d[2] * d[2] > r * r) {
            return INTERSECT_OVERLAP;
        }
    }
    return INTERSECT_ENCLOSED;
}

int AABB::IntersectAABB(const AABB& other) const {
    bool otherInside = true;
    bool thisInside = true;
    for (int i = 0; i < 3; ++i) {
        if (min_[i] > other.max_[i] || max_[i] < other.min_[i]) {
            return INTERSECT_DISJOINT;
        }
        if (min_[i] > other.min_[i] || other.max_[i] > max_[i]) {
            otherInside = false;
        }
        if (min_[i] < other.min_[i] || max_[i] > other.max_[i]) {
            thisInside = false;
        }
    }
    if (otherInside) {
        return INTERSECT_INSIDE;
    }
    return thisInside ? INTERSECT_ENCLOSED : INTERSECT_OVERLAP;
}

int AABB::IntersectOBB(const OBB& other) const {
    return Reverse(other.IntersectAABB(*this));
}

int AABB::IntersectKind3(const BoundingVolume& other) const {
    return Reverse(other.IntersectAABB(*this));
}

int AABB::IntersectRay(const Ray& ray) const {
    return IntersectRay(ray, nullptr, nullptr);
}

int AABB::IntersectRay(const Ray& ray, float* outPoint, float* outT) const {
    const float* o = ray.origin;
    const float* d = ray.direction;
    if (ContainsPoint(o)) {
        return RAY_ORIGIN_INSIDE;
    }
    // Slab test: on each axis where the origin lies outside, the near face is a candidate entry
    // plane; the entry is on the candidate reached last.
    float candidate[3] = {0.0f, 0.0f, 0.0f};
    float tMax[3] = {-1.0f, -1.0f, -1.0f};
    for (int i = 0; i < 3; ++i) {
        bool outside = false;
        if (o[i] < min_[i]) {
            candidate[i] = min_[i];
            outside = true;
        } else if (o[i] > max_[i]) {
            candidate[i] = max_[i];
            outside = true;
        }
        if (outside && d[i] != 0.0f) {
            tMax[i] = (candidate[i] - o[i]) / d[i];
        }
    }
    int plane = 0;
    for (int i = 1; i < 3; ++i) {
        if (tMax[i] > tMax[plane]) {
            plane = i;
        }
    }
    const float t = tMax[plane];
    if (t < 0.0f) {
        return RAY_MISS;
    }
    float hit[3];
    for (int j = 0; j < 3; ++j) {
        if (j == plane) {
            hit[j] = candidate[j];
            continue;
        }
        hit[j] = o[j] + t * d[j];
        if (hit[j] < min_[j] || hit[j] > max_[j]) {
            return RAY_MISS;
        }
    }
    if (outPoint != nullptr) {
        outPoint[0] = hit[0];
        outPoint[1] = hit[1];
        outPoint[2] = hit[2];
    }
    if (outT != nullptr) {
        *outT = t;
    }
    return RAY_HIT;
}

}  // namespace Zel
