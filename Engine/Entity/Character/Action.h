// An action played on a skeleton model: an action resource bound to one skeleton, with its name
// and loop flag. Pooled in its factory in Globals and shared by reference count. The bone states
// it keeps serve the host alone (who samples into them and reads them back); channels and models
// play the action through samplers of their own.
#pragma once

#include <cstdint>
#include <string>

#include "Core/RCInterfaceCarrier.h"
#include "Core/RecycledObject.h"
#include "Core/RefCountedObj.h"
#include "Core/SharedPtr.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/ActionSampler.h"

namespace ZelI {
class IAction;
}  // namespace ZelI

namespace Zel {

class Skeleton;

class Action : public RecycledObject,
               public RefCountedObj,
               public RCInterfaceCarrier<ZelI::IAction> {
public:
    // How the root bone's position is scaled for the models that play this action: x and y by
    // the actor move scale (planar), z by the factor (height). Every user copies it into its own
    // sampler.
    struct RootScaling {
        bool planar = false;
        bool height = false;
        float factor = 1.0f;
    };

    Action() = default;
    ~Action() override;
    // Back to the freshly constructed state: states deleted, skeleton and resource released, no
    // name, looping, no root scaling. The factory calls it on release.
    void Reset() override;

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    bool IsLooping() const { return loop_; }
    void SetLoop(bool on) { loop_ = on; }

    // Binds the resource (one more reference) and takes over one reference to the skeleton;
    // builds the host's bone states. What was bound before is released.
    void Bind(ActionResource* resource, Skeleton* skeleton);
    ActionResource* GetResource() const { return resource_.Get(); }
    Skeleton* GetSkeleton() const { return skeleton_; }

    // The resource's length in seconds; 0 without one.
    float GetLength() const { return resource_ ? resource_->GetLength() : 0.0f; }
    // The resource's name; empty without one.
    const std::string& GetResourceName() const;

    // Samples the host's bone states at the time (wrapped to the length as the loop flag says;
    // the caller sees the new time).
    void Sample(float& time) { hostStates_.Sample(time, loop_); }
    // The host's bone state i; null out of range or for a bone no track drives.
    AnimationState* GetBoneState(std::uint32_t i) const { return hostStates_.GetState(i); }
    std::uint32_t GetBoneStateCount() const { return hostStates_.GetStateCount(); }
    // The host's sampler, with its root-scaling switches.
    ActionSampler& GetHostSampler() { return hostStates_; }
    const RootScaling& GetRootScaling() const { return scaling_; }
    // Also sets the host sampler's switches.
    void SetRootScaling(const RootScaling& scaling);
    // The action's scaling into a user's sampler.
    void ApplyRootScaling(ActionSampler& sampler) const;

    // 76 + 48 per bone state.
    std::uint32_t GetSize() const { return 76 + 48 * hostStates_.GetStateCount(); }

private:
    void ReleaseSkeleton();

    std::string name_;
    bool loop_ = true;
    SharedPtr<ActionResource> resource_;
    Skeleton* skeleton_ = nullptr;
    ActionSampler hostStates_;
    RootScaling scaling_;
};

}  // namespace Zel
