// The root interface's operations that reach into the running scene, driven as a host drives
// them with its window open: picking what it drew, debug lines, shadows, physics and cloth
// switches, the host vertex block, foot locking, the device's reports and the effect manager's
// part of the instance report. Each test runs one level below a temporary root.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/ActorFootLock.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/RenderCorePipeline.h"
#include "Entity/Scene/Shadow.h"
#include "Interface/IModel.h"
#include "Interface/ISpecialEffectManager.h"
#include "Interface/IVB.h"
#include "Render/RenderCore/IVBImplRC.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderDevice.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsWorld.h"
#include "tests/Entity/Geometry/ImageOwnerPart.h"
#include "tests/Physics/PhysicsFixture.h"
#include "tests/Render/RenderCore/HostEffectManager.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

namespace fs = std::filesystem;

class RenderSceneOpsTest : public OpenWindowTest {
protected:
    void Command(int id, const void* input, void* output = nullptr) {
        Render()->DoCommand(id, input, 0, output, 0);
    }
    Zel::GlobalConfigManager* Config() { return G()->GetConfigManager(); }
};

// ---- Picking what the host drew ---------------------------------------------------------------

// A square of two triangles in the plane z = 0, centred at (x, y), half a unit wide.
struct HostQuad {
    std::array<float, 12> positions;
    static constexpr std::uint16_t kIndices[6] = {0, 2, 1, 0, 3, 2};

    HostQuad(float x, float y) {
        const float h = 0.5f;
        positions = {x - h, y - h, 0, x + h, y - h, 0, x + h, y + h, 0, x - h, y + h, 0};
    }
};

// The camera looks down the z axis onto the plane: world +y is the window's top, so a host
// rectangle in top-down pixels over the upper quad picks that quad only.
class PickingTest : public RenderSceneOpsTest {
protected:
    PickingTest() {
        const float eye[3] = {0, 0, 6}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        System()->MakeLookAtMatrix(eye, at, up, view_);
        System()->MakePerspectiveMatrix(60.0f, 64.0f / 48.0f, 0.5f, 100.0f, projection_);
        Render()->SetViewMatrix(view_);
        Render()->SetProjectionMatrix(projection_);
    }

    // The quad's centre in window pixels (top-down).
    std::array<int, 2> PixelOf(float x, float y) {
        const float point[3] = {x, y, 0};
        float screen[3] = {};
        Render()->WorldToScreen(point, projection_, view_, 0, 0, 64, 48, 0, 1, screen);
        return {int(screen[0]), int(screen[1])};
    }
    void Offer(std::intptr_t id, const HostQuad& quad) {
        Render()->BeginPixelCountQuery(id);
        Render()->DrawPicked(3, reinterpret_cast<std::intptr_t>(quad.positions.data()), 4, 12,
                             reinterpret_cast<std::intptr_t>(HostQuad::kIndices), 6, 0, 0, 0);
    }

    float view_[16], projection_[16];
    const HostQuad upperLeft_{-1.5f, 1.0f};
    const HostQuad lowerRight_{1.5f, -1.0f};
};

