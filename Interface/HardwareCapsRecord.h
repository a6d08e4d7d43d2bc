// What IRender::LoadHardwareCaps tells the host about the graphics adapter. The host owns the
// record; the library only writes it.
#pragma once

#include <cstdint>

namespace ZelI {

struct HardwareCapsRecord {
    // The adapter's performance value from the capability list, ORed with 0xFF000000;
    // 0xFF000001 when the list does not know the adapter's vendor and series.
    std::uint32_t performance = 0;
    // Video memory in megabytes.
    std::uint32_t videoMemoryMB = 0;
    // The largest texture width, in texels.
    std::uint32_t maxTextureWidth = 0;
    // Not written.
    std::uint32_t reserved = 0;
    // The largest anisotropy level.
    std::uint32_t maxAnisotropy = 0;
    // 1 when the processor has MMX, 3DNow!, SSE and SSE2 respectively, else 0.
    std::uint8_t flags[4] = {};
    // The adapter's description, NUL-terminated.
    char description[256] = {};
};

}  // namespace ZelI
