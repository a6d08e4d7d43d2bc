#include "Math/Sphere.h"

#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/OBB.h"
#include "Math/Ray.h"
#include "Math/RSqrtTable.h"

namespace Zel {

namespace {

float DistanceSquared(const float* a, const float* b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return Dot3(d, d);
}

}  // namespace

Sphere::Sphere(const float* centre, float radius) : radius_(radius) {
    SetCenter(centre);
}

void Sphere::SetCenter(const float* c) {
    centre_[0] = c[0];
    centre_[1] = c[1];
    centre_[2] = c[2];
}

int Sphere::IntersectSphere(const Sphere& other) const {
    const float d2 = DistanceSquared(centre_, other.centre_);
    const float sum = radius_ + other.radius_;
    if (d2 > sum * sum) {
        return INTERSECT_DISJOINT;
    }
    const float k = radius_ - other.radius_;
    if (k * k < d2) {
        return INTERSECT_OVERLAP;
    }
    return k > 0.0f ? INTERSECT_INSIDE : INTERSECT_ENCLOSED;
}

int Sphere::IntersectAABB(const AABB& other) const {
    return Reverse(other.IntersectSphere(*this));
}

int Sphere::IntersectOBB(const OBB& other) const {
    return Reverse(other.IntersectSphere(*this));
}

int Sphere::IntersectKind3(const BoundingVolume& other) const {
    return Reverse(other.IntersectSphere(*this));
}

int Sphere::IntersectRay(const Ray& ray) const {
    const float v[3] = {centre_[0] - ray.origin[0], centre_[1] - ray.origin[1],
                        centre_[2] - ray.origin[2]};
    const float d2 = Dot3(v, v);
    const float inverseDist = FastRSqrt(d2);
    const float dist = d2 * inverseDist;
    if (radius_ >= dist) {
        return RAY_ORIGIN_INSIDE;
    }
    const float cosine = Dot3(ray.direction, v) * inverseDist;
    if (cosine <= 0.0f) {
        return RAY_MISS;
    }
    // The ray hits when its angle to the centre is within the sphere's half-angle as seen from
    // the origin.
    const float ratio = radius_ * inverseDist;
    return cosine >= FastSqrt(1.0f - ratio * ratio) ? RAY_HIT : RAY_MISS;
}

bool Sphere::ContainsPoint(const float* p) const {
    return radius_ * radius_ >= DistanceSquared(p, centre_);
}

}  // namespace Zel
