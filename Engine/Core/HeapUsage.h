// Bytes of the process heap in use, for the engine monitor.
#pragma once

#include <cstdint>

namespace Zel {

// The sum of the busy heap blocks, wrapping modulo 2^32; 0 when no heap can be listed. Any thread.
std::uint32_t GetProcessHeapBytes();

}  // namespace Zel
