// The pooled bone record the host reads: its values after construction and after the pool takes
// it back, and the child and id queries.
#include <gtest/gtest.h>

#include <vector>

#include "Core/Factory.h"
#include "Entity/Character/Bone.h"
#include "Math/MathUtil.h"
#include "tests/Core/CoreRootFixture.h"

namespace {

using Zel::Bone;

void ExpectFresh(Bone& bone) {
    EXPECT_STREQ(bone.GetName(), "");
    EXPECT_EQ(bone.GetReservedWord(), 0u);
    EXPECT_EQ(bone.GetId(), 0u);
    EXPECT_EQ(bone.GetParent(), nullptr);
    EXPECT_EQ(bone.GetIndex(), -1);
    EXPECT_EQ(bone.GetChildCount(), 0u);
    EXPECT_TRUE(bone.GetWordList().empty());
    for (const float* m :
         {bone.GetBindMatrix(), bone.GetInverseBindMatrix(), bone.GetParentRelativeMatrix()})
        EXPECT_EQ(std::vector<float>(m, m + 16),
                  std::vector<float>(Zel::IdentityMatrix(), Zel::IdentityMatrix() + 16));
    EXPECT_EQ(std::vector<std::uint32_t>(bone.GetModeWords(), bone.GetModeWords() + 3),
              (std::vector<std::uint32_t>{2, 0, 1}));
    const std::vector<std::vector<float>> groups = {{1, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::vector<float>(bone.GetGroup(i), bone.GetGroup(i) + 4), groups[i]) << i;
}

class BoneHandleTest : public ZelTest::CoreRootTest {};

TEST_F(BoneHandleTest, ThePoolHandsBonesBackAsFreshOnesButTheWeightStays) {
    Zel::Factory<Bone>& bones = *G()->GetBoneFactory();
    Bone* parent = bones.Acquire();
    Bone* bone = bones.Acquire();
    ExpectFresh(*bone);
    EXPECT_EQ(bone->GetWeight(), 0.0f);

    bone->SetName("Bip01 Spine");
    bone->SetIndex(7);
    bone->SetReservedWord(3);
    bone->SetParent(parent, 0);
    parent->AddChild(bone, 7);
    bone->GetWordList().push_back(9);
    bone->GetModeWords()[0] = 5;
    bone->GetGroup(1)[0] = 4.0f;
    bone->GetBindMatrix()[3] = 2.0f;
    bone->SetWeight(0.5f);
    // The host reads the table index as the bone's id, and children one by one.
    EXPECT_EQ(bone->GetId(), 7u);
    EXPECT_EQ(parent->GetChildCount(), 1u);
    EXPECT_EQ(parent->GetChild(0), bone);
    EXPECT_EQ(parent->GetChild(1), nullptr);

    bones.Release(bone);
    Bone* again = bones.Acquire();
    ASSERT_EQ(again, bone);
    ExpectFresh(*again);
    EXPECT_EQ(again->GetWeight(), 0.5f);
    bones.Release(again);
    bones.Release(parent);
}

}  // namespace
