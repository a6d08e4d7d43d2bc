// The render system over the software device: start-up through the graphics-API manager, display
// changes and their wait, the device's anti-aliasing and anisotropy refusals, stored fog, host
// occlusion queries, host primitives against the staging buffer, and primitive counts.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/EnginePaths.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "Entity/Material/IZelShaderConstFiller.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Material/TextureStage.h"
#include "Core/GlobalConfigManager.h"
#include "Render/FogRecord.h"
#include "Render/RenderOperation.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/ClearRecord.h"
#include "Render/Query.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/d3d9/OcclusionQueryD3D9.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/d3d9/RenderWindowD3D9.h"
#include "Core/SharedPtr.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

namespace fs = std::filesystem;
using Zel::RenderSystem;

class RenderSystemTest : public ZelTest::DeviceTest {
protected:
    void SetUp() override {
        ZelTest::DeviceTest::SetUp();
        // Built-in materials generate their effects below "<tmp>/Bin/../Data/Effects".
        const fs::path bin = dir_.Path() / "Bin";
        fs::create_directories(bin);
        fs::create_directories(dir_.Path() / "Data/Effects/Legacy");
        fs::create_directories(dir_.Path() / "Data/Effects/Legacy5");
        fs::current_path(bin);
        Zel::SetEngineDataRoot(bin.string());
        Zel::SetEngineEffectRoot("../Data/Effects/Legacy5/");
        ASSERT_TRUE(Zel::RenderEffectD3D::WriteDefaultEffectFile(
            Zel::GpuProgramManager::kDefaultProgramPath));
        Waits().clear();
        system_ = std::make_unique<RenderSystem>(G()->GetSceneManager());
        system_->SetDisplayChangeWait(&RecordWait);
    }
    void TearDown() override {
        if (G()->GetSceneManager()->GetRenderSystem() == system_.get())
            G()->GetSceneManager()->SetRenderSystem(nullptr);
        system_.reset();
        fs::current_path(dir_.Path());
        ZelTest::DeviceTest::TearDown();
    }
    // Init with the fixture's window and the scene holding the system.
    void Start() {
        ASSERT_TRUE(system_->Init(Settings()));
        G()->GetSceneManager()->SetRenderSystem(system_.get());
    }
    Zel::RenderDeviceD3D9& SystemDevice() {
        return *static_cast<Zel::RenderDeviceD3D9*>(system_->GetRenderDevice());
    }
    SoftDevice9* SysSoft() { return SoftDevice9::From(SystemDevice().GetD3DDevice()); }
    ULONGLONG SysCalls(D3D9Call call) { return SysSoft()->CallCount(call); }

    struct WaitRecord {
        std::uint32_t milliseconds;
        bool lostDuringWait;
    };
    static std::vector<WaitRecord>& Waits() {
        static std::vector<WaitRecord> waits;
        return waits;
    }
    static RenderSystem*& Current() {
        static RenderSystem* current = nullptr;
        return current;
    }
    static void RecordWait(std::uint32_t milliseconds) {
        Waits().push_back({milliseconds, Current() && Current()->IsDeviceLost()});
    }

    bool Logged(const std::string& text) { return LogText().find(text) != std::string::npos; }

    std::unique_ptr<RenderSystem> system_;
};

TEST_F(RenderSystemTest, InitMakesTheDeviceTheMainWindowTheCompilerAndTheFiller) {
    Start();
    ASSERT_NE(system_->GetRenderDevice(), nullptr);
    EXPECT_NE(SystemDevice().GetD3DDevice(), nullptr);
    ASSERT_NE(system_->GetMainWindow(), nullptr);
    EXPECT_EQ(system_->GetRenderWindows().size(), 1u);
    EXPECT_EQ(system_->GetActiveRenderWindow(), system_->GetMainWindow());
    EXPECT_NE(dynamic_cast<Zel::LegacyShaderCompiler*>(system_->GetShaderCompiler()), nullptr);
    EXPECT_NE(system_->GetShaderConstFiller(), nullptr);
    EXPECT_NE(system_->GetAuxRenderer(), nullptr);
    EXPECT_EQ(system_->GetViewport().width, kWidth);
    EXPECT_EQ(system_->GetViewport().height, kHeight);
    // The capability report ran: the caps know the stages.
    EXPECT_GT(G()->GetDeviceCaps()->textureStageCount, 0u);
    EXPECT_TRUE(Logged("CreateRenderDevice"));
    // The machine's power report comes with the start-up.
    EXPECT_TRUE(Logged("Computer has no battery.") || Logged("Computer has battery.") ||
                Logged("Battery status:unknown"));

    system_->ReleaseResources();
    EXPECT_EQ(system_->GetRenderDevice(), nullptr);
    EXPECT_EQ(system_->GetMainWindow(), nullptr);
    EXPECT_TRUE(system_->GetRenderWindows().empty());
    EXPECT_EQ(system_->GetShaderCompiler(), nullptr);
}

