// Cloth of a character is created on the loading thread while the host steps the scene.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Physics/ClothNx.h"
#include "PhysicsFixture.h"

using namespace Zel;
using ZelTest::BodyDesc;

namespace {

class PhysicsThreadTest : public ZelTest::PhysicsTest {};

TEST_F(PhysicsThreadTest, BodiesComeAndGoOnAnotherThreadWhileTheHostSteps) {
    ASSERT_NE(Make(BodyDesc(PHX_SHAPE_PLANE, 0, 0, 1, 0)), nullptr);
    std::atomic<bool> loading{true};
    std::atomic<int> made{0};
    std::thread loader([&] {
        for (int i = 0; i < 40; ++i) {
            PhxScene* scene = world_->GetScene();
            const PhxBodyDesc grid = BodyDesc(PHX_SHAPE_CLOTH, 1, 1, 0.25f, 0, 0, 0, 2);
            const PhxBodyDesc box = BodyDesc(PHX_SHAPE_BOX, 0.2f, 0.2f, 0.2f, 0, 0, 0, 3);
            auto* cloth = static_cast<PhxCloth*>(scene->CreateEntity(&grid));
            PhxEntity* body = scene->CreateEntity(&box);
            if (cloth != nullptr && body != nullptr) {
                ++made;
                cloth->SetStretchingStiffness(0.8f);
                const float pin[3] = {0, 0, 2};
                cloth->AttachVertexToGlobalPosition(0, pin);
                body->SetGroup(0);
                body->SetMass(2.0f);
            }
            if (i % 2 == 0) {
                if (cloth != nullptr)
                    cloth->Release();
                if (body != nullptr)
                    body->Release();
            }
        }
        loading = false;
    });
    int steps = 0;
    while (loading || steps < 20) {
        scene_->Step(1.0f / 60.0f);
        scene_->UpdateEntities();
        ++steps;
    }
    loader.join();
    EXPECT_EQ(made.load(), 40);
    EXPECT_EQ(scene_->GetEntityCount(), 1u + 40u);
}

}  // namespace
