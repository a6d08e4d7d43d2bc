// An animated texture (kind 5): a list of frame textures shown one after another at a fixed
// interval. It has no device texture and no data of its own; material libraries fill its frames,
// and the texture manager makes it and deletes it before any other texture, since it holds its
// frames by reference.
//
// Update picks the frame to show from the scene time; binding the texture binds that frame. Frames
// are added on the loading thread (host, or worker inside a task step); Update and the queries run
// on the host.
#pragma once

#include <cstddef>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Texture/AnimationFramesTexture.h"

namespace Zel {

class AnimationTexture : public AnimationFramesTexture {
public:
    // pool: the memory pool code; device: the Direct3D device (not owned; may be null).
    AnimationTexture(std::uint32_t pool, IDirect3DDevice9* device);
    // Gives back the reference of every frame.
    ~AnimationTexture() override;
    AnimationTexture(const AnimationTexture&) = delete;
    AnimationTexture& operator=(const AnimationTexture&) = delete;

    // Appends the texture to the frame list, taking one reference to it. Null is ignored.
    void AddFrame(TextureBase* texture);
    std::size_t GetFrameCount() const override { return frames_.size(); }
    // Frame index, or null past the end.
    TextureBase* GetFrame(std::size_t index) const override;

    // Seconds each frame is shown; 1.0 until set. The frame moves on once the scene time is more
    // than this past the last switch, so 0 moves it on whenever the scene time has advanced and
    // an infinite time (a frequency of 0) keeps the first frame.
    float GetFrameTime() const { return frameTime_; }
    void SetFrameTime(float seconds) { frameTime_ = seconds; }

    // The first call shows frame 0; later calls move on by at most one frame (cycling) when the
    // frame time has passed since the last switch; a frame time that is not above 0 keeps frame 0.
    // The scene time is read from the scene
    // manager (0 without one). Without frames nothing is shown.
    void Update() override;
    // The frame shown since the last Update; null before the first or without frames.
    TextureBase* GetCurrentTexture() override { return current_; }
    // The shown frame's Direct3D texture, null while none is shown.
    IDirect3DTexture9* GetDeviceTexture() const override;
    IDirect3DBaseTexture9* GetD3DBaseTexture() const override;

private:
    std::vector<SharedPtr<TextureBase>> frames_;
    TextureBase* current_ = nullptr;  // one of frames_
    float frameTime_ = 1.0f;
    std::size_t index_ = 0;
    float lastSwitch_ = 0.0f;  // scene time of the last switch, seconds
};

}  // namespace Zel
