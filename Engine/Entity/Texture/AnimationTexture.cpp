#include "Entity/Texture/AnimationTexture.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {

AnimationTexture::AnimationTexture(std::uint32_t pool, IDirect3DDevice9* device)
    : AnimationFramesTexture(pool, device, KIND_ANIMATED) {}

AnimationTexture::~AnimationTexture() = default;

void AnimationTexture::AddFrame(TextureBase* texture) {
    if (texture)
        frames_.emplace_back(texture);
}

TextureBase* AnimationTexture::GetFrame(std::size_t index) const {
    return index < frames_.size() ? frames_[index].Get() : nullptr;
}

void AnimationTexture::Update() {
    if (frames_.empty()) {
        current_ = nullptr;
        return;
    }
    if (!current_ || !(frameTime_ > 0.0f)) {
        // Timing keeps counting from the last switch (0 at first), so the next update usually
        // moves on at once. A frame time of 0 (the material readers' "no frequency"), below 0 or
        // NaN is no animation: the first frame stays.
        if (!current_)
            index_ = 0;
    } else {
        const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        const float now = scene ? scene->GetTimeValue() : 0.0f;
        if (now - lastSwitch_ > frameTime_) {
            index_ = (index_ + 1) % frames_.size();
            lastSwitch_ = now;
        }
    }
    current_ = frames_[index_].Get();
}

IDirect3DTexture9* AnimationTexture::GetDeviceTexture() const {
    return current_ ? current_->GetDeviceTexture() : nullptr;
}

IDirect3DBaseTexture9* AnimationTexture::GetD3DBaseTexture() const {
    return current_ ? current_->GetD3DBaseTexture() : nullptr;
}

}  // namespace Zel
