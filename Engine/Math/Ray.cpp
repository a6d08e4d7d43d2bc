#include "Math/Ray.h"

#include "Math/MathUtil.h"

namespace Zel {

Ray::Ray(const float* o, const float* d) {
    SetOrigin(o);
    SetDirection(d);
}

void Ray::SetOrigin(const float* p) {
    origin[0] = p[0];
    origin[1] = p[1];
    origin[2] = p[2];
}

void Ray::SetDirection(const float* d) {
    direction[0] = d[0];
    direction[1] = d[1];
    direction[2] = d[2];
    NormalizeVector3(direction);
}

void Ray::GetPoint(float t, float* out) const {
    for (int i = 0; i < 3; ++i) {
        out[i] = origin[i] + t * direction[i];
    }
}

}  // namespace Zel
