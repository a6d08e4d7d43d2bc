// The root interface as a host drives it once its window is open: the mirrored cameras, the
// render-state presets, the numbered commands (the clip planes among them cutting a drawn quad),
// the return to the window after a host target, the hardware capability list, host textures,
// the screen-to-world operations and the settings it forwards. Each test runs one level below a
// temporary root.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Core/DeviceCaps.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/QueueMode.h"
#include "Core/threadmng.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureScale.h"
#include "Interface/ZelEngine.h"
#include "Render/RenderCore/HardwareCapsList.h"
#include "Render/RenderCore/TextureWrappers.h"
#include "Render/RenderDevice.h"
#include "fixtures/HwCapFixtures.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

namespace fs = std::filesystem;

DWORD DeviceState(SoftDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADu;
    device->GetRenderState(state, &value);
    return value;
}

class RenderInterfaceTest : public OpenWindowTest {
protected:
    Zel::RenderDevice* Device() { return System()->GetRenderDevice(); }
    void Command(int id, const void* input, void* output = nullptr) {
        Render()->DoCommand(id, input, 0, output, 0);
    }
    std::array<float, 3> Position(ZelI::ICamera* camera) {
        std::array<float, 3> at{};
        camera->GetPosition(at.data());
        return at;
    }
};

// ---- Cameras ----------------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, CameraOperationsMoveTheSecondCameraOnlyWhileMirrored) {
    ZelI::ICamera* main = Render()->GetMainCamera();
    ZelI::ICamera* second = Render()->GetSecondCamera();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(main, second);
    const float up[3] = {0, 1, 0}, target[3] = {0, 0, 0};
    const float eyeA[3] = {0, 2, 8}, eyeB[3] = {5, 1, 0};

    EXPECT_TRUE(Render()->IsMirroringSecondCamera());
    Render()->LookAt(eyeA, target, up);
    EXPECT_FLOAT_EQ(Position(second)[2], 8.0f);
    Render()->SetCameraFarPlane(77.0f);

    Command(100086, nullptr);  // mirroring off
    EXPECT_FALSE(Render()->IsMirroringSecondCamera());
    Render()->LookAt(eyeB, target, up);
    Render()->SetCameraFarPlane(33.0f);
    EXPECT_FLOAT_EQ(Position(main)[0], 5.0f);
    EXPECT_FLOAT_EQ(Position(second)[0], 0.0f);
    EXPECT_FLOAT_EQ(Position(second)[2], 8.0f);
    float farClip = 0.0f;
    Render()->GetCameraFov(nullptr, nullptr, nullptr, &farClip);
    EXPECT_EQ(farClip, 33.0f);

    Command(100086, nullptr);  // and on again
    EXPECT_TRUE(Render()->IsMirroringSecondCamera());
    Render()->RotateCamera(0.5f, 0.0f, 0.0f);
    Render()->LookAt(eyeB, target, up);
    EXPECT_FLOAT_EQ(Position(second)[0], 5.0f);
    main->Release();
    second->Release();
}

// ---- Presets ----------------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, PresetsSetAndLockTheirStates) {
    SoftDevice9* soft = Soft();
    ASSERT_NE(soft, nullptr);
    struct Case {
        int preset;
        DWORD colourWrite, depthWrite, blend, separate;
        bool colourLocked;
    };
    const Case cases[] = {
        {1, 0x8, 0, 1, 1, true},
        {2, 0x7, 1, 0, 0, true},
        {0, 0xF, 1, 0, 0, false},
    };
    for (const Case& c : cases) {
        Render()->SetRenderStatePreset(c.preset);
        EXPECT_EQ(DeviceState(soft, D3DRS_COLORWRITEENABLE), c.colourWrite) << c.preset;
        EXPECT_EQ(DeviceState(soft, D3DRS_ZWRITEENABLE), c.depthWrite) << c.preset;
        EXPECT_EQ(DeviceState(soft, D3DRS_ALPHABLENDENABLE), c.blend) << c.preset;
        EXPECT_EQ(DeviceState(soft, D3DRS_SEPARATEALPHABLENDENABLE), c.separate) << c.preset;
        // A material pass that asks for other colour writes gets them only when unlocked.
        Device()->SetColorWriteMask(true, false, false, false);
        EXPECT_EQ(DeviceState(soft, D3DRS_COLORWRITEENABLE), c.colourLocked ? c.colourWrite : 0x1u)
            << c.preset;
        if (c.preset == 1) {
            Device()->SetZWriteEnable(true);
            EXPECT_EQ(DeviceState(soft, D3DRS_ZWRITEENABLE), 0u) << "depth writes stay locked";
        }
    }
    // Another value changes nothing.
    Render()->SetRenderStatePreset(3);
    Render()->SetRenderStatePreset(-1);
    EXPECT_EQ(DeviceState(soft, D3DRS_COLORWRITEENABLE), 0x1u);
}

