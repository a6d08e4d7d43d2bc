#include "Render/RenderCore/SkeletonWrappers.h"

namespace Zel {

ZelI::IBone* BoneInterface(Bone* bone) {
    return bone ? bone->GetInterface() : nullptr;
}

ZelI::IBone* IBoneImplRC::GetParent() {
    return Bound() ? BoneInterface(Bound()->GetParent()) : nullptr;
}

ZelI::IBone* IBoneImplRC::GetChild(std::uint32_t index) {
    return Bound() ? BoneInterface(Bound()->GetChild(index)) : nullptr;
}

ZelI::IBone* ISkeletonImplRC::GetRootBone() {
    return Bound() ? BoneInterface(Bound()->GetRootBone()) : nullptr;
}

ZelI::IBone* ISkeletonImplRC::FindBone(const char* name) {
    if (!Bound() || !name)
        return nullptr;
    return BoneInterface(Bound()->FindBoneByName(name));
}

ZelI::IBone* ISkeletonImplRC::GetBone(std::uint32_t index) {
    return Bound() ? BoneInterface(Bound()->GetBone(index)) : nullptr;
}

ZelI::IBone* BindBoneInterface(RCInterfaceCarrier<ZelI::IBone>* carrier) {
    auto* bone = dynamic_cast<Bone*>(carrier);
    return bone ? IBoneImplRC::Bind(bone) : nullptr;
}

ZelI::ISkeleton* BindSkeletonInterface(RCInterfaceCarrier<ZelI::ISkeleton>* carrier) {
    auto* skeleton = dynamic_cast<Skeleton*>(carrier);
    return skeleton ? ISkeletonImplRC::Bind(skeleton) : nullptr;
}

}  // namespace Zel
