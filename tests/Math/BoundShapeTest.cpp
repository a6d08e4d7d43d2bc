#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FakePhxScene.h"
#include "Math/BoundCapsule.h"
#include "Math/BoundSphere.h"
#include "Math/MathUtil.h"

namespace {

using namespace Zel;
using ZelTest::FakePhxScene;

// Bones are only carried, never followed, so any address serves.
Bone* SomeBone() {
    static int bone;
    return reinterpret_cast<Bone*>(&bone);
}

const float kLocal[16] = {1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1};

TEST(BoundShape, NewPooledShapesHaveUnitDimensions) {
    BoundCapsule* capsule = AcquireBoundCapsule();
    BoundSphere* sphere = AcquireBoundSphere();
    ASSERT_NE(capsule, nullptr);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(capsule->GetRadius(), 1.0f);
    EXPECT_EQ(capsule->GetHeight(), 1.0f);
    EXPECT_EQ(sphere->GetRadius(), 1.0f);
    EXPECT_EQ(sphere->GetKind(), BOUND_SPHERE);
    EXPECT_EQ(capsule->GetKind(), BOUND_CAPSULE);
    EXPECT_EQ(sphere->GetFlag(), 1u);
    EXPECT_EQ(sphere->GetPhysicsBody(), nullptr);
    capsule->Recycle();
    sphere->Recycle();
}

TEST(BoundShape, SetupHandsTheSceneTheBodyDescriptor) {
    FakePhxScene scene;
    struct {
        BoundBase* shape;
        float params[3];
        std::int32_t kind;
    } cases[] = {
        {AcquireBoundSphere(), {0.5f, 0.5f, 0.5f}, PHX_SHAPE_SPHERE},
        {AcquireBoundCapsule(), {0.25f, 2.0f, 0.0f}, PHX_SHAPE_CAPSULE},
    };
    for (auto& c : cases) {
        c.shape->SetPhysicsScene(&scene);
        EXPECT_TRUE(c.shape->Setup(c.params));
        ASSERT_NE(c.shape->GetPhysicsBody(), nullptr);
        const PhxBodyDesc& desc = scene.descs.back();
        EXPECT_EQ(desc.dimensions[0], c.params[0]);
        EXPECT_EQ(desc.dimensions[1], c.params[1]);
        EXPECT_EQ(desc.dimensions[2], c.params[2]);
        EXPECT_EQ(desc.dimensions[3], 1.0f);
        EXPECT_EQ(desc.scalar, 1.0f);
        EXPECT_TRUE(std::equal(desc.pose, desc.pose + 16, IdentityMatrix()));
        EXPECT_EQ(desc.shapeKind, c.kind);
        EXPECT_EQ(desc.extra, nullptr);
    }
    EXPECT_EQ(static_cast<BoundSphere*>(cases[0].shape)->GetRadius(), 0.5f);
    EXPECT_EQ(static_cast<BoundCapsule*>(cases[1].shape)->GetHeight(), 2.0f);
    EXPECT_EQ(scene.GetEntityCount(), 2u);
    for (auto& c : cases) {
        c.shape->Recycle();
    }
    EXPECT_EQ(scene.GetEntityCount(), 0u);
}

TEST(BoundShape, SetupFailsWithoutABody) {
    FakePhxScene scene;
    BoundSphere* sphere = AcquireBoundSphere();
    const float params[3] = {2.0f, 2.0f, 2.0f};
    // No scene: false, and nothing is dereferenced.
    EXPECT_FALSE(sphere->Setup(params));
    EXPECT_EQ(sphere->GetPhysicsBody(), nullptr);
    // A scene that makes no body.
    scene.refuse = true;
    sphere->SetPhysicsScene(&scene);
    EXPECT_FALSE(sphere->Setup(params));
    EXPECT_EQ(sphere->GetPhysicsBody(), nullptr);
    EXPECT_EQ(scene.descs.size(), 1u);
    sphere->Recycle();
    EXPECT_EQ(scene.releaseRequests, 0);
}

TEST(BoundShape, SetupAgainReplacesTheBody) {
    FakePhxScene scene;
    BoundSphere* sphere = AcquireBoundSphere();
    sphere->SetPhysicsScene(&scene);
    const float params[3] = {1.0f, 1.0f, 1.0f};
    ASSERT_TRUE(sphere->Setup(params));
    ASSERT_TRUE(sphere->Setup(params));
    EXPECT_EQ(scene.GetEntityCount(), 1u);
    EXPECT_EQ(scene.releaseRequests, 1);
    // A failed set-up still lets the old body go.
    sphere->SetPhysicsScene(nullptr);
    EXPECT_FALSE(sphere->Setup(params));
    EXPECT_EQ(scene.GetEntityCount(), 0u);
    sphere->Recycle();
}

TEST(BoundShape, RecycleResetsReleasesTheBodyOnceAndThePoolHandsTheShapeOutAgain) {
    FakePhxScene scene;
    BoundSphere* sphere = AcquireBoundSphere();
    sphere->SetPhysicsScene(&scene);
    sphere->SetParentBone(SomeBone());
    sphere->SetFlag(7);
    sphere->SetLocalTransform(kLocal);
    sphere->SetName("Bip01 Head");
    sphere->SetIdentifier(3);
    const float params[3] = {0.3f, 0.3f, 0.3f};
    ASSERT_TRUE(sphere->Setup(params));

    Factory<BoundSphere>& factory = BoundSphere::GetFactory();
    const std::int32_t inUse = factory.GetPool().GetInUseCount();
    sphere->Recycle();
    EXPECT_EQ(scene.releaseRequests, 1);
    EXPECT_EQ(scene.GetEntityCount(), 0u);
    EXPECT_EQ(factory.GetPool().GetInUseCount(), inUse - 1);
    // A second recycle is ignored: the shape is not in use any more.
    sphere->Recycle();
    EXPECT_EQ(scene.releaseRequests, 1);
    RecycleBound(nullptr);

    // The most recently returned shape comes back first, as Reset left it.
    BoundSphere* again = AcquireBoundSphere();
    ASSERT_EQ(again, sphere);
    EXPECT_EQ(again->GetPhysicsBody(), nullptr);
    EXPECT_EQ(again->GetPhysicsScene(), nullptr);
    EXPECT_EQ(again->GetParentBone(), nullptr);
    EXPECT_EQ(again->GetFlag(), 1u);
    EXPECT_TRUE(
        std::equal(again->GetLocalTransform(), again->GetLocalTransform() + 16, IdentityMatrix()));
    EXPECT_TRUE(again->GetName().empty());
    EXPECT_EQ(again->GetIdentifier(), 0u);
    RecycleBound(again);
}

TEST(BoundShape, PoolGrowsWhenEveryShapeIsInUse) {
    Factory<BoundCapsule>& factory = BoundCapsule::GetFactory();
    std::vector<BoundCapsule*> taken;
    while (factory.GetPool().GetFreeCount() > 0) {
        taken.push_back(AcquireBoundCapsule());
    }
    const std::int32_t capacity = factory.GetPool().GetCapacity();
    BoundCapsule* extra = AcquireBoundCapsule();
    ASSERT_NE(extra, nullptr);
    EXPECT_GT(factory.GetPool().GetCapacity(), capacity);
    EXPECT_EQ(extra->GetRadius(), 1.0f);
    EXPECT_EQ(extra->GetHeight(), 1.0f);
    taken.push_back(extra);
    for (BoundCapsule* capsule : taken) {
        capsule->Recycle();
    }
}

TEST(BoundShape, CloneCopiesTheShapeAndClonesItsBody) {
    FakePhxScene scene;
    BoundCapsule* capsule = AcquireBoundCapsule();
    capsule->SetPhysicsScene(&scene);
    capsule->SetParentBone(SomeBone());
    capsule->SetFlag(9);
    capsule->SetLocalTransform(kLocal);
    capsule->SetName("Bip01 L Calf");
    capsule->SetIdentifier(4);
    const float params[3] = {0.2f, 1.5f, 0.0f};
    ASSERT_TRUE(capsule->Setup(params));

    auto* copy = static_cast<BoundCapsule*>(capsule->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, capsule);
    EXPECT_EQ(copy->GetKind(), BOUND_CAPSULE);
    EXPECT_EQ(copy->GetRadius(), 0.2f);
    EXPECT_EQ(copy->GetHeight(), 1.5f);
    EXPECT_EQ(copy->GetPhysicsScene(), &scene);
    EXPECT_EQ(copy->GetParentBone(), SomeBone());
    EXPECT_EQ(copy->GetFlag(), 9u);
    EXPECT_TRUE(std::equal(kLocal, kLocal + 16, copy->GetLocalTransform()));
    EXPECT_TRUE(copy->GetName().empty());
    EXPECT_EQ(copy->GetIdentifier(), 0u);
    ASSERT_NE(copy->GetPhysicsBody(), nullptr);
    EXPECT_NE(copy->GetPhysicsBody(), capsule->GetPhysicsBody());
    EXPECT_EQ(scene.GetEntityCount(), 2u);
    EXPECT_EQ(scene.descs.back().shapeKind, PHX_SHAPE_CAPSULE);
    EXPECT_EQ(scene.descs.back().dimensions[1], 1.5f);

    copy->Recycle();
    capsule->Recycle();
    EXPECT_EQ(scene.GetEntityCount(), 0u);
}

TEST(BoundShape, CloneOfAShapeWithoutABodyHasNone) {
    FakePhxScene scene;
    BoundSphere* sphere = AcquireBoundSphere();
    sphere->SetPhysicsScene(&scene);
    sphere->SetRadius(0.75f);
    auto* copy = static_cast<BoundSphere*>(sphere->Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetPhysicsBody(), nullptr);
    EXPECT_EQ(copy->GetRadius(), 0.75f);
    EXPECT_EQ(scene.descs.size(), 0u);
    copy->Recycle();
    sphere->Recycle();
}

TEST(BoundShape, CopyToLeavesTheTargetsBodySceneAndNameAlone) {
    FakePhxScene scene;
    FakePhxScene otherScene;
    BoundSphere* source = AcquireBoundSphere();
    BoundSphere* target = AcquireBoundSphere();
    source->SetPhysicsScene(&scene);
    source->SetParentBone(SomeBone());
    source->SetFlag(5);
    source->SetLocalTransform(kLocal);
    source->SetName("source");
    target->SetPhysicsScene(&otherScene);
    target->SetName("target");
    target->SetIdentifier(8);
    const float params[3] = {1.0f, 1.0f, 1.0f};
    ASSERT_TRUE(target->Setup(params));
    PhxEntity* body = target->GetPhysicsBody();

    EXPECT_EQ(source->CopyTo(target), target);
    EXPECT_EQ(target->GetParentBone(), SomeBone());
    EXPECT_EQ(target->GetFlag(), 5u);
    EXPECT_EQ(target->GetLocalTransform()[3], 5.0f);
    EXPECT_EQ(target->GetPhysicsBody(), body);
    EXPECT_EQ(target->GetPhysicsScene(), &otherScene);
    EXPECT_EQ(target->GetName(), "target");
    EXPECT_EQ(target->GetIdentifier(), 8u);
    EXPECT_EQ(source->CopyTo(nullptr), nullptr);

    source->Recycle();
    target->Recycle();
    EXPECT_EQ(otherScene.GetEntityCount(), 0u);
}

}  // namespace
