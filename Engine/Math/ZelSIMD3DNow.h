// The processor for MMX and 3DNow! machines: that of MMX, with a copy that picks its method by
// size: cached stores below 64 KB, stores that bypass the cache up to 197 KB, and beyond that
// 8 KB chunks whose source is touched before it is copied.
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
