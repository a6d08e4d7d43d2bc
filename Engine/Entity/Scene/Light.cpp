#include "Entity/Scene/Light.h"

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
    static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::copy(kIdentity, kIdentity + 16, out);
}

}  // namespace Zel