TEST_F(RenderSystemTest, InitWithoutADeviceLibraryFailsAndKeepsNoDevice) {
    SetModuleMissing("d3d9.dll", TRUE);
    EXPECT_FALSE(system_->Init(Settings()));
    EXPECT_EQ(system_->GetRenderDevice(), nullptr);
    EXPECT_EQ(system_->GetMainWindow(), nullptr);
    EXPECT_TRUE(Logged("Creating RenderDevice Failed"));
}

TEST_F(RenderSystemTest, ADisplayChangeGoesLostThenWaitsThenResets) {
    Start();
    Current() = system_.get();
    // A particle buffer's re-creation, and one that left before the change.
    int recreated = 0, left = 0;
    auto count = [](void* counter) { ++*static_cast<int*>(counter); };
    system_->AddRecreateHook(count, &recreated);
    system_->AddRecreateHook(count, &left);
    system_->RemoveRecreateHook(&left);
    SysSoft()->ResetCallCounts();
    Zel::DisplaySettings changed = Settings();
    changed.verticalSync = 1;
    system_->ResetDevice(changed);
    Current() = nullptr;
    ASSERT_EQ(Waits().size(), 1u);
    EXPECT_EQ(Waits()[0].milliseconds, 200u);
    EXPECT_TRUE(Waits()[0].lostDuringWait);
    EXPECT_FALSE(system_->IsDeviceLost());
    EXPECT_EQ(SysCalls(D3D9Call::Reset) + SysCalls(D3D9Call::ResetEx), 1u);
    EXPECT_EQ(system_->GetDisplaySettings().verticalSync, 1);
    EXPECT_EQ(recreated, 1);
    EXPECT_EQ(left, 0);
    // The main window got its swap chain back and is bound again.
    EXPECT_EQ(SystemDevice().GetRenderTarget(0), system_->GetMainWindow()->GetColourTarget());
    EXPECT_EQ(system_->GetDeviceState(), 0u);
}

