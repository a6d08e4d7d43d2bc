// One rotation key of an ASE node animation.
#pragma once

#include <cstdint>

namespace Zel {

struct AseRotKey {
    // 0 a CONTROL_ROT_KEY line, 1 a CONTROL_TCB_ROT_KEY line, 3 a CONTROL_ROT_SAMPLE line (samples
    // are rotations relative to the previous sample).
    std::int32_t kind = 0;
    float axis[3] = {0.0f, 0.0f, 0.0f};
    float angle = 0.0f;     // radians, as written
    std::int32_t time = 0;  // ticks
    // Tension, continuity, bias, ease in, ease out; only the tension of a TCB key is read.
    float tcb[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace Zel
