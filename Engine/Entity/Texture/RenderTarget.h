// A texture the device draws into: a colour target (a texture with render-target usage, one
// level, that can be sampled afterwards) or a depth-stencil surface. Post effects, shadows,
// reflections and the host make them through the texture manager, take free ones back with
// TextureManager::FindFreeRenderTarget, bind them to a colour slot (or as the depth-stencil
// surface) around their passes and put back what was bound before. The graphics API's class
// (RenderTargetD3D9) makes and releases the device objects.
//
// The name is always "RT"; the pool is the default pool, so the device objects die with a lost
// device and are made again after the reset. Host thread only.
#pragma once

#include <cstdint>

#include "Entity/Texture/TextureBase.h"

namespace Zel {

class RenderDevice;
class RenderSystem;

class RenderTarget : public TextureBase {
public:
    // Target flag bits.
    static constexpr std::uint32_t kBound = 0x1;    // between Bind and Unbind
    static constexpr std::uint32_t kCreated = 0x2;  // set at construction and every re-creation

    // pool: the memory pool code (0 for every target the system makes); device: the render
    // device whose slots the target is bound to (not owned; may be null); isDepthStencil: 0 a
    // colour target, anything else a depth-stencil surface, fixed for the target's life.
    RenderTarget(std::uint32_t pool, RenderDevice* device, std::uint32_t isDepthStencil);
    // Leaves every colour slot of the device that holds this target empty, and the depth slot
    // when it holds it, so the device never points at a dead target.
    ~RenderTarget() override;
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    bool IsRenderTarget() const override { return true; }
    bool IsDepthStencil() const { return isDepthStencil_ != 0; }
    std::uint32_t GetTargetFlags() const { return targetFlags_; }
    bool IsBound() const { return (targetFlags_ & kBound) != 0; }
    // The colour slot given to the last Bind.
    std::uint32_t GetBoundSlot() const { return boundSlot_; }
    RenderDevice* GetRenderDevice() const { return renderDevice_; }
    // Releases the device objects and forgets the render device (it is about to go); the target
    // makes nothing again afterwards.
    virtual void DetachDevice() {
        ReleaseDeviceObjects();
        renderDevice_ = nullptr;
    }

    // Clears this target alone and puts back what was bound. A colour target is bound at slot 0
    // and cleared to the colour (r, g, b, a in 0..1); a depth-stencil target is bound as the
    // depth-stencil surface and cleared to depth 1.0, and its stencil to 0 when it has one
    // (D24S8). Nothing without a render system.
    virtual void ClearColour(float r, float g, float b, float a);
    // Copies the target's surface into level 0 of the texture's device texture (same size and
    // format, system memory). False when the target or the texture has no device object, or the
    // device refuses.
    virtual bool CopyToTexture(TextureBase* texture) = 0;
    // Binds the target (colour: at the slot; depth-stencil: as the depth-stencil surface), keeping
    // what it replaced for Unbind. Nothing when already bound: a second Bind keeps the first slot
    // and the first saved target. Nothing without a render system.
    virtual void Bind(std::uint32_t slot);
    // Puts the saved target back in the recorded slot (or as depth-stencil surface) and forgets
    // it. Nothing when not bound.
    virtual void Unbind();

    // The surface the device binds: level 0 of the colour texture, or the depth-stencil surface.
    // No reference added; null while the target has none.
    virtual IDirect3DSurface9* GetD3DSurface() const = 0;

protected:
    // The render system targets bind through: the scene's. Null when there is none.
    static RenderSystem* TargetRenderSystem();

    RenderDevice* renderDevice_;
    std::uint32_t isDepthStencil_;
    std::uint32_t targetFlags_ = kCreated;
    std::uint32_t boundSlot_ = 0;
    RenderTarget* previous_ = nullptr;  // what Bind replaced; not owned
};

}  // namespace Zel
