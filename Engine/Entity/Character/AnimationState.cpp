#include "Entity/Character/AnimationState.h"

#include <algorithm>

#include "Entity/Character/Bone.h"
#include "Entity/Geometry/Animation.h"
#include "Math/Matrix4.h"

namespace Zel {

void AnimationState::GetPoseMatrix(float* out) const {
    Matrix4::FromRotationTranslation(out, rotation_, position_);
}

void AnimationState::Restart() {
    time_ = 0.0f;
    flags_ = kLoop;
}

void AnimationState::Sample(float& time, const Bone* bone) {
    if (!animation_)
        return;
    const bool constant = animation_->IsConstant();
    if (!constant)
        animation_->Evaluate(time, *this);
    if (!bone || !bone->GetParent() || bone->IsHeadFlagged() || animation_->KeepsPosition())
        return;
    std::copy(bone->GetLocalPosition(), bone->GetLocalPosition() + 3, position_);
    if (constant && !animation_->KeepsRotation())
        std::copy(bone->GetLocalRotation(), bone->GetLocalRotation() + 4, rotation_);
}

void AnimationState::CopyTo(AnimationState& other) const {
    std::copy(position_, position_ + 3, other.position_);
    std::copy(rotation_, rotation_ + 4, other.rotation_);
    other.time_ = time_;
    other.flags_ = flags_;
}

}  // namespace Zel