TEST_F(RenderSystemTest, ApplyDisplaySettingsResetsOnlyForANewModeOrFlag) {
    Start();
    // Anti-aliasing reaches the settings only; the mode is accepted as the caps say.
    G()->GetDeviceCaps()->multisampleMask |= 0x2;
    struct Case {
        const char* what;
        std::uint32_t antialias;  // 0: leave as it is
        int flag;                 // -1: leave as it is
        std::size_t resets;
    };
    const Case cases[] = {{"same settings", 0, -1, 0},
                          {"new display flag", 0, 1, 1},
                          {"same flag again", 0, 1, 0},
                          {"new anti-aliasing mode", 0x2, -1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Waits().clear();
        if (c.antialias) {
            ASSERT_TRUE(system_->SetAntiAliasing(c.antialias));
        }
        if (c.flag >= 0)
            system_->SetDisplayFlag(std::uint8_t(c.flag));
        system_->ApplyDisplaySettings();
        EXPECT_EQ(Waits().size(), c.resets);
    }
    EXPECT_EQ(system_->GetDisplaySettings().antialiasMode, 0x2u);
    EXPECT_EQ(system_->GetDisplayFlag(), 1);
}

TEST_F(RenderSystemTest, WindowModeChangesResetOnlyOnAChangeAndRestoreEndsWindowed) {
    Start();
    Current() = system_.get();
    system_->ChangeWindowMode(true);  // already windowed
    EXPECT_EQ(SysCalls(D3D9Call::Reset) + SysCalls(D3D9Call::ResetEx), 0u);
    system_->SuspendWindowMode();
    system_->ChangeWindowMode(false);
    EXPECT_FALSE(system_->IsWindowed());
    EXPECT_EQ(system_->GetDisplaySettings().windowed, 0);
    system_->RestoreWindowMode();
    Current() = nullptr;
    EXPECT_TRUE(system_->IsWindowed());
    EXPECT_EQ(system_->GetDisplaySettings().windowed, 1);
    EXPECT_EQ(SysCalls(D3D9Call::Reset) + SysCalls(D3D9Call::ResetEx), 2u);
    EXPECT_TRUE(Logged("Change Window Mode to : 0"));
    EXPECT_TRUE(Logged("Change Window Mode to : 1"));
    EXPECT_FALSE(system_->IsDeviceLost());
}

TEST_F(RenderSystemTest, FurtherWindowsJoinTheListAndNeedADevice) {
    EXPECT_EQ(system_->CreateRenderWindow(window_, 32, 24), nullptr);
    Start();
    HWND second = Win32Window::Create(32, 24);
    ASSERT_NE(second, nullptr);
    Zel::RenderWindow* window = system_->CreateRenderWindow(second, 32, 24);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(system_->GetRenderWindows().size(), 2u);
    EXPECT_EQ(window->GetWidth(), 32u);
    EXPECT_EQ(system_->GetMainWindow(), system_->GetRenderWindows()[0]);
    std::uint32_t width = 0, height = 0;
    system_->GetBackBufferSize(&width, &height);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    system_->ReleaseResources();
    DestroyWindow(second);
}

TEST_F(RenderSystemTest, AntiAliasingAndAnisotropyNeedTheDevicesMasks) {
    Zel::DeviceCaps& caps = *G()->GetDeviceCaps();
    caps.multisampleMask = 0x1 | 0x4;
    caps.anisotropyMask = 0x1 | 0x2;
    struct Case {
        bool anisotropy;
        std::uint32_t value;
        bool accepted;
    };
    const Case cases[] = {{false, 0x4, true}, {false, 0x2, false}, {false, 0x20, false},
                          {true, 2, true},    {true, 1, true},     {true, 4, false},
                          {true, 16, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.anisotropy ? "anisotropy " : "anti-aliasing ") << c.value);
        const std::uint32_t before = c.anisotropy
                                         ? system_->GetAnisotropy()
                                         : system_->GetRequestedDisplaySettings().antialiasMode;
        const bool accepted =
            c.anisotropy ? system_->SetAnisotropy(c.value) : system_->SetAntiAliasing(c.value);
        EXPECT_EQ(accepted, c.accepted);
        const std::uint32_t after = c.anisotropy
                                        ? system_->GetAnisotropy()
                                        : system_->GetRequestedDisplaySettings().antialiasMode;
        EXPECT_EQ(after, c.accepted ? c.value : before);
    }
    EXPECT_TRUE(Logged("设备不支持抗锯齿"));
    EXPECT_TRUE(Logged("设备不支持各向异性过滤"));
}

TEST_F(RenderSystemTest, TheAnisotropyLevelReachesTheSamplersOfEffects) {
    Start();
    G()->GetDeviceCaps()->anisotropyMask |= 0x4;
    G()->GetMaterialManager()->CreateBuiltinMaterials();
    Zel::Material* simple = G()->GetMaterialManager()->FindMaterial("Simple", false);
    ASSERT_NE(simple, nullptr);
    ASSERT_NE(simple->GetProgram(), nullptr);
    ASSERT_TRUE(SystemDevice().SetFixedFunctionMode(Zel::MODE_FIXED_FUNCTION));
    IDirect3DDevice9* d = SystemDevice().GetD3DDevice();
    Zel::TextureStage stage;
    for (std::uint32_t level : {1u, 4u}) {
        ASSERT_TRUE(system_->SetAnisotropy(level));
        simple->GetProgram()->SetSamplerParams(0, stage, 0);
        DWORD minFilter = 0, maxAnisotropy = 0;
        d->GetSamplerState(0, D3DSAMP_MINFILTER, &minFilter);
        d->GetSamplerState(0, D3DSAMP_MAXANISOTROPY, &maxAnisotropy);
        EXPECT_EQ(minFilter == D3DTEXF_ANISOTROPIC, level != 1) << level;
        if (level != 1) {
            EXPECT_EQ(maxAnisotropy, level);
        }
    }
}

