// One scale key of an ASE node animation.
#pragma once

#include <cstdint>

namespace Zel {

struct AseScaleKey {
    // 0 a CONTROL_SCALE_KEY line, 3 a CONTROL_SCALE_SAMPLE line.
    std::int32_t kind = 0;
    float scale[3] = {0.0f, 0.0f, 0.0f};
    float axis[3] = {0.0f, 0.0f, 0.0f};  // scale axis (keys only)
    float axisAngle = 0.0f;
    std::int32_t time = 0;                          // ticks
    float tcb[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};  // never read
};

}  // namespace Zel