TEST_F(PickingTest, ARectangleOfWindowPixelsPicksTheQuadsDrawnUnderIt) {
    // The quads drawn as the host draws them land where WorldToScreen puts their centres.
    const float black[4] = {0, 0, 0, 1};
    Render()->SetClearColor(black);
    Render()->FrameBegin();
    Render()->Clear();
    Offer(7, upperLeft_);
    Offer(9, lowerRight_);
    Render()->FrameEnd();
    Render()->SwapBuffer();
    const std::array<int, 2> a = PixelOf(-1.5f, 1.0f), b = PixelOf(1.5f, -1.0f);
    ASSERT_LT(a[1], b[1]) << "the upper quad lies nearer the window's top";
    std::shared_ptr<Win32Window> window = Window();
    ASSERT_NE(window, nullptr);
    EXPECT_NE(window->Pixel(a[0], a[1]), 0xFF000000u);
    EXPECT_NE(window->Pixel(b[0], b[1]), 0xFF000000u);
    EXPECT_EQ(window->Pixel(a[0], b[1]), 0xFF000000u) << "nothing drawn below the upper quad";

    struct Case {
        const char* what;
        std::array<int, 4> rect;  // left, top, right, bottom
        int keep;                 // 1: the nearest only
        std::vector<std::intptr_t> picked;
    };
    const Case cases[] = {
        {"upper quad", {a[0] - 2, a[1] - 2, a[0] + 2, a[1] + 2}, 0, {7}},
        {"lower quad", {b[0] - 2, b[1] - 2, b[0] + 2, b[1] + 2}, 0, {9}},
        {"whole window", {0, 0, 63, 47}, 0, {7, 9}},
        {"empty corner", {a[0] - 2, b[1] - 2, a[0] + 2, b[1] + 2}, 0, {}},
        {"nearest under the upper quad", {a[0] - 1, a[1] - 1, a[0] + 1, a[1] + 1}, 1, {7}},
    };
    for (const Case& c : cases) {
        int keep = c.keep;
        ASSERT_EQ(Render()->SelectInRect(c.rect.data(), &keep), 1) << c.what;
        // A selection tests instead of drawing.
        const ULONGLONG calls = DrawCalls();
        Offer(7, upperLeft_);
        Offer(9, lowerRight_);
        EXPECT_EQ(DrawCalls(), calls) << c.what;
        void* results[4] = {};
        const int count = Render()->GetSelectResults(results, 4);
        std::vector<std::intptr_t> picked;
        for (int i = 0; i < count; ++i)
            picked.push_back(reinterpret_cast<std::intptr_t>(results[i]));
        std::sort(picked.begin(), picked.end());
        EXPECT_EQ(picked, c.picked) << c.what;
        EXPECT_EQ(Render()->GetSelectResults(results, 4), 0) << "the selection is closed";
    }
}

TEST_F(PickingTest, TheSelectionsRayStartsAtTheEyeAndOnlyWhileSelecting) {
    float origin[3] = {9, 9, 9}, direction[3] = {};
    EXPECT_EQ(Render()->PickRay(reinterpret_cast<std::intptr_t>(origin), 0), 0);
    EXPECT_EQ(origin[0], 9.0f) << "nothing written without a selection";
    const int rect[4] = {31, 23, 33, 25};
    Render()->SelectInRect(rect, nullptr);
    ASSERT_EQ(Render()->PickRay(reinterpret_cast<std::intptr_t>(origin),
                                reinterpret_cast<std::intptr_t>(direction)),
              1);
    EXPECT_NEAR(origin[2], 6.0f, 1e-4f);
    EXPECT_LT(direction[2], -0.99f) << "through the window's centre, straight ahead";
    Render()->GetSelectResults(nullptr, 0);
    EXPECT_EQ(Render()->PickRay(reinterpret_cast<std::intptr_t>(origin), 0), 0);
}

// ---- Debug lines and host primitives ----------------------------------------------------------

TEST_F(RenderSceneOpsTest, DebugLinesDrawOnlyWhileTheLineSwitchIsOn) {
    const float lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1}, colour[4] = {1, 0, 0, 1};
    const auto word = [](const float* p) { return reinterpret_cast<std::intptr_t>(p); };
    for (int on : {1, 0}) {
        Config()->SetValue(22, on);
        Render()->FrameBegin();
        const ULONGLONG before = DrawCalls();
        Render()->DrawAABB(word(lo), word(hi), word(colour));
        const ULONGLONG afterBox = DrawCalls();
        Render()->DrawWireFrame(word(lo), word(hi), word(colour), 0);
        const ULONGLONG afterLine = DrawCalls();
        Render()->DrawAABB(0, word(hi), word(colour));  // a missing corner: nothing
        Render()->FrameEnd();
        EXPECT_EQ(afterBox > before, on == 1) << on;
        EXPECT_EQ(afterLine > afterBox, on == 1) << on;
        EXPECT_EQ(DrawCalls(), afterLine) << on;
    }
}

