#include <gtest/gtest.h>

#include <cmath>

#include "support/LogCapture.h"
#include "Physics/ClothNx.h"
#include "Physics/EntityNx.h"
#include "PhysicsFixture.h"

using namespace Zel;
using ZelTest::BodyDesc;

namespace {

class RigidBodyTest : public ZelTest::PhysicsTest {};

TEST_F(RigidBodyTest, DynamicShapesFallAndAPlaneStays) {
    struct Case {
        const char* name;
        PhxBodyDesc desc;
        bool falls;
    };
    const Case cases[] = {
        {"box", BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 1, 2, 3), true},
        {"sphere", BodyDesc(PHX_SHAPE_SPHERE, 0.5f, 0, 0, 0, 1, 2, 3), true},
        {"capsule", BodyDesc(PHX_SHAPE_CAPSULE, 0.3f, 1.0f, 0, 0, 1, 2, 3), true},
        {"plane", BodyDesc(PHX_SHAPE_PLANE, 0, 0, 1, 3, 1, 2, 3), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhxEntity* body = Make(c.desc);
        ASSERT_NE(body, nullptr);
        EXPECT_TRUE(body->IsSyncPending());
        Run(10);
        EXPECT_FALSE(body->IsSyncPending());
        if (c.falls) {
            EXPECT_LT(body->GetPose()[11], 3.0f);
            EXPECT_NEAR(body->GetPose()[3], 1.0f, 1e-4f);
            EXPECT_NEAR(body->GetPosition()[2], body->GetPose()[11], 1e-6f);
        } else {
            EXPECT_FLOAT_EQ(body->GetPose()[11], 3.0f);
        }
        EXPECT_EQ(body->GetPose()[15], 1.0f);
        body->Release();
    }
    EXPECT_EQ(scene_->GetEntityCount(), 0u);
}

TEST_F(RigidBodyTest, KinematicAndGravityFreeBodiesStayPut) {
    PhxEntity* kinematic = Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 5));
    PhxEntity* floating = Make(BodyDesc(PHX_SHAPE_SPHERE, 0.5f, 0, 0, 0, 5, 0, 5));
    ASSERT_NE(kinematic, nullptr);
    ASSERT_NE(floating, nullptr);
    kinematic->SetKinematic(true);
    floating->SetGravityEnabled(false);
    EXPECT_TRUE(kinematic->IsKinematic());
    EXPECT_FALSE(floating->IsGravityEnabled());
    Run(30);
    EXPECT_FLOAT_EQ(kinematic->GetPose()[11], 5.0f);
    EXPECT_FLOAT_EQ(floating->GetPose()[11], 5.0f);

    // Back to normal, both fall.
    kinematic->SetKinematic(false);
    floating->SetGravityEnabled(true);
    Run(10);
    EXPECT_LT(kinematic->GetPose()[11], 5.0f);
    EXPECT_LT(floating->GetPose()[11], 5.0f);
}

TEST_F(RigidBodyTest, SetPoseMovesTheBodyAndKeepsTheStoredPosition) {
    PhxEntity* body = Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0));
    ASSERT_NE(body, nullptr);
    body->SetKinematic(true);
    float pose[16];
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, pose);
    pose[3] = 4;
    pose[7] = 5;
    pose[11] = 6;
    body->SetPose(pose);
    EXPECT_EQ(body->GetPosition()[0], 0.0f);
    Run(1);
    EXPECT_FLOAT_EQ(body->GetPosition()[0], 4.0f);
    EXPECT_FLOAT_EQ(body->GetPosition()[1], 5.0f);
    EXPECT_FLOAT_EQ(body->GetPosition()[2], 6.0f);
}

// Group 1 against group 0 is off after the scene's set-up; one call turns it on for both orders.
TEST_F(RigidBodyTest, GroupTableDecidesWhetherABoxLandsOnThePlane) {
    for (bool collide : {false, true}) {
        SCOPED_TRACE(collide);
        scene_->SetGroupCollision(1, 0, collide);
        EXPECT_EQ(scene_->GetNxScene()->getGroupCollisionFlag(0, 1), collide);
        PhxEntity* ground = Make(BodyDesc(PHX_SHAPE_PLANE, 0, 0, 1, 0));
        PhxEntity* box = Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 1));
        ASSERT_NE(ground, nullptr);
        ASSERT_NE(box, nullptr);
        box->SetGroup(1);
        Run(90);
        if (collide) {
            EXPECT_NEAR(box->GetPose()[11], 0.5f, 0.1f);
        } else {
            EXPECT_LT(box->GetPose()[11], -5.0f);
        }
        scene_->ReleaseAllEntities();
    }
}

