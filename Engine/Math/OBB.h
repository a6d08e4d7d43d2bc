// An oriented bounding box: a centre, three unit axes and a half extent along each. A point's
// local coordinates are (d . X, d . Y, d . Z) with d = point - centre. A plain value.
#pragma once

#include "Math/BoundingVolume.h"

namespace Zel {

class OBB : public BoundingVolume {
public:
    OBB() = default;

    int GetKind() const override { return BV_OBB; }
    // 1 when the sphere is separated along the centre line or one of the box's axes, 3 when the
    // sphere holds the whole box, 0 when the sphere fits inside on all three axes, else 2.
    int IntersectSphere(const Sphere& other) const override;
    // Separating-axis tests: 1 when an axis separates the boxes, else 2 (never 0 or 3). An empty
    // AABB is disjoint from everything.
    int IntersectAABB(const AABB& other) const override;
    int IntersectOBB(const OBB& other) const override;
    // Always 1.
    int IntersectKind3(const BoundingVolume& other) const override;
    int IntersectRay(const Ray& ray) const override;
    // ContainsLocalPoint of the point's local coordinates.
    bool ContainsPoint(const float* p) const override;

    // The ray test with its outputs: 1 on a hit, writing the entry point and its distance; 0 when
    // the origin lies inside, writing the exit point and its distance; 2 on a miss, writing
    // nothing. The ray is not changed; either output may be null.
    int IntersectRay(const Ray& ray, float* outPoint, float* outT) const;

    // Y = first normalised; X = second made perpendicular to Y and normalised; Z = X x Y.
    void SetAxes(const float* first, const float* second);
    void SetCenter(const float* c);
    // Half extents along X, Y and Z.
    void SetExtents(const float* e);

    // Local coordinates of p.
    void ToLocal(float* out, const float* p) const;
    // True when |local_i| - 0.01 <= extent_i on every axis: the box with 0.01 of tolerance all
    // round, boundary included (decal clipping puts points exactly there).
    bool ContainsLocalPoint(const float* local) const;
    // The largest half extent.
    float MaxExtent() const;
    // |extents|: the distance from the centre to a corner.
    float HalfDiagonal() const;

    const float* GetCenter() const { return centre_; }
    const float* GetAxisX() const { return axisX_; }
    const float* GetAxisY() const { return axisY_; }
    const float* GetAxisZ() const { return axisZ_; }
    const float* GetExtents() const { return extents_; }

private:
    float centre_[3] = {0.0f, 0.0f, 0.0f};
    float axisY_[3] = {0.0f, 1.0f, 0.0f};
    float axisX_[3] = {1.0f, 0.0f, 0.0f};
    float axisZ_[3] = {0.0f, 0.0f, 1.0f};
    float extents_[3] = {1.0f, 1.0f, 1.0f};
};

}  // namespace Zel
