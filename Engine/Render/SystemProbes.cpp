#include "Render/SystemProbes.h"

#include <x86intrin.h>

#include "Platform/Win32/Win32Time.h"

namespace Zel {

std::uint32_t MeasureCpuClockMHz() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&now))
        return 0;
    const LONGLONG target = now.QuadPart + frequency.QuadPart / 16;
    const std::uint64_t start = __rdtsc();
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart < target);
    const std::uint64_t ticks = __rdtsc() - start;
    // Ticks in 1/16 s: ticks * 16 / 10^6 MHz.
    return static_cast<std::uint32_t>(ticks / 62500);
}

std::string GetLibraryVersionText() {
    // A shared object on this platform carries no version resource.
    return "获取引擎版本号失败：找不到版本资源";
}

}  // namespace Zel
