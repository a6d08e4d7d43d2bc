#include "Entity/TextureScaleLevel.h"

#include <atomic>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"

namespace Zel {
namespace {
std::atomic<std::uint32_t> g_level{0};
}  // namespace

void SetTextureScaleLevel(std::uint32_t level) {
    g_level.store(level, std::memory_order_relaxed);
}

std::uint32_t GetTextureScaleLevel() {
    return g_level.load(std::memory_order_relaxed);
}

void PushTextureScale(std::uint32_t* savedLevel, bool* savedCompression) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (savedLevel)
        *savedLevel = GetTextureScaleLevel();
    if (savedCompression)
        *savedCompression = config && config->CompressToDDS();
    SetTextureScaleLevel(0);
    if (config)
        config->SetCompressToDDS(false);
}

void PopTextureScale(std::uint32_t savedLevel, bool savedCompression) {
    SetTextureScaleLevel(savedLevel);
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->SetCompressToDDS(savedCompression);
}

}  // namespace Zel
