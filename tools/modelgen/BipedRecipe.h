// A 70-bone biped named by the biped scheme, for skeleton tests and benchmarks: the trunk, two
// arms with twist bones and three fingers of three joints, two legs with twist bones, and 23 face
// bones below "Bip01 Head" (some two levels deep). Parents come before their children. Positions
// are in model space (z up, x to the character's left), in bind pose with no rotation.
#pragma once

#include <string>
#include <vector>

#include "modelgen/ModelTypes.h"

namespace ZelModelGen {

struct BipedBone {
    std::string name;
    std::string parent;  // empty for the root
    Vec3 position;
};

std::vector<BipedBone> BipedSkeleton();

}  // namespace ZelModelGen
