#include "Entity/AnimationTexture.h"

namespace Zel {

AnimationTexture::AnimationTexture(std::uint32_t pool, IDirect3DDevice9* device)
    : TextureBase(pool, device, KIND_ANIMATED) {}

AnimationTexture::~AnimationTexture() = default;

void AnimationTexture::AddFrame(TextureBase* texture) {
    if (texture)
        frames_.emplace_back(texture);
}

TextureBase* AnimationTexture::GetFrame(std::size_t index) const {
    return index < frames_.size() ? frames_[index].Get() : nullptr;
}

}  // namespace Zel
