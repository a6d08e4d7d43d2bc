// The playback record of one animation for one user: the last sampled position and rotation, the
// time, the loop and ended bits, and the decoder cursor of a compressed track. Every user that
// samples (an entity's animation slot, a channel's action, the host's view of an action) owns its
// own states, so two users playing one track at different times never disturb each other.
// Made by Animation::CreateAnimationState; owned by the caller.
//
// Threads: the thread of its user.
#pragma once

#include <cstdint>

#include "Core/RCInterfaceCarrier.h"
#include "Entity/Character/CompressedTrackCursor.h"

namespace ZelI {
class IAnimation;
}  // namespace ZelI

namespace Zel {

class Animation;
class Bone;

class AnimationState : public RCInterfaceCarrier<ZelI::IAnimation> {
public:
    // Flag bits.
    static constexpr std::uint32_t kLoop = 0x1;
    static constexpr std::uint32_t kEnded = 0x2;

    // Bound to the animation (not owned): position 0, rotation identity, time 0, looping.
    explicit AnimationState(Animation* animation) : animation_(animation) {}
    AnimationState(const AnimationState&) = delete;
    AnimationState& operator=(const AnimationState&) = delete;

    float* GetPosition() { return position_; }
    const float* GetPosition() const { return position_; }
    float* GetRotation() { return rotation_; }
    const float* GetRotation() const { return rotation_; }
    // The pose as a matrix (16 floats, row-major, translation in 3, 7 and 11) into out.
    void GetPoseMatrix(float* out) const;

    float GetTime() const { return time_; }
    void SetTime(float t) { time_ = t; }
    // The host's play value is the time.
    float GetPlayValue() const { return time_; }
    void SetPlayValue(float t) { time_ = t; }

    std::uint32_t GetFlags() const { return flags_; }
    bool IsLooping() const { return (flags_ & kLoop) != 0; }
    void SetLoop(bool on) { SetFlag(kLoop, on); }
    // The host's enable switch is the loop bit.
    void SetEnabled(bool on) { SetLoop(on); }
    bool HasEnded() const { return (flags_ & kEnded) != 0; }
    void SetEnded(bool on) { SetFlag(kEnded, on); }
    // Time 0, looping, not ended.
    void Restart();

    Animation* GetAnimation() const { return animation_; }
    // The decoder place of this user in a compressed track.
    CompressedTrackCursor& GetCursor() { return cursor_; }

    // Samples the animation at the time (wrapped or clamped by the track; the caller sees the
    // new time). With a bone: a bone that has a parent and is not head-flagged takes the bone's
    // local position unless the track keeps its position, and a constant track also takes the
    // bone's local rotation unless it keeps its rotation. Nothing without an animation.
    void Sample(float& time, const Bone* bone);
    // Position, rotation, time and flags into other; other keeps its animation and cursor.
    void CopyTo(AnimationState& other) const;

private:
    void SetFlag(std::uint32_t bit, bool on) { flags_ = on ? (flags_ | bit) : (flags_ & ~bit); }

    float position_[3] = {0.0f, 0.0f, 0.0f};
    float rotation_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float time_ = 0.0f;
    Animation* animation_ = nullptr;
    std::uint32_t flags_ = kLoop;
    CompressedTrackCursor cursor_;
};

}  // namespace Zel
