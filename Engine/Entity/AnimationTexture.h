// An animated texture (kind 5): a list of frame textures shown one after another at a fixed
// interval. It has no device texture and no data of its own; material libraries fill its frames,
// and the texture manager makes it and deletes it before any other texture, since it holds its
// frames by reference.
//
// For now it keeps its frames and their interval; choosing the frame shown as scene time passes
// comes with character animation. Loading thread (host, or worker inside a task step).
#pragma once

#include <cstddef>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/TextureBase.h"

namespace Zel {

class AnimationTexture : public TextureBase {
public:
    // pool: the memory pool code; device: the Direct3D device (not owned; may be null).
    AnimationTexture(std::uint32_t pool, IDirect3DDevice9* device);
    // Gives back the reference of every frame.
    ~AnimationTexture() override;
    AnimationTexture(const AnimationTexture&) = delete;
    AnimationTexture& operator=(const AnimationTexture&) = delete;

    // Appends the texture to the frame list, taking one reference to it. Null is ignored.
    void AddFrame(TextureBase* texture);
    std::size_t GetFrameCount() const { return frames_.size(); }
    // Frame index, or null past the end.
    TextureBase* GetFrame(std::size_t index) const;

    // Seconds each frame is shown; 1.0 until set.
    float GetFrameTime() const { return frameTime_; }
    void SetFrameTime(float seconds) { frameTime_ = seconds; }

private:
    std::vector<SharedPtr<TextureBase>> frames_;
    float frameTime_ = 1.0f;
};

}  // namespace Zel
