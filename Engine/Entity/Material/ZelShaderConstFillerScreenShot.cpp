#include "Entity/Material/ZelShaderConstFillerScreenShot.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorTemplates.h"
#include "Entity/Material/GpuProgram.h"
#include "Render/RenderOperation.h"

namespace Zel {

void ZelShaderConstFillerScreenShot::Fill(RenderOperation& op, GpuProgram& program) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!config || config->GetValue(kFillSwitch) == 0)
        return;
    ZelShaderConstFiller::Fill(op, program);
    const auto* actor = dynamic_cast<const Actor*>(op.owner);
    const ActorTemplates* templates = Globals::Find(&Globals::GetActorTemplates);
    if (!actor || !templates)
        return;
    if (TextureBase* skin = templates->GetSkinTexture(actor->GetSex() != 0))
        program.SetTextureByName(kSkinTextureName, skin);
}

}  // namespace Zel
