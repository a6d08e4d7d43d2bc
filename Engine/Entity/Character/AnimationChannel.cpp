#include "Entity/Character/AnimationChannel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/Animation.h"
#include "Math/Quaternion.h"

namespace Zel {

namespace {

float Clamp01(float v) {
    return v > 0.0f ? std::min(v, 1.0f) : 0.0f;
}

// t wrapped into [0, length) when looping, else clamped to [0, length]; 0 for a length of 0.
float FitTime(float t, float length, bool loop) {
    if (!(length > 0.0f) || !(t > 0.0f))
        return 0.0f;
    if (!loop)
        return std::min(t, length);
    const float wrapped = std::fmod(t, length);
    return wrapped > 0.0f ? wrapped : 0.0f;
}

// Whether the state's track shapes its bone: a moving track, or a constant one that keeps its
// rotation.
bool Shapes(const AnimationState* state) {
    const Animation* track = state ? state->GetAnimation() : nullptr;
    return track && (!track->IsConstant() || track->KeepsRotation());
}

float Sum(const std::vector<float>& values, std::size_t count) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < count && i < values.size(); ++i) sum += values[i];
    return sum;
}

}  // namespace

AnimationChannel::AnimationChannel(ActionOwner* owner) : owner_(owner) {}

void AnimationChannel::SetOwner(ActionOwner* owner) {
    owner_ = owner;
}

Action* AnimationChannel::Resolve(std::string_view name, int mode) {
    if (!owner_)
        return nullptr;
    Action* action = mode == kTreeLookup ? owner_->FindTreeAction(name) : owner_->FindAction(name);
    if (!action && mode == kTreeLookup) {
        const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
        DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper);
        if (reporter && !(config && config->NoActionLoad())) {
            const std::string text(name);
            reporter->Error("立即设置动作失败,动作名为%s!", text.c_str());
        }
    }
    return action;
}

std::vector<SharedPtr<Action>> AnimationChannel::ResolveAll(const std::vector<std::string>& names) {
    std::vector<SharedPtr<Action>> found;
    for (const std::string& name : names) {
        if (Action* action = Resolve(name, 0))
            found.emplace_back(action);
    }
    return found;
}

void AnimationChannel::SetCurrent(Action* action) {
    if (current_.Get() == action && action)
        return;
    current_.Assign(action);
    currentSampler_.Bind(action ? action->GetResource() : nullptr,
                         action ? action->GetSkeleton() : nullptr);
    if (action)
        action->ApplyRootScaling(currentSampler_);
}

void AnimationChannel::SetNext(Action* action) {
    if (next_.Get() == action && action)
        return;
    next_.Assign(action);
    nextSampler_.Bind(action ? action->GetResource() : nullptr,
                      action ? action->GetSkeleton() : nullptr);
    if (action)
        action->ApplyRootScaling(nextSampler_);
}

void AnimationChannel::ReleaseBoth() {
    SetCurrent(nullptr);
    SetNext(nullptr);
}

void AnimationChannel::SampleCurrent(float t) {
    if (current_)
        currentSampler_.Sample(t, current_->IsLooping());
}

void AnimationChannel::SampleNext(float t) {
    if (next_)
        nextSampler_.Sample(t, next_->IsLooping());
}

void AnimationChannel::Idle() {
    state_ = kIdle;
    ReleaseBoth();
    weightA_ = weightB_ = 0.5f;
    mix_ = 0.0f;
}

const Bone* AnimationChannel::BoneAt(std::uint32_t i) const {
    const Skeleton* skeleton = owner_ ? owner_->GetSkeleton() : nullptr;
    if (!skeleton && current_)
        skeleton = current_->GetSkeleton();
    return skeleton ? skeleton->GetBone(i) : nullptr;
}

int AnimationChannel::PlayAction(std::string_view name, bool loop, int mode) {
    SetFlag(kStopped, false);
    SetFlag(kLoop, loop);
    Action* action = Resolve(name, mode);
    if (!action) {
        state_ = kIdle;
        SetCurrent(nullptr);
        return 1;
    }
    state_ = kSingle;
    if ((flags_ & kCrossFading) && action == next_.Get() && action != current_.Get()) {
        // The action being faded in keeps its sampled states.
        current_ = next_;
        currentSampler_.SwapStates(nextSampler_);
        if (current_)
            current_->ApplyRootScaling(currentSampler_);
    }
    SetCurrent(action);
    entryLength_ = action->GetLength();
    actionTime_ = playTime_ = 0.0f;
    float blendIn = blendInTime_;
    if (flags_ & kCrossFading) {
        if (action == next_.Get()) {
            SetNext(nullptr);
            blendIn = std::min(blendInTime_, crossFadeCountdown_);
        }
        FoldAppliedOffset();
    }
    BeginAction();
    if (crossFadeTime_ == 0.0f && blendInTime_ == 0.0f)
        std::copy(rootStart_, rootStart_ + 3, accumulatedRoot_);
    blendInCountdown_ = blendIn;
    return 0;
}

