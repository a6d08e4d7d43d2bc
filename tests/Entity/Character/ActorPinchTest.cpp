// Pinch on actors: the configuration files, which ids an actor accepts, the deltas at the slider
// values, the pose restored after each frame, and the bones it touches after bone states moved
// between models.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ActorFixture.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Actor;
using Zel::PinchState;

constexpr float kNear = 1e-4f;

void Text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Op(const char* id, const char* bone, const char* property, float min, float max) {
    return std::string("<pinchop id=\"") + id + "\"><bone name=\"" + bone + "\"><property>" +
           property + "</property><min>" + std::to_string(min) + "</min><max>" +
           std::to_string(max) + "</max></bone></pinchop>";
}

class ActorPinchTest : public ActorTest {
protected:
    // The female configuration: STATURE_HEIGHT moves the spine along x (-0.2 at -1, 0.4 at +1);
    // CHEEK_WIDTH moves the head along y.
    void LoadConfig(const std::string& ops) {
        std::filesystem::create_directories("pinch");
        Text("pinch/f_pinch.xml", "<pinchfiles><file>ops.xml</file></pinchfiles>");
        Text("pinch/ops.xml", "<PINCHOPS>" + ops + "</PINCHOPS>");
        ASSERT_TRUE(PinchState::LoadPinchConfig(false, "pinch/f_pinch.xml"));
    }
    void LoadSpineConfig() {
        LoadConfig(Op("STATURE_HEIGHT", "Bip01 Spine", "localPos.x", -0.2f, 0.4f) +
                   Op("CHEEK_WIDTH", "Bip01 Head", "localPos.y", -0.1f, 0.1f));
    }
    static std::int32_t Spine() { return ZelModelGen::ActorBoneIndex("Bip01 Spine"); }
};

TEST_F(ActorPinchTest, SliderValuesMoveTheBoneForOneFrameOnly) {
    LoadSpineConfig();
    Actor* a = Dressed();
    Step(*a, 0.0f);
    const float bindX = ModelPosition(*a, Spine())[0];
    const float localX = a->GetBoneState(static_cast<std::uint32_t>(Spine()))->translation[0];
    struct Case {
        float value;
        float delta;
    };
    const Case cases[] = {{0.0f, 0.0f}, {-1.0f, -0.2f}, {1.0f, 0.4f}, {0.5f, 0.2f}};
    for (const Case& c : cases) {
        ASSERT_TRUE(a->SetPinchValue(0, c.value));
        Step(*a, 0.0f);
        EXPECT_NEAR(ModelPosition(*a, Spine())[0] - bindX, c.delta, kNear) << c.value;
        EXPECT_NEAR(a->GetBoneState(static_cast<std::uint32_t>(Spine()))->translation[0], localX,
                    kNear)
            << "the sampled pose comes back after the frame";
    }
    ASSERT_NE(a->GetPinchState(), nullptr);
    EXPECT_TRUE(a->IsBoneScaleEnabled());
    EXPECT_EQ(a->GetPinchState()->GetResolvedCount(), 2u) << "the host's file was kept";
    EXPECT_FALSE(a->GetPinchState()->SetValue(0, 0.5f)) << "the same value is no change";
    EXPECT_TRUE(a->GetPinchState()->SetValue(0, 0.25f));
}

TEST_F(ActorPinchTest, IdsTheActorAccepts) {
    LoadSpineConfig();
    Actor* a = Dressed();
    struct Case {
        std::int32_t id;
        bool accepted;
    };
    const Case plain[] = {{0, true},   {5, true},   {6, false},  {16, false},
                          {32, false}, {33, false}, {74, false}, {-1, true}};
    for (const Case& c : plain) EXPECT_EQ(a->SetPinchValue(c.id, 0.5f), c.accepted) << c.id;
    ASSERT_TRUE(a->SetBodyPart(2, "face8.bp3"));
    const Case face[] = {{33, true}, {74, true}, {80, true}, {20, false}};
    for (const Case& c : face) EXPECT_EQ(a->SetPinchValue(c.id, 0.5f), c.accepted) << c.id;
}

