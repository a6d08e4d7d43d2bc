#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/CharacterFixture.h"
#include "support/LogCapture.h"

namespace {

using Zel::Bone;
using Zel::Skeleton;
using Zel::SkeletonFault;
using Zel::SkeletonNode;
using ZelTest::MakeNode;
using SkeletonTest = ZelTest::CharacterTest;

SkeletonNode At(const std::string& name, const std::string& parent, float x, float y, float z) {
    const float p[3] = {x, y, z};
    return MakeNode(name, parent, p);
}

std::vector<std::string> Names(const Skeleton& s) {
    std::vector<std::string> names;
    for (const Bone* b : s.GetBones()) names.push_back(b->GetName());
    return names;
}

TEST_F(SkeletonTest, RootIsTheLastParentlessNodeWithAChildOrTheOnlyNode) {
    struct Case {
        const char* what;
        std::vector<SkeletonNode> nodes;
        std::int32_t root;
    };
    const std::vector<Case> cases = {
        {"one node", {At("A", "", 0, 0, 0)}, 0},
        {"one node under Scene Root", {At("A", "Scene Root", 0, 0, 0)}, 0},
        {"two parentless leaves", {At("A", "", 0, 0, 0), At("B", "null", 0, 0, 0)}, -1},
        {"parent named by a child",
         {At("C", "A", 0, 0, 0), At("A", "null", 0, 0, 0), At("B", "", 0, 0, 0)},
         1},
        {"last qualifying wins",
         {At("A", "", 0, 0, 0), At("B", "Scene Root", 0, 0, 0), At("a", "A", 0, 0, 0),
          At("b", "B", 0, 0, 0)},
         1},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Skeleton* s = Build("root" + std::to_string(n++), c.nodes);
        if (c.root < 0) {
            EXPECT_EQ(s, nullptr);
            continue;
        }
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetRootIndex(), c.root);
        EXPECT_EQ(s->GetRootBone(), s->GetBone(static_cast<std::uint32_t>(c.root)));
        EXPECT_EQ(s->GetRootBone()->GetParent(), nullptr);
    }
}

TEST_F(SkeletonTest, BuildCopiesTheNodesAndLinksParentsAndChildren) {
    SkeletonNode root = At("Bip01", "", 0, 0, 1);
    SkeletonNode pelvis = At("Bip01 Pelvis", "Bip01", 0, 0, 1);
    pelvis.localPosition[0] = 7;  // a parentless node takes its model position instead
    root.localPosition[0] = 9;
    pelvis.localRotation[2] = 0.5f;
    SkeletonNode thigh = At("Bip01 L Thigh", "Bip01 Pelvis", 0.1f, 0, 0.9f);
    SkeletonNode calf = At("Bip01 L Calf", "Bip01 L Thigh", 0.1f, 0, 0.5f);
    Skeleton* s = Build("fig", {root, pelvis, calf, thigh});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Names(*s),
              (std::vector<std::string>{"Bip01", "Bip01 Pelvis", "Bip01 L Calf", "Bip01 L Thigh"}));
    EXPECT_EQ(s->GetBone(0)->GetLocalPosition()[0], 0.0f);
    EXPECT_EQ(s->GetBone(1)->GetLocalPosition()[0], 7.0f);
    EXPECT_EQ(s->GetBone(1)->GetLocalRotation()[2], 0.5f);
    EXPECT_EQ(s->GetBone(2)->GetParent(), s->GetBone(3));
    EXPECT_EQ(s->GetBone(2)->GetParentIndex(), 3);
    EXPECT_EQ(s->GetBone(3)->GetChildIndices(), (std::vector<std::int32_t>{2}));
    EXPECT_EQ(s->GetBone(1)->GetChildIndices(), (std::vector<std::int32_t>{3}));
    // The inverse bind matrix undoes the bind matrix's translation.
    EXPECT_FLOAT_EQ(s->GetBone(3)->GetInverseBindMatrix()[11], -0.9f);
    EXPECT_EQ(s->GetSize(), Skeleton::kBaseSize + 4 * Skeleton::kBytesPerBone);
    EXPECT_EQ(s->GetBoneIndex("Bip01 L Thigh"), 3);
    EXPECT_EQ(s->FindBone("Bip01 L Calf"), s->GetBone(2));
    EXPECT_EQ(s->GetBoneIndex("Bip01 L"), -1);
    // Parent first, children in table order.
    std::vector<std::int32_t> order;
    for (const auto& step : s->GetEvaluationOrder()) order.push_back(step.bone);
    EXPECT_EQ(order, (std::vector<std::int32_t>{0, 1, 3, 2}));
}

