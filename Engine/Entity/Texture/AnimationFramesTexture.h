// The common part of the animated texture kinds: a texture without device memory of its own that
// shows frame textures it holds by reference. What the device and the texture manager ask of it
// (release and rebuild around a lost device, dropping images and system copies) is passed on to
// every frame, so a frame that only an animated texture shows is not left behind.
#pragma once

#include <cstddef>

#include "Entity/Texture/TextureBase.h"

namespace Zel {

class AnimationFramesTexture : public TextureBase {
public:
    using TextureBase::TextureBase;

    virtual std::size_t GetFrameCount() const = 0;
    // Frame index, or null past the end.
    virtual TextureBase* GetFrame(std::size_t index) const = 0;

    // Passed on to every frame; true when every frame answered true.
    bool ReleaseDeviceObjects() override;
    bool RecreateDeviceObjects() override;
    // Passed on to the frames in the default pool (the others survive a reset by themselves),
    // then the refill request and reset stamp of this texture as for any render resource.
    bool OnDeviceLost() override;
    std::uint32_t OnDeviceReset() override;
    void ReleaseImage() override;
    void ReleaseSystemCopy() override;

private:
    template <class Op>
    bool ForEachFrame(Op op) const;
};

}  // namespace Zel
