// One animation layer of a skeleton model: which actions play, at which times and with which mix.
// The owner advances it every frame (Update) and then asks it bone by bone for a pose
// (SampleBone), weighing the channels by their layer weights. The channel plays its actions
// through samplers of its own, so other channels and models playing the same actions never
// disturb it. Action names resolve through the owner (ActionOwner).
//
// States: 0 a still pose; 1 a fixed mix of two actions; 2 a timed cross-fade through a list of
// poses; 3 a list played back to back; 4 one action; 5 one action cross-fading into the next
// near its end; 6 a sequence played back to back; 7 a sequence finishing before the pending list
// takes over; 8 nothing plays (bind pose).
//
// Root motion, for the owner: RootMotionInProgress (flag 16), PendingActionReady (state 5 with a
// next action), the root target (the owner sets flag 128 with RequestRootTarget; SetRootTarget
// stores a target only while it is set and clears it) and the applied offset, folded into the
// accumulated root offset when a cross-fade ends or an action is played during one.
//
// Threads: the host thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Core/RCInterfaceCarrier.h"
#include "Core/SharedPtr.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionSampler.h"

namespace ZelI {
class IAnimationChannel;
}  // namespace ZelI

namespace Zel {

class ActionOwner;
class Bone;

class AnimationChannel : public RCInterfaceCarrier<ZelI::IAnimationChannel> {
public:
    enum State : std::uint32_t {
        kPose = 0,
        kBlend = 1,
        kCrossFadeList = 2,
        kList = 3,
        kSingle = 4,
        kNext = 5,
        kSequence = 6,
        kQueued = 7,
        kIdle = 8,
    };
    // Flag bits.
    static constexpr std::uint32_t kLoop = 1;
    static constexpr std::uint32_t kStopped = 2;
    static constexpr std::uint32_t kOverride = 4;
    static constexpr std::uint32_t kTimeRunsInBlendIn = 8;
    static constexpr std::uint32_t kCrossFading = 16;
    static constexpr std::uint32_t kBlendingIn = 32;
    static constexpr std::uint32_t kNextLoop = 64;
    static constexpr std::uint32_t kRootTargetWanted = 128;
    // Mode bits.
    static constexpr std::uint32_t kModeTimeInBlendIn = 1;
    static constexpr std::uint32_t kModePlayTimeInCrossFade = 2;
    static constexpr std::uint32_t kModeAccumulateRoot = 4;
    static constexpr std::uint32_t kModeNoBindCorrection = 8;
    // The lookup mode that resolves names through the owner's action trees.
    static constexpr int kTreeLookup = 1;
    // The time at which still poses and blends are sampled.
    static constexpr float kPoseTime = 0.5f;

    // State 8, no actions, weights 0.5, layer weight 0.25, blend-in time 0.3, mode 3 with flag 8.
    explicit AnimationChannel(ActionOwner* owner = nullptr);
    AnimationChannel(const AnimationChannel&) = delete;
    AnimationChannel& operator=(const AnimationChannel&) = delete;

    void SetOwner(ActionOwner* owner);
    ActionOwner* GetOwner() const { return owner_; }

    // Each answers 0 on success and 1 when the name does not resolve (SetBlendActions 3 for an
    // index above 1).
    int PlayAction(std::string_view name, bool loop, int mode);
    int SetNextAction(std::string_view name, bool loop, int mode);
    int SetPose(std::string_view name);
    int SetBlendActions(std::uint32_t index, std::string_view name, float weight);
    // durations[i] (seconds) is the fade from pose i into pose i + 1; one fewer than the names.
    void PlayCrossFadeList(const std::vector<std::string>& names,
                           const std::vector<float>& durations, bool loop);
    void PlaySequence(const std::vector<std::string>& names, bool loop);
    void PlaySequenceLoop(const std::vector<std::string>& names, bool loop);
    void QueueSequence(const std::vector<std::string>& names, bool loop);
    // Releases everything and enters state 8; mode word and the two times stay.
    void Reset();
    void SetPlayTime(float t);

    void Update(float dt);
    // The pose of bone i (position 3 floats, rotation x, y, z, w); the bind pose for a bone no
    // action drives. Answers whether an action drives it.
    bool SampleBone(std::uint32_t i, float* position, float* rotation);
    // Whether the channel's actions shape bone i (see the model blend).
    bool ContributesToBone(std::uint32_t i) const;

