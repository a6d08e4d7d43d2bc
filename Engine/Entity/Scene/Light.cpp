#include "Entity/Scene/Light.h"
#include "Math/MathUtil.h"

#include <algorithm>

namespace Zel {

void Light::SetColours(const float ambient[4], const float diffuse[4], const float specular[4]) {
    std::copy(ambient, ambient + 4, ambient_);
    std::copy(diffuse, diffuse + 4, diffuse_);
    std::copy(specular, specular + 4, specular_);
}

void Light::SetWorldPosition(const float position[3]) {
    std::copy(position, position + 3, position_);
}

void Light::SetDirection(const float direction[3]) {
    std::copy(direction, direction + 3, direction_);
}

void Light::ComputeProjectionMatrix(float out[16]) const {
    std::copy(kIdentityMatrix, kIdentityMatrix + 16, out);
}

}  // namespace Zel
