// The resource of one animated transform: the pose a track falls back on where it has no keys
// (base position, scale and rotation) and the index of the scene object it animates. AnimationTrack
// holds the keys. Created by AnimationManager (or by a geometry built from a text scene, which
// names it after its file and object); held by SharedPtr. Loading thread for its load, host thread
// otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "Core/CResource.h"

namespace Zel {

class AnimationState;

class Animation : public CResource {
public:
    // The CResource part from the arguments; base position 0, scale 1, rotation identity.
    Animation(CResourceManager* manager, std::string_view name, std::string_view group,
              std::uint32_t handle);
    ~Animation() override;
    ZEL_CLASS_ID(Animation)

    // A new state bound to this animation (position 0, rotation identity, time 0, looping, not
    // ended); the caller owns it.
    virtual std::unique_ptr<AnimationState> CreateAnimationState();

    // The track's length in seconds.
    virtual float GetLength() const = 0;
    virtual std::uint32_t GetPositionKeyCount() const = 0;
    virtual std::uint32_t GetRotationKeyCount() const = 0;
    // Writes the base position into the state when the track animates no position, and the base
    // rotation when it animates no rotation.
    virtual void FillConstants(AnimationState& state) const = 0;
    // The position at the first and at the last frame (3 floats); the base position without
    // position keys.
    virtual void GetFirstPosition(float* out) const = 0;
    virtual void GetLastPosition(float* out) const = 0;
    // No keys: the base pose holds and sampling leaves the state alone.
    virtual bool IsConstant() const = 0;
    // The sampled position wins over a bone's local position.
    virtual bool KeepsPosition() const = 0;
    // A constant track's rotation wins over a bone's local rotation.
    virtual bool KeepsRotation() const = 0;
    // Samples the track at the time into the state; the time is wrapped or clamped to the track
    // and written back.
    virtual void Evaluate(float& time, AnimationState& state) = 0;

    float* GetBasePosition() { return basePosition_; }
    float* GetBaseScale() { return baseScale_; }
    float* GetBaseRotation() { return baseRotation_; }
    const float* GetBasePosition() const { return basePosition_; }
    const float* GetBaseScale() const { return baseScale_; }
    const float* GetBaseRotation() const { return baseRotation_; }
    // Sets the three base values (3, 3 and 4 floats).
    void SetBaseTransform(const float* position, const float* rotation, const float* scale);
    // The scene object (its position in the scene's object list) this animation moves.
    std::uint32_t GetObjectIndex() const { return objectIndex_; }
    void SetObjectIndex(std::uint32_t index) { objectIndex_ = index; }

private:
    float basePosition_[3] = {0.0f, 0.0f, 0.0f};
    float baseScale_[3] = {1.0f, 1.0f, 1.0f};
    float baseRotation_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::uint32_t objectIndex_ = 0;
};

}  // namespace Zel
