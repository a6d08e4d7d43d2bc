// The processor for SSE3 machines: that of SSE2 under its own name.
#pragma once

#include "Math/ZelSIMDSSE2.h"

namespace Zel {

class ZelSIMD_SSE3 : public ZelSIMD_SSE2 {
public:
    ZelSIMD_SSE3() = default;

    const char* GetName() const override;
};

}  // namespace Zel
