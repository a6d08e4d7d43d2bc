// The colour-stylising post effect the render system embeds. Its four render targets follow the
// device: released when the device is lost, made again after a reset. It has no targets yet (the
// post effects bring them); the render system already calls both steps. Host thread.
#pragma once

namespace Zel {

class ColorStylizedRenderer {
public:
    ColorStylizedRenderer() = default;
    ColorStylizedRenderer(const ColorStylizedRenderer&) = delete;
    ColorStylizedRenderer& operator=(const ColorStylizedRenderer&) = delete;

    void ReleaseRenderTargets() {}
    void RecreateRenderTargets() {}
};

}  // namespace Zel
