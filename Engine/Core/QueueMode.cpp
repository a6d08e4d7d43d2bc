#include "Core/QueueMode.h"

#include <atomic>

namespace Zel {
namespace {
std::atomic<std::uint32_t> g_queueMode{0};
}

std::uint32_t GetQueueMode() {
    return g_queueMode.load(std::memory_order_relaxed);
}

void SetQueueMode(std::uint32_t mode) {
    g_queueMode.store(mode, std::memory_order_relaxed);
}

}  // namespace Zel
