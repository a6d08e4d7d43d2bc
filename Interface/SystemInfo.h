// The machine summary the host receives from IRender::GetSystemInfo. The host reads it by byte
// offset, so the layout is fixed: 580 bytes, text fields zero-terminated and cut to their size
// minus one. The library owns the record; the host only reads it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZelI {

struct SystemInfo {
    std::uint32_t value0 = 100;             // fixed value
    std::uint32_t availablePhysicalMB = 0;  // copied from the device capability record
    std::uint32_t framesPerSecond = 0;      // refreshed when the host asks for the record
    std::uint32_t videoMemoryMB = 0;        // total video memory in MB
    std::uint32_t value16 = 6;              // fixed value
    std::uint32_t screenWidth = 0;          // pixels
    std::uint32_t screenHeight = 0;         // pixels
    char processorBrand[128] = {};
    char adapter[128] = {};  // "description;product.version.subversion.build"
    std::uint8_t unused[32] = {};
    char operatingSystem[256] = {};
    std::uint32_t processorCount = 0;
    std::uint32_t filled = 0;  // 1 once the capability report has run
};

static_assert(sizeof(SystemInfo) == 580);
static_assert(offsetof(SystemInfo, screenHeight) == 24);
static_assert(offsetof(SystemInfo, processorBrand) == 28);
static_assert(offsetof(SystemInfo, adapter) == 156);
static_assert(offsetof(SystemInfo, operatingSystem) == 316);
static_assert(offsetof(SystemInfo, processorCount) == 572);
static_assert(offsetof(SystemInfo, filled) == 576);

}  // namespace ZelI
