// The playback state of one animation (one bone's track or an entity's own animation): its
// sampled position and rotation, its time and its flags. A wrapper that is not bound does nothing
// and answers 0. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IAnimation : public IObject {
public:
    // Reserved: does nothing.
    virtual void Reserved5() = 0;
    // The last sampled position (3 floats) and rotation (4 floats, x y z w), owned by the state.
    virtual const float* GetPosition() = 0;
    virtual const float* GetRotation() = 0;
    // Reserved: does nothing.
    virtual void Reserved8() = 0;
    // Samples the animation at the time (seconds); the pose stays in the state.
    virtual void Sample(float seconds) = 0;
    // The animation's position and rotation key counts.
    virtual std::uint32_t GetPositionKeyCount() = 0;
    virtual std::uint32_t GetRotationKeyCount() = 0;
    // Writes (0, 0, 0) into out; the index is not read.
    virtual void GetKeyPosition(std::uint32_t index, float* out) = 0;
    // Writes (0, 0, 0, 1) into out; the index is not read.
    virtual void GetKeyRotation(std::uint32_t index, float* out) = 0;
    // The animation's length in seconds.
    virtual float GetLength() = 0;
    // The play value: the current time, seconds.
    virtual float GetPlayValue() = 0;
    // Reserved: answer 0.
    virtual std::int32_t Reserved16() = 0;
    virtual std::int32_t Reserved17() = 0;
    // Time 0, playing, not ended.
    virtual void Restart() = 0;
    // Any value other than 0 switches playing on.
    virtual void SetEnabled(std::int32_t on) = 0;

protected:
    ~IAnimation() override = default;
};

}  // namespace ZelI
