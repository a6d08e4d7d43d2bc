// A render target without device objects of its own: it reports a surface the test made, so the
// texture code's read-back and the manager's target lists can be checked without the Direct3D 9
// target class.
#pragma once

#include "Entity/Texture/RenderTarget.h"

namespace ZelTest {

class FakeRenderTarget : public Zel::RenderTarget {
public:
    FakeRenderTarget() : RenderTarget(0, nullptr, 0) {}

    bool CopyToTexture(Zel::TextureBase*) override { return false; }
    IDirect3DSurface9* GetD3DSurface() const override { return surface_; }

    // The surface (no reference taken; the test keeps it alive) and the size it reports.
    void SetD3DSurface(IDirect3DSurface9* surface, int width, int height) {
        surface_ = surface;
        width_ = width;
        height_ = height;
    }

private:
    IDirect3DSurface9* surface_ = nullptr;
};

}  // namespace ZelTest
