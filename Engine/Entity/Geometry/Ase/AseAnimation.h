// The node animation (TM_ANIMATION) of an ASE object or camera: the scene's frame settings as
// they stood when the block began, and the keys of each channel in file order.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/Ase/AsePosKey.h"
#include "Entity/Geometry/Ase/AseRotKey.h"
#include "Entity/Geometry/Ase/AseScaleKey.h"

namespace Zel {

struct AseAnimation {
    std::int32_t firstFrame = 0;
    std::int32_t lastFrame = 0;
    std::int32_t ticksPerFrame = 0;
    std::int32_t frameSpeed = 0;
    std::vector<AsePosKey> positionKeys;
    std::vector<AseRotKey> rotationKeys;
    std::vector<AseScaleKey> scaleKeys;
};

}  // namespace Zel