// ---- Numbered commands ------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, CommandsSwitchTheQueueModeAndTheLockFreeByte) {
    struct Case {
        int id;
        const char* input;
        std::uint32_t queueMode;
        bool lockFree;
    };
    // The queue mode wants "true" exactly; the lock-free byte ignores case.
    const Case cases[] = {
        {17, "true", 1, false}, {17, "TRUE", 0, false}, {17, nullptr, 0, false},
        {4, "TRUE", 0, true},   {4, "yes", 0, false},   {4, "true", 0, true},
        {4, nullptr, 0, false},
    };
    for (const Case& c : cases) {
        Command(c.id, c.input);
        EXPECT_EQ(Zel::GetQueueMode(), c.queueMode) << c.id << " " << (c.input ? c.input : "null");
        if (c.id == 4) {
            EXPECT_EQ(Zel::threadmng::GetInstance()->GetLockFree(), c.lockFree)
                << (c.input ? c.input : "null");
        }
    }
    EXPECT_NE(Log().find("LockFree false!"), std::string::npos);

    char text[8] = "xxxxxxx";
    Command(17, "true");
    Command(18, nullptr, text);
    EXPECT_STREQ(text, "true");
    Command(17, "false");
    Command(18, nullptr, text);
    EXPECT_STREQ(text, "false");
    Command(18, nullptr, nullptr);  // no buffer: nothing written
    Command(16, nullptr, text);
    EXPECT_STREQ(text, "0");
}

TEST_F(RenderInterfaceTest, CommandsReadTheProjectionAndSwitchTheDrawingMode) {
    std::int32_t word = 7;
    float projection[16] = {};
    Render()->GetProjectionMatrix(projection);
    projection[11] = 0.0f;
    Render()->SetProjectionMatrix(projection);
    Command(-1, nullptr, &word);
    EXPECT_EQ(word, 1);
    projection[11] = -0.5f;
    Render()->SetProjectionMatrix(projection);
    Command(-1, nullptr, &word);
    EXPECT_EQ(word, 0);

    struct Case {
        const char* text;
        std::int32_t mode;
    };
    // "7" and "8" both reach the one fixed-function mode.
    const Case cases[] = {{"7", 0}, {"9", 2}, {"8", 0}, {"10", 0}, {nullptr, 0}, {"9", 2}};
    for (const Case& c : cases) {
        Command(1, c.text);
        EXPECT_EQ(Device()->GetFixedFunctionMode(), c.mode) << (c.text ? c.text : "null");
    }

    // A frame for one node, and the profiler markers, which this device does not record.
    Command(-2, nullptr);
    EXPECT_NE(Log().find("pre render actor"), std::string::npos);
    Command(19, "marked");
    Command(20, nullptr);
    Command(21, "marker");
    Command(21, nullptr);

    // Unlisted ids change nothing.
    for (int id : {0, -3, 6, 7, 8, 12345}) Command(id, "true");
    EXPECT_EQ(Zel::GetQueueMode(), 0u);
    EXPECT_EQ(Device()->GetFixedFunctionMode(), 2);
}

TEST_F(RenderInterfaceTest, TheClientTargetByteChoosesTheDepthFormatOfNewTargets) {
    struct Case {
        int command;
        int depthFormat;
    };
    const Case cases[] = {{26, Zel::PF_D24S8}, {27, Zel::PF_D16}};
    Render()->FrameBegin();
    for (const Case& c : cases) {
        Command(c.command, nullptr);
        int width = 16, height = 8;
        ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
        ASSERT_NE(target, nullptr);
        Zel::RenderTarget* depth = static_cast<Zel::RenderTargetImplRC*>(target)->GetDepthTarget();
        ASSERT_NE(depth, nullptr);
        EXPECT_EQ(depth->GetFormat(), c.depthFormat) << c.command;
        EXPECT_EQ(depth->GetName(), "client rt z");
        target->Release();
    }
    Render()->FrameEnd();
}