int AnimationChannel::SetNextAction(std::string_view name, bool loop, int mode) {
    if (flags_ & kStopped)
        return PlayAction(name, loop, mode);
    if (state_ != kSequence && state_ != kQueued) {
        if (flags_ & kCrossFading)
            return 1;
        Action* action = Resolve(name, mode);
        if (!action)
            return 1;
        state_ = kNext;
        SetNext(action);
        crossFadeCountdown_ = std::min(crossFadeTime_, entryLength_ - actionTime_);
        SetFlag(kNextLoop, loop);
        return 0;
    }
    if (Action* action = Resolve(name, mode)) {
        pending_.clear();
        pending_.emplace_back(action);
        state_ = kQueued;
    }
    return 0;
}

int AnimationChannel::SetPose(std::string_view name) {
    Action* action = Resolve(name, 0);
    if (!action) {
        state_ = kIdle;
        SetCurrent(nullptr);
        return 1;
    }
    SetCurrent(action);
    SampleCurrent(kPoseTime);
    weightA_ = weightB_ = 0.0f;
    state_ = kPose;
    return 0;
}

int AnimationChannel::SetBlendActions(std::uint32_t index, std::string_view name, float weight) {
    if (index > 1)
        return 3;
    state_ = kBlend;
    Action* action = Resolve(name, 0);
    if (index == 0) {
        SetCurrent(action);
        weightA_ = action ? weight : 0.0f;
        SampleCurrent(kPoseTime);
    } else {
        SetNext(action);
        weightB_ = action ? weight : 0.0f;
        SampleNext(kPoseTime);
    }
    return action ? 0 : 1;
}

void AnimationChannel::PlayCrossFadeList(const std::vector<std::string>& names,
                                         const std::vector<float>& durations, bool loop) {
    SetFlag(kLoop, loop);
    SetFlag(kStopped, false);
    list_.clear();
    entryLengths_.clear();
    entryIndex_ = 0;
    entryLength_ = actionTime_ = playTime_ = 0.0f;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        if (Action* action = Resolve(names[i], 0)) {
            list_.emplace_back(action);
            entryLengths_.push_back(i < durations.size() ? durations[i] : 0.0f);
        }
    }
    if (!names.empty()) {
        if (Action* action = Resolve(names.back(), 0))
            list_.emplace_back(action);
    }
    if (list_.empty()) {
        Idle();
        return;
    }
    entryLength_ = entryLengths_.empty() ? 0.0f : entryLengths_.front();
    // Every entry, the last one too, shows its pose at time 0 as this channel sampled it.
    SetCurrent(list_[0].Get());
    SampleCurrent(0.0f);
    if (list_.size() == 1) {
        state_ = kPose;
        return;
    }
    state_ = kCrossFadeList;
    SetNext(list_[1].Get());
    SampleNext(0.0f);
}

void AnimationChannel::StartSequence(std::vector<SharedPtr<Action>>& target,
                                     const std::vector<std::string>& names, bool loop,
                                     State several) {
    SetFlag(kLoop, loop);
    SetFlag(kStopped, false);
    target = ResolveAll(names);
    entryLengths_.clear();
    for (const SharedPtr<Action>& action : target) entryLengths_.push_back(action->GetLength());
    if (target.empty()) {
        Idle();
        return;
    }
    entryIndex_ = 0;
    actionTime_ = playTime_ = 0.0f;
    SetCurrent(target[0].Get());
    entryLength_ = entryLengths_[0];
    state_ = target.size() == 1 ? kSingle : several;
    BeginAction();
}

void AnimationChannel::PlaySequence(const std::vector<std::string>& names, bool loop) {
    StartSequence(list_, names, loop, kList);
}

void AnimationChannel::PlaySequenceLoop(const std::vector<std::string>& names, bool loop) {
    StartSequence(sequence_, names, loop, kSequence);
}