TEST_F(RenderSceneOpsTest, AHostPrimitiveIsDrawnOnlyInABegunShaderFrame) {
    const HostQuad quad(0, 0);
    const float eye[3] = {0, 0, 6}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    float view[16], projection[16];
    System()->MakeLookAtMatrix(eye, at, up, view);
    System()->MakePerspectiveMatrix(60.0f, 64.0f / 48.0f, 0.5f, 100.0f, projection);
    Render()->SetViewMatrix(view);
    Render()->SetProjectionMatrix(projection);
    const auto draw = [&] {
        const ULONGLONG before = DrawCalls();
        Render()->DrawUserPrimitive(3, reinterpret_cast<std::intptr_t>(quad.positions.data()), 4,
                                    12, reinterpret_cast<std::intptr_t>(HostQuad::kIndices), 6, 0);
        return DrawCalls() > before;
    };
    Render()->FrameBegin();
    EXPECT_TRUE(draw()) << "a begun frame";
    const int rect[4] = {0, 0, 63, 47};
    Render()->SelectInRect(rect, nullptr);
    EXPECT_FALSE(draw()) << "inside a selection";
    Render()->GetSelectResults(nullptr, 0);
    Command(1, "7");
    EXPECT_FALSE(draw()) << "the fixed-function mode";
    Command(1, "9");
    EXPECT_TRUE(draw());
    Render()->FrameEnd();
}

// ---- Shadows ----------------------------------------------------------------------------------

TEST_F(RenderSceneOpsTest, ShadowVectorsReachTheShadowObject) {
    Zel::Shadow* shadow = Zel::Shadow::GetShadowInstance(0);
    ASSERT_NE(shadow, nullptr);
    const float colour[4] = {0.1f, 0.2f, 0.3f, 0.4f}, direction[3] = {0.0f, 0.0f, -1.0f};
    Render()->SetShadowVector4(colour);
    Render()->SetShadowVector3(direction);
    Render()->SetShadowVector4(nullptr);
    Render()->SetShadowVector3(nullptr);
    EXPECT_EQ(std::vector<float>(shadow->GetColour(), shadow->GetColour() + 4),
              std::vector<float>(colour, colour + 4));
    EXPECT_FLOAT_EQ(shadow->GetDirection()[2], -1.0f);
}

// A cube made through the interface, floating above the ground, casts a blob shadow: the shadow
// pass of a begun frame draws it only while the shadow switch (19) is on, and leaves nothing
// behind for the next frame.
TEST_F(RenderSceneOpsTest, TheShadowPassDrawsOnlyWhileShadowsAreSwitchedOn) {
    // The blob's material library, as a data tree holds it; the shadows made with the window
    // are made again to read it.
    ZelFixtures::LegacyShader blob;
    blob.name = "FakeShadow";
    blob.passes = {ZelFixtures::LegacyPass{}};
    dir_.Write("resources/media/shaders/FakeShadow.xml", ZelFixtures::WriteLegacyLibrary({{blob}}));
    Zel::Shadow::Shutdown();
    Zel::Shadow::Init();
    ZelI::IModel* cube =
        Render()->CreateModel(ZelDemo::HostModelName("models/textured_cube.dm3").c_str(), 0);
    ASSERT_NE(cube, nullptr);
    const float above[3] = {0.0f, 0.0f, 1.5f};
    cube->SetPosition(above);
    const float eye[3] = {0, -5, 4}, at[3] = {0, 0, 0.5f}, up[3] = {0, 0, 1};
    Render()->LookAt(eye, at, up);
    Render()->SetCameraFov(60.0f, 64.0f / 48.0f, 0.5f, 100.0f);
    Render()->SetShadowQuality(3);  // blob shadows
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    Render()->SetClearColor(grey);

    struct Frame {
        ULONGLONG shadowDraws;
        std::vector<DWORD> pixels;
    };
    const auto frame = [&](bool shadowsOn) {
        Config()->SetValue(19, shadowsOn ? 1 : 0);
        Frame out{};
        const auto pass = [&] {
            const ULONGLONG before = DrawCalls();
            Render()->RenderShadows(nullptr);
            out.shadowDraws = DrawCalls() - before;
        };
        Render()->FrameBegin();
        Render()->Clear();
        Render()->PushNewPipe(0, 0, 0, 0, 0);
        Render()->PushToPipe(cube);
        Render()->ProcessCurrentPipe();
        Render()->RenderPushedPipes();
        pass();
        Render()->CleanPushedObjsAndSubModels();
        Render()->FrameEnd();
        Render()->SwapBuffer();
        std::shared_ptr<Win32Window> window = Window();
        for (UINT y = 0; window && y < window->ClientHeight(); ++y)
            for (UINT x = 0; x < window->ClientWidth(); ++x)
                out.pixels.push_back(window->Pixel(x, y));
        return out;
    };

    const Frame without = frame(false);
    const Frame with = frame(true);
    ASSERT_FALSE(with.pixels.empty());
    EXPECT_EQ(without.shadowDraws, 0u) << "switch 19 off";
    EXPECT_GT(with.shadowDraws, 0u);
    EXPECT_NE(with.pixels, without.pixels) << "the blob darkens the ground under the cube";
    EXPECT_EQ(frame(false).pixels, without.pixels) << "nothing of the shadow stays";
    cube->Release();
}

