// The out-of-memory guard that CreateRenderer installs: a reserve block set aside for the report,
// and a handler for failed operator new. The handler gives the reserve back, logs that memory ran
// out with a map of the address space, and makes the allocation throw std::bad_alloc. Failed
// malloc calls do not reach it (Linux has no new mode): they answer null as usual.
#pragma once

#include <cstddef>

namespace Zel {

// The reserve's size in bytes.
constexpr std::size_t kOutOfMemoryReserveBytes = 1024000;

// Installs the handler and allocates the reserve when none is held; both stay until the library
// is unloaded (or the process ends). Host thread.
void InstallOutOfMemoryGuard();
// The handler: frees the reserve, writes the report and throws std::bad_alloc. A failure while
// the report is being written throws at once. Any thread.
void OutOfMemoryHandler();
// The reserve block; null when none is held (before the guard, after an out-of-memory event).
const void* GetOutOfMemoryReserve();

}  // namespace Zel