void AnimationChannel::QueueSequence(const std::vector<std::string>& names, bool loop) {
    sequence_.clear();
    entryLengths_.clear();
    if (current_) {
        sequence_.push_back(current_);
        entryLengths_.push_back(current_->GetLength());
    }
    entryIndex_ = 0;
    SetFlag(kNextLoop, loop);
    pending_ = ResolveAll(names);
    SetFlag(kStopped, false);
    if (!pending_.empty())
        state_ = kQueued;
}

void AnimationChannel::Reset() {
    Idle();
    list_.clear();
    sequence_.clear();
    pending_.clear();
    entryLengths_.clear();
    crossFadeCountdown_ = blendInCountdown_ = 0.0f;
    flags_ = 0;
    lastElapsed_ = 0.0f;
    layerWeight_ = 0.25f;
}

void AnimationChannel::SetPlayTime(float t) {
    const bool loop = (flags_ & kLoop) != 0;
    if (state_ == kCrossFadeList || state_ == kList || state_ == kSingle) {
        actionTime_ = playTime_ = FitTime(t, entryLength_, loop);
        return;
    }
    if (state_ != kSequence || sequence_.empty())
        return;
    t = FitTime(t, Sum(entryLengths_, entryLengths_.size()), loop);
    std::size_t index = 0;
    while (index + 1 < sequence_.size() && t > entryLengths_[index]) {
        t -= entryLengths_[index];
        ++index;
    }
    actionTime_ = playTime_ = t;
    entryIndex_ = static_cast<std::uint32_t>(index);
    SetCurrent(sequence_[index].Get());
    entryLength_ = entryLengths_[index];
    BeginAction();
}

void AnimationChannel::Update(float dt) {
    lastElapsed_ = dt;
    bool fadeEnded = false;
    if (flags_ & kCrossFading) {
        crossFadeCountdown_ -= dt;
        if (!(crossFadeCountdown_ > 0.0f)) {
            crossFadeCountdown_ = 0.0f;
            SetFlag(kCrossFading, false);
            FoldAppliedOffset();
            fadeEnded = true;
        }
    } else if (flags_ & kBlendingIn) {
        blendInCountdown_ -= dt;
        if (!(blendInCountdown_ > 0.0f)) {
            blendInCountdown_ = 0.0f;
            SetFlag(kBlendingIn, false);
        }
    }
    switch (state_) {
        case kPose:
            std::fill(rootStep_, rootStep_ + 3, 0.0f);
            return;
        case kBlend:
            mix_ = weightA_ + weightB_ > 0.0f ? weightA_ / (weightA_ + weightB_) : 0.5f;
            return;
        case kCrossFadeList:
            if (!list_.empty() && !(flags_ & kStopped))
                StepCrossFadeList(dt);
            return;
        case kIdle:
            return;
        default:
            break;
    }
    if (flags_ & kStopped)
        return;
    AdvanceTimes(dt);
    if (state_ == kSingle)
        StepSingle();
    else if (state_ == kNext)
        StepNext(fadeEnded);
    else
        StepEntries();
}

void AnimationChannel::AdvanceTimes(float dt) {
    SampleCurrent(playTime_ + dt);
    if (state_ == kNext)
        SampleNext(0.0f);
    if ((flags_ & kBlendingIn) && !(flags_ & kTimeRunsInBlendIn))
        return;
    actionTime_ += dt;
    if (!(flags_ & kCrossFading) || (mode_ & kModePlayTimeInCrossFade))
        playTime_ += dt;
}

void AnimationChannel::WrapTimes() {
    actionTime_ = FitTime(actionTime_, entryLength_, true);
    playTime_ = actionTime_;
}

void AnimationChannel::StepSingle() {
    if (!(actionTime_ > entryLength_))
        return;
    if (flags_ & kLoop) {
        WrapTimes();
    } else {
        SetFlag(kStopped, true);
        SetCurrent(nullptr);
        entryLength_ = actionTime_ = playTime_ = 0.0f;
    }
    BeginAction();
}

void AnimationChannel::StepNext(bool fadeEnded) {
    const float remaining = entryLength_ - actionTime_;
    // A finished cross-fade hands over at once: the times that end the fade and the action
    // differ by rounding, and the current pose must not come back for a frame in between.
    if (!(remaining > 0.0f) || fadeEnded) {
        // The next action's states, sampled at time 0 this frame, carry on as the current ones.
        current_ = next_;
        currentSampler_.SwapStates(nextSampler_);
        if (current_)
            current_->ApplyRootScaling(currentSampler_);
        SetNext(nullptr);
        SetFlag(kLoop, (flags_ & kNextLoop) != 0);
        actionTime_ = playTime_ = 0.0f;
        entryLength_ = current_ ? current_->GetLength() : 0.0f;
        state_ = kSingle;
        TakeRootStart();
        return;
    }
    if (remaining <= crossFadeTime_ && !(flags_ & kCrossFading) && crossFadeTime_ > 0.0f) {
        SetFlag(kBlendingIn, false);
        SetFlag(kCrossFading, true);
        crossFadeCountdown_ = std::min(crossFadeTime_, remaining);
    }
}

