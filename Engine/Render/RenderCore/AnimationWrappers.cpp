#include "Render/RenderCore/AnimationWrappers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Core/QueueMode.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Geometry/Animation.h"
#include "Thread/ActionTasks.h"

namespace Zel {

namespace {

std::vector<std::string> NameList(const char* const* names, std::uint32_t count) {
    std::vector<std::string> list;
    if (!names)
        return list;
    for (std::uint32_t i = 0; i < count; ++i) list.emplace_back(names[i] ? names[i] : "");
    return list;
}

// Copies name into buffer: -1 when it does not fit, else 1, with a terminating zero only when
// there is room for it.
std::int32_t CopyName(const std::string& name, char* buffer, std::uint32_t size) {
    if (!buffer || name.size() > size)
        return -1;
    std::memcpy(buffer, name.data(), name.size());
    if (name.size() < size)
        buffer[name.size()] = '\0';
    return 1;
}

template <class IX, class X>
IX* InterfaceOf(X* object) {
    return object ? object->GetInterface() : nullptr;
}

}  // namespace

std::int32_t IAnimationChannelImplRC::SetBlendActions(std::uint32_t index, const char* name,
                                                      float weight) {
    return Bound() && name ? Bound()->SetBlendActions(index, name, weight) : 0;
}

std::int32_t IAnimationChannelImplRC::SetPose(const char* name) {
    return Bound() && name ? Bound()->SetPose(name) : 0;
}

void IAnimationChannelImplRC::PlayCrossFadeList(const char* const* names, const float* durations,
                                                std::uint32_t count, bool loop) {
    if (!Bound() || !names || (count > 1 && !durations))
        return;
    std::vector<float> fades;
    if (count > 1)
        fades.assign(durations, durations + (count - 1));
    Bound()->PlayCrossFadeList(NameList(names, count), fades, loop);
}

void IAnimationChannelImplRC::PlaySequence(const char* const* names, std::uint32_t count,
                                           bool loop) {
    if (Bound() && names)
        Bound()->PlaySequence(NameList(names, count), loop);
}

void IAnimationChannelImplRC::PlaySequenceLoop(const char* const* names, std::uint32_t count,
                                               bool loop) {
    if (Bound() && names)
        Bound()->PlaySequenceLoop(NameList(names, count), loop);
}

void IAnimationChannelImplRC::QueueSequence(const char* const* names, std::uint32_t count,
                                            bool loop) {
    if (Bound() && names)
        Bound()->QueueSequence(NameList(names, count), loop);
}

std::int32_t IAnimationChannelImplRC::PlayOrSetNext(const char* name, bool loop, bool next) {
    if (!Bound() || !name)
        return 0;
    if (IsQueueMode()) {
        const std::uint32_t id =
            next ? SetNextActionAsyn(name, loop, 2) : PlayActionAsyn(name, loop, 2);
        threadio* worker = threadmng::GetInstance()->GetThread(0);
        if (id != 0 && worker)
            worker->SyncTask(id);
    }
    return next ? Bound()->SetNextAction(name, loop, 0) : Bound()->PlayAction(name, loop, 0);
}

std::int32_t IAnimationChannelImplRC::PlayAction(const char* name, bool loop) {
    return PlayOrSetNext(name, loop, false);
}

std::int32_t IAnimationChannelImplRC::SetNextAction(const char* name, bool loop) {
    return PlayOrSetNext(name, loop, true);
}

std::uint32_t IAnimationChannelImplRC::QueueActionTask(std::int32_t type, const char* name,
                                                       bool loop, std::int32_t priority) {
    if (!Bound() || !name || std::strlen(name) >= ActionRequestRecord::kNameSize ||
        !Bound()->GetOwner())
        return 0;
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker)
        return 0;
    ActionRequestRecord record;
    record.channel = Bound();
    std::strcpy(record.name, name);
    record.loop = loop ? 1 : 0;
    record.owner = Bound()->GetOwner();
    return worker->CreateTask(type, &record, static_cast<std::uint32_t>(priority));
}

std::uint32_t IAnimationChannelImplRC::PlayActionAsyn(const char* name, bool loop,
                                                      std::int32_t priority) {
    return QueueActionTask(AnimationChannel_SetActionTask::kType, name, loop, priority);
}

std::uint32_t IAnimationChannelImplRC::SetNextActionAsyn(const char* name, bool loop,
                                                         std::int32_t priority) {
    return QueueActionTask(AnimationChannel_SetNextActionTask::kType, name, loop, priority);
}

std::int32_t IAnimationChannelImplRC::PlayTreeAction(const char* name, bool loop) {
    return Bound() && name ? Bound()->PlayAction(name, loop, AnimationChannel::kTreeLookup) : 0;
}

std::int32_t IAnimationChannelImplRC::SetNextTreeAction(const char* name, bool loop) {
    return Bound() && name ? Bound()->SetNextAction(name, loop, AnimationChannel::kTreeLookup) : 0;
}

ZelI::IAction* IAnimationChannelImplRC::GetCurrentAction() {
    return Bound() ? InterfaceOf<ZelI::IAction>(Bound()->GetCurrentAction()) : nullptr;
}

void IAnimationChannelImplRC::Reset() {
    if (Bound())
        Bound()->Reset();
}

