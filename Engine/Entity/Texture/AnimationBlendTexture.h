// A blended animated texture (kind 6): a list of frame textures, each shown for its own duration
// while the next one is blended in. Like AnimationTexture it has no device texture of its own,
// holds its frames by reference and is deleted by the texture manager before any other texture.
//
// Update picks the current frame, the next one and the blend factor between them from the scene
// time; binding the texture binds the current frame. Frames are added on the loading thread (host,
// or worker inside a task step); Update and the queries run on the host.
#pragma once

#include <cstddef>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Texture/AnimationFramesTexture.h"

namespace Zel {

class AnimationBlendTexture : public AnimationFramesTexture {
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
    std::size_t GetFrameCount() const override { return frames_.size(); }
    // Frame index and its duration; null and 0 past the end.
    TextureBase* GetFrame(std::size_t index) const override;
    float GetFrameDuration(std::size_t index) const;

    // Moves on by at most one frame (cycling) once the scene time is more than the current
    // frame's duration past the last switch, then takes the next frame and the blend factor: the
    // part of the current frame's duration that has passed, from 0 to 1. A single frame is its
    // own next one with the factor 1, as is a frame without a positive duration. The scene time
    // is read from the scene manager (0 without one). Without frames nothing is shown.
    void Update() override;
    // The current frame, the one blended in after it and the blend factor since the last Update;
    // null, null and 0 before the first or without frames.
    TextureBase* GetCurrentTexture() override { return current_; }
    TextureBase* GetNextTexture() const { return next_; }
    float GetBlendFactor() const { return blendFactor_; }
    // The current frame's Direct3D texture, null while none is shown.
    IDirect3DTexture9* GetDeviceTexture() const override;
    IDirect3DBaseTexture9* GetD3DBaseTexture() const override;

private:
    struct Frame {
        SharedPtr<TextureBase> texture;
        float duration;
    };
    std::vector<Frame> frames_;
    TextureBase* current_ = nullptr;  // one of frames_
    TextureBase* next_ = nullptr;     // one of frames_
    std::size_t index_ = 0;
    float lastSwitch_ = 0.0f;  // scene time of the last switch, seconds
    float blendFactor_ = 0.0f;
};

}  // namespace Zel