TEST_F(RenderSystemTest, FogEqualToTheStoredRecordMakesNoDeviceCall) {
    Start();
    Zel::FogRecord fog;
    fog.mode = Zel::FOG_LINEAR;
    fog.colour[0] = 0.25f;
    system_->SetFog(fog);
    SysSoft()->ResetCallCounts();
    system_->SetFog(fog);
    EXPECT_EQ(SysCalls(D3D9Call::SetRenderState), 0u);
    fog.colour[0] = 0.5f;
    system_->SetFog(fog);
    EXPECT_GT(SysCalls(D3D9Call::SetRenderState), 0u);
    EXPECT_EQ(system_->GetFog().colour[0], 0.5f);
}

TEST_F(RenderSystemTest, AddedPassesBlendOnePlusSourceWithBlackFogAndSwitch78DrawsOpaque) {
    Start();
    Zel::FogRecord fog;
    fog.mode = Zel::FOG_LINEAR;
    fog.colour[1] = 0.0f;  // magenta
    system_->SetFog(fog);
    Zel::RenderState state;
    state.flags |= Zel::RSF_ALPHA_BLEND | Zel::RSF_FOG;
    state.srcBlend = Zel::BLEND_SRC_ALPHA;
    state.destBlend = Zel::BLEND_INV_SRC_ALPHA;
    Zel::RenderOperation op;
    op.renderState = &state;
    struct Case {
        const char* what;
        std::uint32_t accumulation;
        bool switch78;
        DWORD blend, src, dest, fogColour;
    };
    const Case cases[] = {
        {"first pass", 0, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xFFFF00FFu},
        {"added pass", 1, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 0x00000000u},
        {"first pass again", 0, false, TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xFFFF00FFu},
        // Opaque: the factors stay as the previous draw left them.
        {"switch 78", 1, true, FALSE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0x00000000u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        G()->GetConfigManager()->SetValue(78, c.switch78 ? 1 : 0);
        op.accumulation = c.accumulation;
        system_->ApplyRenderState(op);
        IDirect3DDevice9* d = SystemDevice().GetD3DDevice();
        DWORD blend = 0, src = 0, dest = 0, fogColour = 0;
        d->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        d->GetRenderState(D3DRS_SRCBLEND, &src);
        d->GetRenderState(D3DRS_DESTBLEND, &dest);
        d->GetRenderState(D3DRS_FOGCOLOR, &fogColour);
        EXPECT_EQ(blend, c.blend);
        EXPECT_EQ(src, c.src);
        EXPECT_EQ(dest, c.dest);
        EXPECT_EQ(fogColour & 0xFFFFFFu, c.fogColour & 0xFFFFFFu);
    }
    // The stored fog keeps its colour for the next draw.
    EXPECT_EQ(system_->GetFog().colour[0], 1.0f);
}

// A query whose driver never answers.
class SilentQuery : public Zel::Query {
public:
    void Begin() override {}
    void End() override {}
    bool GetResult(void*, std::uint32_t) override {
        ++polls;
        return false;
    }
    std::uint32_t polls = 0;
};

TEST_F(RenderSystemTest, AQueryThatNeverAnswersIsPolledABoundedNumberOfTimesAndCountsVisible) {
    SilentQuery query;
    EXPECT_EQ(RenderSystem::PollQueryResult(query), 0xFFFFFFFFu);
    EXPECT_EQ(query.polls, RenderSystem::kMaxQueryPolls);
    EXPECT_TRUE(Logged("Occlusion query gave no result"));
}

TEST_F(RenderSystemTest, PixelCountsOfHostQueriesPickTheVisibleObject) {
    Start();
    G()->GetMaterialManager()->CreateBuiltinMaterials();
    Zel::Material* simple = G()->GetMaterialManager()->FindMaterial("Simple", false);
    ASSERT_NE(simple, nullptr);
    ASSERT_TRUE(simple->IsProgramReady());
    EXPECT_EQ(system_->GetVisibleQueryObject(), -1);

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    G()->GetSceneManager()->SetCurrentView(identity, identity, identity);
    const float colour[4] = {1, 1, 1, 1};
    // A clip-space triangle over a quarter of the window, one below a pixel, one off screen.
    const float big[9] = {-1, -1, 0.5f, 0, -1, 0.5f, -1, 0, 0.5f};
    const float tiny[9] = {0, 0, 0.5f, 0.01f, 0, 0.5f, 0, 0.01f, 0.5f};
    const float outside[9] = {2, 2, 0.5f, 3, 2, 0.5f, 2, 3, 0.5f};
    const float black[4] = {0, 0, 0, 1};
    system_->Clear(Zel::CLEAR_COLOUR | Zel::CLEAR_DEPTH, black, 1.0f, 0);
    system_->BeginScene();
    system_->BeginPixelCountQuery(7);
    system_->DrawSimple(big, colour);
    system_->BeginPixelCountQuery(8);
    system_->DrawSimple(tiny, colour);
    system_->BeginPixelCountQuery(9);
    system_->DrawSimple(outside, colour);
    const std::int32_t visible = system_->GetVisibleQueryObject();
    system_->EndScene();
    EXPECT_EQ(SysCalls(D3D9Call::DrawIndexedPrimitiveUP), 3u);
    EXPECT_EQ(visible, 7);
    // Nothing is running now.
    EXPECT_EQ(system_->GetVisibleQueryObject(), -1);
}

TEST_F(RenderSystemTest, UserVertexFormatsFollowTheAttributesAndTheDrawingMode) {
    Start();
    struct Case {
        bool normal, uv0, uv1, colour, fixedFunction;
        std::uint32_t flags, stride;
    };
    const Case cases[] = {
        {false, false, false, false, false, Zel::VF_POSITION, 12},
        {true, false, false, false, false, Zel::VF_POSITION | Zel::VF_NORMAL, 24},
        {true, true, true, false, false,
         Zel::VF_POSITION | Zel::VF_NORMAL | Zel::VF_TEXCOORD0 | Zel::VF_TEXCOORD1, 40},
        {false, false, false, true, false, Zel::VF_POSITION | Zel::VF_COLOUR, 28},
        {false, false, false, true, true, Zel::VF_POSITION | Zel::VF_DIFFUSE, 16},
        {false, true, false, true, true, Zel::VF_POSITION | Zel::VF_DIFFUSE | Zel::VF_TEXCOORD0,
         24},
    };
    for (const Case& c : cases) {
        SystemDevice().SetFixedFunctionMode(c.fixedFunction ? Zel::MODE_FIXED_FUNCTION
                                                            : Zel::MODE_SHADER);
        RenderSystem::UserPrimitive p;
        p.normalOffset = c.normal ? 12 : 0;
        p.uv0Offset = c.uv0 ? 24 : 0;
        p.uv1Offset = c.uv1 ? 32 : 0;
        p.colourOffset = c.colour ? 40 : 0;
        std::uint32_t stride = 0;
        EXPECT_EQ(system_->ComputeUserVertexFormat(p, &stride), c.flags);
        EXPECT_EQ(stride, c.stride);
    }
}

TEST_F(RenderSystemTest, UserVerticesAreWrittenInFormatOrderWithDefaultsForAbsentAttributes) {
    Start();
    // Source: position, then a packed colour at byte 12; 16 bytes per vertex.
    struct Source {
        float x, y, z;
        std::uint32_t colour;
    };
    const Source source[2] = {{1, 2, 3, 0x80FF4000u}, {4, 5, 6, 0xFF000000u}};
    RenderSystem::UserPrimitive p;
    p.vertexCount = 2;
    p.vertices = reinterpret_cast<const std::uint8_t*>(source);
    p.sourceStride = sizeof(Source);
    p.colourOffset = 12;
    const std::uint32_t flags =
        Zel::VF_POSITION | Zel::VF_NORMAL | Zel::VF_COLOUR | Zel::VF_TEXCOORD0;
    ASSERT_TRUE(system_->BuildUserVertices(p, 48, flags));
    const auto* out = reinterpret_cast<const float*>(system_->GetStagingBuffer());
    const float expected[12] = {1, 2, 3, 0, 0, 1, 1.0f, 64 / 255.0f, 0, 128 / 255.0f, 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_FLOAT_EQ(out[i], expected[i]) << i;
    EXPECT_FLOAT_EQ(out[12], 4.0f);
}

TEST_F(RenderSystemTest, HostPrimitivesBeyondTheStagingBufferOrWithBadIndicesAreRefused) {
    Start();
    // The staging buffer holds exactly 5 MiB: 12-byte vertices fit 436906 (and 4 bytes over).
    const std::uint32_t fitting = RenderSystem::kStagingBytes / 16;  // 16-byte vertices
    std::vector<std::uint8_t> source(std::size_t(fitting + 1) * 16, 0);
    RenderSystem::UserPrimitive p;
    p.vertices = source.data();
    p.sourceStride = 16;
    p.vertexCount = fitting;
    EXPECT_TRUE(system_->BuildUserVertices(p, 16, Zel::VF_POSITION | Zel::VF_DIFFUSE));
    p.vertexCount = fitting + 1;
    EXPECT_FALSE(system_->BuildUserVertices(p, 16, Zel::VF_POSITION | Zel::VF_DIFFUSE));
    // A count whose byte size passes 32 bits is refused, not wrapped.
    p.vertexCount = 0x20000000u;
    EXPECT_FALSE(system_->BuildUserVertices(p, 40, Zel::VF_POSITION));

    G()->GetMaterialManager()->CreateBuiltinMaterials();
    Zel::Material* simple = G()->GetMaterialManager()->FindMaterial("Simple", false);
    ASSERT_NE(simple, nullptr);
    const std::uint16_t indices[3] = {0, 1, 3};
    RenderSystem::UserPrimitive bad;
    bad.vertices = source.data();
    bad.vertexCount = 3;
    bad.indices = indices;
    bad.indexCount = 3;
    system_->BeginScene();
    SysSoft()->ResetCallCounts();
    EXPECT_EQ(system_->DrawUserPrimitive(simple->GetPass(0), bad), 0u);
    EXPECT_EQ(SysCalls(D3D9Call::DrawIndexedPrimitiveUP), 0u);
    const std::uint16_t good[3] = {0, 1, 2};
    bad.indices = good;
    EXPECT_EQ(system_->DrawUserPrimitive(simple->GetPass(0), bad), 1u);
    EXPECT_EQ(SysCalls(D3D9Call::DrawIndexedPrimitiveUP), 1u);
    system_->EndScene();
    EXPECT_TRUE(Logged("index 2 names vertex 3 of 3"));
    EXPECT_TRUE(Logged("exceed the 5242880-byte vertex buffer"));
}

TEST_F(RenderSystemTest, PurgingDropsOnlyWhatNoOneHolds) {
    Start();
    Zel::MaterialManager& materials = *G()->GetMaterialManager();
    Zel::Material* unused = materials.CreateMaterial("Unused");
    Zel::Material* held = materials.CreateMaterial("Held");
    ASSERT_NE(unused, nullptr);
    ASSERT_NE(held, nullptr);
    materials.Add(unused);
    materials.Add(held);
    held->AddRef();
    system_->PurgeUnusedResources();
    EXPECT_EQ(materials.FindMaterial("Unused", false), nullptr);
    EXPECT_EQ(materials.FindMaterial("Held", false), held);
    held->DecRef();
}

TEST(PrimitiveCountTest, CountsFollowThePrimitiveTypeAndNeverUnderflow) {
    struct Case {
        std::uint32_t type, count, primitives;
    };
    const Case cases[] = {{Zel::PT_POINT_LIST, 5, 5},     {Zel::PT_LINE_LIST, 5, 2},
                          {Zel::PT_LINE_STRIP, 5, 4},     {Zel::PT_LINE_STRIP, 0, 0},
                          {Zel::PT_TRIANGLE_LIST, 10, 3}, {Zel::PT_TRIANGLE_STRIP, 5, 3},
                          {Zel::PT_TRIANGLE_STRIP, 1, 0}, {Zel::PT_TRIANGLE_FAN, 0, 0},
                          {Zel::PT_TRIANGLE_FAN, 4, 2},   {7, 9, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(RenderSystem::PrimitiveCountFromIndexCount(c.type, c.count), c.primitives)
            << "type " << c.type << " count " << c.count;
}

}  // namespace

namespace {

class RenderSystemWindowTest : public RenderSystemTest {
protected:
    Zel::RenderTarget* MakeTarget(bool depth) {
        Zel::RenderTarget* target = G()->GetTextureManager()->CreateRenderTarget(depth);
        EXPECT_NE(target, nullptr);
        if (target) {
            EXPECT_TRUE(target->Create(int(kWidth), int(kHeight), 1, 0,
                                       depth ? Zel::PF_D24S8 : Zel::PF_A8R8G8B8, 1, false));
        }
        return target;
    }
};

TEST_F(RenderSystemWindowTest, RestoringTheTargetsRebindsTheActiveWindow) {
    Start();
    Zel::RenderWindow* window = system_->GetMainWindow();
    Zel::RenderTarget* colour = MakeTarget(false);
    Zel::RenderTarget* depth = MakeTarget(true);
    system_->SetRenderTarget(0, colour);
    system_->SetRenderTarget(1, colour);
    system_->SetDepthStencilSurface(depth);
    system_->RestoreDefaultRenderTargets();
    EXPECT_EQ(system_->GetRenderTarget(0), window->GetColourTarget());
    EXPECT_EQ(system_->GetRenderTarget(1), nullptr);
    EXPECT_EQ(system_->GetDepthStencilSurface(), window->GetDepthTarget());
}

TEST_F(RenderSystemWindowTest, SwappingPostProcessTargetsDrawsAIntoBTexelForTexel) {
    ASSERT_TRUE(system_->Init(Settings()));
    G()->GetSceneManager()->SetRenderSystem(system_.get());
    ASSERT_TRUE(SystemDevice().EnableA8R8G8B8Target());
    G()->GetMaterialManager()->CreateBuiltinMaterials();
    auto* window = static_cast<Zel::RenderWindowD3D9*>(system_->GetMainWindow());
    // Made again now that the device draws into A8R8G8B8 targets: with its post-process pair.
    ASSERT_TRUE(window->RecreateDeviceObjects());
    ASSERT_TRUE(window->IsPostProcessing());
    Zel::RenderTarget* a = window->GetPostProcessTargetA();
    ASSERT_EQ(SystemDevice().GetRenderTarget(0), a);

    // A red frame with one green pixel at (1, 0): a copy off by a texel moves it.
    IDirect3DDevice9* d = SystemDevice().GetD3DDevice();
    ASSERT_EQ(D3D_OK, d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0));
    const D3DRECT pixel = {1, 0, 2, 1};
    ASSERT_EQ(D3D_OK, d->Clear(1, &pixel, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0));
    SysSoft()->ResetCallCounts();
    Zel::SharedPtr<Zel::RenderTarget> first, second;
    ASSERT_TRUE(window->SwapPostProcessTargets(&first, &second));
    EXPECT_EQ(SysCalls(D3D9Call::StretchRect), 0u);
    EXPECT_EQ(SysCalls(D3D9Call::DrawIndexedPrimitiveUP), 1u);
    EXPECT_FALSE(system_->IsInScene());

    Zel::RenderTarget* b = first.Get();
    std::int32_t pitch = 0;
    void* bits = nullptr;
    ASSERT_TRUE(b->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_READ_ONLY));
    const auto* row = static_cast<const std::uint32_t*>(bits);
    const std::uint32_t p0 = row[0], p1 = row[1], p2 = row[2];
    const auto* last = reinterpret_cast<const std::uint32_t*>(
        static_cast<const char*>(bits) + std::ptrdiff_t(pitch) * (kHeight - 1));
    const std::uint32_t corner = last[kWidth - 1];
    b->UnlockLevel();
    EXPECT_EQ(p0 & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(p1 & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(p2 & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(corner & 0xFFFFFFu, 0xFF0000u);
    // The quad material has its own texture back.
    Zel::Material* quad = G()->GetMaterialManager()->FindMaterial("DrawQuad", false);
    EXPECT_NE(quad->GetPass(0)->renderState.stages[0].GetTexture(), a);
}

}  // namespace
