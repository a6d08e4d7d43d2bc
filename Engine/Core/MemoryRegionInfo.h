// One allocation region of the process's address space, as the memory report walks it.
#pragma once

#include <cstdint>

namespace Zel {

struct MemoryRegionInfo {
    std::uintptr_t regionBase = 0;
    std::uint32_t regionProtection = 0;
    std::uint64_t regionSize = 0;
    std::uint32_t regionStorage = 0;  // MEM_FREE, MEM_RESERVE, MEM_IMAGE, MEM_MAPPED, MEM_PRIVATE
    std::uint32_t blockCount = 0;
    std::uint32_t guardBlockCount = 0;
    bool isThreadStack = false;
    std::uintptr_t blockBase = 0;
    std::uint32_t blockProtection = 0;
    std::uint64_t blockSize = 0;
    std::uint32_t blockStorage = 0;
};

}  // namespace Zel
