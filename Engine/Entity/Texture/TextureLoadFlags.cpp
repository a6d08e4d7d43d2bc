#include "Entity/Texture/TextureLoadFlags.h"

#include <atomic>

namespace Zel {
namespace {
std::atomic<std::uint32_t> g_flags{0};
}

std::uint32_t GetTextureLoadFlags() {
    return g_flags.load(std::memory_order_relaxed);
}

void SetTextureLoadFlags(std::uint32_t flags) {
    g_flags.store(flags, std::memory_order_relaxed);
}

}  // namespace Zel
