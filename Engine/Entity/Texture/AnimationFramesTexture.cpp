#include "Entity/Texture/AnimationFramesTexture.h"

namespace Zel {

template <class Op>
bool AnimationFramesTexture::ForEachFrame(Op op) const {
    bool all = true;
    for (std::size_t i = 0; i < GetFrameCount(); ++i)
        if (TextureBase* frame = GetFrame(i))
            all = op(*frame) && all;
    return all;
}

bool AnimationFramesTexture::ReleaseDeviceObjects() {
    return ForEachFrame([](TextureBase& frame) { return frame.ReleaseDeviceObjects(); });
}

bool AnimationFramesTexture::RecreateDeviceObjects() {
    return ForEachFrame([](TextureBase& frame) { return frame.RecreateDeviceObjects(); });
}

bool AnimationFramesTexture::OnDeviceLost() {
    ForEachFrame([](TextureBase& frame) { return !frame.IsDefaultPool() || frame.OnDeviceLost(); });
    MarkRefill();
    return true;
}

std::uint32_t AnimationFramesTexture::OnDeviceReset() {
    ForEachFrame([](TextureBase& frame) {
        if (frame.IsDefaultPool())
            frame.OnDeviceReset();
        return true;
    });
    MarkRefill();
    return StampReset();
}

void AnimationFramesTexture::ReleaseImage() {
    ForEachFrame([](TextureBase& frame) {
        frame.ReleaseImage();
        return true;
    });
    TextureBase::ReleaseImage();
}

void AnimationFramesTexture::ReleaseSystemCopy() {
    ForEachFrame([](TextureBase& frame) {
        frame.ReleaseSystemCopy();
        return true;
    });
}

}  // namespace Zel