// ---- Pipes ------------------------------------------------------------------------------------

struct CountingCallback final : Zel::RenderCallback {
    void Run() override { ++runs; }
    int runs = 0;
};

TEST_F(RenderSceneOpsTest, AnObjectPassedToTheOpenPipeRunsWhenThePipeIsProcessed) {
    struct Case {
        bool openPipe;
        int runs;
    };
    for (const Case& c : {Case{true, 1}, Case{false, 0}}) {
        CountingCallback callback;
        Render()->FrameBegin();
        if (c.openPipe)
            Render()->PushNewPipe(0, 0, 0, 0, 0);
        Render()->PassToOpenPipe(reinterpret_cast<std::intptr_t>(&callback));
        Render()->PassToOpenPipe(0);
        Render()->ProcessCurrentPipe();
        Render()->CleanPushedObjsAndSubModels();
        Render()->FrameEnd();
        EXPECT_EQ(callback.runs, c.runs) << c.openPipe;
    }
}

// A model pushes itself into the frame's open pipe while the model switch is on.
TEST_F(RenderSceneOpsTest, AModelPushesItselfIntoTheOpenPipeWhileModelsAreDrawn) {
    Zel::Entity* entity = G()->GetSceneManager()->CreateEntity();
    auto* model = dynamic_cast<ZelI::IModel*>(entity->GetInterface());
    ASSERT_NE(model, nullptr);
    std::uint32_t& pushed = G()->GetFrameStats()->words[Zel::FRAME_PUSHED_MODELS];
    struct Case {
        const char* what;
        std::int32_t modelSwitch;
        bool openPipe;
        std::uint32_t pushes;
    };
    const Case cases[] = {
        {"models drawn, a pipe open", 1, true, 1},
        {"models not drawn", 0, true, 0},
        {"no pipe open", 1, false, 0},
    };
    for (const Case& c : cases) {
        Config()->SetValue(18, c.modelSwitch);
        Render()->FrameBegin();
        if (c.openPipe)
            Render()->PushNewPipe(0, 0, 0, 0, 0);
        const std::uint32_t before = pushed;
        EXPECT_EQ(model->PushToPipe(), 0) << c.what;
        EXPECT_EQ(pushed - before, c.pushes) << c.what;
        Render()->CleanPushedObjsAndSubModels();
        Render()->FrameEnd();
    }
    Config()->SetValue(18, 1);
    model->Release();
    EXPECT_EQ(model->PushToPipe(), 0);  // unbound: nothing
}

// ---- Physics, cloth, geometry -----------------------------------------------------------------

TEST_F(RenderSceneOpsTest, ABodyFallsOnlyWhilePhysicsIsSwitchedOn) {
    ASSERT_TRUE(G()->GetSceneManager()->IsPhysicsAvailable());
    const Zel::PhxBodyDesc desc = BodyDesc(Zel::PHX_SHAPE_SPHERE, 0.5f, 0, 0, 0, 0, 0, 10.0f);
    Zel::PhxEntity* body = G()->GetPhysicsWorld()->GetScene()->CreateEntity(&desc);
    ASSERT_NE(body, nullptr);
    const float gravity[3] = {0, 0, -9.8f};
    Render()->SetGravity(gravity);
    Render()->SetPhysicsEnabled(0);
    EXPECT_EQ(Render()->StepPhysics(100), 0);
    EXPECT_TRUE(body->IsSyncPending()) << "not stepped, not read back";
    Render()->SetPhysicsEnabled(1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Render()->StepPhysics(100), 1);
    EXPECT_FALSE(body->IsSyncPending());
    // A third of a second of fall, not 300 seconds.
    EXPECT_LT(body->GetPose()[11], 9.9f);
    EXPECT_GT(body->GetPose()[11], 8.0f);
    body->Release();
}

