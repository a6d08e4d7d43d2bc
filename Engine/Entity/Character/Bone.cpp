#include "Entity/Character/Bone.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "Math/MathUtil.h"

namespace Zel {

Bone::Bone() {
    Reset();
}

void Bone::Reset() {
    DetachInterface();
    std::memset(name_, 0, sizeof(name_));
    flags_ = 0;
    reserved_ = 0;
    id_ = 0;
    index_ = -1;
    wordList_.clear();
    const std::uint32_t modes[3] = {2, 0, 1};
    std::copy(std::begin(modes), std::end(modes), modeWords_);
    const float groups[3][4] = {{1, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    std::memcpy(groups_, groups, sizeof groups_);
    parent_ = nullptr;
    parentIndex_ = -1;
    children_.clear();
    childIndices_.clear();
    std::fill(std::begin(localPosition_), std::end(localPosition_), 0.0f);
    const float identityRotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::copy(std::begin(identityRotation), std::end(identityRotation), localRotation_);
    std::fill(std::begin(modelPosition_), std::end(modelPosition_), 0.0f);
    for (float* m : {inverseBindMatrix_, bindMatrix_, parentRelativeMatrix_})
        std::memcpy(m, IdentityMatrix(), 16 * sizeof(float));
    std::fill(std::begin(axes_), std::end(axes_), -1);
    std::fill(std::begin(directionToChild_), std::end(directionToChild_), 0.0f);
    std::fill(std::begin(axisMatrix_), std::end(axisMatrix_), 0.0f);
}

void Bone::SetName(std::string_view name) {
    const std::size_t length = std::min(name.size(), kMaxNameLength);
    std::memcpy(name_, name.data(), length);
    std::memset(name_ + length, 0, sizeof(name_) - length);
}

void Bone::SetAxes(std::int32_t length, std::int32_t cross1, std::int32_t cross2) {
    axes_[0] = length;
    axes_[1] = cross1;
    axes_[2] = cross2;
    std::fill(std::begin(axisMatrix_), std::end(axisMatrix_), 0.0f);
    // Rows: cross axis 1, cross axis 2, length axis.
    axisMatrix_[0 * 3 + cross1] = 1.0f;
    axisMatrix_[1 * 3 + cross2] = 1.0f;
    axisMatrix_[2 * 3 + length] = 1.0f;
}

}  // namespace Zel
