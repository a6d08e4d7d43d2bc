// One node of a loaded scene as the skeleton builder takes it: what a skeleton loader read for one
// bone. Names are compared byte for byte; vectors and the bind matrix follow Bone.h.
#pragma once

#include <string>

namespace Zel {

struct SkeletonNode {
    std::string name;
    // Empty, "null" or "Scene Root" for a node without a parent.
    std::string parentName;
    float localPosition[3] = {0.0f, 0.0f, 0.0f};
    float modelPosition[3] = {0.0f, 0.0f, 0.0f};
    float localRotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    // Bone space to model space in the bind pose (16 floats, Matrix4 layout).
    float bindMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

}  // namespace Zel