TEST_F(RigidBodyTest, NewSceneGroupsCollideOnlyWithThemselves) {
    Nx::NxScene* nx = scene_->GetNxScene();
    for (int i = 0; i < PhxScene::kGroupCount; ++i) {
        for (int j = 0; j < PhxScene::kGroupCount; ++j) {
            ASSERT_EQ(nx->getGroupCollisionFlag(i, j), i == j) << i << " " << j;
        }
    }
}

TEST_F(RigidBodyTest, CloneCopiesGravityKinematicMassAndGroup) {
    PhxEntity* body = Make(BodyDesc(PHX_SHAPE_SPHERE, 0.5f, 0, 0, 0, 0, 0, 2));
    ASSERT_NE(body, nullptr);
    body->SetGravityEnabled(false);
    body->SetKinematic(true);
    body->SetMass(7.0f);
    body->SetGroup(5);
    PhxEntity* copy = body->Clone();
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, body);
    EXPECT_FALSE(copy->IsGravityEnabled());
    EXPECT_TRUE(copy->IsKinematic());
    EXPECT_EQ(copy->GetMass(), 7.0f);
    EXPECT_EQ(copy->GetGroup(), 5);
    Nx::NxActor* actor = static_cast<EntityNx*>(copy)->GetActor();
    EXPECT_FLOAT_EQ(actor->getMass(), 7.0f);
    EXPECT_EQ(actor->getShapes()[0]->getGroup(), 5u);
    EXPECT_TRUE(actor->readBodyFlag(Nx::NX_BF_KINEMATIC));
    EXPECT_EQ(scene_->GetEntityCount(), 2u);
}

TEST_F(RigidBodyTest, SleepingBodyHoldsStillUntilWoken) {
    PhxEntity* body = Make(BodyDesc(PHX_SHAPE_BOX, 0.5f, 0.5f, 0.5f, 0, 0, 0, 10));
    ASSERT_NE(body, nullptr);
    EXPECT_FALSE(body->IsSleeping());
    body->SetSleeping(true);
    EXPECT_TRUE(body->IsSleeping());
    Run(20);
    EXPECT_FLOAT_EQ(body->GetPose()[11], 10.0f);
    body->SetSleeping(false);
    EXPECT_FALSE(body->IsSleeping());
    Run(20);
    EXPECT_LT(body->GetPose()[11], 10.0f);
}

TEST_F(RigidBodyTest, KindDecidesTheClassAndBadDescriptorsMakeNothing) {
    ZelTest::LogCapture log;
    PhxBodyDesc grid = BodyDesc(PHX_SHAPE_CLOTH, 1, 1, 0.5f, 0);
    EXPECT_NE(dynamic_cast<ClothNx*>(Make(grid)), nullptr);
    const float nan = std::nanf("");
    const PhxBodyDesc refused[] = {
        BodyDesc(6, 1, 1, 1, 0),
        BodyDesc(-1, 1, 1, 1, 0),
        BodyDesc(PHX_SHAPE_BOX, 0, 1, 1, 0),
        BodyDesc(PHX_SHAPE_SPHERE, -1, 0, 0, 0),
        BodyDesc(PHX_SHAPE_SPHERE, nan, 0, 0, 0),
        BodyDesc(PHX_SHAPE_CAPSULE, 0.5f, -1, 0, 0),
        BodyDesc(PHX_SHAPE_PLANE, 0, 0, 0, 1),
        BodyDesc(PHX_SHAPE_CLOTH_ALT, 1, 0, 0, 0),  // no source mesh
    };
    for (const PhxBodyDesc& d : refused) {
        SCOPED_TRACE(d.shapeKind);
        EXPECT_EQ(Make(d), nullptr);
    }
    EXPECT_EQ(scene_->GetEntityCount(), 1u);
    // The SDK's refusals reach the log through the error sink.
    EXPECT_GE(log.Count("Ageia Error:"), 4);
}

TEST_F(RigidBodyTest, ReleasingAnotherScenesBodyChangesNothing) {
    PhxScene* other = world_->CreateScene();
    const PhxBodyDesc boxDesc = BodyDesc(PHX_SHAPE_BOX, 1, 1, 1, 0);
    PhxEntity* foreign = other->CreateEntity(&boxDesc);
    ASSERT_NE(foreign, nullptr);
    Make(BodyDesc(PHX_SHAPE_BOX, 1, 1, 1, 0));
    scene_->ReleaseEntity(foreign);
    EXPECT_EQ(scene_->GetEntityCount(), 1u);
    EXPECT_EQ(other->GetEntityCount(), 1u);
    EXPECT_TRUE(PhxEntity::IsLive(foreign));
}

}  // namespace
