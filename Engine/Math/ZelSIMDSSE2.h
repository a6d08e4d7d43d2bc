// The processor for SSE2 machines: that of SSE, with a packed conversion of samples to 16 bits.
#pragma once

#include "Math/ZelSIMDSSE.h"

namespace Zel {

class ZelSIMD_SSE2 : public ZelSIMD_SSE {
public:
    ZelSIMD_SSE2() = default;

    const char* GetName() const override;
    void FloatToInt16(int16_t* dst, const float* src, int count) const override;
};

}  // namespace Zel
