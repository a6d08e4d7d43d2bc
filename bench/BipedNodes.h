// The skeleton nodes of the fixture writer's 70-bone biped, for benchmarks that build it with
// Skeleton::BuildFromTree: model and local bind positions from the recipe, bind matrices that
// only translate.
#pragma once

#include <vector>

#include "Entity/Character/Skeleton.h"
#include "modelgen/BipedRecipe.h"

namespace ZelBench {

inline std::vector<Zel::SkeletonNode> BipedNodes(const std::vector<ZelModelGen::BipedBone>& biped) {
    std::vector<Zel::SkeletonNode> nodes;
    for (const ZelModelGen::BipedBone& b : biped) {
        Zel::SkeletonNode n;
        n.name = b.name;
        n.parentName = b.parent;
        const float at[3] = {b.position.x, b.position.y, b.position.z};
        float base[3] = {0, 0, 0};
        for (const ZelModelGen::BipedBone& p : biped) {
            if (p.name == b.parent)
                base[0] = p.position.x, base[1] = p.position.y, base[2] = p.position.z;
        }
        for (int k = 0; k < 3; ++k) {
            n.modelPosition[k] = at[k];
            n.localPosition[k] = at[k] - base[k];
            n.bindMatrix[4 * k + 3] = at[k];
        }
        nodes.push_back(n);
    }
    return nodes;
}

}  // namespace ZelBench
