// Small probes of the machine that the device's capability report and the host's monitor record,
// and the profiler markers around costly steps.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class RenderDevice;

// Memory figures in MB (bytes shifted right by 20).
struct MemoryStatus {
    std::uint32_t totalPhysicalMB = 0;
    std::uint32_t availablePhysicalMB = 0;
    std::uint32_t totalVirtualMB = 0;
    std::uint32_t availableVirtualMB = 0;
};

// What QueryVideoMemory answers.
enum VideoMemoryKind : std::uint32_t {
    VM_TOTAL = 0,
    VM_FREE = 1,
    VM_USED = 2,
};
// The answer without a window or a device to ask: 32 MB.
inline constexpr std::uint32_t kFallbackVideoMemoryBytes = 0x2000000;

// The processor clock in MHz: time-stamp-counter ticks over one sixteenth of a second of the
// performance counter, measured (busy-waiting that long) on the first call of the process only;
// later calls answer the same value. Any thread.
std::uint32_t MeasureCpuClockMHz();

// The library's version as the capability report logs it: from the version resource of the
// library's own module, or a message naming what could not be found (the module, its version
// resource or the fixed version information).
std::string GetLibraryVersionText();

// Physical memory and the process's virtual address space; all zero when nothing can be read.
void QueryMemoryStatus(MemoryStatus& status);

// Video memory in bytes of a VideoMemoryKind, from the DirectDraw driver capabilities for the
// window (total and free; both become the device's available texture memory in MB times 2^20
// when the driver reports no total). 32 MB for every kind when there is no window, when
// DirectDraw cannot be made, take the window or answer its capabilities, when a zero total has
// no device to ask, and for an unknown kind. device is not owned and may be null. Host thread.
std::uint32_t QueryVideoMemory(std::uint32_t kind, const void* window, RenderDevice* device);

// Profiler markers through the device's loaded D3DPERF functions (nothing when the device has
// none). The name is cut to its first 127 characters; the colour is 0xFF00FF00. Host thread.
void ProfileBeginEvent(RenderDevice* device, const char* name);
void ProfileEndEvent(RenderDevice* device);
// A single marker in the given colour (ARGB), the name cut as above.
void ProfileSetMarker(RenderDevice* device, const char* name, std::uint32_t colour);

}  // namespace Zel