TEST_F(RenderSceneOpsTest, TheClothSwitchReadsBack) {
    for (bool on : {false, true, false}) {
        Render()->SetClothEnabled(on);
        EXPECT_EQ(Render()->IsClothEnabled(), on);
        EXPECT_EQ(Zel::Cloth::IsGlobalEnabled(), on);
    }
}

TEST_F(RenderSceneOpsTest, UnloadingByNameReachesThePartOfThatOwner) {
    Zel::GeometryManager& manager = *G()->GetGeometryManager();
    auto* mine = new ImageOwnerPart(manager, "parts\\head_01.bp3", 7);
    auto* other = new ImageOwnerPart(manager, "parts\\head_02.bp3", 9);
    manager.Add(mine);
    manager.Add(other);
    Render()->UnloadGeometryByName(nullptr, 7);
    Render()->UnloadGeometryByName("Parts/HEAD", 7);
    EXPECT_EQ(mine->released, 1);
    EXPECT_EQ(other->released, 0);
}

// ---- Frame state ------------------------------------------------------------------------------

TEST_F(RenderSceneOpsTest, FrameBeginGivesLastFramesParticleRunsBack) {
    Zel::ParticleInstance* instance = G()->GetParticleInstanceFactory()->Acquire();
    Zel::QueueParticleInstance(instance);
    // A run without a particle buffer is not queued.
    const float lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1};
    Render()->SetParticleInstance(0, reinterpret_cast<std::intptr_t>(lo),
                                  reinterpret_cast<std::intptr_t>(hi), 4, 0, 0);
    EXPECT_EQ(Zel::GetQueuedParticleInstanceCount(), 1u);
    Render()->FrameBegin();
    Render()->FrameEnd();
    EXPECT_EQ(Zel::GetQueuedParticleInstanceCount(), 0u);
}

TEST_F(RenderSceneOpsTest, TheLastErrorIsReadOnce) {
    G()->GetSceneManager()->SetLastError(12);
    EXPECT_EQ(Render()->GetLastErrorCode(), 12);
    EXPECT_EQ(Render()->GetLastErrorCode(), 0);
}

TEST_F(RenderSceneOpsTest, TheCameraModeReachesTheSecondCameraOnlyWhileMirrored) {
    Render()->SetCameraMode(3);
    Command(100086, nullptr);  // mirroring off
    Render()->SetCameraMode(5);
    Command(100086, nullptr);
    ZelI::ICamera* mainWrapper = Render()->GetMainCamera();
    ZelI::ICamera* secondWrapper = Render()->GetSecondCamera();
    auto* main = Zel::UnwrapInterface<Zel::Camera, ZelI::IMoveObject>(mainWrapper);
    auto* second = Zel::UnwrapInterface<Zel::Camera, ZelI::IMoveObject>(secondWrapper);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(main->GetMode(), 5);
    EXPECT_EQ(second->GetMode(), 3);
    mainWrapper->Release();
    secondWrapper->Release();
}

// ---- Device reports ---------------------------------------------------------------------------

