// A blended animated texture (kind 6): a list of frame textures, each shown for its own duration
// while the next one is blended in. Like AnimationTexture it has no device texture of its own,
// holds its frames by reference and is deleted by the texture manager before any other texture.
//
// For now it keeps its frames and their durations; the current frame, its partner and the blend
// ratio come with character animation. Loading thread (host, or worker inside a task step).
#pragma once

#include <cstddef>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/TextureBase.h"

namespace Zel {

class AnimationBlendTexture : public TextureBase {
public:
    // pool: the memory pool code; device: the Direct3D device (not owned; may be null).
    AnimationBlendTexture(std::uint32_t pool, IDirect3DDevice9* device);
    // Gives back the reference of every frame.
    ~AnimationBlendTexture() override;
    AnimationBlendTexture(const AnimationBlendTexture&) = delete;
    AnimationBlendTexture& operator=(const AnimationBlendTexture&) = delete;

    // Appends the texture with its blend duration in seconds, taking one reference to it. Null
    // is ignored.
    void AddFrame(TextureBase* texture, float duration);
    std::size_t GetFrameCount() const { return frames_.size(); }
    // Frame index and its duration; null and 0 past the end.
    TextureBase* GetFrame(std::size_t index) const;
    float GetFrameDuration(std::size_t index) const;

private:
    struct Frame {
        SharedPtr<TextureBase> texture;
        float duration;
    };
    std::vector<Frame> frames_;
};

}  // namespace Zel