TEST_F(RenderInterfaceTest, TheShaderLibraryCheckSaysWhatTheLibraryLacks) {
    struct Case {
        const char* file;
        const char* text;  // null: no file
        const char* logged;
    };
    const Case cases[] = {
        {"missing.xml", nullptr, "NO XML,name=missing.xml"},
        {"nolib.xml", "<OTHER/>", "NO SHADERLIB,name=nolib.xml"},
        {"noshader.xml", "<SHADERLIB><MATERIAL/></SHADERLIB>", "NO SHADER,name=noshader.xml"},
        {"good.xml", "<SHADERLIB><SHADER/></SHADERLIB>", nullptr},
        {"pipeline.xml", "<SHADERLIB><ARB15_PIPELINE/></SHADERLIB>", nullptr},
    };
    for (const Case& c : cases) {
        if (c.text)
            std::ofstream(c.file) << c.text;
        Command(22, c.file);
        if (c.logged) {
            EXPECT_NE(Log().find(c.logged), std::string::npos) << c.file;
        } else {
            EXPECT_EQ(Log().find(std::string("name=") + c.file), std::string::npos) << c.file;
        }
    }
    Command(22, nullptr);
}

TEST_F(RenderInterfaceTest, TheSkinNormalCommandLogsTheFrameCounters) {
    Zel::FrameStats* stats = G()->GetFrameStats();
    stats->words[Zel::FRAME_SMOOTH_SKIN_NORMAL_TIME] = 12;
    stats->words[Zel::FRAME_SMOOTH_SKIN_NORMAL_CALLS] = 3;
    Command(50, nullptr);
    EXPECT_NE(Log().find("SmoothSkinNormal耗时：12,调用次数:3"), std::string::npos);
}

// The clip-plane block as the host lays it out: a count, then six planes a, b, c, d.
struct ClipBlock {
    std::int32_t count = 0;
    float planes[6][4] = {};
};

TEST_F(RenderInterfaceTest, TheClipPlaneCommandHandsTheDevicePlanesAndClampsTheCount) {
    SoftDevice9* soft = Soft();
    ASSERT_NE(soft, nullptr);
    struct Case {
        std::int32_t count;
        int set;  // planes the device receives from the block
        bool clamped;
    };
    const Case cases[] = {{2, 2, false}, {9, 6, true}, {0, 0, false}, {-4, 0, true}, {6, 6, false}};
    for (const Case& c : cases) {
        ClipBlock block;
        block.count = c.count;
        for (int i = 0; i < 6; ++i) block.planes[i][3] = float(i + 1);
        Command(5, &block);
        EXPECT_EQ(Zel::IRenderImpl::AreClipPlanesOn(), c.set > 0) << c.count;
        EXPECT_EQ(DeviceState(soft, D3DRS_CLIPPLANEENABLE), c.set > 0 ? 0x3Fu : 0u) << c.count;
        if (c.set > 0) {
            for (int i = 0; i < 6; ++i) {
                float plane[4] = {9, 9, 9, 9};
                soft->GetClipPlane(DWORD(i), plane);
                EXPECT_EQ(plane[3], i < c.set ? float(i + 1) : 0.0f) << c.count << " plane " << i;
            }
        }
        const std::string clamp = "ClipPlane count=" + std::to_string(c.count) + " out of range";
        EXPECT_EQ(Log().find(clamp) != std::string::npos, c.clamped) << c.count;
    }
    Command(5, nullptr);  // no block: nothing
}

// Planes are in clip space for the effect programs: x >= 0 keeps the right half of a quad drawn
// over the whole window; with the planes off again the whole quad is drawn.
TEST_F(RenderInterfaceTest, TheClipPlaneCommandClipsADrawnQuad) {
    const float black[4] = {0, 0, 0, 1};
    const float white[4] = {1, 1, 1, 1};
    const float rect[4] = {-1, -1, 2, 2};
    const float uv[4] = {0, 0, 1, 1};
    auto draw = [&] {
        Render()->SetClearColor(black);
        Render()->FrameBegin();
        Render()->Clear();
        System()->DrawQuad(rect, uv, nullptr, white);
        Render()->FrameEnd();
        Render()->SwapBuffer();
    };
    ClipBlock block;
    block.count = 1;
    block.planes[0][0] = 1.0f;
    Command(5, &block);
    draw();
    std::shared_ptr<Win32Window> window = Window();
    ASSERT_NE(window, nullptr);
    const std::uint32_t quad = window->Pixel(63, 24);
    EXPECT_NE(quad, 0xFF000000u);
    EXPECT_EQ(window->Pixel(32, 24), quad);
    EXPECT_EQ(window->Pixel(8, 24), 0xFF000000u);
    EXPECT_EQ(window->Pixel(31, 24), 0xFF000000u);

    block.count = 0;
    Command(5, &block);
    draw();
    EXPECT_EQ(window->Pixel(8, 24), quad);
    EXPECT_EQ(window->Pixel(63, 24), quad);
}

