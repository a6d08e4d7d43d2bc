// The process-wide queue-mode flag: 0 (direct mode, the start value) runs loading at once on the
// calling thread; any other value makes loading run as the steps of tasks on loading thread 0. The
// host's numbered command writes it; loading code reads it to choose its road.
#pragma once

#include <cstdint>

namespace Zel {

// Atomic reads and writes; any thread.
std::uint32_t GetQueueMode();
void SetQueueMode(std::uint32_t mode);
inline bool IsQueueMode() {
    return GetQueueMode() != 0;
}

}  // namespace Zel
