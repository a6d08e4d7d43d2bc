// One user's playback of one action: a state per bone of the action's skeleton (null for a bone
// that no track drives), holding that user's pose, time, loop and ended bits and decoder
// cursors, and the user's root-scaling switches. A channel, a model's action slots and the host's
// view of an Action each own one, so any number of them play one action at different times.
//
// Threads: the thread of its user.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Entity/Character/AnimationState.h"

namespace Zel {

class ActionResource;
class Skeleton;

class ActionSampler {
public:
    ActionSampler() = default;
    ActionSampler(const ActionSampler&) = delete;
    ActionSampler& operator=(const ActionSampler&) = delete;

    // One state per skeleton bone, made by the track that names the bone (its constants filled
    // in); bones no track names stay null. Either argument null leaves the sampler empty.
    void Bind(const ActionResource* resource, const Skeleton* skeleton);
    // No states, switches off, height factor 1.
    void Clear();
    // Exchanges the bound action and its states (not the switches) with the other sampler.
    void SwapStates(ActionSampler& other);

    // Wraps the time to the resource's length (0 when looping, else the length; the caller sees
    // the new time) and samples every bone's state at it; then the root-scaling switches apply
    // to bone 0.
    void Sample(float& time, bool loop);

    std::uint32_t GetStateCount() const { return static_cast<std::uint32_t>(states_.size()); }
    // State i; null out of range or for a bone no track drives.
    AnimationState* GetState(std::uint32_t i) const {
        return i < states_.size() ? states_[i].get() : nullptr;
    }

    // The root-scaling switches on a root position: z by the height factor, x and y by the
    // actor move scale (float global switch 0), each only while its switch is on.
    void ScaleRoot(float* position) const;

    void SetPlanarScale(bool on) { planarScale_ = on; }
    bool GetPlanarScale() const { return planarScale_; }
    void SetHeightScale(bool on) { heightScale_ = on; }
    bool GetHeightScale() const { return heightScale_; }
    void SetHeightFactor(float factor) { heightFactor_ = factor; }
    float GetHeightFactor() const { return heightFactor_; }

private:
    const ActionResource* resource_ = nullptr;
    const Skeleton* skeleton_ = nullptr;
    std::vector<std::unique_ptr<AnimationState>> states_;
    bool planarScale_ = false;
    bool heightScale_ = false;
    float heightFactor_ = 1.0f;
};

}  // namespace Zel