// ---- Targets ----------------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, AfterAHostTargetRestoringTheTargetsDrawsToTheWindowAgain) {
    int width = 64, height = 48;
    ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    const float blue[4] = {0, 0, 1, 1};
    const float red[4] = {1, 0, 0, 1};
    Render()->FrameBegin();
    target->BeginRendering(0);
    Render()->SetClearColor(blue);
    Render()->Clear();
    Render()->RestoreRenderTargets();
    Render()->SetClearColor(red);
    Render()->Clear();
    Render()->FrameEnd();
    Render()->SwapBuffer();
    EXPECT_EQ(Window()->Pixel(10, 10), 0xFFFF0000u);
    target->EndRendering();
    target->Release();
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos);
}

TEST_F(RenderInterfaceTest, AHostTextureRefusedByTheDeviceIsHalvedUntilItFits) {
    // The software device takes textures up to 4096 texels a side.
    struct Case {
        int width, height;
        bool made;
        int finalWidth, finalHeight;
    };
    const Case cases[] = {
        {64, 32, true, 64, 32},
        {16384, 8, true, 4096, 2},
        {100000, 4, false, 50000, 2},
    };
    Render()->FrameBegin();
    for (const Case& c : cases) {
        int width = c.width, height = c.height;
        ZelI::ITexture* texture = Render()->CreateClientTexture(&width, &height, 0, 0);
        EXPECT_EQ(texture != nullptr, c.made) << c.width;
        EXPECT_EQ(width, c.finalWidth) << c.width;
        EXPECT_EQ(height, c.finalHeight) << c.width;
        if (!texture)
            continue;
        EXPECT_EQ(texture->GetWidth(), c.finalWidth);
        auto* made = Zel::UnwrapInterface<Zel::TextureBase>(texture);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetName(), "client created");
        EXPECT_NE(made->GetFlags() & 0x20u, 0u);
        texture->Release();
    }
    // The configuration can withhold host textures.
    G()->GetConfigManager()->SetValue(45, 1);
    int width = 8, height = 8;
    EXPECT_EQ(Render()->CreateClientTexture(&width, &height, 0, 0), nullptr);
    G()->GetConfigManager()->SetValue(45, 0);
    Render()->FrameEnd();
}

// ---- View operations --------------------------------------------------------------------------

float DistanceToRay(const float* point, const float* origin, const float* direction) {
    const float d[3] = {point[0] - origin[0], point[1] - origin[1], point[2] - origin[2]};
    const float along = d[0] * direction[0] + d[1] * direction[1] + d[2] * direction[2];
    float squared = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const float off = d[i] - along * direction[i];
        squared += off * off;
    }
    return std::sqrt(squared);
}

TEST_F(RenderInterfaceTest, AProjectedPointLiesOnTheRayBackThroughItsPixel) {
    const float eye[3] = {1.0f, 3.0f, 9.0f}, at[3] = {0.5f, 0.0f, 0.0f}, up[3] = {0, 1, 0};
    float view[16], projection[16];
    System()->MakeLookAtMatrix(eye, at, up, view);
    System()->MakePerspectiveMatrix(60.0f, 64.0f / 48.0f, 0.5f, 100.0f, projection);
    Render()->SetViewMatrix(view);
    Render()->SetProjectionMatrix(projection);
    const float points[][3] = {{0, 0, 0}, {2, 1, -3}, {-1.5f, 0.5f, 2}, {0.3f, -0.7f, 4}};
    for (const auto& point : points) {
        float screen[3] = {};
        ASSERT_EQ(Render()->WorldToScreen(point, projection, view, 0, 0, 64, 48, 0, 1, screen),
                  screen);
        float origin[3], direction[3];
        ASSERT_EQ(Render()->ScreenToWorldRay(screen[0], screen[1], origin, direction), 1);
        EXPECT_NEAR(origin[0], eye[0], 1e-4f);
        EXPECT_NEAR(
            direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2],
            1.0f, 1e-5f);
        EXPECT_LT(DistanceToRay(point, origin, direction), 1e-4f) << point[0];
    }
}

