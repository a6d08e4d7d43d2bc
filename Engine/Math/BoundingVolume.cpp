#include "Math/BoundingVolume.h"

#include "Math/AABB.h"
#include "Math/OBB.h"
#include "Math/Sphere.h"

namespace Zel {

int BoundingVolume::Intersect(const BoundingVolume& other) const {
    switch (other.GetKind()) {
        case BV_SPHERE:
            return IntersectSphere(static_cast<const Sphere&>(other));
        case BV_AABB:
            return IntersectAABB(static_cast<const AABB&>(other));
        case BV_OBB:
            return IntersectOBB(static_cast<const OBB&>(other));
        case BV_KIND3:
            return IntersectKind3(other);
        default:
            return INTERSECT_OVERLAP;
    }
}

int BoundingVolume::Reverse(int result) {
    if (result == INTERSECT_INSIDE) {
        return INTERSECT_ENCLOSED;
    }
    if (result == INTERSECT_ENCLOSED) {
        return INTERSECT_INSIDE;
    }
    return result;
}

}  // namespace Zel
