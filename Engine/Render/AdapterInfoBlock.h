// The adapter-information block the host copies unchanged through IRender::GetAdapterInfo: 592
// bytes at fixed offsets, filled by the device's capability report. Text fields are
// NUL-terminated and cut to their size minus one. One block per process; written on the host
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zel {

struct AdapterInfoBlock {
    char adapter[128] = {};  // "description;product.version.subversion.build"
    char processor[128] = {};
    std::uint32_t totalPhysicalMB = 0;
    std::uint32_t availablePhysicalMB = 0;
    char operatingSystem[256] = {};
    std::uint8_t unused[36] = {};
    char screenSize[32] = {};  // "width*height"
    std::uint32_t videoMemoryMB = 0;
};

static_assert(sizeof(AdapterInfoBlock) == 592);
static_assert(offsetof(AdapterInfoBlock, processor) == 128);
static_assert(offsetof(AdapterInfoBlock, totalPhysicalMB) == 256);
static_assert(offsetof(AdapterInfoBlock, operatingSystem) == 264);
static_assert(offsetof(AdapterInfoBlock, screenSize) == 556);
static_assert(offsetof(AdapterInfoBlock, videoMemoryMB) == 588);

// The process's block.
AdapterInfoBlock& GetAdapterInfoBlock();

}  // namespace Zel