TEST_F(ActorPinchTest, AnUnknownBoneStopsResolution) {
    LoadConfig(Op("STATURE_HEIGHT", "Bip01 Spine", "localPos.x", -0.2f, 0.4f) +
               Op("HEAD_SIZE", "No Such Bone", "localPos.x", -0.2f, 0.4f) +
               Op("LEG_SIZE", "Bip01 Spine", "localPos.y", -0.2f, 0.4f) +
               Op("WAIST_SIZE", "Bip01 Spine", "noProperty", -0.2f, 0.4f) +
               Op("NOT_A_PARAMETER", "Bip01 Spine", "localPos.x", -0.2f, 0.4f));
    EXPECT_EQ(PinchState::Ops(false).size(), 3u) << "unknown property and parameter skipped";
    Actor* a = Dressed();
    LogCapture log;
    ASSERT_TRUE(a->SetPinchValue(3, 1.0f));
    EXPECT_EQ(log.Count("Fig中不存在该骨骼: No Such Bone"), 1);
    EXPECT_EQ(a->GetPinchState()->GetResolvedCount(), 1u);
    Step(*a, 0.0f);
    const float y = ModelPosition(*a, Spine())[1];
    ASSERT_TRUE(a->SetPinchValue(3, 0.0f));
    Step(*a, 0.0f);
    EXPECT_NEAR(ModelPosition(*a, Spine())[1], y, kNear) << "after the unknown bone: never applied";
}

TEST_F(ActorPinchTest, AfterBoneStatesMoveBetweenModelsPinchTouchesOnlyItsOwnBones) {
    LoadSpineConfig();
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetPinchValue(0, 1.0f));
    Step(*a, 0.0f);
    const float pinched = ModelPosition(*a, Spine())[0];
    // a's states go back to the pool and come back in another order; b takes states too.
    a->RebuildBoneStates();
    Actor* b = Dressed();
    b->RebuildBoneStates();
    Step(*b, 0.0f);
    const float other = ModelPosition(*b, Spine())[0];
    Step(*a, 0.0f);
    EXPECT_NEAR(ModelPosition(*a, Spine())[0], pinched, kNear);
    Step(*b, 0.0f);
    EXPECT_NEAR(ModelPosition(*b, Spine())[0], other, kNear);
    for (std::uint32_t i = 0; i < b->GetBoneStateCount(); ++i)
        EXPECT_NE(b->GetBoneState(i), a->GetBoneState(i));
}

TEST_F(ActorPinchTest, MasterFileFaults) {
    std::vector<Zel::PinchOp> list{{}};
    EXPECT_FALSE(PinchState::ReadPinchFiles("absent.xml", list));
    EXPECT_TRUE(list.empty());
    Text("noroot.xml", "<other/>");
    EXPECT_FALSE(PinchState::ReadPinchFiles("noroot.xml", list));
    std::filesystem::create_directories("p");
    Text("p/ops.xml",
         "<PINCHOPS>" + Op("HEAD_SIZE", "Bip01 Head", "localSca.x", 0, 1) + "</PINCHOPS>");
    Text("p/master.xml", "<pinchfiles><file>ops.xml</file><file>gone.xml</file></pinchfiles>");
    EXPECT_FALSE(PinchState::ReadPinchFiles("p/master.xml", list));
    EXPECT_EQ(list.size(), 1u) << "the first file's operations stay";
    EXPECT_EQ(list[0].kind, 6);
    EXPECT_NE(LogText().find("捏脸文件读取失败! gone.xml"), std::string::npos);
    EXPECT_NE(LogText().find("捏脸文件格式错误! 缺乏根pinchfiles标记noroot.xml"),
              std::string::npos);
}

}  // namespace
