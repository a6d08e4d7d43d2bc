// The actor recipe written into the test's directory, the switches an actor needs to load its
// skeleton and to animate, the action trees read, and actors taken from the actor factory (given
// back at the end of the test).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActorFootLock.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/PinchState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/GeometryManager.h"
#include "modelgen/ActorRecipe.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace ZelTest {

class ActorTest : public GeometryTest {
protected:
    void SetUp() override {
        GeometryTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor"))
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
        Zel::GlobalConfigManager& config = *G()->GetConfigManager();
        config.SetUseActionLib(true);
        for (std::uint32_t s :
             {Zel::Actor::kRunUpdateSwitch, Zel::Actor::kUpdateActorSwitch,
              Zel::Actor::kUpdateActionsSwitch, Zel::AnimationTrack::kUpdateTrackAnimationsSwitch})
            config.SetValue(s, 1);
        ASSERT_TRUE(G()->GetActionManager()->LoadActionTree("actions.xml"));
        Zel::FootLockParams::Global() = Zel::FootLockParams{};
        Zel::PinchState::ResetConfiguration();
    }

    void TearDown() override {
        for (Zel::Actor* a : actors_) G()->GetActorFactory()->Release(a);
        actors_.clear();
        Zel::FootLockParams::Global() = Zel::FootLockParams{};
        Zel::PinchState::ResetConfiguration();
        GeometryTest::TearDown();
    }

    // A new actor on the recipe's actor description, of the sex.
    Zel::Actor* NewActor(std::uint8_t sex = 0) {
        Zel::Actor* a = G()->GetActorFactory()->Acquire();
        actors_.push_back(a);
        a->SetSex(sex);
        EXPECT_TRUE(a->LoadGeometry("actor.act"));
        return a;
    }

    // NewActor wearing part0.bp3 ... part8.bp3.
    Zel::Actor* Dressed(std::uint8_t sex = 0) {
        Zel::Actor* a = NewActor(sex);
        for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
            EXPECT_TRUE(a->SetBodyPart(n, "part" + std::to_string(n) + ".bp3")) << n;
        return a;
    }

    static void Step(Zel::Actor& a, float dt) { a.Update(nullptr, dt, 0); }

    // Bone n's model-space position as the last evaluation left it.
    static std::vector<float> ModelPosition(const Zel::Actor& a, std::int32_t n) {
        const Zel::BoneState* s = a.GetBoneState(static_cast<std::uint32_t>(n));
        return {s->modelMatrix[3], s->modelMatrix[7], s->modelMatrix[11]};
    }

private:
    std::vector<Zel::Actor*> actors_;
};

}  // namespace ZelTest