TEST_F(SkeletonTest, HeadFlagFollowsTheHeadThroughParentsMetEarlier) {
    // Face bones listed before the head are flagged by the head's name; a grandchild is flagged
    // only when its parent came first in the file.
    Skeleton* s = Build("head", {
                                    At("Bip01", "", 0, 0, 0),
                                    At("Jaw", "Bip01 Head", 0, 0, 0),
                                    At("Bip01 Neck", "Bip01", 0, 0, 0),
                                    At("Lip", "Eye", 0, 0, 0),
                                    At("Bip01 Head", "Bip01 Neck", 0, 0, 0),
                                    At("Eye", "Bip01 Head", 0, 0, 0),
                                    At("Lid", "Eye", 0, 0, 0),
                                });
    ASSERT_NE(s, nullptr);
    const std::vector<std::pair<const char*, bool>> flags = {
        {"Bip01", false},      {"Jaw", true}, {"Bip01 Neck", false}, {"Lip", false},
        {"Bip01 Head", false}, {"Eye", true}, {"Lid", true}};
    for (const auto& [name, flagged] : flags)
        EXPECT_EQ(s->FindBone(name)->IsHeadFlagged(), flagged) << name;
}

TEST_F(SkeletonTest, NamesAreCutTo31Characters) {
    const std::string n31(31, 'a');
    std::string n32(32, 'b');
    n32.back() = 'c';
    Skeleton* s = Build("names", {At(n31, "", 0, 0, 0), At(n32, n31, 0, 0, 0)});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::string(s->GetBone(0)->GetName()), n31);
    EXPECT_EQ(std::string(s->GetBone(1)->GetName()), std::string(31, 'b'));
    EXPECT_EQ(s->GetBoneIndex(std::string(31, 'b')), 1);
    EXPECT_EQ(s->GetBoneIndex(n32), -1);
    EXPECT_EQ(s->GetBone(1)->GetParent(), s->GetBone(0));
}

TEST_F(SkeletonTest, SplitBonesMaskTheLowerBodyAndFindHeadAndSpine) {
    Skeleton* s = Biped();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetBoneCount(), 70u);
    const std::vector<std::uint8_t> mask = s->FindSplitBones();
    ASSERT_EQ(mask.size(), 70u);
    std::vector<std::string> lower;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (mask[i])
            lower.push_back(s->GetBone(static_cast<std::uint32_t>(i))->GetName());
    }
    EXPECT_EQ(lower,
              (std::vector<std::string>{"Bip01", "Bip01 Pelvis", "Bip01 Spine", "Bip01 L Thigh",
                                        "Bip01 L ThighTwist1", "Bip01 L Calf", "Bip01 L Foot",
                                        "Bip01 L Toe0", "Bip01 R Thigh", "Bip01 R ThighTwist1",
                                        "Bip01 R Calf", "Bip01 R Foot", "Bip01 R Toe0"}));
    EXPECT_EQ(s->GetHeadBone(), s->GetBoneIndex("Bip01 Head"));
    EXPECT_EQ(s->GetSpineBone(), s->GetBoneIndex("Bip01 Spine1"));

    // A "Waist" bone after the spine split bone takes its place.
    Skeleton* w = Build("waist", {At("Bip01", "", 0, 0, 0), At("Bip01 Spine1", "Bip01", 0, 0, 0),
                                  At("Bip01 Waist", "Bip01", 0, 0, 0)});
    ASSERT_NE(w, nullptr);
    w->FindSplitBones();
    EXPECT_EQ(w->GetSpineBone(), 2);
    EXPECT_EQ(w->GetHeadBone(), -1);
}