TEST_F(RenderSceneOpsTest, DeviceReportsComeFromTheOpenDevice) {
    EXPECT_EQ(Render()->GetDeviceValueA(),
              std::intptr_t(System()->GetRenderDevice()->GetAvailableTextureMem()));
    EXPECT_GT(Render()->GetDeviceValueA(), 0);
    EXPECT_EQ(Render()->GetDeviceValueB(),
              std::intptr_t(System()->GetRenderDevice()->GetVideoMemory(true)));
    EXPECT_EQ(Render()->GetDeviceCapsWord(0, 0, 0, 0, 0, 0),
              std::intptr_t(G()->GetDeviceCaps()->featureFlags));
    EXPECT_NE(Render()->GetDeviceCapsWord(0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(Render()->GetDeviceCapsWord(1, 0, 0, 0, 0, 0), 0);
}

TEST_F(RenderWindowTest, WithoutAWindowTheSceneOperationsAnswerNothing) {
    EXPECT_EQ(Render()->GetVB(), nullptr);
    EXPECT_EQ(Render()->GetDeviceValueA(), 0);
    EXPECT_EQ(Render()->GetDeviceValueB(), 0);
    EXPECT_EQ(Render()->GetDeviceCapsWord(0, 0, 0, 0, 0, 0), 0);
    Render()->SetCameraMode(2);
    Render()->DrawAABB(0, 0, 0);
    Render()->RenderShadows(nullptr);
    EXPECT_EQ(Render()->GetSelectResults(nullptr, 0), 0);
}

// ---- The host vertex block --------------------------------------------------------------------

TEST_F(RenderSceneOpsTest, TheWindowBringsAVertexBlockInTheShaderLayout) {
    ZelI::IVB* vb = Render()->GetVB();
    ASSERT_NE(vb, nullptr);
    EXPECT_EQ(Render()->GetVB(), vb) << "one block per window";
    auto* impl = dynamic_cast<Zel::IVBImplRC*>(vb);
    ASSERT_NE(impl, nullptr);
    EXPECT_EQ(impl->GetStride(), 36u);
    EXPECT_FALSE(vb->IsValid());
    ASSERT_TRUE(vb->Allocate(36 * 4, 6, 0, 0, 0, 0));
    EXPECT_TRUE(vb->IsValid());
    EXPECT_EQ(vb->Lock(0, 0, 36), vb->GetVertexData());
    EXPECT_EQ(vb->Lock(1, 0, 0), vb->GetIndexData());
}

// ---- Numbered commands ------------------------------------------------------------------------

TEST_F(RenderSceneOpsTest, TheFootLockCommandSwitchesAndTunesLocking) {
    Zel::FootLockParams& params = Zel::FootLockParams::Global();
    const Zel::FootLockParams saved = params;
    std::array<float, 10> block{};  // the thresholds start at byte 4
    for (int i = 1; i < 10; ++i) block[i] = float(i) / 10.0f;
    const std::uint8_t on = 1, other = 2;
    struct Case {
        const std::uint8_t* input;
        const void* block;
        bool enabled;
    };
    const Case cases[] = {
        {&on, nullptr, true},
        {&other, nullptr, true},  // another byte leaves it
        {nullptr, nullptr, false},
        {&on, block.data(), true},
    };
    for (const Case& c : cases) {
        Command(3, c.input, const_cast<void*>(c.block));
        EXPECT_EQ(params.enabled, c.enabled);
    }
    EXPECT_FLOAT_EQ(params.rootHeightLimit, 0.1f);
    EXPECT_FLOAT_EQ(params.liftedFoot, 0.9f);
    params = saved;
}

// ---- The instance report ----------------------------------------------------------------------

std::string NewestReport(const fs::path& directory) {
    std::vector<fs::path> reports;
    for (const auto& entry : fs::directory_iterator(directory))
        if (entry.path().filename().string().rfind("Instance_", 0) == 0)
            reports.push_back(entry.path());
    if (reports.empty())
        return {};
    std::sort(reports.begin(), reports.end());
    std::ifstream in(reports.back());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(RenderSceneOpsTest, TheInstanceReportEndsWithTheHostsEffectsWhenAManagerIsSet) {
    const fs::path reports = fs::current_path() / "ResInfo";
    fs::create_directories(reports);
    // Without a manager the report is written all the same.
    Command(28, nullptr);
    const std::string without = NewestReport(reports);
    EXPECT_NE(without.find("实例大小"), std::string::npos);
    EXPECT_EQ(without.find("host effects"), std::string::npos);
    fs::remove_all(reports);
    fs::create_directories(reports);

    HostEffectManager effects;
    effects.reportLine = "host effects: 3\n";
    Render()->SetSpecialEffectManager(&effects);
    Command(28, nullptr);
    const std::string with = NewestReport(reports);
    const std::size_t size = with.find("实例大小"), host = with.find("host effects: 3");
    ASSERT_NE(host, std::string::npos);
    EXPECT_LT(size, host) << "the host's lines come last";
    Render()->SetSpecialEffectManager(nullptr);
}

}  // namespace
}  // namespace ZelTest
