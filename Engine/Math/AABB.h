// An axis-aligned bounding box: min and max corners, the eight corner points cached on demand,
// and an empty flag (a fresh box holds nothing yet: the next merge replaces its -0.5..0.5
// default). Also the bounds record of meshes, skins and scene objects. A plain value.
#pragma once

#include "Math/BoundingVolume.h"

namespace Zel {

class AABB : public BoundingVolume {
public:
    AABB() = default;
    // A non-empty box from min to max.
    AABB(const float* min, const float* max);

    int GetKind() const override { return BV_AABB; }
    // 1 when the sphere's centre is farther than its radius from the box, 0 when the sphere fits
    // inside, 3 when every corner lies within the sphere, else 2.
    int IntersectSphere(const Sphere& other) const override;
    // Exact per-axis comparison; touching faces overlap.
    int IntersectAABB(const AABB& other) const override;
    // The other volume's box test, reversed.
    int IntersectOBB(const OBB& other) const override;
    int IntersectKind3(const BoundingVolume& other) const override;
    int IntersectRay(const Ray& ray) const override;
    // Inclusive on all three axes.
    bool ContainsPoint(const float* p) const override;

    // The ray test with its outputs. 0 when the origin lies in the box; 1 on a hit, writing the
    // entry point and its distance; 2 on a miss. The ray is not changed; the outputs are written
    // only on a hit, and either may be null.
    int IntersectRay(const Ray& ray, float* outPoint, float* outT) const;

    // Recomputes the cached corners if min or max changed since. Corner i is (i & 4 ? max.x :
    // min.x, i & 2 ? max.y : min.y, i & 1 ? max.z : min.z).
    void UpdateCorners() const;
    // The eight corners (24 floats), refreshed first.
    const float* GetCorners() const;

    // Widens this box to hold other; an empty box takes other's min and max (other's own empty
    // flag is not consulted).
    void Merge(const AABB& other);
    // Widens this box to hold p; an empty box becomes the point.
    void MergePoint(const float* p);
    void ExtendByPoint(float x, float y, float z);
    // Replaces the box by the box of its eight corners transformed by m (16 floats, column
    // vectors). A corner whose w is 0 maps to the origin; any w other than 1 divides.
    void Transform(const float* m);
    // Copies min, max, the corners and both flags.
    void Assign(const AABB& other);

    // Sets min and max and clears the empty flag.
    void SetMinMax(const float* min, const float* max);
    // Marks the box empty; min and max keep their values until the next merge.
    void SetEmpty() { empty_ = true; }
    bool IsEmpty() const { return empty_; }
    const float* GetMin() const { return min_; }
    const float* GetMax() const { return max_; }
    // out = (min + max) / 2.
    void GetCenter(float* out) const;

private:
    float min_[3] = {-0.5f, -0.5f, -0.5f};
    float max_[3] = {0.5f, 0.5f, 0.5f};
    mutable float corners_[8][3] = {};
    bool empty_ = true;
    mutable bool cornersDirty_ = true;
};

}  // namespace Zel
