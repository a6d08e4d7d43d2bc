// One position key of an ASE node animation.
#pragma once

#include <cstdint>

namespace Zel {

struct AsePosKey {
    // 0 a CONTROL_POS_KEY line, 1 a CONTROL_TCB_POS_KEY line, 3 a CONTROL_POS_SAMPLE line.
    std::int32_t kind = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;  // unscaled
    std::int32_t time = 0;               // ticks, as written
    // Tension, continuity, bias, ease in, ease out; only the tension of a TCB key is read.
    float tcb[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace Zel
