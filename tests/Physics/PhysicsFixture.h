// A physics world over the loaded runtime, with helpers to describe bodies. The runtime is loaded
// once per test and released with the world.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "Math/MathUtil.h"
#include "Physics/PhxBodyDesc.h"
#include "Physics/PhxEntity.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Physics/SceneNx.h"

namespace ZelTest {

inline Zel::PhxBodyDesc BodyDesc(std::int32_t kind, float a, float b, float c, float d, float x = 0,
                                 float y = 0, float z = 0) {
    Zel::PhxBodyDesc desc = {};
    desc.dimensions[0] = a;
    desc.dimensions[1] = b;
    desc.dimensions[2] = c;
    desc.dimensions[3] = d;
    desc.scalar = 1.0f;
    std::copy(Zel::IdentityMatrix(), Zel::IdentityMatrix() + 16, desc.pose);
    desc.pose[3] = x;
    desc.pose[7] = y;
    desc.pose[11] = z;
    desc.shapeKind = kind;
    desc.extra = nullptr;
    return desc;
}

// Base: the fixture the world is built on (set up before it, torn down after it).
template <class Base>
class PhysicsTestOn : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        Zel::SetPhysicsRuntimeMissing(false);
        ASSERT_TRUE(Zel::LoadPhysicsSDK());
        world_ = std::make_unique<Zel::PhysicsWorld>();
        scene_ = static_cast<Zel::SceneNx*>(world_->GetScene());
        ASSERT_NE(scene_->GetNxScene(), nullptr);
    }
    void TearDown() override {
        if (world_) {
            world_->Shutdown();
            world_.reset();
        }
        Base::TearDown();
    }

    Zel::PhxEntity* Make(const Zel::PhxBodyDesc& desc) { return scene_->CreateEntity(&desc); }

    // Steps at 60 Hz and reads the bodies back.
    void Run(int steps) {
        for (int i = 0; i < steps; ++i) {
            scene_->Step(1.0f / 60.0f);
        }
        scene_->UpdateEntities();
    }

    std::unique_ptr<Zel::PhysicsWorld> world_;
    Zel::SceneNx* scene_ = nullptr;
};

using PhysicsTest = PhysicsTestOn<::testing::Test>;

}  // namespace ZelTest
