#include "Core/HeapUsage.h"

#include "Platform/Win32/Win32System.h"

namespace Zel {

std::uint32_t GetProcessHeapBytes() {
    return static_cast<std::uint32_t>(GetProcessHeapBusyBytes());
}

}  // namespace Zel
