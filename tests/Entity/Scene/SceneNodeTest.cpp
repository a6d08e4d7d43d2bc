// The transform tree: lazy world transforms from dirty bits, once-per-frame updates, the child
// table, clones, and the node's reset.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "Core/Globals.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "tests/Core/CoreRootFixture.h"

namespace {

using namespace Zel;

constexpr float kTolerance = 1e-5f;

class SceneNodeTest : public ZelTest::CoreRootTest {
protected:
    SceneManager& Scene() { return *G()->GetSceneManager(); }
    SceneNode* Node(const char* name) { return Scene().CreateSceneNode(name); }
};

void ExpectVec3(const float* actual, float x, float y, float z) {
    EXPECT_NEAR(actual[0], x, kTolerance);
    EXPECT_NEAR(actual[1], y, kTolerance);
    EXPECT_NEAR(actual[2], z, kTolerance);
}

TEST_F(SceneNodeTest, ANewNodeHasTheUnitBoxIdentityMatricesAndState80) {
    SceneNode* node = Scene().CreateSceneNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetName(), "UnNamedNode" + std::to_string(node->GetSerialId()));
    ExpectVec3(node->GetBoundingBox().GetMin(), -0.5f, -0.5f, -0.5f);
    ExpectVec3(node->GetBoundingBox().GetMax(), 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(node->GetState(), 80u);
    for (int i = 0; i < 16; ++i) {
        const float identity = i % 5 == 0 ? 1.0f : 0.0f;
        EXPECT_EQ(node->GetLocalMatrix()[i], identity) << i;
        EXPECT_EQ(node->GetWorldMatrix()[i], identity) << i;
    }
}

TEST_F(SceneNodeTest, MovingAParentReachesDescendantsWithoutRecomposingTheirLocalMatrices) {
    SceneNode* root = Node("a");
    SceneNode* child = Node("b");
    SceneNode* grandchild = Node("c");
    root->AddChild(child);
    child->AddChild(grandchild);
    const float one[3] = {0.0f, 1.0f, 0.0f};
    const float two[3] = {0.0f, 0.0f, 2.0f};
    child->SetPosition(one);
    grandchild->SetPosition(two);
    ExpectVec3(grandchild->GetWorldPosition(), 0.0f, 1.0f, 2.0f);
    ASSERT_EQ(grandchild->GetState() & NODE_LOCAL_DIRTY, 0u);

    const float moved[3] = {10.0f, 0.0f, 0.0f};
    root->SetPosition(moved);
    EXPECT_NE(grandchild->GetState() & NODE_WORLD_DIRTY, 0u);
    EXPECT_EQ(grandchild->GetState() & NODE_LOCAL_DIRTY, 0u);
    ExpectVec3(grandchild->GetWorldPosition(), 10.0f, 1.0f, 2.0f);
    ExpectVec3(child->GetWorldPosition(), 10.0f, 1.0f, 0.0f);
    EXPECT_EQ(child->GetState() & NODE_WORLD_DIRTY, 0u);

    // A half turn about z carries the children round.
    const float half[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    root->SetOrientation(half);
    ExpectVec3(grandchild->GetWorldPosition(), 10.0f, -1.0f, 2.0f);
}

TEST_F(SceneNodeTest, UpdateRunsANodeOncePerFrameIdAndCountsEveryVisit) {
    SceneNode* root = Node("a");
    SceneNode* child = Node("b");
    root->AddChild(child);
    std::uint32_t visits = 0;
    root->Update(&visits, 0.0f, 7);
    EXPECT_EQ(visits, 2u);
    EXPECT_EQ(child->GetFrameStamp(), 7u);
    root->Update(&visits, 0.0f, 7);
    EXPECT_EQ(visits, 3u);  // the root counts the visit and stops
    root->Update(&visits, 0.0f, 8);
    EXPECT_EQ(visits, 5u);
    EXPECT_EQ(child->GetState() & NODE_BOUNDS_DIRTY, 0u);
}

TEST_F(SceneNodeTest, ClonesAreNamedWithACounterAndCopyTheTransform) {
    SceneNode* parent = Node("p");
    SceneNode* box = Node("Box");
    parent->AddChild(box);
    const float at[3] = {1.0f, 2.0f, 3.0f};
    box->SetPosition(at);
    box->SetUserFlag(9);
    SceneNode* first = box->Clone(true);
    SceneNode* second = box->Clone(false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetName(), "Box_Clone0");
    EXPECT_EQ(second->GetName(), "Box_Clone1");
    EXPECT_EQ(first->GetParent(), parent);
    EXPECT_EQ(second->GetParent(), nullptr);
    ExpectVec3(second->GetPosition(), 1.0f, 2.0f, 3.0f);
    EXPECT_EQ(second->GetUserFlag(), 9);
    EXPECT_EQ(Scene().FindSceneNode("Box_Clone1"), second);
}

TEST_F(SceneNodeTest, ASheredLocalMatrixComesBackAsScaleRotationAndTranslation) {
    SceneNode* node = Node("n");
    const float sheared[16] = {2, 1, 0, 5, 0, 3, 0, 6, 0, 0, 4, 7, 0, 0, 0, 1};
    node->SetLocalMatrix(sheared);
    ExpectVec3(node->GetPosition(), 5.0f, 6.0f, 7.0f);
    const float* m = node->GetLocalMatrix();
    EXPECT_NE(m[1], 1.0f);  // the shear is not kept
    // Each column's length is its scale.
    for (int c = 0; c < 3; ++c) {
        const float length = std::sqrt(m[c] * m[c] + m[4 + c] * m[4 + c] + m[8 + c] * m[8 + c]);
        EXPECT_NEAR(length, node->GetScale()[c], 1e-3f) << c;
    }
}

TEST_F(SceneNodeTest, ChildTableLookupsAndPlainEntityChildren) {
    SceneNode* parent = Node("p");
    Entity* entity = Scene().CreateEntity("e");
    SkeletonModel* model = Scene().CreateSkeletonModel("s");
    parent->AddChild(entity);
    parent->AddChild(model);
    EXPECT_EQ(parent->GetChildEntity("e"), entity);
    EXPECT_EQ(parent->GetChildEntity("s"), nullptr);  // a kind of entity is not an Entity
    EXPECT_EQ(parent->GetChild("s"), model);
    EXPECT_EQ(parent->GetChild(2u), nullptr);
    EXPECT_NE(parent->GetChild(0u), parent->GetChild(1u));
    parent->RemoveChild("e");
    EXPECT_EQ(entity->GetParent(), nullptr);
    EXPECT_EQ(parent->GetChildCount(), 1u);
    parent->RemoveChild(entity);  // not a child any more: ignored
    EXPECT_EQ(parent->GetChildCount(), 1u);
}

TEST_F(SceneNodeTest, ASiblingDisplacedByTheSameNameLosesItsParent) {
    SceneNode* parent = Node("p");
    SceneNode* first = Node("twin");
    SceneNode* second = Node("twin");
    parent->AddChild(first);
    parent->AddChild(second);
    EXPECT_EQ(parent->GetChild("twin"), second);
    EXPECT_EQ(first->GetParent(), nullptr);
    EXPECT_EQ(parent->GetChildCount(), 1u);
    // The same through SetParent.
    first->SetParent(parent);
    EXPECT_EQ(second->GetParent(), nullptr);
    EXPECT_EQ(parent->GetChild("twin"), first);
}

TEST_F(SceneNodeTest, TurningByDirectionMarksTheTransformChanged) {
    SceneNode* node = Node("light");
    (void)node->GetWorldMatrix();
    ASSERT_EQ(node->GetState() & NODE_WORLD_DIRTY, 0u);
    const float down[3] = {1.0f, 0.0f, 0.0f};
    node->SetDirection(down);
    EXPECT_NE(node->GetState() & NODE_WORLD_DIRTY, 0u);
    const float* d = node->GetDirection();
    ExpectVec3(d, 1.0f, 0.0f, 0.0f);
    // The world matrix follows: its -Y column now points along +x.
    const float* m = node->GetWorldMatrix();
    ExpectVec3(std::array<float, 3>{-m[1], -m[5], -m[9]}.data(), 1.0f, 0.0f, 0.0f);
}

TEST_F(SceneNodeTest, AZeroQuaternionIsStoredAsItIsAndOthersAreNormalised) {
    SceneNode* node = Node("n");
    const float zero[4] = {0, 0, 0, 0};
    node->SetOrientation(zero);
    EXPECT_EQ(node->GetOrientation()[3], 0.0f);
    const float twice[4] = {0, 0, 0, 2};
    node->SetOrientation(twice);
    EXPECT_NEAR(node->GetOrientation()[3], 1.0f, kTolerance);
}

TEST_F(SceneNodeTest, ThePoolResetDetachesAndKeepsTheName) {
    SceneNode* parent = Node("p");
    SceneNode* child = Node("c");
    SceneNode* grandchild = Node("g");
    parent->AddChild(child);
    child->AddChild(grandchild);
    const float at[3] = {1, 1, 1};
    child->SetPosition(at);
    child->Reset();
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_EQ(parent->GetChildCount(), 0u);
    EXPECT_EQ(grandchild->GetParent(), nullptr);
    EXPECT_EQ(child->GetState(), static_cast<std::uint32_t>(NODE_VISIBLE));
    EXPECT_EQ(child->GetUserFlag(), 0);
    ExpectVec3(child->GetPosition(), 0, 0, 0);
    EXPECT_EQ(child->GetName(), "c");
}

TEST_F(SceneNodeTest, AttachToRootMakesANodeTopLevel) {
    SceneNode* node = Node("n");
    SceneNode* inner = Node("i");
    node->AddChild(inner);
    EXPECT_TRUE(node->IsTopLevel());
    EXPECT_FALSE(inner->IsTopLevel());
    node->AttachToRoot();
    EXPECT_EQ(node->GetParent(), Scene().GetRootNode());
    EXPECT_TRUE(node->IsTopLevel());
}

}  // namespace
