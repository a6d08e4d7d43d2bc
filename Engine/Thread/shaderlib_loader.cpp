#include "Thread/shaderlib_loader.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Texture/TextureScale.h"

namespace Zel {

void shaderlib_loader::Reset() {
    parameter_ = MaterialLibTaskParameter{};
    itask::Reset();
}

void shaderlib_loader::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const MaterialLibTaskParameter*>(parameter);
}

std::int32_t shaderlib_loader::OnTaskBegin() {
    SetResult(0);
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!config || !materials || config->GetValue(kMaterialLibSwitch) != 1) {
        SetResult(13);
        return -1;
    }
    const std::int32_t savedCompress = config->GetValue(kCompressToDdsSwitch);
    const int savedLevel = GetTextureScaleLevel();
    config->SetValue(kCompressToDdsSwitch, static_cast<std::int32_t>(parameter_.compressToDds));
    SetTextureScaleLevel(static_cast<int>(parameter_.textureScaleLevel));
    bool success = false;
    const bool loaded = materials->LoadMaterialLibXml(parameter_.name, success, false, nullptr);
    config->SetValue(kCompressToDdsSwitch, savedCompress);
    SetTextureScaleLevel(savedLevel);
    if (!loaded || !success) {
        SetResult(14);
        return -1;
    }
    return 1;
}

}  // namespace Zel
