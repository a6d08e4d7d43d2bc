// A camera of an ASE scene (CAMERAOBJECT). Read but not used by the engine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/Ase/AseAnimation.h"
#include "Entity/Geometry/Ase/AseCameraSettings.h"

namespace Zel {

struct AseCamera {
    // From the NODE_TM block whose node name does not contain ".Target".
    float position[3] = {0.0f, 0.0f, 0.0f};
    float rotationAxis[3] = {0.0f, 0.0f, 0.0f};
    float rotationAngle = 0.0f;
    float fov = 0.0f;
    float farClip = 0.0f;
    float nearClip = 0.0f;
    float targetDistance = 0.0f;
    std::string name;  // quotes kept
    std::unique_ptr<AseAnimation> animation;
    std::vector<AseCameraSettings> timedSettings;
};

}  // namespace Zel
