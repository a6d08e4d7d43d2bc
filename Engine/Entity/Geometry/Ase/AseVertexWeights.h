// The bone influences of one vertex of an ASE strip set (a "V_weight" group).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zel {

struct AseVertexWeights {
    std::int32_t boneCount = 0;          // == boneNames.size() == weights.size()
    std::vector<std::string> boneNames;  // without quotes
    std::vector<float> weights;
};

}  // namespace Zel
