// Small probes of the machine the device's capability report records.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

// The processor clock in MHz: time-stamp-counter ticks over one sixteenth of a second of the
// performance counter (busy-waits that long). Host thread.
std::uint32_t MeasureCpuClockMHz();

// The library's version as the capability report logs it: from the version resource of the
// library's own module, or a message naming what could not be found (the module, its version
// resource or the fixed version information).
std::string GetLibraryVersionText();

}  // namespace Zel