TEST_F(SkeletonTest, EmptySkeletonAnswersNothing) {
    Skeleton* s = static_cast<Skeleton*>(Manager().Create("empty"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetSize(), 164u);
    EXPECT_EQ(s->GetBoneIndex("Bip01"), -1);
    EXPECT_TRUE(s->FindSplitBones().empty());
    s->ComputeAllBoneAxes();
    EXPECT_EQ(s->BuildFromTree({}), nullptr);
    EXPECT_EQ(s->GetRootIndex(), -1);
}

TEST_F(SkeletonTest, MapSpineToPelvisTakesOnlyTheSpine) {
    std::string out = "unchanged";
    EXPECT_FALSE(Skeleton::MapSpineToPelvis("Bip01 Spine1", out));
    EXPECT_FALSE(Skeleton::MapSpineToPelvis("Bip01 Spin", out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(Skeleton::MapSpineToPelvis("Bip01 Spine", out));
    EXPECT_EQ(out, "Bip01 Pelvis");
}

TEST_F(SkeletonTest, BoneAxesFollowTheChildDirectionThenTheNameRules) {
    struct Case {
        const char* name;
        float child[3];
        std::int32_t axes[3];
    };
    const std::vector<Case> cases = {
        {"Bone", {2, 0.5f, 0}, {0, 1, 2}},
        {"Bone", {0.1f, -3, 1}, {1, 0, 2}},
        {"Bone", {0, 1, -4}, {2, 0, 1}},
        // A tie for the largest component keeps what the name set, or leaves the axes unset.
        {"Bone", {1, 1, 0}, {-1, -1, -1}},
        {"Bip01 Head", {1, -1, 0.5f}, {0, 2, 1}},
        {"Bip01 L Toe0", {0, 0, 1}, {2, 0, 1}},
        {"Bip01 R ForeTwist1", {1, 1, 1}, {0, 2, 1}},
        // These three end with (0, 2, 1) whatever their child says.
        {"Bip01 Spine", {1, 0, 0}, {0, 2, 1}},
        {"Bip01 Neck", {0, 0, 1}, {0, 2, 1}},
        {"Bip01 Pelvis", {0, 1, 0}, {0, 2, 1}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(n));
        SkeletonNode parent = At(c.name, "", 1, 2, 3);
        SkeletonNode child = At("Child", c.name, 1 + c.child[0], 2 + c.child[1], 3 + c.child[2]);
        Skeleton* s = Build("axes" + std::to_string(n++), {parent, child});
        ASSERT_NE(s, nullptr);
        s->ComputeAllBoneAxes();
        const Bone* b = s->GetBone(0);
        EXPECT_EQ(std::vector<std::int32_t>(b->GetAxes(), b->GetAxes() + 3),
                  std::vector<std::int32_t>(c.axes, c.axes + 3));
        // A leaf gets nothing from a child.
        EXPECT_FALSE(s->GetBone(1)->HasAxes());
    }
}

TEST_F(SkeletonTest, BoneAxesAreTakenInTheBoneFrame) {
    // The bone is turned a quarter turn about z: a child along model y lies along the bone's x.
    SkeletonNode parent = At("Bone", "", 0, 0, 0);
    const float turn[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::copy(turn, turn + 16, parent.bindMatrix);
    SkeletonNode child = At("Child", "Bone", 0, -2, 0);
    Skeleton* s = Build("turned", {parent, child});
    ASSERT_NE(s, nullptr);
    s->ComputeAllBoneAxes();
    const Bone* b = s->GetBone(0);
    EXPECT_EQ(b->GetAxes()[0], 0);
    EXPECT_FLOAT_EQ(b->GetDirectionToChild()[1], -1.0f);
    // Rows: cross axis 1 (y), cross axis 2 (z), length axis (x).
    const float rows[9] = {0, 1, 0, 0, 0, 1, 1, 0, 0};
    EXPECT_EQ(std::vector<float>(b->GetAxisMatrix(), b->GetAxisMatrix() + 9),
              std::vector<float>(rows, rows + 9));
}

TEST_F(SkeletonTest, MalformedTreesAreRefusedAndGiveTheirBonesBack) {
    auto* factory = G()->GetBoneFactory();
    struct Case {
        const char* what;
        std::vector<SkeletonNode> nodes;
    };
    const std::vector<Case> cases = {
        {"own ancestor",
         {At("R", "", 0, 0, 0), At("X", "R", 0, 0, 0), At("A", "B", 0, 0, 0),
          At("B", "A", 0, 0, 0)}},
        {"duplicate parent names",
         {At("R", "", 0, 0, 0), At("A", "R", 0, 0, 0), At("A", "R", 0, 0, 0),
          At("C", "A", 0, 0, 0)}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZelTest::LogCapture log;
        factory->GetLock().Enter();
        const std::uint32_t inUse = factory->GetPool().GetInUseCount();
        factory->GetLock().Leave();
        EXPECT_EQ(Build("bad" + std::to_string(n++), c.nodes), nullptr);
        EXPECT_EQ(log.Count("refused"), 1);
        factory->GetLock().Enter();
        EXPECT_EQ(factory->GetPool().GetInUseCount(), inUse);
        factory->GetLock().Leave();
    }
}

TEST_F(SkeletonTest, FinishTreeNamesWhyAHandBuiltTableIsRefused) {
    Skeleton* s = static_cast<Skeleton*>(Manager().Create("handmade"));
    ASSERT_NE(s, nullptr);
    Bone* a = s->AppendBone();
    Bone* b = s->AppendBone();
    Bone* c = s->AppendBone();
    ASSERT_TRUE(a && b && c);
    b->SetParent(a, 0);
    a->AddChild(b, 1);
    c->SetParent(a, 0);
    a->AddChild(c, 2);
    ZelTest::LogCapture log;
    s->SetRootIndex(3);
    EXPECT_EQ(s->FinishTree(), SkeletonFault::RootOutOfRange);
    s->SetRootIndex(0);
    EXPECT_EQ(s->FinishTree(), SkeletonFault::None);
    EXPECT_EQ(s->GetEvaluationOrder().size(), 3u);
    EXPECT_EQ(s->GetEvaluationOrder()[0].subtreeEnd, 3);
    b->AddChild(c, 2);  // c's parent is a
    EXPECT_EQ(s->FinishTree(), SkeletonFault::ChildNotParented);
    EXPECT_TRUE(s->GetEvaluationOrder().empty());

    Skeleton* loop = static_cast<Skeleton*>(Manager().Create("loop"));
    Bone* x = loop->AppendBone();
    Bone* y = loop->AppendBone();
    x->SetParent(y, 1);
    y->AddChild(x, 0);
    y->SetParent(x, 0);
    x->AddChild(y, 1);
    EXPECT_EQ(loop->FinishTree(), SkeletonFault::OwnAncestor);
    x->SetIndex(4);
    EXPECT_EQ(loop->FinishTree(), SkeletonFault::BrokenLink);
    EXPECT_EQ(log.Count("refused"), 4);
}

TEST_F(SkeletonTest, BonesComeBackFromTheFactoryReset) {
    Skeleton* s = Build("reset", {At("Bip01 Head", "", 0, 0, 0), At("Jaw", "Bip01 Head", 1, 2, 3)});
    ASSERT_NE(s, nullptr);
    s->ComputeAllBoneAxes();
    ASSERT_TRUE(s->GetBone(0)->HasAxes());
    s->ReleaseBones();
    EXPECT_EQ(s->GetBoneCount(), 0u);
    EXPECT_EQ(s->GetRootBone(), nullptr);
    EXPECT_EQ(s->GetRootIndex(), -1);
    // The factory hands out the most recently returned bone first.
    Bone* bone = G()->GetBoneFactory()->Acquire();
    EXPECT_STREQ(bone->GetName(), "");
    EXPECT_EQ(bone->GetFlags(), 0u);
    EXPECT_EQ(bone->GetIndex(), -1);  // not placed in a table yet
    EXPECT_EQ(bone->GetParent(), nullptr);
    EXPECT_EQ(bone->GetParentIndex(), -1);
    EXPECT_TRUE(bone->GetChildren().empty());
    EXPECT_TRUE(bone->GetChildIndices().empty());
    EXPECT_FALSE(bone->HasAxes());
    EXPECT_EQ(bone->GetAxes()[1], -1);
    EXPECT_EQ(bone->GetModelPosition()[0], 0.0f);
    EXPECT_EQ(bone->GetBindMatrix()[3], 0.0f);
    EXPECT_EQ(bone->GetLocalRotation()[3], 1.0f);
    G()->GetBoneFactory()->Release(bone);
}

TEST_F(SkeletonTest, ManagerLoadsOnceAndDropsFailedLoads) {
    int loads = 0;
    Manager().SetFileLoader([&loads](Skeleton& s, const std::string& path) {
        ++loads;
        if (path.find("bad") != std::string::npos)
            return s.BuildFromTree({At("A", "", 0, 0, 0), At("B", "", 0, 0, 0)}) != nullptr;
        return s.BuildFromTree({At("A", "", 0, 0, 0)}) != nullptr;
    });
    Skeleton* first = Manager().GetOrLoad("good.ase");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetRefCount(), 2);
    EXPECT_EQ(Manager().GetActiveBytes(), Skeleton::kBaseSize + Skeleton::kBytesPerBone);
    Skeleton* second = Manager().GetOrLoad("good.ase");
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->GetRefCount(), 3);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(Manager().GetOrLoad("bad.ase"), nullptr);
    EXPECT_EQ(Manager().GetByName("bad.ase"), nullptr);
    Manager().ReleaseShared(second);
    Manager().ReleaseShared(first);
    EXPECT_EQ(Manager().GetByName("good.ase"), nullptr);
    // Without loaders nothing loads.
    Manager().SetFileLoader(nullptr);
    EXPECT_EQ(Manager().GetOrLoad("good.ase"), nullptr);
    EXPECT_EQ(Manager().GetOrLoadFromStream("stream", nullptr), nullptr);
}

TEST_F(SkeletonTest, FigureShortcutsAnswerOnlyHeldFigures) {
    Skeleton* boy = Build("boy_fig.fig", {At("Bip01", "", 0, 0, 0)});
    Skeleton* variant = Build("girl_NF_3_fig.fig", {At("Bip01", "", 0, 0, 0)});
    ASSERT_TRUE(boy && variant);
    struct Case {
        const char* what;
        Skeleton* answer;
        Skeleton* want;
    };
    const std::vector<Case> cases = {
        {"default boy", Manager().DefaultBoyFigFile(), boy},
        {"boy without variant", Manager().VariantBoyFigFile(std::nullopt), boy},
        {"male default", Manager().DefaultFigFile(true), boy},
        {"girl variant", Manager().VariantGirlFigFile('3'), variant},
        {"girl not held", Manager().DefaultGirlFigFile(), nullptr},
        {"boy variant not held", Manager().VariantBoyFigFile('3'), nullptr},
        {"new boy not held", Manager().DefaultNewBoyFigFile(), nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.answer, c.want) << c.what;
        Skeleton* s = c.answer;
        Manager().ReleaseShared(s);
    }
}

TEST_F(SkeletonTest, AssigningTheSameFigureAgainKeepsIt) {
    // The actor's reference is the only one besides the manager's.
    Manager().SetFileLoader(
        [](Skeleton& s, const std::string&) { return s.BuildFromTree({At("A", "", 0, 0, 0)}); });
    Skeleton* held = Manager().GetOrLoad("new_girl_fig.fig");
    Skeleton* boy = Manager().GetOrLoad("boy_fig.fig");
    ASSERT_TRUE(held && boy);
    Manager().AssignNewActorSkeleton(held, false);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->GetName(), "new_girl_fig.fig");
    EXPECT_EQ(held->GetRefCount(), 2);
    Manager().AssignActorSkeleton(held, std::nullopt, true);
    EXPECT_EQ(held, boy);
    EXPECT_EQ(Manager().GetByName("new_girl_fig.fig"), nullptr);
    Manager().ReleaseShared(held);
    Manager().ReleaseShared(boy);
}

}  // namespace
