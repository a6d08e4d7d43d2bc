#include "Entity/Texture/TextureScale.h"

#include <algorithm>
#include <atomic>

namespace Zel {
namespace {
std::atomic<int> g_level{0};
}  // namespace

void SetTextureScaleLevel(int level) {
    g_level.store(std::clamp(level, 0, 2), std::memory_order_relaxed);
}

int GetTextureScaleLevel() {
    return g_level.load(std::memory_order_relaxed);
}

}  // namespace Zel
