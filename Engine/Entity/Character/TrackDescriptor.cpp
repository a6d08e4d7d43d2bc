#include "Entity/Character/TrackDescriptor.h"

#include <cstring>

#include "Entity/Character/Bone.h"

namespace Zel {

void TrackDescriptor::ConstantPositionFor(const Bone* bone, float* out) const {
    const bool bindPosition =
        bone && (!hasConstantPosition || (bone->GetParent() && !bone->IsHeadFlagged()));
    std::memcpy(out, bindPosition ? bone->GetLocalPosition() : constantPosition, 3 * sizeof(float));
}

}  // namespace Zel
