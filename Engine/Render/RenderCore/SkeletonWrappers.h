// The wrappers through which the host walks a skeleton and its bones, and their binders. Both
// only unbind on release: bones and skeletons belong to their skeleton manager.
#pragma once

#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Interface/IBone.h"
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

// The bone's wrapper, null for a null bone.
ZelI::IBone* BoneInterface(Bone* bone);

ZelI::IBone* BindBoneInterface(RCInterfaceCarrier<ZelI::IBone>* carrier);
ZelI::ISkeleton* BindSkeletonInterface(RCInterfaceCarrier<ZelI::ISkeleton>* carrier);

}  // namespace Zel
