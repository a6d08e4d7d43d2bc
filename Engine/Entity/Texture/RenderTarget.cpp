#include "Entity/Texture/RenderTarget.h"

#include "Core/Globals.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/ClearRecord.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {

RenderTarget::RenderTarget(std::uint32_t pool, RenderDevice* device, std::uint32_t isDepthStencil)
    : TextureBase(pool, nullptr, 2), renderDevice_(device), isDepthStencil_(isDepthStencil) {
    // Kept as it is: render targets are looked up by this exact name.
    name_ = "RT";
}

RenderTarget::~RenderTarget() {
    if (!renderDevice_)
        return;
    // Every slot the device has, whatever the capability record says, so none is left dangling.
    for (std::uint32_t slot = 0; slot < RenderDevice::kColourTargetSlots; ++slot)
        if (renderDevice_->GetRenderTarget(slot) == this)
            renderDevice_->SetRenderTarget(slot, nullptr);
    if (renderDevice_->GetDepthStencilSurface() == this)
        renderDevice_->SetDepthStencilSurface(nullptr);
}

RenderSystem* RenderTarget::TargetRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

void RenderTarget::ClearColour(float r, float g, float b, float a) {
    RenderSystem* system = TargetRenderSystem();
    if (!system)
        return;
    const float rgba[4] = {r, g, b, a};
    if (IsDepthStencil()) {
        // Bound as a colour target a depth surface would clear nothing it holds.
        RenderTarget* saved = system->GetDepthStencilSurface();
        system->SetDepthStencilSurface(this);
        const std::uint32_t flags =
            CLEAR_DEPTH | (GetFormat() == int(PF_D24S8) ? CLEAR_STENCIL : 0u);
        system->Clear(flags, rgba, 1.0f, 0);
        system->SetDepthStencilSurface(saved);
        return;
    }
    RenderTarget* saved = system->GetRenderTarget(0);
    system->SetRenderTarget(0, this);
    system->Clear(CLEAR_COLOUR, rgba, 1.0f, 0);
    system->SetRenderTarget(0, saved);
}

void RenderTarget::Bind(std::uint32_t slot) {
    RenderSystem* system = TargetRenderSystem();
    if (IsBound() || !system)
        return;
    targetFlags_ |= kBound;
    boundSlot_ = slot;
    if (IsDepthStencil()) {
        previous_ = system->GetDepthStencilSurface();
        system->SetDepthStencilSurface(this);
    } else {
        previous_ = system->GetRenderTarget(slot);
        system->SetRenderTarget(slot, this);
    }
}

void RenderTarget::Unbind() {
    if (!IsBound())
        return;
    targetFlags_ &= ~kBound;
    if (RenderSystem* system = TargetRenderSystem()) {
        if (IsDepthStencil())
            system->SetDepthStencilSurface(previous_);
        else
            system->SetRenderTarget(boundSlot_, previous_);
    }
    previous_ = nullptr;
}

}  // namespace Zel
