// What one material asks for while it is parsed on the split road of library loading, to be
// carried out by later steps (MaterialManager::LoadLibMaterialTextures and
// MaterialManager::FinalizeLibMaterial), so that parsing touches neither the texture manager nor
// the device. Owned by the caller of the parse; freed after the material is finalised.
#pragma once

#include <string>
#include <vector>

#include "Entity/Material/LegacyStageAnimRecord.h"

namespace Zel {

struct MaterialTextureRequests {
    // One block per parsed pass, in pass order.
    std::vector<LegacyStageAnimBlock> blocks;
    // A "Material" element's effect ("Effect" "Path"), loaded when the material is finalised in
    // place of a generated program; empty for the legacy dialect.
    std::string effectPath;
};

}  // namespace Zel
