// One of the five animation layers of a skinned model: what it plays (a pose, a blend, an action,
// a cross-fade list, a sequence), how it fades and how its weight enters the model's pose. Times
// are in seconds. Names are action names of the model's action tree or shared set. A wrapper that
// is not bound does nothing and answers 0, false or null. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IAction;

class IAnimationChannel : public IObject {
public:
    // Blend slot index (0 or 1) plays the action at the weight; 0, 1 for an unknown name, 3 for
    // a bad index.
    virtual std::int32_t SetBlendActions(std::uint32_t index, const char* name, float weight) = 0;
    // The action sampled once as a still pose; 0, or 1 for an unknown name.
    virtual std::int32_t SetPose(const char* name) = 0;
    // A timed cross-fade through count still poses; durations holds count - 1 seconds.
    virtual void PlayCrossFadeList(const char* const* names, const float* durations,
                                   std::uint32_t count, bool loop) = 0;
    // count actions played back to back.
    virtual void PlaySequence(const char* const* names, std::uint32_t count, bool loop) = 0;
    // Plays the action now. In queued mode the action is first made resident by a task on the
    // loading thread, run at once. 0, or 1 for an unknown name.
    virtual std::int32_t PlayAction(const char* name, bool loop) = 0;
    // Queues the task that makes the action resident at the priority and answers its id; 0 for
    // a null name, a name of 128 characters or more, or a channel without an owner model.
    virtual std::uint32_t PlayActionAsyn(const char* name, bool loop, std::int32_t priority) = 0;
    // The action that follows the current one (queued mode as PlayAction).
    virtual std::int32_t SetNextAction(const char* name, bool loop) = 0;
    virtual std::uint32_t SetNextActionAsyn(const char* name, bool loop, std::int32_t priority) = 0;
    // As PlayAction and SetNextAction, looking the name up in the action tree only.
    virtual std::int32_t PlayTreeAction(const char* name, bool loop) = 0;
    virtual std::int32_t SetNextTreeAction(const char* name, bool loop) = 0;
    virtual void PlaySequenceLoop(const char* const* names, std::uint32_t count, bool loop) = 0;
    // After the current sequence ends, the list becomes the sequence.
    virtual void QueueSequence(const char* const* names, std::uint32_t count, bool loop) = 0;
    // The current action's wrapper (the host gives it back with IObject::Release); null when none.
    virtual IAction* GetCurrentAction() = 0;
    // Stops the channel; the mode word and the fade times stay.
    virtual void Reset() = 0;
    virtual void SetLayerWeight(float weight) = 0;
    virtual float GetLayerWeight() = 0;
    virtual void SetBlendInTime(float seconds) = 0;
    virtual void SetCrossFadeTime(float seconds) = 0;
    virtual float GetCrossFadeTime() = 0;
    virtual float GetCrossFadeTimeAlt() = 0;
    virtual void SetPlayTime(float seconds) = 0;
    virtual float GetPlayTime() = 0;
    // The action's length, or the sum of the sequence's lengths.
    virtual float GetTotalLength() = 0;
    virtual bool IsCrossFading() = 0;
    virtual bool IsBlendingIn() = 0;
    virtual bool IsLooping() = 0;
    // Override: in the model's blend this channel's sample replaces what the channels before it
    // gave.
    virtual void SetOverride(bool on) = 0;
    virtual bool IsOverride() = 0;
    // The host's selection word, read by the bone-contribution query.
    virtual std::uint32_t GetSelectionWord() = 0;
    // Bit 0 mirrors the channel's pose-correction flag, bit 1 lets the play time run during a
    // cross-fade, bit 2 accumulates root motion, bit 3 leaves out the bind-position correction.
    virtual void SetModeWord(std::uint32_t mode) = 0;
    virtual std::uint32_t GetModeWord() = 0;
    // Reserved: does nothing.
    virtual void Reserved36() = 0;
    // Copies the current (next) action's name into buffer without a terminating zero: 1, -1 when
    // the name is longer than size, 0 without such an action.
    virtual std::int32_t GetCurrentActionName(char* buffer, std::uint32_t size) = 0;
    virtual std::int32_t GetNextActionName(char* buffer, std::uint32_t size) = 0;
    // Whether the current action has played to its end; -1 without an action.
    virtual std::int32_t IsFinished() = 0;

protected:
    ~IAnimationChannel() override = default;
};

}  // namespace ZelI
