#include "Entity/Texture/AnimationBlendTexture.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {

AnimationBlendTexture::AnimationBlendTexture(std::uint32_t pool, IDirect3DDevice9* device)
    : AnimationFramesTexture(pool, device, KIND_ANIMATED_BLEND) {}

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

void AnimationBlendTexture::Update() {
    if (frames_.empty()) {
        current_ = next_ = nullptr;
        blendFactor_ = 0.0f;
        return;
    }
    if (!current_)
        index_ = 0;
    if (frames_.size() == 1) {
        current_ = next_ = frames_[0].texture.Get();
        blendFactor_ = 1.0f;
        return;
    }
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const float now = scene ? scene->GetTimeValue() : 0.0f;
    if (now - lastSwitch_ > frames_[index_].duration) {
        lastSwitch_ = now;
        index_ = (index_ + 1) % frames_.size();
    }
    // The factor goes to the effect as a blend weight: a frame without a positive duration is
    // over at once rather than a division by zero, and a scene time before the last switch
    // (the clock was set back) shows the current frame alone.
    const float duration = frames_[index_].duration;
    const float passed = now - lastSwitch_;
    if (!(duration > 0.0f))
        blendFactor_ = 1.0f;
    else if (!(passed > 0.0f))
        blendFactor_ = 0.0f;
    else
        blendFactor_ = passed < duration ? passed / duration : 1.0f;
    current_ = frames_[index_].texture.Get();
    next_ = frames_[(index_ + 1) % frames_.size()].texture.Get();
}

IDirect3DTexture9* AnimationBlendTexture::GetDeviceTexture() const {
    return current_ ? current_->GetDeviceTexture() : nullptr;
}

IDirect3DBaseTexture9* AnimationBlendTexture::GetD3DBaseTexture() const {
    return current_ ? current_->GetD3DBaseTexture() : nullptr;
}

}  // namespace Zel
