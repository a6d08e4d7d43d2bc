#include "Entity/Character/ActionSampler.h"

#include <algorithm>
#include <utility>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/AnimationTrack.h"

namespace Zel {

void ActionSampler::Bind(const ActionResource* resource, const Skeleton* skeleton) {
    states_.clear();
    resource_ = resource;
    skeleton_ = skeleton;
    if (!resource || !skeleton)
        return;
    states_.resize(skeleton->GetBoneCount());
    for (std::uint32_t i = 0; i < resource->GetTrackCount(); ++i) {
        const char* name = resource->GetBoneName(i);
        if (!name)
            continue;
        const std::int32_t bone = skeleton->GetBoneIndex(name);
        if (bone < 0 || static_cast<std::size_t>(bone) >= states_.size())
            continue;
        AnimationTrack* track = resource->GetTrack(i);
        std::unique_ptr<AnimationState> state = track->CreateAnimationState();
        track->FillConstants(*state);
        states_[static_cast<std::size_t>(bone)] = std::move(state);
    }
}

void ActionSampler::Clear() {
    states_.clear();
    resource_ = nullptr;
    skeleton_ = nullptr;
    planarScale_ = heightScale_ = false;
    heightFactor_ = 1.0f;
}

void ActionSampler::SwapStates(ActionSampler& other) {
    std::swap(resource_, other.resource_);
    std::swap(skeleton_, other.skeleton_);
    states_.swap(other.states_);
}

void ActionSampler::Sample(float& time, bool loop) {
    if (!resource_ || !skeleton_)
        return;
    const float length = resource_->GetLength();
    if (!(time >= 0.0f))
        time = 0.0f;
    if (time >= length)
        time = loop ? 0.0f : length;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (!states_[i])
            continue;
        // The tracks follow the action's loop flag: a track shorter than a looping action wraps
        // on its own, one of an action that does not loop holds its last pose.
        states_[i]->SetLoop(loop);
        states_[i]->SetEnded(false);
        float t = time;
        states_[i]->Sample(t, skeleton_->GetBone(static_cast<std::uint32_t>(i)));
    }
    AnimationState* root = GetState(0);
    if (!root || !(planarScale_ || heightScale_))
        return;
    float* position = root->GetPosition();
    const Animation* track = root->GetAnimation();
    if (track && track->GetPositionKeyCount() == 0)
        std::copy(track->GetBasePosition(), track->GetBasePosition() + 3, position);
    ScaleRoot(position);
}

void ActionSampler::ScaleRoot(float* position) const {
    if (heightScale_)
        position[2] *= heightFactor_;
    if (planarScale_) {
        const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
        const float scale = config ? config->GetActorMoveScale() : 1.0f;
        position[0] *= scale;
        position[1] *= scale;
    }
}

}  // namespace Zel
