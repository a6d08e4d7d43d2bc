// The processor for MMX machines: the portable arithmetic, with memory copy and fill that move
// large blocks with prefetch hints and stores that bypass the cache.
#pragma once

#include "Math/ZelSIMDGeneric.h"

namespace Zel {

class ZelSIMD_MMX : public ZelSIMD_Generic {
public:
    ZelSIMD_MMX() = default;

    const char* GetName() const override;
    // Copies of 4096 bytes or more go through a 2 KB staging buffer on the stack.
    void CopyMemory(void* dst, const void* src, int byteCount) const override;
    void FillMemory(void* dst, int value, int byteCount) const override;

protected:
    // Copies 64 bytes with stores that bypass the cache.
    static void StreamBlock(unsigned char* dst, const unsigned char* src);
};

}  // namespace Zel
