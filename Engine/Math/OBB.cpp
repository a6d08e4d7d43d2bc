#include "Math/OBB.h"

#include <cmath>

#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Ray.h"
#include "Math/RSqrtTable.h"
#include "Math/Sphere.h"

namespace Zel {

namespace {

// A box as the separating-axis test sees it.
struct BoxView {
    float centre[3];
    float axes[3][3];
    float extents[3];
};

BoxView ViewOf(const OBB& box) {
    BoxView view;
    for (int i = 0; i < 3; ++i) {
        view.centre[i] = box.GetCenter()[i];
        view.axes[0][i] = box.GetAxisX()[i];
        view.axes[1][i] = box.GetAxisY()[i];
        view.axes[2][i] = box.GetAxisZ()[i];
        view.extents[i] = box.GetExtents()[i];
    }
    return view;
}

BoxView ViewOf(const AABB& box) {
    BoxView view = {};
    box.GetCenter(view.centre);
    for (int i = 0; i < 3; ++i) {
        view.axes[i][i] = 1.0f;
        view.extents[i] = view.centre[i] - box.GetMin()[i];
    }
    return view;
}

float Length(const float* v) {
    return FastSqrt(Dot3(v, v));
}

// Half the width of the box's projection on axis (which need not be unit).
float ProjectedRadius(const BoxView& box, const float* axis) {
    float radius = 0.0f;
    for (int k = 0; k < 3; ++k) {
        radius += std::fabs(box.extents[k] * Dot3(box.axes[k], axis));
    }
    return radius;
}

bool Separates(const BoxView& a, const BoxView& b, const float* axis) {
    const float ca = Dot3(a.centre, axis);
    const float cb = Dot3(b.centre, axis);
    const float ra = ProjectedRadius(a, axis);
    const float rb = ProjectedRadius(b, axis);
    return ca + ra < cb - rb || cb + rb < ca - ra;
}

// An axis parallel to one of a's own (already tested) axes cannot separate anew.
bool AlreadyTested(const BoxView& a, const float* axis) {
    for (const auto& own : a.axes) {
        if (Dot3(own, axis) >= 1.0f) {
            return true;
        }
    }
    return false;
}

int BoxesIntersect(const BoxView& a, const BoxView& b) {
    const float d[3] = {b.centre[0] - a.centre[0], b.centre[1] - a.centre[1],
                        b.centre[2] - a.centre[2]};
    // Each box lies within its half diagonal of its centre.
    const float reach = Length(a.extents) + Length(b.extents);
    if (Dot3(d, d) > reach * reach) {
        return INTERSECT_DISJOINT;
    }
    for (const auto& axis : a.axes) {
        if (Separates(a, b, axis)) {
            return INTERSECT_DISJOINT;
        }
    }
    for (const auto& axis : b.axes) {
        if (!AlreadyTested(a, axis) && Separates(a, b, axis)) {
            return INTERSECT_DISJOINT;
        }
    }
    for (const auto& axisA : a.axes) {
        for (const auto& axisB : b.axes) {
            float axis[3];
            Cross3(axisA, axisB, axis);
            if (!AlreadyTested(a, axis) && Separates(a, b, axis)) {
                return INTERSECT_DISJOINT;
            }
        }
    }
    return INTERSECT_OVERLAP;
}

}  // namespace

void OBB::SetAxes(const float* first, const float* second) {
    for (int i = 0; i < 3; ++i) {
        axisY_[i] = first[i];
    }
    NormalizeVector3(axisY_);
    const float along = Dot3(axisY_, second);
    for (int i = 0; i < 3; ++i) {
        axisX_[i] = second[i] - along * axisY_[i];
    }
    NormalizeVector3(axisX_);
    Cross3(axisX_, axisY_, axisZ_);
}

void OBB::SetCenter(const float* c) {
    for (int i = 0; i < 3; ++i) {
        centre_[i] = c[i];
    }
}

void OBB::SetExtents(const float* e) {
    for (int i = 0; i < 3; ++i) {
        extents_[i] = e[i];
    }
}

void OBB::ToLocal(float* out, const float* p) const {
    const float d[3] = {p[0] - centre_[0], p[1] - centre_[1], p[2] - centre_[2]};
    out[0] = Dot3(d, axisX_);
    out[1] = Dot3(d, axisY_);
    out[2] = Dot3(d, axisZ_);
}

bool OBB::ContainsLocalPoint(const float* local) const {
    for (int i = 0; i < 3; ++i) {
        if (!(std::fabs(local[i]) - 0.01f <= extents_[i])) {
            return false;
        }
    }
    return true;
}

bool OBB::ContainsPoint(const float* p) const {
    float local[3];
    ToLocal(local, p);
    return ContainsLocalPoint(local);
}

float OBB::MaxExtent() const {
    float m = extents_[0];
    if (extents_[1] > m) {
        m = extents_[1];
    }
    if (extents_[2] > m) {
        m = extents_[2];
    }
    return m;
}

float OBB::HalfDiagonal() const {
    return Length(extents_);
}

int OBB::IntersectSphere(const Sphere& other) const {
    const float* c = other.GetCenter();
    const float r = other.GetRadius();
    const float v[3] = {c[0] - centre_[0], c[1] - centre_[1], c[2] - centre_[2]};
    const float dist = Length(v);
    // The box lies within its half diagonal of its centre.
    const float reach = HalfDiagonal();
    if (reach + r < dist) {
        return INTERSECT_DISJOINT;
    }
    if (r >= dist + reach) {
        return INTERSECT_ENCLOSED;
    }
    const float* axes[3] = {axisX_, axisY_, axisZ_};
    bool sphereInside = true;
    for (int i = 0; i < 3; ++i) {
        const float p = std::fabs(Dot3(axes[i], c) - Dot3(axes[i], centre_));
        if (extents_[i] + r < p) {
            return INTERSECT_DISJOINT;
        }
        if (extents_[i] - p < r) {
            sphereInside = false;
        }
    }
    return sphereInside ? INTERSECT_INSIDE : INTERSECT_OVERLAP;
}

int OBB::IntersectAABB(const AABB& other) const {
    if (other.IsEmpty()) {
        return INTERSECT_DISJOINT;
    }
    return BoxesIntersect(ViewOf(*this), ViewOf(other));
}

int OBB::IntersectOBB(const OBB& other) const {
    return BoxesIntersect(ViewOf(*this), ViewOf(other));
}

int OBB::IntersectKind3(const BoundingVolume&) const {
    return INTERSECT_DISJOINT;
}

int OBB::IntersectRay(const Ray& ray) const {
    return IntersectRay(ray, nullptr, nullptr);
}

int OBB::IntersectRay(const Ray& ray, float* outPoint, float* outT) const {
    const float v[3] = {centre_[0] - ray.origin[0], centre_[1] - ray.origin[1],
                        centre_[2] - ray.origin[2]};
    // Farther from the line than the half diagonal: no point of the box is on it.
    const float along = Dot3(v, ray.direction);
    const float reach = HalfDiagonal();
    if (Dot3(v, v) - along * along > reach * reach) {
        return RAY_MISS;
    }
    const float* axes[3] = {axisX_, axisY_, axisZ_};
    float f[3];
    float g[3];
    bool parallel[3];
    float tMin = -1e30f;
    float tMax = 1e30f;
    for (int i = 0; i < 3; ++i) {
        f[i] = Dot3(axes[i], ray.direction);
        g[i] = Dot3(axes[i], v);
        parallel[i] = std::fabs(f[i]) < 0x1p-21f;
        if (parallel[i]) {
            continue;
        }
        const float e = f[i] < 0.0f ? -extents_[i] : extents_[i];
        const float t1 = (g[i] - e) / f[i];
        const float t2 = (g[i] + e) / f[i];
        if (t1 > tMin) {
            tMin = t1;
        }
        if (t2 < tMax) {
            tMax = t2;
        }
        if (tMin > tMax) {
            return RAY_MISS;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (parallel[i] && (std::fabs(g[i] - f[i] * tMin) > extents_[i] ||
                            std::fabs(g[i] - f[i] * tMax) > extents_[i])) {
            return RAY_MISS;
        }
    }
    float t;
    int result;
    if (tMin >= 0.0f) {
        t = tMin;
        result = RAY_HIT;
    } else if (tMax <= 0.0f) {
        return RAY_MISS;
    } else {
        t = tMax;
        result = RAY_ORIGIN_INSIDE;
    }
    if (outPoint != nullptr) {
        ray.GetPoint(t, outPoint);
    }
    if (outT != nullptr) {
        *outT = t;
    }
    return result;
}

}  // namespace Zel
