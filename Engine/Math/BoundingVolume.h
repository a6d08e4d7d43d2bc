// Base of the bounding volumes (Sphere, AABB, OBB, and Frustum). Volume tests are dispatched
// twice: Intersect asks the argument its kind and calls this volume's test for that kind. A test
// that is written only from one side answers for the other by swapping the two containment codes.
// Tests read both volumes and change neither (an AABB may refresh its cached corners); any thread
// may run them on volumes nobody is changing.
#pragma once

namespace Zel {

class Sphere;
class AABB;
class OBB;
struct Ray;

// Volume-against-volume answers, with this = the volume asked and other = the argument.
enum IntersectResult : int {
    INTERSECT_INSIDE = 0,    // other lies inside this
    INTERSECT_DISJOINT = 1,  // no common point
    INTERSECT_OVERLAP = 2,   // overlapping, or the test gives no finer answer
    INTERSECT_ENCLOSED = 3,  // this lies inside other
};

// Ray-test answers.
enum RayResult : int {
    RAY_ORIGIN_INSIDE = 0,
    RAY_HIT = 1,
    RAY_MISS = 2,
};

// Volume kinds; no class has kind 3, and kinds 4 and above get no test.
enum BoundingVolumeKind : int {
    BV_SPHERE = 0,
    BV_AABB = 1,
    BV_OBB = 2,
    BV_KIND3 = 3,
    BV_OTHER = 4,
};

class BoundingVolume {
public:
    virtual ~BoundingVolume() = default;

    virtual int GetKind() const { return BV_OTHER; }
    virtual int IntersectSphere(const Sphere& other) const = 0;
    virtual int IntersectAABB(const AABB& other) const = 0;
    virtual int IntersectOBB(const OBB& other) const = 0;
    virtual int IntersectKind3(const BoundingVolume& other) const = 0;
    // RayResult for a ray with a unit direction.
    virtual int IntersectRay(const Ray& ray) const = 0;
    virtual bool ContainsPoint(const float* p) const = 0;

    // The entry every caller uses: the IntersectResult of this against other. An argument of any
    // kind other than 0-3 (a frustum) answers INTERSECT_OVERLAP without a test.
    int Intersect(const BoundingVolume& other) const;

    // The answer of the reversed test: swaps INSIDE and ENCLOSED, keeps the others.
    static int Reverse(int result);

protected:
    BoundingVolume() = default;
    BoundingVolume(const BoundingVolume&) = default;
    BoundingVolume& operator=(const BoundingVolume&) = default;
};

}  // namespace Zel
