#include <string>

#include "Entity/Character/Action.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/BoneState.h"
#include "Interface/IAction.h"
#include "Interface/IAnimationChannel.h"
#include "Render/RenderCore/SceneNodeWrappers.h"

namespace Zel {

namespace {

template <class X>
auto* InterfaceOf(X* object) {
    return object ? object->GetInterface() : nullptr;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

const float* SkeletonModelImplRC::GetBoneWorldMatrix(std::uint32_t bone) {
    return Node() ? Node()->GetBoneWorldMatrix(bone) : kIdentity;
}

const float* SkeletonModelImplRC::GetBoneSkinMatrix(std::uint32_t bone) {
    BoneState* state = State(bone);
    return state ? state->skinMatrix : nullptr;
}

const float* SkeletonModelImplRC::GetBoneTranslation(std::uint32_t bone) {
    BoneState* state = State(bone);
    return state ? state->translation : nullptr;
}

const float* SkeletonModelImplRC::GetBoneRotation(std::uint32_t bone) {
    BoneState* state = State(bone);
    return state ? state->rotation : nullptr;
}

void SkeletonModelImplRC::PlayAnimation(const char* name) {
    PlayAnimationEx(name, 1.0f, -1, 0);
}

void SkeletonModelImplRC::PlayAnimationEx(const char* name, float weight, std::int32_t slot,
                                          std::uint32_t flags) {
    if (Node() && name)
        Node()->PlayAnimation(name, weight, slot, flags);
}

void SkeletonModelImplRC::GetExtraAnimation(std::uint32_t slot, ZelI::IAction** action,
                                            float* time) {
    float at = 0.0f;
    Action* extra = Node() ? Node()->GetExtraAnimation(slot, &at) : nullptr;
    if (action)
        *action = InterfaceOf(extra);
    if (time)
        *time = extra ? at : 0.0f;
}

ZelI::IAction* SkeletonModelImplRC::GetMainAction() {
    return Node() ? InterfaceOf(Node()->GetMainAction()) : nullptr;
}

ZelI::IAnimation* SkeletonModelImplRC::GetMainActionPart(std::uint32_t index) {
    ZelI::IAction* main = GetMainAction();
    return main ? main->GetPart(index) : nullptr;
}

void SkeletonModelImplRC::SetMainTime(float seconds) {
    if (Node())
        Node()->SetMainTime(seconds);
}

void SkeletonModelImplRC::SetBlendLength(float seconds) {
    if (Node())
        Node()->SetBlendLength(seconds);
}

void SkeletonModelImplRC::SetHeadLookTarget(const float* target) {
    if (Node() && target)
        Node()->SetHeadLookTarget(target);
}

void SkeletonModelImplRC::SetSpineLookTarget(const float* target) {
    if (Node() && target)
        Node()->SetSpineLookTarget(target);
}

const float* SkeletonModelImplRC::GetHeadLookTarget() {
    return Node() ? Node()->GetHeadLookTarget() : nullptr;
}

const float* SkeletonModelImplRC::GetSpineLookTarget() {
    return Node() ? Node()->GetSpineLookTarget() : nullptr;
}

ZelI::IAction* SkeletonModelImplRC::GetAnimation(const char* name) {
    return Node() && name ? InterfaceOf(Node()->GetAnimation(name)) : nullptr;
}

ZelI::IAnimationChannel* SkeletonModelImplRC::GetChannel(std::uint32_t index) {
    return Node() ? InterfaceOf(Node()->GetChannel(index)) : nullptr;
}

void SkeletonModelImplRC::ResetChannels() {
    if (Node())
        Node()->GetChannels();
}

void SkeletonModelImplRC::SetOverrideChannel(std::uint32_t index) {
    if (Node())
        Node()->SetOverrideChannel(index);
}

std::int32_t SkeletonModelImplRC::GetOverrideChannel() {
    return Node() ? static_cast<std::int32_t>(Node()->GetOverrideChannel()) : 0;
}

void SkeletonModelImplRC::SetHostWord(std::intptr_t word) {
    if (Node())
        Node()->SetHostWord(word);
}

std::intptr_t SkeletonModelImplRC::GetHostWord() {
    return Node() ? Node()->GetHostWord() : 0;
}

std::uint32_t SkeletonModelImplRC::GetAnimationIds(const char** ids, std::uint32_t capacity) {
    return Node() && ids ? Node()->GetAnimationIds(ids, capacity) : 0;
}

std::uint32_t SkeletonModelImplRC::GetAnimationNames(char* buffer, std::uint32_t count,
                                                     std::uint32_t width) {
    return Node() && buffer ? Node()->GetAnimationNames(buffer, count, width) : 0;
}

void SkeletonModelImplRC::ApplyBoneScale(const float* scale, const char* bone) {
    // scale[0] along the bone's length, scale[1] on both cross axes.
    if (Node() && scale && bone)
        Node()->ApplyBoneScale(bone, scale[1], scale[1], scale[0]);
}

void SkeletonModelImplRC::DrawBoneAxes(const char* bone, const float* colour, float length) {
    if (Node() && bone && colour)
        Node()->DrawBoneAxes(bone, colour, length);
}

void SkeletonModelImplRC::ClearCustomTexture() {
    if (Node())
        Node()->ClearCustomTexture();
}

}  // namespace Zel