    State GetState() const { return state_; }
    std::uint32_t GetFlags() const { return flags_; }
    void SetOverride(bool on) { SetFlag(kOverride, on); }
    Action* GetCurrentAction() const;
    Action* GetNextAction() const { return next_.Get(); }
    std::string GetCurrentActionName() const;
    std::string GetNextActionName() const;
    float GetTotalLength() const;
    float GetPlayTime() const;
    float GetActionTime() const { return actionTime_; }
    float GetEntryLength() const { return entryLength_; }
    std::uint32_t GetEntryIndex() const { return entryIndex_; }
    // -1 outside state 7 without a next action, else the loop setting for what comes next.
    int GetNextLoop() const;
    float GetBlendInFactor() const;
    float GetMix() const { return mix_; }
    float GetCrossFadeCountdown() const { return crossFadeCountdown_; }
    float GetBlendInCountdown() const { return blendInCountdown_; }

    void SetLayerWeight(float w) { layerWeight_ = w; }
    float GetLayerWeight() const { return layerWeight_; }
    void SetMode(std::uint32_t mode);
    std::uint32_t GetMode() const { return mode_; }
    void SetCrossFadeTime(float t) { crossFadeTime_ = t; }
    float GetCrossFadeTime() const { return crossFadeTime_; }
    void SetBlendInTime(float t) { blendInTime_ = t; }
    float GetBlendInTime() const { return blendInTime_; }
    void SetSelection(std::uint32_t word) { selection_ = word; }
    std::uint32_t GetSelection() const { return selection_; }

    // Root motion.
    bool RootMotionInProgress() const { return (flags_ & kCrossFading) != 0; }
    bool PendingActionReady() const { return state_ == kNext && next_; }
    void RequestRootTarget() { flags_ |= kRootTargetWanted; }
    void SetRootTarget(const float* target);
    const float* GetRootTarget() const { return rootTarget_; }
    const float* GetAppliedOffset() const { return appliedOffset_; }
    void SetAppliedOffset(const float* offset);
    const float* GetAccumulatedRoot() const { return accumulatedRoot_; }
    const float* GetRootStart() const { return rootStart_; }

    // The samplers of the current and the next action (their root-scaling switches).
    ActionSampler& GetCurrentSampler() { return currentSampler_; }
    ActionSampler& GetNextSampler() { return nextSampler_; }

private:
    void SetFlag(std::uint32_t bit, bool on) { flags_ = on ? (flags_ | bit) : (flags_ & ~bit); }
    Action* Resolve(std::string_view name, int mode);
    std::vector<SharedPtr<Action>> ResolveAll(const std::vector<std::string>& names);
    void SetCurrent(Action* action);
    void SetNext(Action* action);
    void ReleaseBoth();
    void SampleCurrent(float t);
    void SampleNext(float t);
    void BeginAction();
    void TakeRootStart();
    void FoldAppliedOffset();
    void Idle();
    // Wraps the action time into the entry length and gives the play time its value.
    void WrapTimes();
    void AdvanceTimes(float dt);
    void StepSingle();
    void StepNext(bool fadeEnded);
    void StepEntries();
    void StepCrossFadeList(float dt);
    void StartSequence(std::vector<SharedPtr<Action>>& target,
                       const std::vector<std::string>& names, bool loop, State several);
    const Bone* BoneAt(std::uint32_t i) const;

    State state_ = kIdle;
    ActionOwner* owner_ = nullptr;
    SharedPtr<Action> current_;
    SharedPtr<Action> next_;
    ActionSampler currentSampler_;
    ActionSampler nextSampler_;
    float weightA_ = 0.5f;
    float weightB_ = 0.5f;
    float mix_ = 0.0f;
    std::uint32_t entryIndex_ = 0;
    float entryLength_ = 0.0f;
    std::vector<SharedPtr<Action>> list_;
    std::vector<SharedPtr<Action>> sequence_;
    std::vector<SharedPtr<Action>> pending_;
    std::vector<float> entryLengths_;
    float actionTime_ = 0.0f;
    float playTime_ = 0.0f;
    float crossFadeTime_ = 0.0f;
    float blendInTime_ = 0.3f;
    float crossFadeCountdown_ = 0.0f;
    float blendInCountdown_ = 0.0f;
    std::uint32_t flags_ = kTimeRunsInBlendIn;
    float layerWeight_ = 0.25f;
    std::uint32_t selection_ = 0;
    float lastElapsed_ = 0.0f;
    std::uint32_t mode_ = kModeTimeInBlendIn | kModePlayTimeInCrossFade;
    float accumulatedRoot_[3] = {};
    float rootStart_[3] = {};
    float rootStep_[3] = {};
    float rootTarget_[3] = {};
    float appliedOffset_[3] = {};
};

}  // namespace Zel
