// The host's actor wrapper: levels of detail in tenths, placement under the actor-move switch,
// the sex-dependent height of a placement matrix, and queued level changes.
#include <gtest/gtest.h>

#include <vector>

#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Render/RenderCore/ActorWrapper.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

class ActorWrapperTest : public ActorTest {
protected:
    ZelI::IActor* Host(Zel::Actor* actor) {
        return dynamic_cast<ZelI::IActor*>(actor->GetInterface());
    }
    void RespondToMoves(bool on) { G()->GetConfigManager()->SetValue(64, on ? 1 : 0); }
};

TEST_F(ActorWrapperTest, LevelsOfDetailTravelAsTenthsTruncated) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->GetObjectKind(), 4);
    struct Case {
        float level;
        std::int32_t stored;  // what the actor keeps afterwards
        float readBack;
    };
    const Case cases[] = {
        {1.0f, 10, 1.0f}, {0.35f, 3, 0.3f},
        {1.2f, 3, 0.3f},                     // 12: above the actor's levels, ignored
        {0.0f, 0, 0.0f},  {-0.5f, 0, 0.0f},  // negative levels are ignored
        {0.7f, 7, 0.7f},
    };
    for (const Case& c : cases) {
        host->SetLod(c.level);
        EXPECT_EQ(actor->GetLodLevel(), c.stored) << c.level;
        EXPECT_FLOAT_EQ(host->GetLod(), c.readBack) << c.level;
    }
}

TEST_F(ActorWrapperTest, AQueuedLevelChangeIsMadeByItsTask) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
    ASSERT_NE(worker, nullptr);
    ASSERT_EQ(worker->Start(nullptr), 0);
    host->SetLod(0.2f);
    const std::uint32_t id = host->SetLodAsyn(0.5f, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker->SyncTask(id), 0);
    EXPECT_EQ(actor->GetLodLevel(), 5);
}

TEST_F(ActorWrapperTest, PlacementFollowsTheActorMoveSwitch) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    const float at[3] = {3.0f, 4.0f, 5.0f};
    struct Case {
        bool respond;
        bool keepZ;  // SetPositionAlt rather than SetPosition
        std::vector<float> expected;
    };
    const Case cases[] = {
        {true, false, {3, 4, 0}},
        {true, true, {3, 4, 5}},
        {false, false, {0, 0, 0}},  // not ignored: put at the origin
        {false, true, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        RespondToMoves(true);
        const float away[3] = {9.0f, 9.0f, 9.0f};
        host->SetPositionDirect(away);
        RespondToMoves(c.respond);
        c.keepZ ? host->SetPositionAlt(at) : host->SetPosition(at);
        float out[3] = {};
        host->GetPosition(out);
        EXPECT_EQ(std::vector<float>(out, out + 3), c.expected) << c.respond << c.keepZ;
    }

    float shifted[16] = {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 7, 0, 0, 0, 1};
    RespondToMoves(false);
    host->SetLocalMatrix(shifted);
    EXPECT_EQ(host->GetLocalMatrix()[3], 0.0f);  // identity instead
    RespondToMoves(true);
}

TEST_F(ActorWrapperTest, APlacementMatrixTakesItsHeightFromTheSex) {
    for (std::uint8_t sex : {0, 1}) {
        Zel::Actor* actor = NewActor(sex);
        ZelI::IActor* host = Host(actor);
        const float matrix[16] = {1, 0, 0, 2, 0, 1, 0, 3, 0, 0, 1, 7, 0, 0, 0, 1};
        host->SetPlacement(matrix);
        EXPECT_FLOAT_EQ(host->GetLocalMatrix()[11], sex ? -0.025f : 0.0f) << int(sex);
        EXPECT_FLOAT_EQ(host->GetLocalMatrix()[3], 2.0f);
    }
}

TEST_F(ActorWrapperTest, CloningFromNothingAnswersZeroAndAnUnboundWrapperDoesNothing) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    EXPECT_EQ(host->CloneFrom(nullptr), 0);
    EXPECT_EQ(host->RenderSnapshot(0, 0, 0, 0, 0, 0, 0, 0), 1);

    actor->DetachInterface();
    EXPECT_FALSE(host->IsValid());
    host->SetLod(0.5f);
    EXPECT_EQ(host->GetLod(), 0.0f);
    EXPECT_EQ(host->SetLodAsyn(0.5f, 0), 0u);
    EXPECT_FALSE(host->SetBodyPart(0, "part0.bp3"));
    EXPECT_EQ(host->RenderSnapshot(0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_NE(actor->GetLodLevel(), 5);
}

}  // namespace
}  // namespace ZelTest
