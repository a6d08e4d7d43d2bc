// The processor for MMX and 3DNow! machines: that of MMX. Its copy is the MMX one, which keeps
// cached stores up to the last-level cache size, where they are fastest on current processors.
#pragma once

#include "Math/ZelSIMDMMX.h"

namespace Zel {

class ZelSIMD_3DNow : public ZelSIMD_MMX {
public:
    ZelSIMD_3DNow() = default;

    const char* GetName() const override;
    void CopyMemory(void* dst, const void* src, int byteCount) const override;
};

}  // namespace Zel
