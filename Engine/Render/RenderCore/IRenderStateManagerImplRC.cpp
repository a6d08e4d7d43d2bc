#include "Render/RenderCore/IRenderStateManagerImplRC.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {
namespace {

RenderDevice* SceneDevice() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    return system ? system->GetRenderDevice() : nullptr;
}

}  // namespace

void IRenderStateManagerImplRC::SetState(std::int32_t index, std::int32_t value) {
    RenderDevice* device = SceneDevice();
    if (!device)
        return;
    const bool on = value != 0;
    switch (index) {
        case 0:
            device->SetZEnable(on);
            break;
        case 1:
            device->SetZWriteEnable(on);
            break;
        case 2:
            device->SetAlphaTestEnable(on);
            break;
        case 3:
            device->SetAlphaBlendEnable(on);
            break;
        case 4:
            device->SetStencilEnable(on);
            break;
        case 5:
            device->SetClipPlaneEnable(on);
            break;
        case 6:
            device->SetColorWriteMask(on, on, on, on);
            break;
        case 7:
            device->SetScissorTestEnable(on);
            break;
        default:
            break;
    }
}

void IRenderStateManagerImplRC::SetScissorRect(std::int32_t left, std::int32_t right,
                                               std::int32_t top, std::int32_t bottom) {
    if (RenderDevice* device = SceneDevice())
        device->SetScissorRect(left, right, top, bottom);
}

}  // namespace Zel
