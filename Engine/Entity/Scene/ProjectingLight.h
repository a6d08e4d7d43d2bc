// A light that projects a texture or a shadow map along its view volume (light kind 3). Made and
// deleted by the scene manager with the other lights; it answers the class id of Light. The
// projection itself comes with the shadows.
#pragma once

#include "Entity/Scene/Light.h"

namespace Zel {

class ProjectingLight : public Light {
public:
    ProjectingLight() : Light(3) {}
    ~ProjectingLight() override = default;
};

}  // namespace Zel
