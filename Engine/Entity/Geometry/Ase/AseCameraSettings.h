// One timed entry of an ASE camera's CAMERA_ANIMATION block.
#pragma once

#include <cstdint>

namespace Zel {

struct AseCameraSettings {
    std::int32_t time = 0;  // TIMEVALUE, ticks
    float fov = 0.0f;
    float nearClip = 0.0f;
    float farClip = 0.0f;
    float targetDistance = 0.0f;
};

}  // namespace Zel
