// The processor for MMX machines: the portable arithmetic, with memory copy and fill that move
// blocks larger than the last-level cache with prefetch hints and stores that bypass the cache.
#pragma once

#include <cstddef>

#include "Math/ZelSIMDGeneric.h"

namespace Zel {

class ZelSIMD_MMX : public ZelSIMD_Generic {
public:
    ZelSIMD_MMX() = default;

    const char* GetName() const override;
    void CopyMemory(void* dst, const void* src, int byteCount) const override;
    void FillMemory(void* dst, int value, int byteCount) const override;

protected:
    // Whether a copy or fill of byteCount bytes is larger than the last-level cache, and so
    // bypasses it.
    static bool Streams(int byteCount);
    // Copies n bytes with stores that bypass the cache (16-byte ones from dst's first 16-byte
    // boundary on), fenced before it returns.
    static void StreamCopy(unsigned char* dst, const unsigned char* src, std::size_t n);
    // Sets n bytes to byte the same way.
    static void StreamFill(unsigned char* dst, unsigned char byte, std::size_t n);
};

}  // namespace Zel