void AnimationChannel::StepEntries() {
    std::vector<SharedPtr<Action>>& entries = state_ == kList ? list_ : sequence_;
    if (actionTime_ < entryLength_)
        return;
    WrapTimes();
    ++entryIndex_;
    if (entryIndex_ >= entries.size() && state_ == kQueued) {
        entryIndex_ = 0;
        state_ = kSequence;
        SetFlag(kLoop, (flags_ & kNextLoop) != 0);
        sequence_ = std::move(pending_);
        pending_.clear();
        entryLengths_.clear();
        for (const SharedPtr<Action>& action : sequence_)
            entryLengths_.push_back(action->GetLength());
        if (sequence_.empty()) {
            Idle();
            return;
        }
    } else if (entryIndex_ >= entries.size()) {
        if (flags_ & kLoop) {
            entryIndex_ = 0;
        } else {
            actionTime_ = playTime_ = 0.0f;
            entries.clear();
            entryLengths_.clear();
            ReleaseBoth();
            SetFlag(kStopped, true);
            entryLength_ = 0.0f;
            BeginAction();
            return;
        }
    }
    SetCurrent(entries[entryIndex_].Get());
    entryLength_ = entryIndex_ < entryLengths_.size() ? entryLengths_[entryIndex_] : 0.0f;
    BeginAction();
}

void AnimationChannel::StepCrossFadeList(float dt) {
    mix_ = entryLength_ > 0.0f ? Clamp01(1.0f - actionTime_ / entryLength_) : 0.0f;
    actionTime_ += dt;
    playTime_ += dt;
    if (actionTime_ < entryLength_)
        return;
    WrapTimes();
    ++entryIndex_;
    if (entryIndex_ + 1 >= list_.size()) {
        if (!(flags_ & kLoop)) {
            list_.clear();
            entryLengths_.clear();
            ReleaseBoth();
            SetFlag(kStopped, true);
            mix_ = actionTime_ = playTime_ = 0.0f;
            return;
        }
        entryIndex_ = 0;
    }
    mix_ = 1.0f;
    entryLength_ = entryIndex_ < entryLengths_.size() ? entryLengths_[entryIndex_] : 0.0f;
    SetCurrent(list_[entryIndex_].Get());
    SetNext(list_[entryIndex_ + 1].Get());
    SampleCurrent(0.0f);
    SampleNext(0.0f);
}

void AnimationChannel::BeginAction() {
    if (blendInTime_ > 0.0f) {
        SetFlag(kBlendingIn, true);
        SetFlag(kCrossFading, false);
        blendInCountdown_ = std::min(blendInTime_, entryLength_);
    }
    TakeRootStart();
}

void AnimationChannel::TakeRootStart() {
    const Bone* root = BoneAt(0);
    const AnimationState* rootState = current_ ? currentSampler_.GetState(0) : nullptr;
    std::fill(rootStart_, rootStart_ + 3, 0.0f);
    if (rootState && rootState->GetAnimation()) {
        rootState->GetAnimation()->GetFirstPosition(rootStart_);
        currentSampler_.ScaleRoot(rootStart_);
    } else if (root) {
        std::copy(root->GetLocalPosition(), root->GetLocalPosition() + 3, rootStart_);
    }
    std::fill(rootStep_, rootStep_ + 3, 0.0f);
    if (!(mode_ & kModeAccumulateRoot)) {
        std::copy(rootStart_, rootStart_ + 3, accumulatedRoot_);
        return;
    }
    if (!(mode_ & kModeNoBindCorrection)) {
        for (int k = 0; k < 2; ++k)
            accumulatedRoot_[k] += rootStart_[k] - (root ? root->GetLocalPosition()[k] : 0.0f);
    }
    accumulatedRoot_[2] = rootStart_[2];
}

void AnimationChannel::FoldAppliedOffset() {
    for (int k = 0; k < 3; ++k) {
        accumulatedRoot_[k] += appliedOffset_[k];
        appliedOffset_[k] = 0.0f;
    }
}