// The camera form keeps its own vertical sign: its ray for (x, y) is the scene form's ray for
// (x, h - y) through the same camera.
TEST_F(RenderInterfaceTest, TheCameraFormOfTheRayMirrorsTheScreensVertical) {
    const float eye[3] = {0.0f, 2.0f, 6.0f}, at[3] = {1.0f, 0.0f, 0.0f}, up[3] = {0, 1, 0};
    const float forward[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
    float view[16], projection[16];
    System()->MakeLookAtMatrix(eye, at, up, view);
    System()->MakePerspectiveMatrix(50.0f, 64.0f / 48.0f, 0.5f, 100.0f, projection);
    Render()->SetViewMatrix(view);
    Render()->SetProjectionMatrix(projection);
    const float horizontalFov = 2.0f * std::atan(1.0f / projection[0]);
    const float pixels[][2] = {{0, 0}, {10, 40}, {32, 24}, {63, 5}};
    for (const auto& p : pixels) {
        float o1[3], d1[3], o2[3], d2[3];
        ASSERT_EQ(Render()->ScreenToWorldRayFromCamera(eye, forward, up, 0.5f, 100.0f, 64.0f, 48.0f,
                                                       horizontalFov, p[0], p[1], o1, d1),
                  1);
        ASSERT_EQ(Render()->ScreenToWorldRay(p[0], 48.0f - p[1], o2, d2), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(o1[i], o2[i], 1e-4f) << p[0] << "," << p[1];
            EXPECT_NEAR(d1[i], d2[i], 1e-4f) << p[0] << "," << p[1];
        }
    }
    // A screen without height is outside the operation: nothing is written.
    float origin[3] = {7, 7, 7}, direction[3] = {7, 7, 7};
    EXPECT_EQ(Render()->ScreenToWorldRayFromCamera(eye, forward, up, 0.5f, 100.0f, 64.0f, 0.0f,
                                                   1.0f, 1, 1, origin, direction),
              0);
    EXPECT_EQ(origin[0], 7.0f);
    EXPECT_EQ(direction[0], 7.0f);
}

TEST_F(RenderInterfaceTest, TheViewMovesByATranslationAndARotation) {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Render()->SetViewMatrix(identity);
    Render()->SetViewIdentityAt(1.0f, 2.0f, 3.0f);
    Render()->SetViewIdentityAt(1.0f, 0.0f, 0.0f);
    float view[16];
    Render()->GetViewMatrix(view);
    EXPECT_FLOAT_EQ(view[3], 2.0f);
    EXPECT_FLOAT_EQ(view[7], 2.0f);
    EXPECT_FLOAT_EQ(view[11], 3.0f);
    // A quarter turn about y after the translation: the translation stays, x turns into -z.
    const float axis[3] = {0, 1, 0};
    Render()->SetViewTransform(90.0f, axis);
    Render()->GetViewMatrix(view);
    EXPECT_FLOAT_EQ(view[3], 2.0f);
    EXPECT_NEAR(view[0], 0.0f, 1e-6f);
    EXPECT_NEAR(view[8], -1.0f, 1e-6f);
}

// ---- Hardware capability list -----------------------------------------------------------------

using ZelFixtures::HwCapInfo;
using ZelFixtures::HwCapSeries;
using ZelFixtures::HwCapVendor;

TEST(HardwareCapsListTest, TheFirstMatchingLineOfTheMatchingSeriesGivesThePerformance) {
    const std::vector<HwCapVendor> list = {
        {"", {{"GeForce", {{"9", "", "1"}}}}},  // no vendor name: passed over
        {"NVIDIA",
         {{"Quadro", {{"FX", "", "9"}}},
          {"GeForce",
           {{"8800", "GTX", "8"},
            {"8800", "", "7"},
            {"-1#", "", "3"},
            {"", "", "5"},
            {"88", "", "6"}}}}},
        {"ATI", {{"Radeon", {{"X1", "", "4"}}}, {"FireGL", {}}}},
    };
    struct Case {
        const char* description;
        std::uint32_t performance;
    };
    const Case cases[] = {
        {"NVIDIA GeForce 8800 GTX", 0xFF000008u},
        {"nvidia geforce 8800 gt", 0xFF000007u},  // the SubType line is skipped
        {"NVIDIA GEFORCE 8800", 0xFF000007u},
        {"NVIDIA GeForce 7600", 0xFF000003u},  // the series' default
        {"NVIDIA GeForce 88", 0xFF000006u},    // a later default does not override a match
        {"ATI Radeon HD 4850", 0xFF000000u},   // no line and no default
        {"ATI FireGL", 0xFF000000u},
        {"ATI Rage", 0xFF000001u},  // no series
        {"Zel Software Rasterizer", 0xFF000001u},
        {"", 0xFF000001u},
    };
    TempDir dir;
    const std::string path = dir.Write("hwcap.xml", ZelFixtures::WriteHwCapList(list));
    Zel::HardwareCapsList caps;
    ASSERT_TRUE(caps.Load(path.c_str()));
    for (const Case& c : cases)
        EXPECT_EQ(caps.LookUp(c.description), c.performance) << c.description;

    // A long description and a long name are compared whole.
    const std::string longName(200, 'q');
    const std::string longPath = dir.Write(
        "long.xml", ZelFixtures::WriteHwCapList({{longName, {{"Series", {{"T", "", "2"}}}}}}));
    ASSERT_TRUE(caps.Load(longPath.c_str()));
    EXPECT_EQ(caps.LookUp(std::string(150, 'x') + longName + " series t"), 0xFF000002u);
    EXPECT_EQ(caps.LookUp(std::string(150, 'x') + longName.substr(1) + " series t"), 0xFF000001u);

    EXPECT_FALSE(caps.Load((dir.Path() / "missing.xml").string().c_str()));
    EXPECT_EQ(caps.LookUp("NVIDIA GeForce 8800"), 0xFF000001u);
    const std::string broken = dir.Write("broken.xml", "<ADAPTER><Vender Name=\"NVIDIA\">");
    EXPECT_FALSE(caps.Load(broken.c_str()));
    EXPECT_EQ(caps.LookUp("NVIDIA GeForce 8800"), 0xFF000001u);
}

TEST_F(RenderInterfaceTest, TheCapabilityRecordCarriesTheListsAnswerAndTheDevice) {
    const std::string description = Device()->GetAdapterDescription();
    ASSERT_FALSE(description.empty());
    struct Case {
        const char* list;  // null: no file
        std::uint32_t performance;
    };
    const std::string list7 =
        ZelFixtures::WriteHwCapList({{"ZEL", {{"software", {{"RASTER", "", "7"}}}}}});
    const std::string list3 = ZelFixtures::WriteHwCapList(
        {{"zel", {{"Software", {{"GeForce", "", "9"}, {"-1#", "", "3"}}}}}});
    const std::string list0 =
        ZelFixtures::WriteHwCapList({{"zel", {{"Software", {{"GeForce", "", "9"}}}}}});
    const Case cases[] = {{list7.c_str(), 0xFF000007u},
                          {list3.c_str(), 0xFF000003u},
                          {list0.c_str(), 0xFF000000u},
                          {nullptr, 0xFF000001u}};
    for (const Case& c : cases) {
        fs::remove_all("config");
        if (c.list) {
            fs::create_directories("config");
            std::ofstream("config/hwcap.xml", std::ios::binary) << c.list;
        }
        ZelI::HardwareCapsRecord record;
        record.reserved = 0x12345678u;
        std::memset(record.description, 'x', sizeof(record.description));
        Render()->LoadHardwareCaps(&record);
        EXPECT_EQ(record.performance, c.performance);
        EXPECT_EQ(std::string(record.description), description);
        EXPECT_EQ(record.reserved, 0x12345678u);
        EXPECT_GT(record.videoMemoryMB, 0u);
        EXPECT_EQ(record.maxTextureWidth, 4096u);
        EXPECT_EQ(record.flags[2], G()->GetDeviceCaps()->sse ? 1 : 0);
    }
    Render()->LoadHardwareCaps(nullptr);
}

// ---- The worker -------------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, TheWorkerAnswersThroughTheRenderObject) {
    ASSERT_NE(Zel::threadmng::GetInstance()->GetThread(0), nullptr);
    EXPECT_EQ(Render()->GetWorkerTaskCount(0), 0);
    EXPECT_EQ(Render()->WaitForIOTasks(0), 0);
    EXPECT_EQ(Render()->GetTaskState(0x7FFFFFF0u), 9);
    EXPECT_EQ(Render()->CancelTask(0x7FFFFFF0u, nullptr), -1);
    EXPECT_EQ(Render()->RunTaskSync(0x7FFFFFF0u, 0), -2);
    EXPECT_EQ(Render()->RunTaskSync(0x7FFFFFF0u, 2), 0);
    EXPECT_EQ(Render()->StopWorker(0), 0);
    // A stopped worker cannot shorten its list: the wait ends instead of pumping it forever.
    EXPECT_EQ(Render()->WaitForIOTasks(0), 0);
}

