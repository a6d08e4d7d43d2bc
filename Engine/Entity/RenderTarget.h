// A texture the device renders into: a colour target (its texture's top level) or a depth-stencil
// target. The device binds its surface and reads its size. The render-target code builds the
// device objects, their budget and their loss and reset on it. Host thread.
#pragma once

#include "Entity/TextureBase.h"

namespace Zel {

class RenderTarget : public TextureBase {
public:
    enum Kind : std::uint32_t { KIND_COLOUR = 0, KIND_DEPTH_STENCIL = 1 };

    explicit RenderTarget(Kind kind = KIND_COLOUR) : TextureBase(0, nullptr, 2), kind_(kind) {}
    ~RenderTarget() override = default;

    Kind GetKind() const { return kind_; }
    // Pixels; 0 until the target has a surface.
    std::uint32_t GetWidth() const { return width_; }
    std::uint32_t GetHeight() const { return height_; }
    // The surface bound when the target is set: the colour surface of a colour target, the
    // depth-stencil surface of a depth target. No reference is added; null while there is none.
    IDirect3DSurface9* GetD3DSurface() const { return surface_; }
    // Takes the surface (no reference; the caller keeps it alive) and its size.
    void SetD3DSurface(IDirect3DSurface9* surface, std::uint32_t width, std::uint32_t height) {
        surface_ = surface;
        width_ = width;
        height_ = height;
    }

private:
    Kind kind_;
    IDirect3DSurface9* surface_ = nullptr;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
};

}  // namespace Zel