bool AnimationChannel::SampleBone(std::uint32_t i, float* position, float* rotation) {
    const Bone* bone = BoneAt(i);
    const auto poseOf = [&](const ActionSampler& sampler, const Action* action, float* p,
                            float* r) {
        const AnimationState* state = action ? sampler.GetState(i) : nullptr;
        if (state) {
            std::copy(state->GetPosition(), state->GetPosition() + 3, p);
            std::copy(state->GetRotation(), state->GetRotation() + 4, r);
            return true;
        }
        if (bone) {
            std::copy(bone->GetLocalPosition(), bone->GetLocalPosition() + 3, p);
            std::copy(bone->GetLocalRotation(), bone->GetLocalRotation() + 4, r);
        } else {
            std::fill(p, p + 3, 0.0f);
            r[0] = r[1] = r[2] = 0.0f;
            r[3] = 1.0f;
        }
        return false;
    };
    // w is the current action's share.
    const auto blend = [&](float w) {
        float p[3], r[4];
        const bool a = poseOf(currentSampler_, current_.Get(), position, rotation);
        const bool b = poseOf(nextSampler_, next_.Get(), p, r);
        for (int k = 0; k < 3; ++k) position[k] = w * position[k] + (1.0f - w) * p[k];
        Quaternion::Slerp(rotation, rotation, r, 1.0f - w);
        return a || b;
    };
    switch (state_) {
        case kBlend:
        case kCrossFadeList:
            return blend(mix_);
        case kNext: {
            if (!(flags_ & kCrossFading))
                return poseOf(currentSampler_, current_.Get(), position, rotation);
            // A cross-fade time of 0 switches at once.
            const float f =
                crossFadeTime_ > 0.0f ? Clamp01(crossFadeCountdown_ / crossFadeTime_) : 0.0f;
            const bool driven = blend(f);
            if (i == 0)
                std::copy(position, position + 3, accumulatedRoot_);
            return driven;
        }
        case kIdle:
            poseOf(currentSampler_, nullptr, position, rotation);
            return false;
        default:
            return poseOf(currentSampler_, current_.Get(), position, rotation);
    }
}

bool AnimationChannel::ContributesToBone(std::uint32_t i) const {
    if (state_ == kIdle || !current_)
        return false;
    if (const AnimationState* state = currentSampler_.GetState(i)) {
        if (Shapes(state) || ((flags_ & kBlendingIn) && selection_ == 0))
            return true;
    }
    if ((state_ == kBlend || state_ == kCrossFadeList) && next_)
        return Shapes(nextSampler_.GetState(i));
    return false;
}

Action* AnimationChannel::GetCurrentAction() const {
    return current_.Get();
}

std::string AnimationChannel::GetCurrentActionName() const {
    return current_ ? current_->GetName() : std::string();
}

std::string AnimationChannel::GetNextActionName() const {
    if (state_ == kQueued)
        return pending_.empty() ? std::string() : pending_.front()->GetName();
    return next_ ? next_->GetName() : std::string();
}

float AnimationChannel::GetTotalLength() const {
    if (state_ == kSequence || state_ == kQueued)
        return Sum(entryLengths_, entryLengths_.size());
    return entryLength_;
}

float AnimationChannel::GetPlayTime() const {
    if (state_ == kSequence || state_ == kQueued)
        return actionTime_ + Sum(entryLengths_, entryIndex_);
    return actionTime_;
}

int AnimationChannel::GetNextLoop() const {
    if (state_ != kQueued && !next_)
        return -1;
    return (flags_ & kNextLoop) ? 1 : 0;
}

float AnimationChannel::GetBlendInFactor() const {
    if (!(flags_ & kBlendingIn))
        return 1.0f;
    if (blendInCountdown_ < FLT_EPSILON)
        return 0.0f;
    return Clamp01(1.0f - lastElapsed_ / blendInCountdown_);
}

void AnimationChannel::SetMode(std::uint32_t mode) {
    mode_ = mode;
    SetFlag(kTimeRunsInBlendIn, (mode & kModeTimeInBlendIn) != 0);
}

void AnimationChannel::SetRootTarget(const float* target) {
    if (!(flags_ & kRootTargetWanted))
        return;
    std::copy(target, target + 3, rootTarget_);
    SetFlag(kRootTargetWanted, false);
}

void AnimationChannel::SetAppliedOffset(const float* offset) {
    std::copy(offset, offset + 3, appliedOffset_);
}

}  // namespace Zel