// ---- Settings ---------------------------------------------------------------------------------

TEST_F(RenderInterfaceTest, SwitchesSetThroughTheRenderObjectReadBack) {
    struct Switch {
        const char* name;
        void (Zel::IRenderImpl::*set)(bool);
        bool (Zel::IRenderImpl::*get)();
    };
    const Switch switches[] = {
        {"action lib", &Zel::IRenderImpl::SetUseActionLib, &Zel::IRenderImpl::UseActionLib},
        {"cloth", &Zel::IRenderImpl::SetUseCloth, &Zel::IRenderImpl::UseCloth},
        {"strip to list", &Zel::IRenderImpl::SetStripToList, &Zel::IRenderImpl::StripToList},
        {"binary files", &Zel::IRenderImpl::SetPreferBinaryFiles,
         &Zel::IRenderImpl::PreferBinaryFiles},
        {"dds", &Zel::IRenderImpl::SetCompressToDDS, &Zel::IRenderImpl::CompressToDDS},
        {"render bit", &Zel::IRenderImpl::SetGlobalRenderBit,
         &Zel::IRenderImpl::GetGlobalRenderBit},
    };
    for (const Switch& s : switches) {
        for (bool on : {true, false, true}) {
            (Render()->*s.set)(on);
            EXPECT_EQ((Render()->*s.get)(), on) << s.name;
        }
        (Render()->*s.set)(false);
    }
    Render()->SetTextureScaleLevel(1);
    EXPECT_EQ(Render()->GetTextureScaleLevel(), 1);
    Render()->SetTextureScaleLevel(0);
}

