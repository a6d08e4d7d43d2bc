#include "Entity/AnimationBlendTexture.h"

namespace Zel {

AnimationBlendTexture::AnimationBlendTexture(std::uint32_t pool, IDirect3DDevice9* device)
    : TextureBase(pool, device, KIND_ANIMATED_BLEND) {}

AnimationBlendTexture::~AnimationBlendTexture() = default;

void AnimationBlendTexture::AddFrame(TextureBase* texture, float duration) {
    if (texture)
        frames_.push_back({SharedPtr<TextureBase>(texture), duration});
}

TextureBase* AnimationBlendTexture::GetFrame(std::size_t index) const {
    return index < frames_.size() ? frames_[index].texture.Get() : nullptr;
}

float AnimationBlendTexture::GetFrameDuration(std::size_t index) const {
    return index < frames_.size() ? frames_[index].duration : 0.0f;
}

}  // namespace Zel