void IAnimationChannelImplRC::SetLayerWeight(float weight) {
    if (Bound())
        Bound()->SetLayerWeight(weight);
}

float IAnimationChannelImplRC::GetLayerWeight() {
    return Bound() ? Bound()->GetLayerWeight() : 0.0f;
}

void IAnimationChannelImplRC::SetBlendInTime(float seconds) {
    if (Bound())
        Bound()->SetBlendInTime(seconds);
}

void IAnimationChannelImplRC::SetCrossFadeTime(float seconds) {
    if (Bound())
        Bound()->SetCrossFadeTime(seconds);
}

float IAnimationChannelImplRC::GetCrossFadeTime() {
    return Bound() ? Bound()->GetCrossFadeTime() : 0.0f;
}

void IAnimationChannelImplRC::SetPlayTime(float seconds) {
    if (Bound())
        Bound()->SetPlayTime(seconds);
}

float IAnimationChannelImplRC::GetPlayTime() {
    return Bound() ? Bound()->GetPlayTime() : 0.0f;
}

float IAnimationChannelImplRC::GetTotalLength() {
    return Bound() ? Bound()->GetTotalLength() : 0.0f;
}

void IAnimationChannelImplRC::SetOverride(bool on) {
    if (Bound())
        Bound()->SetOverride(on);
}

std::uint32_t IAnimationChannelImplRC::GetSelectionWord() {
    return Bound() ? Bound()->GetSelection() : 0;
}

void IAnimationChannelImplRC::SetModeWord(std::uint32_t mode) {
    if (Bound())
        Bound()->SetMode(mode);
}

std::uint32_t IAnimationChannelImplRC::GetModeWord() {
    return Bound() ? Bound()->GetMode() : 0;
}

std::int32_t IAnimationChannelImplRC::GetCurrentActionName(char* buffer, std::uint32_t size) {
    Action* action = Bound() ? Bound()->GetCurrentAction() : nullptr;
    return action ? CopyName(action->GetName(), buffer, size) : 0;
}

std::int32_t IAnimationChannelImplRC::GetNextActionName(char* buffer, std::uint32_t size) {
    if (!Bound())
        return 0;
    const std::string name = Bound()->GetNextActionName();
    return name.empty() ? 0 : CopyName(name, buffer, size);
}

std::int32_t IAnimationChannelImplRC::IsFinished() {
    if (!Bound() || !Bound()->GetCurrentAction())
        return -1;
    return HasFlag(AnimationChannel::kStopped) ? 1 : 0;
}

std::uint32_t IActionImplRC::GetFlags() {
    return Bound() && Bound()->IsLooping() ? 1 : 0;
}

ZelI::IAnimation* IActionImplRC::GetPart(std::uint32_t index) {
    if (!Bound() || index >= Bound()->GetBoneStateCount())
        return nullptr;
    return InterfaceOf<ZelI::IAnimation>(Bound()->GetBoneState(index));
}

void IActionImplRC::Sample(void* arguments) {
    if (Bound() && arguments)
        Bound()->Sample(*static_cast<float*>(arguments));
}

void IAnimationImplRC::Sample(float seconds) {
    if (Bound())
        Bound()->Sample(seconds, nullptr);
}

std::uint32_t IAnimationImplRC::GetPositionKeyCount() {
    Animation* animation = Bound() ? Bound()->GetAnimation() : nullptr;
    return animation ? animation->GetPositionKeyCount() : 0;
}

std::uint32_t IAnimationImplRC::GetRotationKeyCount() {
    Animation* animation = Bound() ? Bound()->GetAnimation() : nullptr;
    return animation ? animation->GetRotationKeyCount() : 0;
}

void IAnimationImplRC::GetKeyPosition(std::uint32_t, float* out) {
    if (out)
        std::fill(out, out + 3, 0.0f);
}

void IAnimationImplRC::GetKeyRotation(std::uint32_t, float* out) {
    if (!out)
        return;
    std::fill(out, out + 3, 0.0f);
    out[3] = 1.0f;
}

float IAnimationImplRC::GetLength() {
    Animation* animation = Bound() ? Bound()->GetAnimation() : nullptr;
    return animation ? animation->GetLength() : 0.0f;
}

void IAnimationImplRC::Restart() {
    if (Bound())
        Bound()->Restart();
}

void IAnimationImplRC::SetEnabled(std::int32_t on) {
    if (Bound())
        Bound()->SetEnabled(on != 0);
}

ZelI::IAnimationChannel* BindAnimationChannelInterface(
    RCInterfaceCarrier<ZelI::IAnimationChannel>* carrier) {
    auto* channel = dynamic_cast<AnimationChannel*>(carrier);
    return channel ? IAnimationChannelImplRC::Bind(channel) : nullptr;
}

ZelI::IAction* BindActionInterface(RCInterfaceCarrier<ZelI::IAction>* carrier) {
    auto* action = dynamic_cast<Action*>(carrier);
    return action ? IActionImplRC::Bind(action) : nullptr;
}

ZelI::IAnimation* BindAnimationInterface(RCInterfaceCarrier<ZelI::IAnimation>* carrier) {
    auto* state = dynamic_cast<AnimationState*>(carrier);
    return state ? IAnimationImplRC::Bind(state) : nullptr;
}

}  // namespace Zel
