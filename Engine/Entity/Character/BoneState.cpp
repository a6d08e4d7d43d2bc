#include "Entity/Character/BoneState.h"

#include <cstring>
#include <initializer_list>

#include "Math/MathUtil.h"

namespace Zel {

BoneState::BoneState() : translation{0.0f, 0.0f, 0.0f}, rotation{0.0f, 0.0f, 0.0f, 1.0f} {
    for (float* m : {skinMatrix, modelMatrix, worldMatrix})
        std::memcpy(m, IdentityMatrix(), 16 * sizeof(float));
    Reset();
}

void BoneState::Reset() {
    boneIndex = -1;
    flags = 0;
    std::memcpy(scaleMatrix, IdentityMatrix(), 16 * sizeof(float));
}

}  // namespace Zel
