// The host's view of characters: walking a skeleton and its bones through their wrappers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Entity/Character/Bone.h"
#include "Render/RenderCore/SkeletonWrappers.h"
#include "tests/Entity/Character/CharacterFixture.h"

namespace ZelTest {
namespace {

using CharacterWrapperTest = CharacterTest;

// Every bone reached from the root through GetChild, depth first, as "name<parent".
void Walk(ZelI::IBone* bone, std::vector<std::string>& out) {
    ZelI::IBone* parent = bone->GetParent();
    out.push_back(std::string(bone->GetName()) + "<" + (parent ? parent->GetName() : ""));
    for (std::uint32_t i = 0; i < bone->GetChildCount(); ++i) Walk(bone->GetChild(i), out);
}

TEST_F(CharacterWrapperTest, TheHostWalksTheBoneTreeFromTheRoot) {
    const float o[3] = {0, 0, 0};
    Zel::Skeleton* skeleton =
        Build("walk", {MakeNode("root", "", o), MakeNode("spine", "root", o),
                       MakeNode("head", "spine", o), MakeNode("leg", "root", o)});
    ASSERT_NE(skeleton, nullptr);
    ZelI::ISkeleton* host = skeleton->GetInterface();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(skeleton->GetInterface(), host);
    EXPECT_EQ(host->GetBoneCount(), 4u);

    ZelI::IBone* root = host->GetRootBone();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);
    std::vector<std::string> walked;
    Walk(root, walked);
    EXPECT_EQ(walked, (std::vector<std::string>{"root<", "spine<root", "head<spine", "leg<root"}));

    // Every table entry is reached under its own index, as the same wrapper a lookup gives.
    for (std::uint32_t i = 0; i < host->GetBoneCount(); ++i) {
        ZelI::IBone* bone = host->GetBone(i);
        ASSERT_NE(bone, nullptr);
        EXPECT_EQ(bone->GetIndex(), static_cast<std::int32_t>(i));
        EXPECT_EQ(host->FindBone(bone->GetName()), bone);
    }
}

TEST_F(CharacterWrapperTest, LookupsThatFindNothingAnswerNull) {
    const float o[3] = {0, 0, 0};
    Zel::Skeleton* skeleton = Build("miss", {MakeNode("root", "", o), MakeNode("arm", "root", o)});
    ASSERT_NE(skeleton, nullptr);
    ZelI::ISkeleton* host = skeleton->GetInterface();
    ZelI::IBone* root = host->GetRootBone();
    ASSERT_NE(root, nullptr);

    EXPECT_EQ(host->FindBone("leg"), nullptr);
    EXPECT_EQ(host->FindBone(nullptr), nullptr);
    // Past the end of the table and of a child list: null, not a read beyond either.
    EXPECT_EQ(host->GetBone(host->GetBoneCount()), nullptr);
    EXPECT_EQ(root->GetChild(root->GetChildCount()), nullptr);
}

TEST_F(CharacterWrapperTest, BoneWrappersAreUnboundWhenTheirSkeletonLetsItsBonesGo) {
    const float o[3] = {0, 0, 0};
    Zel::Skeleton* skeleton = Build("gone", {MakeNode("root", "", o), MakeNode("arm", "root", o)});
    ASSERT_NE(skeleton, nullptr);
    ZelI::IBone* arm = skeleton->GetInterface()->FindBone("arm");
    ASSERT_NE(arm, nullptr);
    EXPECT_TRUE(arm->IsValid());

    skeleton->ReleaseBones();
    EXPECT_FALSE(arm->IsValid());
    EXPECT_EQ(arm->GetName(), nullptr);
    EXPECT_EQ(arm->GetParent(), nullptr);
    EXPECT_EQ(arm->GetChildCount(), 0u);
    EXPECT_EQ(skeleton->GetInterface()->GetRootBone(), nullptr);
}

}  // namespace
}  // namespace ZelTest
