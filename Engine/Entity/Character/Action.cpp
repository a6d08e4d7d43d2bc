#include "Entity/Character/Action.h"

#include "Core/Globals.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"

namespace Zel {

namespace {

const std::string kNoName;

}  // namespace

Action::~Action() {
    ReleaseSkeleton();
}

void Action::Reset() {
    DetachInterface();
    hostStates_.Clear();
    resource_.Reset();
    ReleaseSkeleton();
    name_.clear();
    loop_ = true;
    scaling_ = RootScaling();
}

void Action::SetRootScaling(const RootScaling& scaling) {
    scaling_ = scaling;
    ApplyRootScaling(hostStates_);
}

void Action::ApplyRootScaling(ActionSampler& sampler) const {
    sampler.SetPlanarScale(scaling_.planar);
    sampler.SetHeightScale(scaling_.height);
    sampler.SetHeightFactor(scaling_.factor);
}

void Action::Bind(ActionResource* resource, Skeleton* skeleton) {
    hostStates_.Clear();
    resource_.Assign(resource);
    if (skeleton_ != skeleton) {
        ReleaseSkeleton();
        skeleton_ = skeleton;
    }
    hostStates_.Bind(resource, skeleton);
    ApplyRootScaling(hostStates_);
}

const std::string& Action::GetResourceName() const {
    return resource_ ? resource_->GetName() : kNoName;
}

void Action::ReleaseSkeleton() {
    if (!skeleton_)
        return;
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (skeletons)
        skeletons->ReleaseShared(skeleton_);
    skeleton_ = nullptr;
}

}  // namespace Zel