TEST_F(RenderInterfaceTest, FogViewportAndSizesReachTheRenderSystem) {
    struct Case {
        int mode;
        std::uint32_t stored;
    };
    const Case cases[] = {{0, 3}, {1, 1}, {2, 2}, {3, 3}, {7, 0}};
    const float colour[4] = {0.5f, 0.25f, 0.125f, 1.0f};
    for (const Case& c : cases) {
        EXPECT_EQ(Render()->SetFog(c.mode, colour, 5.0f, 50.0f, 0.5f), 1);
        EXPECT_EQ(System()->GetFog().mode, c.stored) << c.mode;
        EXPECT_EQ(System()->GetFog().end, 50.0f);
        EXPECT_EQ(System()->GetFog().colour[1], 0.25f);
    }
    Render()->DisableFog();
    EXPECT_EQ(System()->GetFog().mode, 0u);
    Render()->EnableFog();
    EXPECT_EQ(System()->GetFog().mode, 3u);
    EXPECT_EQ(System()->GetFog().start, 5.0f);

    const std::uint16_t rect[4] = {4, 2, 32, 16};
    EXPECT_EQ(Render()->SetViewport(rect), 1);
    std::uint16_t back[4] = {};
    EXPECT_EQ(Render()->GetViewport(back), 1);
    EXPECT_EQ(std::memcmp(rect, back, sizeof(rect)), 0);

    int width = 0, height = 0;
    Render()->GetBackBufferSize(&width, &height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    EXPECT_EQ(Render()->GetAntiAliasing(), 1);
    EXPECT_EQ(Render()->GetAnisotropy(), 1);
    EXPECT_EQ(Render()->GetAntiAliasingCaps(), int(G()->GetDeviceCaps()->multisampleMask & 0x3F));
    EXPECT_EQ(Render()->GetRenderStatistics(), G()->GetFrameStats());
    // Outside a selection the query object is handed back unrecorded.
    EXPECT_EQ(Render()->BeginPixelCountQuery(42), 42);
    EXPECT_EQ(Render()->GetVisibleQueryObject(), -1);
}

TEST_F(RenderWindowTest, TheDeviceReportNamesTheWindowOnceItExists) {
    ZelI::DeviceInfoRecord info;
    std::memset(info.windowSize, 'x', sizeof(info.windowSize));
    info.active = 5;
    ASSERT_TRUE(Render()->GetDeviceInfo(&info));
    EXPECT_STREQ(info.windowSize, "");
    EXPECT_EQ(info.active, -1);
    EXPECT_GE(info.instanceCount, 1u);
    EXPECT_FALSE(Render()->GetDeviceInfo(nullptr));

    ZelI::RenderWindowParams params;
    params.width = 80;
    params.height = 60;
    ASSERT_EQ(Render()->CreateRenderWindow(&params), 100);
    ASSERT_TRUE(Render()->GetDeviceInfo(&info));
    EXPECT_STREQ(info.windowSize, "80x60");
    EXPECT_EQ(info.active, 1);

    unsigned char adapter[592];
    std::memset(adapter, 0xCD, sizeof(adapter));
    ASSERT_TRUE(Render()->GetAdapterInfo(adapter));
    EXPECT_NE(adapter[0], 0xCD);  // the adapter text was filled at device creation
    EXPECT_EQ(Render()->GetCurrentLevel(), nullptr);
}

TEST_F(RenderWindowTest, GravityAndActionLibrariesReachTheirSystems) {
    const float gravity[3] = {0.0f, -9.8f, 0.0f};
    Render()->SetGravity(gravity);
    const float* back = Render()->GetGravity();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back[1], -9.8f);
    Render()->SetGravity(nullptr);
    EXPECT_EQ(Render()->GetGravity()[1], -9.8f);
    Render()->DrawPhysicsDebug();

    EXPECT_FALSE(Render()->OpenActionLib(nullptr));
    EXPECT_FALSE(Render()->OpenActionLib("missing_role.xml"));
    EXPECT_NE(Log().find("OpenActionLib耗时:"), std::string::npos);
    EXPECT_EQ(Render()->LoadBoneScalePreset(nullptr), 0);
    EXPECT_EQ(Render()->SetBoneScaleEnabled(1), 1);
    EXPECT_TRUE(Zel::SkeletonModel::IsGlobalBoneScale());
    Render()->SetBoneScaleEnabled(0);
    EXPECT_FALSE(Zel::SkeletonModel::IsGlobalBoneScale());
}

