// The wrappers through which the host drives a skinned model's animation channels, and reads
// actions and the playback states of their tracks. All three only unbind on release: channels
// belong to their model, actions to the action manager, states to their action.
#pragma once

#include "Entity/Character/Action.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/AnimationState.h"
#include "Interface/IAction.h"
#include "Interface/IAnimation.h"
#include "Interface/IAnimationChannel.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

class IAnimationChannelImplRC final
    : public IObjectImplRC<ZelI::IAnimationChannel, AnimationChannel, IAnimationChannelImplRC> {
public:
    std::int32_t SetBlendActions(std::uint32_t index, const char* name, float weight) override;
    std::int32_t SetPose(const char* name) override;
    void PlayCrossFadeList(const char* const* names, const float* durations, std::uint32_t count,
                           bool loop) override;
    void PlaySequence(const char* const* names, std::uint32_t count, bool loop) override;
    // Direct mode plays at once. Queued mode first runs the set-action task on loading thread 0
    // (when one could be queued) so that the action is resident, then plays on this thread.
    std::int32_t PlayAction(const char* name, bool loop) override;
    // No task is made for a channel without an owner: the task could only fail.
    std::uint32_t PlayActionAsyn(const char* name, bool loop, std::int32_t priority) override;
    std::int32_t SetNextAction(const char* name, bool loop) override;
    std::uint32_t SetNextActionAsyn(const char* name, bool loop, std::int32_t priority) override;
    std::int32_t PlayTreeAction(const char* name, bool loop) override;
    std::int32_t SetNextTreeAction(const char* name, bool loop) override;
    void PlaySequenceLoop(const char* const* names, std::uint32_t count, bool loop) override;
    void QueueSequence(const char* const* names, std::uint32_t count, bool loop) override;
    ZelI::IAction* GetCurrentAction() override;
    void Reset() override;
    void SetLayerWeight(float weight) override;
    float GetLayerWeight() override;
    void SetBlendInTime(float seconds) override;
    void SetCrossFadeTime(float seconds) override;
    float GetCrossFadeTime() override;
    float GetCrossFadeTimeAlt() override { return GetCrossFadeTime(); }
    void SetPlayTime(float seconds) override;
    float GetPlayTime() override;
    float GetTotalLength() override;
    bool IsCrossFading() override { return HasFlag(AnimationChannel::kCrossFading); }
    bool IsBlendingIn() override { return HasFlag(AnimationChannel::kBlendingIn); }
    bool IsLooping() override { return HasFlag(AnimationChannel::kLoop); }
    void SetOverride(bool on) override;
    bool IsOverride() override { return HasFlag(AnimationChannel::kOverride); }
    std::uint32_t GetSelectionWord() override;
    void SetModeWord(std::uint32_t mode) override;
    std::uint32_t GetModeWord() override;
    void Reserved36() override {}
    // A name that fits with room to spare also gets its terminating zero; one exactly as long as
    // the buffer is copied without it.
    std::int32_t GetCurrentActionName(char* buffer, std::uint32_t size) override;
    std::int32_t GetNextActionName(char* buffer, std::uint32_t size) override;
    // Whether the channel stopped at the end of its action: 1 or 0; -1 without an action.
    std::int32_t IsFinished() override;

private:
    bool HasFlag(std::uint32_t bit) { return Bound() && (Bound()->GetFlags() & bit) != 0; }
    // Direct mode: the channel call. Queued mode: the queue operation, its task run at once,
    // then the same channel call.
    std::int32_t PlayOrSetNext(const char* name, bool loop, bool next);
    std::uint32_t QueueActionTask(std::int32_t type, const char* name, bool loop,
                                  std::int32_t priority);
};

class IActionImplRC final : public IObjectImplRC<ZelI::IAction, Action, IActionImplRC> {
public:
    // The loop flag: 1 for a looping action.
    std::uint32_t GetFlags() override;
    ZelI::IAnimation* GetPart(std::uint32_t index) override;
    float GetLength() override { return Bound() ? Bound()->GetLength() : 0.0f; }
    // The block's first word is the time (seconds), which sampling advances in place.
    void Sample(void* arguments) override;
};

class IAnimationImplRC final
    : public IObjectImplRC<ZelI::IAnimation, AnimationState, IAnimationImplRC> {
public:
    void Reserved5() override {}
    const float* GetPosition() override { return Bound() ? Bound()->GetPosition() : nullptr; }
    const float* GetRotation() override { return Bound() ? Bound()->GetRotation() : nullptr; }
    void Reserved8() override {}
    void Sample(float seconds) override;
    std::uint32_t GetPositionKeyCount() override;
    std::uint32_t GetRotationKeyCount() override;
    void GetKeyPosition(std::uint32_t index, float* out) override;
    void GetKeyRotation(std::uint32_t index, float* out) override;
    float GetLength() override;
    float GetPlayValue() override { return Bound() ? Bound()->GetPlayValue() : 0.0f; }
    std::int32_t Reserved16() override { return 0; }
    std::int32_t Reserved17() override { return 0; }
    void Restart() override;
    void SetEnabled(std::int32_t on) override;
};

ZelI::IAnimationChannel* BindAnimationChannelInterface(
    RCInterfaceCarrier<ZelI::IAnimationChannel>* carrier);
ZelI::IAction* BindActionInterface(RCInterfaceCarrier<ZelI::IAction>* carrier);
ZelI::IAnimation* BindAnimationInterface(RCInterfaceCarrier<ZelI::IAnimation>* carrier);

}  // namespace Zel
