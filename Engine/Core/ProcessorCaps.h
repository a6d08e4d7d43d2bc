// The processor capability record owned by Globals (Globals::GetProcessorCaps). Zeroed at
// start-up and filled from CPUID by the render device's capability report; the character code
// reads its SSE and MMX flags to choose its vector paths.
#pragma once

#include <cstdint>

namespace Zel {

struct ProcessorCaps {
    std::uint32_t cpuidAvailable = 0;  // each flag 0 or 1
    std::uint32_t mmx = 0;
    std::uint32_t sse = 0;
    std::uint32_t sse2 = 0;
    std::uint32_t sse3 = 0;
    std::uint32_t ssse3 = 0;
    std::uint32_t enhancedSpeedStep = 0;  // leaf 1 ECX bit 7
    std::uint32_t hyperThreading = 0;     // leaf 1 EDX bit 28
    std::uint32_t longMode = 0;           // extended leaf 1 EDX bit 29
    std::uint32_t highestBasicLeaf = 0;
    std::uint32_t highestExtendedLeaf = 0;
    std::uint32_t signature = 0;  // leaf 1 EAX
    std::uint32_t leaf1Ebx = 0;
    std::uint32_t leaf1Ecx = 0;
    std::uint32_t leaf1Edx = 0;
    std::uint32_t cacheDescriptors[4] = {};  // leaf 2
    std::uint32_t extendedLeaf1Edx = 0;
    char vendor[13] = {};
    char brand[49] = {};
    std::uint32_t brandIndex = 0;       // leaf 1 EBX low byte
    std::uint32_t logicalPerCache = 0;  // leaf 4 EAX bits 14-25, plus 1
    std::uint32_t coresPerPackage = 0;  // leaf 4 EAX bits 26-31, plus 1
    std::uint32_t family = 0;
    std::uint32_t model = 0;
    std::uint32_t stepping = 0;
    std::uint32_t extendedFamily = 0;
    std::uint32_t extendedModel = 0;

    bool HasSSE() const { return sse != 0; }
    bool HasMMX() const { return mmx != 0; }
};

}  // namespace Zel
