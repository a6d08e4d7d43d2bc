#include "Entity/Geometry/Animation.h"

#include <algorithm>

#include "Entity/Character/AnimationState.h"

namespace Zel {

Animation::Animation(CResourceManager* manager, std::string_view name, std::string_view group,
                     std::uint32_t handle)
    : CResource(manager, name, group, handle) {}

Animation::~Animation() = default;

std::unique_ptr<AnimationState> Animation::CreateAnimationState() {
    return std::make_unique<AnimationState>(this);
}

void Animation::SetBaseTransform(const float* position, const float* rotation, const float* scale) {
    std::copy(position, position + 3, basePosition_);
    std::copy(rotation, rotation + 4, baseRotation_);
    std::copy(scale, scale + 3, baseScale_);
}

}  // namespace Zel
