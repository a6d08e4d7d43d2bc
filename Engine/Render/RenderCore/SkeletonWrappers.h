// The wrappers through which the host walks a skeleton and its bones, and their binders. Both
// only unbind on release: bones and skeletons belong to their skeleton manager.
#pragma once

#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Interface/IBone.h"
#include "Interface/ISharedActionManager.h"
#include "Interface/ISkeleton.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

class IBoneImplRC final : public IObjectImplRC<ZelI::IBone, Bone, IBoneImplRC> {
public:
    const char* GetName() override { return Bound() ? Bound()->GetName() : nullptr; }
    std::int32_t GetIndex() override { return Bound() ? Bound()->GetIndex() : -1; }
    ZelI::IBone* GetParent() override;
    std::uint32_t GetChildCount() override { return Bound() ? Bound()->GetChildCount() : 0; }
    // Past the end answers null rather than reading beyond the child list.
    ZelI::IBone* GetChild(std::uint32_t index) override;
};

class ISkeletonImplRC final : public IObjectImplRC<ZelI::ISkeleton, Skeleton, ISkeletonImplRC> {
public:
    ZelI::IBone* GetRootBone() override;
    std::uint32_t GetBoneCount() override { return Bound() ? Bound()->GetBoneCount() : 0; }
    ZelI::IBone* FindBone(const char* name) override;
    // Past the end answers null rather than reading beyond the bone table.
    ZelI::IBone* GetBone(std::uint32_t index) override;
};

// The shared action sets, keyed by the skeleton of the model each call names. Stateless: the
// render object holds the one the host is given. A model that is not a bound skinned model (or
// has no skeleton) reaches no set: lookups answer 0 or null and changes do nothing.
class ISharedActionManagerImplRC final : public ZelI::ISharedActionManager {
public:
    ISharedActionManagerImplRC() = default;
    ~ISharedActionManagerImplRC() override = default;

    std::uint32_t GetActionCount(ZelI::ISkeletonModel* model) override;
    ZelI::IAction* GetActionByIndex(ZelI::ISkeletonModel* model, std::uint32_t index) override;
    ZelI::IAction* GetActionByName(ZelI::ISkeletonModel* model, const char* name) override;
    // The flag is not used: the set's own reader decides how the file is read.
    bool AddAction(ZelI::ISkeletonModel* model, const char* actionFile, bool flag) override;
    // Texts too long for the task's record are refused (0) rather than cut.
    std::uint32_t AddActionAsyn(ZelI::ISkeletonModel* model, const char* setName,
                                const char* actionFile, std::int32_t priority) override;
    bool HasAction(ZelI::ISkeletonModel* model, const char* name) override;
    void ReleaseSet(ZelI::ISkeletonModel* model) override;
};

// The bone's wrapper, null for a null bone.
ZelI::IBone* BoneInterface(Bone* bone);

ZelI::IBone* BindBoneInterface(RCInterfaceCarrier<ZelI::IBone>* carrier);
ZelI::ISkeleton* BindSkeletonInterface(RCInterfaceCarrier<ZelI::ISkeleton>* carrier);

}  // namespace Zel
