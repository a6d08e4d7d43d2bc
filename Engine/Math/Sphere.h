// A bounding sphere: centre and radius.
#pragma once

#include "Math/BoundingVolume.h"

namespace Zel {

class Sphere : public BoundingVolume {
public:
    Sphere() = default;
    Sphere(const float* centre, float radius);

    int GetKind() const override { return BV_SPHERE; }
    // Exact: 1 when the centres are farther apart than the radii's sum, 0 or 3 when one sphere
    // holds the other (equal spheres give 3), else 2.
    int IntersectSphere(const Sphere& other) const override;
    // The other volume's sphere test, reversed.
    int IntersectAABB(const AABB& other) const override;
    int IntersectOBB(const OBB& other) const override;
    int IntersectKind3(const BoundingVolume& other) const override;
    // 0 when the origin lies within the radius, 1 when the ray points into the sphere, else 2.
    // No hit point is produced.
    int IntersectRay(const Ray& ray) const override;
    // Inclusive: points on the surface count.
    bool ContainsPoint(const float* p) const override;

    void SetCenter(const float* c);
    void SetRadius(float r) { radius_ = r; }
    const float* GetCenter() const { return centre_; }
    float GetRadius() const { return radius_; }

private:
    float centre_[3] = {0.0f, 0.0f, 0.0f};
    float radius_ = 0.0f;
};

}  // namespace Zel
