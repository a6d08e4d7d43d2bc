#include "Entity/Texture/PushTextureScale.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Texture/TextureScale.h"

namespace Zel {

void PushTextureScale(int* savedLevel, bool* savedCompression) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (savedLevel)
        *savedLevel = GetTextureScaleLevel();
    if (savedCompression)
        *savedCompression = config && config->CompressToDDS();
    SetTextureScaleLevel(0);
    if (config)
        config->SetCompressToDDS(false);
}

void PopTextureScale(int savedLevel, bool savedCompression) {
    SetTextureScaleLevel(savedLevel);
    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->SetCompressToDDS(savedCompression);
}

}  // namespace Zel