TEST_F(RenderWindowTest, TheEffectRenderObjectIsMadeOnceAndGoesWithTheFirst) {
    ZelI::IRender* eff = Render()->GetEffRender();
    ASSERT_NE(eff, nullptr);
    EXPECT_NE(eff, static_cast<ZelI::IRender*>(Render()));
    EXPECT_EQ(Render()->GetEffRender(), eff);
    // It is never given a window.
    EXPECT_EQ(eff->GetWindowHandle(), nullptr);
    EXPECT_EQ(eff->GetMainCamera(), nullptr);
}

TEST_F(RenderWindowTest, WithoutAWindowTheWorkerAndDeviceCallsAnswerNeutrally) {
    EXPECT_EQ(Render()->WaitForIOTasks(2), 0);  // no worker in that slot
    EXPECT_EQ(Render()->StopWorker(2), -1);
    EXPECT_EQ(Render()->GetWorkerTaskCount(2), 0);
    EXPECT_EQ(Render()->GetTaskState(0x7FFFFFFFu), 9);
    ZelI::HardwareCapsRecord record;
    Render()->LoadHardwareCaps(&record);
    EXPECT_EQ(record.performance, 0u);  // no device to ask
    float origin[3] = {7, 7, 7}, direction[3];
    EXPECT_EQ(Render()->ScreenToWorldRay(1, 1, origin, direction), 0);
    EXPECT_EQ(origin[0], 7.0f);
    Render()->DoCommand(5, nullptr, 0, nullptr, 0);
    std::uint16_t rect[4] = {};
    EXPECT_EQ(Render()->GetViewport(rect), 0);
}

// The host's whole life through the exported entry points; the leak check of the test build
// sees what DeleteRenderer leaves behind.
TEST_F(RenderWindowTest, DeleteRendererLeavesNothingBehind) {
    ZelI::IRender* render = CreateRenderer();
    ASSERT_EQ(render, static_cast<ZelI::IRender*>(Render()));
    ZelI::RenderWindowParams params;
    params.width = 32;
    params.height = 32;
    ASSERT_EQ(render->CreateRenderWindow(&params), 100);
    render->GetEffRender();
    render->FrameBegin();
    int width = 16, height = 16;
    ZelI::IRenderTarget* target = render->CreateClientRenderTarget(&width, &height, 0, 0);
    ASSERT_NE(target, nullptr);
    ZelI::ITexture* texture = render->CreateClientTexture(&width, &height, 1, 1);
    ASSERT_NE(texture, nullptr);
    ClipBlock block;
    block.count = 1;
    render->DoCommand(5, &block, 0, nullptr, 0);
    render->Clear();
    render->FrameEnd();
    render->SwapBuffer();
    // The host keeps its target and texture: the renderer's shutdown takes them back.
    DeleteRenderer();
}

}  // namespace
}  // namespace ZelTest
