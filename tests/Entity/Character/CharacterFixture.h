// Globals for one test, skeleton nodes made from plain descriptions, and skeletons built from them
// through the skeleton manager (which owns them; the fixture gives its references back).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Character/SkeletonNode.h"
#include "modelgen/BipedRecipe.h"
#include "Core/CoreRootFixture.h"

namespace ZelTest {

// A node in bind pose without rotation at a model position; its local position is the offset
// from the parent's model position (given by the caller, the origin for a root).
inline Zel::SkeletonNode MakeNode(const std::string& name, const std::string& parent,
                                  const float* position, const float* parentPosition = nullptr) {
    Zel::SkeletonNode node;
    node.name = name;
    node.parentName = parent;
    for (int i = 0; i < 3; ++i) {
        node.modelPosition[i] = position[i];
        node.localPosition[i] = position[i] - (parentPosition ? parentPosition[i] : 0.0f);
        node.bindMatrix[4 * i + 3] = position[i];
    }
    return node;
}

inline std::vector<Zel::SkeletonNode> NodesOf(const std::vector<ZelModelGen::BipedBone>& bones) {
    std::vector<Zel::SkeletonNode> nodes;
    for (const ZelModelGen::BipedBone& b : bones) {
        const float p[3] = {b.position.x, b.position.y, b.position.z};
        const float* parent = nullptr;
        float q[3];
        for (const ZelModelGen::BipedBone& other : bones) {
            if (other.name == b.parent) {
                q[0] = other.position.x, q[1] = other.position.y, q[2] = other.position.z;
                parent = q;
            }
        }
        nodes.push_back(MakeNode(b.name, b.parent, p, parent));
    }
    return nodes;
}

class CharacterTest : public CoreRootTest {
protected:
    ~CharacterTest() override {
        for (Zel::Skeleton*& s : held_) Manager().ReleaseShared(s);
    }

    Zel::SkeletonManager& Manager() { return *G()->GetSkeletonManager(); }

    // A skeleton of the name built from the nodes through the manager's file loader; null when
    // the build gives no root.
    Zel::Skeleton* Build(const std::string& name, const std::vector<Zel::SkeletonNode>& nodes) {
        Manager().SetFileLoader([&nodes](Zel::Skeleton& s, const std::string&) {
            return s.BuildFromTree(nodes) != nullptr;
        });
        Zel::Skeleton* s = Manager().GetOrLoad(name);
        Manager().SetFileLoader(nullptr);
        if (s)
            held_.push_back(s);
        return s;
    }

    Zel::Skeleton* Biped() { return Build("biped.ase", NodesOf(ZelModelGen::BipedSkeleton())); }

private:
    std::vector<Zel::Skeleton*> held_;
};

}  // namespace ZelTest
