// The fixture writer's 70-bone biped as benchmarks build it: its skeleton nodes (model and local
// bind positions from the recipe, bind matrices that only translate) and the skeleton itself.
#pragma once

#include <vector>

#include <string>

#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
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

// The biped's skeleton, built through the manager's file hook under the name "biped.fig"; the
// caller gives it back with ReleaseShared. Null when the build is refused.
inline Zel::Skeleton* LoadBipedSkeleton(Zel::SkeletonManager& skeletons,
                                        const std::vector<ZelModelGen::BipedBone>& biped) {
    const std::vector<Zel::SkeletonNode> nodes = BipedNodes(biped);
    skeletons.SetFileLoader([&nodes](Zel::Skeleton& s, const std::string&) {
        return s.BuildFromTree(nodes) != nullptr;
    });
    Zel::Skeleton* skeleton = skeletons.GetOrLoad("biped.fig");
    skeletons.SetFileLoader(nullptr);
    return skeleton;
}

}  // namespace ZelBench
