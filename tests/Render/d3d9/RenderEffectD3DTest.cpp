// Effects on the render device: a generated effect with the engine's include files fills the
// technique slots, parameter handles and sampler records; the compiled cache is written, used
// without the source and rebuilt when stale; includes fall back to the include root.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Core/EnginePaths.h"
#include "Core/FrameStats.h"
#include "Core/LogDispatch.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderResourceManager.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/EffectInclude.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "support/LogCapture.h"
#include "tests/Render/d3d9/DeviceFixture.h"
#include "fixtures/EffectFixtures.h"

namespace {

using Zel::RenderEffectD3D;

TEST(RenderEffectTechniques, SlotsFollowTheWordsOfTheName) {
    const std::pair<const char*, int> cases[] = {
        {"Ambient", 0},
        {"AmbientShadow", 1},
        {"Basic_Shadow", 1},
        {"VertexLighting", 2},
        {"VertexLighting_Shadow", 4},
        {"Diffuse_VertexLighting_Ambient", 3},
        {"PixelLighting", 6},
        {"Diffuse_PixelLighting_Projected_Shadow", 16},
        {"PixelLighting_Projected_Shadow_Ambient", 17},
        {"Ambient_DX7", 18},
        {"AmbientShadow_DX7", 19},
        {"VertexLighting_DX7", 20},
        {"VertexLighting_Projected_Shadow_Ambient_DX7", 27},
        {"PixelLighting_DX7", -1},
        {"Diffuse", -1},
        {"vertexlighting", -1},  // the words are case-sensitive
    };
    for (const auto& [name, slot] : cases)
        EXPECT_EQ(RenderEffectD3D::TechniqueSlot(name), slot) << name;
}

TEST(RenderEffectParameters, TableHasSeventyEightNamesAndAnEmptySlot) {
    int named = 0;
    for (std::uint32_t i = 0; i < RenderEffectD3D::kParameterCount; ++i)
        named += RenderEffectD3D::ParameterName(i) != nullptr;
    EXPECT_EQ(named, 78);
    EXPECT_EQ(RenderEffectD3D::ParameterName(66), nullptr);
    EXPECT_STREQ(RenderEffectD3D::ParameterName(23), "g_BoneMatrix");
    EXPECT_STREQ(RenderEffectD3D::ParameterName(67), "g_texDiffuse");
    EXPECT_STREQ(RenderEffectD3D::ParameterName(78), "g_texLightProjection");
}

class RenderEffectTest : public ZelTest::ReadyDeviceTest {
protected:
    void SetUp() override {
        ZelTest::ReadyDeviceTest::SetUp();
        // The generated effect names its includes "../include/<file>"; none is found there, so
        // every one comes from the include root's "include/" directory.
        Zel::SetEffectIncludeRoot((dir_.Path() / "root").string() + "/");
        for (const auto& [name, text] : ZelFixtures::EffectIncludeFiles())
            dir_.Write("root/include/" + std::filesystem::path(name).filename().string(), text);
        source_ = dir_.Write("fx/material.fx", ZelFixtures::GeneratedEffect());
    }
    void TearDown() override {
        effect_.reset();
        G()->GetConfigManager()->SetValue(RenderEffectD3D::kCompileEffectsSwitch, 0);
        ZelTest::ReadyDeviceTest::TearDown();
    }
    bool Load() {
        effect_.reset();
        effect_ = std::make_unique<RenderEffectD3D>(&Device(), nullptr, "fx/material.fx", "", 1);
        effect_->Load(source_);
        return effect_->GetEffect() != nullptr;
    }
    std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string source_;
    std::unique_ptr<RenderEffectD3D> effect_;
};

TEST_F(RenderEffectTest, GeneratedEffectFillsSlotsHandlesAndSamplerRecords) {
    ZelTest::LogCapture log;
    ASSERT_TRUE(Load());
    const int filled[] = {0, 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
    for (std::uint32_t slot = 0; slot < RenderEffectD3D::kTechniqueSlots; ++slot) {
        bool expected = std::find(std::begin(filled), std::end(filled), slot) != std::end(filled);
        EXPECT_EQ(effect_->GetTechniqueHandle(slot) != nullptr, expected) << slot;
    }
    EXPECT_NE(effect_->GetParameterHandle(0), nullptr);   // g_MatWorld
    EXPECT_NE(effect_->GetParameterHandle(67), nullptr);  // g_texDiffuse
    EXPECT_EQ(effect_->GetParameterHandle(66), nullptr);
    EXPECT_FALSE(effect_->SetValue(2, "abcd", 4));  // slot 66
    const RenderEffectD3D::SamplerRecord& diffuse = effect_->GetSamplerRecord(0);
    EXPECT_NE(diffuse.structure, nullptr);
    EXPECT_NE(diffuse.minFilter, nullptr);
    EXPECT_EQ(diffuse.effect, effect_->GetEffect());
    EXPECT_EQ(effect_->GetSamplerRecord(11).structure, nullptr);  // no light projection state
    EXPECT_EQ(log.Count("LoadFxFromDisk:"), 1);
    EXPECT_TRUE(effect_->SetTechnique(2));
    EXPECT_FALSE(effect_->SetTechnique(3));  // empty slot
    EXPECT_FALSE(effect_->SetMatrixArray(23, nullptr, 0));
}

TEST_F(RenderEffectTest, SettersCountTheirUploadsInTheFrameStatistics) {
    ASSERT_TRUE(Load());
    Zel::FrameStats& stats = *G()->GetFrameStats();
    const Zel::FrameStats before = stats;
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    effect_->SetMatrixByName("g_MatWorld", m);
    effect_->SetMatrix(0, m, 0);
    effect_->SetValueByName("g_MatWorld", m, sizeof m);
    EXPECT_FALSE(effect_->SetValue(2, "abcd", 4));  // slot 66 is empty: nothing counted
    effect_->SetIntByName("g_MatWorld", 1);
    EXPECT_TRUE(effect_->SetTexture(0, nullptr));
    EXPECT_FALSE(effect_->SetFloatByName("no_such_parameter", 1.0f));
    auto delta = [&](Zel::FrameStatWord w) { return stats.words[w] - before.words[w]; };
    EXPECT_EQ(delta(Zel::FRAME_EFFECT_MATRIX_SETS), 2u);
    EXPECT_EQ(delta(Zel::FRAME_EFFECT_VECTOR_SETS), 1u);
    EXPECT_EQ(delta(Zel::FRAME_EFFECT_SCALAR_SETS), 1u);
    EXPECT_EQ(delta(Zel::FRAME_EFFECT_TEXTURE_SETS), 1u);
}

TEST_F(RenderEffectTest, OnlyMatrixSetsThatReachAParameterOrStageAreCounted) {
    ASSERT_TRUE(Load());
    Zel::FrameStats& stats = *G()->GetFrameStats();
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    struct Case {
        std::int32_t mode;
        std::uint32_t index, stage;
        bool ok;
    };
    const Case cases[] = {
        {Zel::MODE_SHADER, 0, 0, true},            // g_MatWorld
        {Zel::MODE_SHADER, 4, 0, false},           // g_MatWorldView is not in this effect
        {Zel::MODE_SHADER, 24, 0, false},          // past the matrices
        {Zel::MODE_FIXED_FUNCTION, 11, 1, true},   // a texture matrix on stage 1
        {Zel::MODE_FIXED_FUNCTION, 0, 0, false},   // fixed function takes only texture matrices
        {Zel::MODE_FIXED_FUNCTION, 11, 8, false},  // no stage 8
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Device().SetFixedFunctionMode(c.mode));
        const std::uint32_t before = stats.words[Zel::FRAME_EFFECT_MATRIX_SETS];
        EXPECT_EQ(effect_->SetMatrix(c.index, m, c.stage), c.ok) << c.mode << " " << c.index;
        EXPECT_EQ(stats.words[Zel::FRAME_EFFECT_MATRIX_SETS] - before, c.ok ? 1u : 0u)
            << c.mode << " " << c.index << " " << c.stage;
    }
}

TEST_F(RenderEffectTest, ArrayElementsAreSetByIndexAndByName) {
    ASSERT_TRUE(Load());
    Zel::FrameStats& stats = *G()->GetFrameStats();
    const Zel::FrameStats before = stats;
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    struct Case {
        const char* what;
        bool (*set)(RenderEffectD3D&, const float*);
        bool ok;
    };
    const Case cases[] = {
        {"slot 23, element 1",
         [](RenderEffectD3D& e, const float* m) { return e.SetMatrixElement(23, m, 1); }, true},
        {"slot 23, past the array",
         [](RenderEffectD3D& e, const float* m) { return e.SetMatrixElement(23, m, 60); }, false},
        {"slot 0 is no array",
         [](RenderEffectD3D& e, const float* m) { return e.SetMatrixElement(0, m, 0); }, false},
        {"slot 66 is empty",
         [](RenderEffectD3D& e, const float* m) { return e.SetMatrixElement(66, m, 0); }, false},
        {"by name",
         [](RenderEffectD3D& e, const float* m) {
             return e.SetMatrixElementByName("g_BoneMatrix", m, 59);
         },
         true},
        {"unknown name",
         [](RenderEffectD3D& e, const float* m) { return e.SetMatrixElementByName("nope", m, 0); },
         false},
        {"value by name",
         [](RenderEffectD3D& e, const float* m) {
             return e.SetValueElementByName("g_BoneMatrix", m, 48, 2);
         },
         true},
        {"value past the array",
         [](RenderEffectD3D& e, const float* m) {
             return e.SetValueElementByName("g_BoneMatrix", m, 48, 60);
         },
         false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.set(*effect_, m), c.ok) << c.what;
    // Only the uploads that found their element count.
    EXPECT_EQ(
        stats.words[Zel::FRAME_EFFECT_MATRIX_SETS] - before.words[Zel::FRAME_EFFECT_MATRIX_SETS],
        2u);
    EXPECT_EQ(
        stats.words[Zel::FRAME_EFFECT_VECTOR_SETS] - before.words[Zel::FRAME_EFFECT_VECTOR_SETS],
        1u);
    effect_->Unload();
    EXPECT_FALSE(effect_->SetMatrixElement(23, m, 1));
}

// Binding textures: what is bound (seen through the reference the effect holds on the Direct3D
// texture), the per-frame counting and the fall-back to the default texture.
class RenderEffectTextureTest : public RenderEffectTest {
protected:
    void SetUp() override {
        RenderEffectTest::SetUp();
        // A plain (not Ex) device: the image textures live in the managed pool.
        D3D9Module::Settings plain;
        plain.create9Ex = false;
        D3D9Module::Install(plain);
        MakeDevice();
        G()->GetTextureManager()->SetDevice(Device().GetD3DDevice());
        // Error reports show as (captured) message boxes.
        G()->GetConfigManager()->SetValue(Zel::GlobalConfigManager::kShowErrorDialogSwitch, 1);
        checker_ = G()->GetTextureManager()->GetDefaultTexture();
        ASSERT_NE(checker_, nullptr);
        ASSERT_GE(checker_->GetRefCount(), 2);
        plain_ = G()->GetTextureManager()->CreateTexture(1, 2);
        ASSERT_NE(plain_, nullptr);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(Device().GetD3DDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8,
                                                         D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        plain_->SetDeviceTexture(texture);
        ASSERT_TRUE(Load());
    }
    void TearDown() override {
        effect_.reset();
        G()->GetConfigManager()->SetValue(RenderEffectD3D::kForceDefaultTextureSwitch, 0);
        G()->GetConfigManager()->SetValue(Zel::GlobalConfigManager::kShowErrorDialogSwitch, 0);
        RenderEffectTest::TearDown();
    }
    static ULONG Refs(IUnknown* object) {
        object->AddRef();
        return object->Release();
    }
    // Which of the two Direct3D textures the effect holds now (by the reference it adds).
    const char* Bound() {
        const bool plain = Refs(plain_->GetDeviceTexture()) > plainRefs_;
        const bool checker = Refs(checker_->GetDeviceTexture()) > checkerRefs_;
        return plain ? (checker ? "both" : "plain") : (checker ? "default" : "none");
    }
    void Unbind() {
        ASSERT_TRUE(effect_->SetTexture(0, nullptr));
        plainRefs_ = Refs(plain_->GetDeviceTexture());
        checkerRefs_ = Refs(checker_->GetDeviceTexture());
    }

    Zel::TextureBase* checker_ = nullptr;
    Zel::TextureBase* plain_ = nullptr;
    ULONG plainRefs_ = 0, checkerRefs_ = 0;
};

TEST_F(RenderEffectTextureTest, UnusableTexturesAndSwitch66BindTheDefaultTexture) {
    struct Case {
        const char* what;
        int extraRefs;
        std::uint32_t ioBusy;
        int forceDefault;
        const char* bound;
        const char* report;  // null: none
    };
    const Case cases[] = {
        {"held only by the manager", 0, 0, 0, "default", "wrong reference count"},
        {"held by a material too", 1, 0, 0, "plain", nullptr},
        {"being reloaded", 1, 1, 0, "default", "in use by the IO thread"},
        {"forced default", 1, 0, 1, "default", nullptr},
    };
    for (const Case& c : cases) {
        Unbind();
        for (int i = 0; i < c.extraRefs; ++i) plain_->AddRef();
        plain_->SetIoBusy(c.ioBusy);
        G()->GetConfigManager()->SetValue(RenderEffectD3D::kForceDefaultTextureSwitch,
                                          c.forceDefault);
        Boxes().clear();
        EXPECT_TRUE(effect_->SetTexture(0, plain_)) << c.what;
        EXPECT_STREQ(Bound(), c.bound) << c.what;
        ASSERT_EQ(Boxes().size(), c.report != nullptr ? 1u : 0u) << c.what;
        if (c.report != nullptr) {
            EXPECT_NE(Boxes()[0].text.find(c.report), std::string::npos) << Boxes()[0].text;
        }
        for (int i = 0; i < c.extraRefs; ++i) plain_->DecRef();
    }
    plain_->SetIoBusy(0);
    // Null clears the parameter; an index past the table fails.
    Unbind();
    EXPECT_STREQ(Bound(), "none");
    EXPECT_FALSE(effect_->SetTexture(12, plain_));
    // By name: neither the usability check nor the default texture.
    EXPECT_TRUE(effect_->SetTextureByName("g_texDiffuse", plain_));
    EXPECT_STREQ(Bound(), "plain");
    EXPECT_TRUE(effect_->SetTextureByName("g_texDiffuse", nullptr));
    EXPECT_FALSE(effect_->SetTextureByName("g_texNone", plain_));
}

TEST_F(RenderEffectTextureTest, EachTextureCountsOncePerFrameWithItsBytes) {
    Zel::FrameStats& stats = *G()->GetFrameStats();
    auto distinct = [&] { return stats.words[Zel::FRAME_EFFECT_DISTINCT_TEXTURES]; };
    auto bytes = [&] { return stats.words[Zel::FRAME_EFFECT_TEXTURE_BYTES]; };
    G()->GetSceneManager()->AdvanceFrame();
    const std::uint32_t d0 = distinct(), b0 = bytes();
    ASSERT_EQ(checker_->GetSizeInBytes(), 32u * 32u * 4u);
    effect_->SetTexture(0, checker_);
    effect_->SetTexture(1, checker_);
    effect_->SetTextureByName("g_texEnvSphere", checker_);
    EXPECT_EQ(distinct() - d0, 1u);
    EXPECT_EQ(bytes() - b0, 32u * 32u * 4u);
    EXPECT_EQ(checker_->GetFrameStamp(), G()->GetFrameId());
    plain_->AddRef();
    effect_->SetTexture(0, plain_);  // a texture without a size counts no bytes
    EXPECT_EQ(distinct() - d0, 2u);
    EXPECT_EQ(bytes() - b0, 32u * 32u * 4u);
    // The next frame counts again.
    G()->GetSceneManager()->AdvanceFrame();
    effect_->SetTextureByName("g_texDiffuse", checker_);
    EXPECT_EQ(distinct() - d0, 3u);
    EXPECT_EQ(bytes() - b0, 2u * 32u * 32u * 4u);
    plain_->DecRef();
}

// A manager of the kind the GPU program manager is: relays loss and reset to its default-pool
// programs.
class ProgramHolder final : public Zel::RenderResourceManager {
public:
    explicit ProgramHolder(Zel::GpuProgram* program) : program_(program) {
        Zel::RegisterRenderResourceManager(this);
    }
    ~ProgramHolder() override { Zel::UnregisterRenderResourceManager(this); }
    void OnLostDevice() override {
        if (program_->IsDefaultPool())
            program_->OnDeviceLost();
    }
    void OnResetDevice() override {
        if (program_->IsDefaultPool())
            program_->OnDeviceReset();
    }
    void PurgeUnused() override {}

private:
    Zel::GpuProgram* program_;
};

TEST_F(RenderEffectTest, LossAndResetKeepTheEffectLoadedThroughTheRegistry) {
    // A plain device, whose reset any living default-pool resource refuses.
    D3D9Module::Settings plain;
    plain.create9Ex = false;
    D3D9Module::Install(plain);
    MakeDevice();
    ASSERT_FALSE(Device().IsEx());
    ASSERT_TRUE(Load());
    ASSERT_TRUE(effect_->IsDefaultPool());
    ProgramHolder holder(effect_.get());
    ID3DXEffect* const fx = effect_->GetEffect();
    const D3DXHANDLE world = effect_->GetParameterHandle(0);
    ASSERT_TRUE(effect_->SetTechnique(2));
    // A default-pool texture bound by name (as a render target is): the effect's reference must
    // not keep the device from resetting.
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(
        Device().GetD3DDevice()->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                               D3DPOOL_DEFAULT, &target, nullptr),
        D3D_OK);
    ASSERT_EQ(fx->SetTexture(effect_->GetParameterHandle(67), target), D3D_OK);
    effect_->SetRefillFlag(0);

    ZelTest::LogCapture log;
    Soft()->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    G()->GetRenderResourceRegistry()->NotifyDeviceLost();
    EXPECT_FALSE(effect_->IsLost());
    ASSERT_EQ(effect_->GetEffect(), fx);
    EXPECT_TRUE(effect_->IsLoadSucceeded());
    EXPECT_EQ(effect_->GetRefillFlag(), 1u);
    target->Release();
    ASSERT_TRUE(Device().ResetDevice(Settings()));
    G()->GetSceneManager()->AdvanceFrame();
    G()->GetRenderResourceRegistry()->NotifyDeviceReset();
    ASSERT_EQ(effect_->GetEffect(), fx);
    EXPECT_EQ(effect_->GetParameterHandle(0), world);
    EXPECT_EQ(fx->GetCurrentTechnique(), effect_->GetTechniqueHandle(2));
    EXPECT_EQ(effect_->GetResetStamp(), G()->GetFrameId());
    EXPECT_EQ(log.Count("LoadFxFromDisk:"), 0);  // nothing read or compiled again
    EXPECT_GT(effect_->Begin(), 0u);
    EXPECT_TRUE(effect_->End());

    // An effect outside the default pool is left to the device.
    RenderEffectD3D managed(&Device(), nullptr, "fx/material.fx", "", 2, Zel::MP_MANAGED);
    managed.Load(source_);
    ProgramHolder other(&managed);
    managed.SetRefillFlag(0);
    G()->GetRenderResourceRegistry()->NotifyDeviceLost();
    EXPECT_EQ(managed.GetRefillFlag(), 0u);
    G()->GetRenderResourceRegistry()->NotifyDeviceReset();
}

TEST_F(RenderEffectTest, ReleaseAndRecreateUnloadAndLoadTheEffectAgain) {
    ASSERT_TRUE(Load());
    EXPECT_TRUE(effect_->ReleaseDeviceObjects());
    EXPECT_TRUE(effect_->IsLost());
    EXPECT_EQ(effect_->GetEffect(), nullptr);
    EXPECT_FALSE(effect_->IsLoaded());
    EXPECT_EQ(effect_->GetTechniqueHandle(0), nullptr);
    EXPECT_TRUE(effect_->RecreateDeviceObjects());
    EXPECT_FALSE(effect_->IsLost());
    ASSERT_NE(effect_->GetEffect(), nullptr);
    EXPECT_NE(effect_->GetTechniqueHandle(0), nullptr);
    EXPECT_NE(effect_->GetParameterHandle(67), nullptr);
}

TEST_F(RenderEffectTest, ReleaseRefUnloadsWhenOnlyTheManagersReferenceIsLeft) {
    ASSERT_TRUE(Load());
    effect_->AddRef();
    effect_->AddRef();  // the manager's (the first) and two holders'
    effect_->ReleaseRef();
    EXPECT_EQ(effect_->GetRefCount(), 2);
    EXPECT_TRUE(effect_->IsLoaded());
    EXPECT_NE(effect_->GetEffect(), nullptr);
    effect_->ReleaseRef();
    EXPECT_EQ(effect_->GetRefCount(), 1);
    EXPECT_FALSE(effect_->IsLoaded());
    EXPECT_EQ(effect_->GetEffect(), nullptr);
    EXPECT_EQ(effect_->GetTechniqueHandle(0), nullptr);
}

TEST_F(RenderEffectTest, InvalidTechniqueNamesAreLoggedAndSkipped) {
    dir_.Write("fx/material.fx", ZelFixtures::GeneratedEffect() +
                                     "technique Diffuse { pass P0 { ZEnable = TRUE; } }\n");
    ZelTest::LogCapture log;
    ASSERT_TRUE(Load());
    EXPECT_EQ(log.Count("Invalid technique name (Diffuse) in effect file:"), 1);
}

TEST_F(RenderEffectTest, CompiledCacheIsWrittenUsedWithoutSourceAndRebuiltWhenStale) {
    G()->GetConfigManager()->SetValue(RenderEffectD3D::kCompileEffectsSwitch, 1);
    const std::string compiled = source_ + "o";
    {
        ZelTest::LogCapture log;
        ASSERT_TRUE(Load());
        EXPECT_EQ(log.Count("GenerateFxoFileToDisk:"), 1);
        EXPECT_EQ(log.Count(compiled), 2);  // written, then read
    }
    ASSERT_EQ(Slurp(compiled).substr(0, 4), "ZFXO");

    // Unchanged source and includes: the cache is used as it is.
    {
        ZelTest::LogCapture log;
        ASSERT_TRUE(Load());
        EXPECT_EQ(log.Count("GenerateFxoFileToDisk:"), 0);
    }
    // A changed include makes it stale: rebuilt and overwritten.
    dir_.Write("root/include/Lighting.fx",
               ZelFixtures::EffectIncludeFiles().at("../include/Lighting.fx") + "\n// changed\n");
    {
        ZelTest::LogCapture log;
        ASSERT_TRUE(Load());
        EXPECT_EQ(log.Count("GenerateFxoFileToDisk:"), 1);
    }
    // A cache of another version is rebuilt too.
    std::string bytes = Slurp(compiled);
    bytes[4] = 99;
    dir_.Write("fx/material.fxo", bytes);
    {
        ZelTest::LogCapture log;
        ASSERT_TRUE(Load());
        EXPECT_EQ(log.Count("GenerateFxoFileToDisk:"), 1);
    }
    // Without the source the compiled file loads alone.
    std::filesystem::remove(source_);
    ASSERT_TRUE(Load());
    EXPECT_NE(effect_->GetTechniqueHandle(20), nullptr);
}

TEST_F(RenderEffectTest, UnwritableCacheLoadsFromTheSource) {
    G()->GetConfigManager()->SetValue(RenderEffectD3D::kCompileEffectsSwitch, 1);
    std::filesystem::create_directory(source_ + "o");  // a directory where the cache would go
    ZelTest::LogCapture log;
    ASSERT_TRUE(Load());
    EXPECT_EQ(log.Count("LoadFxFromDisk: read effect file " + source_ + "\n") +
                  log.Count("LoadFxFromDisk: read effect file " + source_),
              1);
}

TEST_F(RenderEffectTest, BrokenSourceFailsWithTheCompilerMessages) {
    dir_.Write("fx/material.fx", "float4 f( {\n");
    ZelTest::LogCapture log;
    EXPECT_FALSE(Load());
    EXPECT_EQ(log.Count("failed to load"), 1);
    EXPECT_EQ(effect_->GetTechniqueHandle(0), nullptr);
}

TEST_F(RenderEffectTest, IncludeFailureAnswersFailureWithNoData) {
    Zel::EffectInclude include;
    LPCVOID data = reinterpret_cast<LPCVOID>(1);
    UINT bytes = 7;
    ZelTest::LogCapture log;
    EXPECT_FALSE(SUCCEEDED(include.Open(D3DXINC_LOCAL, "missing/none.fx", nullptr, &data, &bytes)));
    EXPECT_EQ(data, nullptr);
    // The fallback takes the file part only.
    ASSERT_EQ(include.Open(D3DXINC_LOCAL, "somewhere/else/Lighting.fx", nullptr, &data, &bytes),
              S_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(data), bytes),
              ZelFixtures::EffectIncludeFiles().at("../include/Lighting.fx"));
    include.Close(data);
}

TEST_F(RenderEffectTest, EffectPassCountsAndRoutesItsStatesThroughTheDevice) {
    ASSERT_TRUE(Load());
    ASSERT_TRUE(effect_->SetTechnique(18));  // Ambient_DX7: stage states only
    Zel::FrameStats& stats = *G()->GetFrameStats();
    const Zel::FrameStats before = stats;
    ASSERT_TRUE(Device().BeginEffectPass(effect_.get(), 0));
    EXPECT_EQ(Device().GetPendingEffect(), effect_.get());
    EXPECT_EQ(stats.words[Zel::FRAME_EFFECTS_BEGUN], before.words[Zel::FRAME_EFFECTS_BEGUN] + 1);
    EXPECT_EQ(stats.words[Zel::FRAME_EFFECT_PASSES_BEGUN],
              before.words[Zel::FRAME_EFFECT_PASSES_BEGUN] + 1);
    // The pass's stage states reached the device through the state manager and the state cache.
    EXPECT_GT(stats.words[Zel::FRAME_TEXTURE_STAGE_STATE_SETS],
              before.words[Zel::FRAME_TEXTURE_STAGE_STATE_SETS]);
    DWORD op = 0;
    Device().GetD3DDevice()->GetTextureStageState(0, D3DTSS_ALPHAARG2, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTA_DIFFUSE));
    Device().EndEffectPass();
    EXPECT_EQ(Device().GetPendingEffect(), nullptr);
    // A pass the technique lacks begins nothing.
    EXPECT_FALSE(Device().BeginEffectPass(effect_.get(), 5));
    EXPECT_EQ(Device().GetPendingEffect(), nullptr);
    EXPECT_NE(effect_->Begin(), 0u);  // the failed bracket was closed
    EXPECT_TRUE(effect_->End());
}

TEST_F(RenderEffectTest, DefaultEffectFileFillsItsTechniqueSlots) {
    std::filesystem::remove(source_);
    ASSERT_TRUE(RenderEffectD3D::WriteDefaultEffectFile(source_));
    ASSERT_TRUE(Load());
    const int filled[] = {0, 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 19, 20};
    for (std::uint32_t slot = 0; slot < RenderEffectD3D::kTechniqueSlots; ++slot) {
        bool expected = std::find(std::begin(filled), std::end(filled), slot) != std::end(filled);
        EXPECT_EQ(effect_->GetTechniqueHandle(slot) != nullptr, expected) << slot;
    }
    // An existing file is kept; a path in a missing directory cannot be created.
    dir_.Write("fx/mine.fx", "// mine\n");
    EXPECT_TRUE(RenderEffectD3D::WriteDefaultEffectFile((dir_.Path() / "fx/mine.fx").string()));
    EXPECT_EQ(Slurp((dir_.Path() / "fx/mine.fx").string()), "// mine\n");
    EXPECT_FALSE(RenderEffectD3D::WriteDefaultEffectFile((dir_.Path() / "no/such/d.fx").string()));
}

TEST_F(RenderEffectTest, TechniqueSelectionFollowsKindAndMode) {
    ASSERT_TRUE(Load());
    ID3DXEffect* fx = effect_->GetEffect();
    struct Case {
        std::int32_t mode;
        std::uint32_t kind;
        bool projected;
        int slot;  // -1: refused
    };
    const Case cases[] = {
        {2, 0, false, 0},    // ambient
        {2, 1, false, 1},    // ambient + shadow
        {2, 4, false, 2},    // vertex
        {2, 5, false, 4},    // vertex + shadow
        {2, 8, false, 6},    // pixel
        {2, 9, false, 8},    // pixel + shadow
        {2, 9, true, 16},    // pixel + shadow, projected
        {2, 12, false, 0},   // vertex + ambient: slot 3 is empty, the fallback is slot 0
        {0, 4, false, 20},   // vertex lighting, fixed function
        {0, 0, false, 18},   // ambient, fixed function
        {0, 1, false, 18},   // ambient + shadow: slot 19 is empty, the fallback is slot 18
        {2, 20, false, -1},  // no such kind
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Device().SetFixedFunctionMode(c.mode)) << c.mode;
        ASSERT_EQ(fx->SetTechnique(effect_->GetTechniqueHandle(2)), D3D_OK);
        EXPECT_EQ(effect_->SelectTechnique(c.kind, c.projected), c.slot >= 0) << c.kind;
        if (c.slot >= 0) {
            EXPECT_EQ(fx->GetCurrentTechnique(), effect_->GetTechniqueHandle(c.slot))
                << c.mode << " " << c.kind;
        }
    }
}

TEST_F(RenderEffectTest, FixedFunctionSamplerStateGoesToTheStage) {
    ASSERT_TRUE(Load());
    ASSERT_TRUE(Device().SetFixedFunctionMode(0));
    RenderEffectD3D::SamplerDescription d;
    d.addressU = 1;  // wrap
    d.addressV = 2;  // clamp
    d.addressW = 3;  // border
    d.borderColor[0] = 1.0f;
    d.borderColor[3] = 1.0f;
    d.filter = 1;  // bilinear: no mip filter on the stages
    effect_->ApplySamplerState(0, d, 2, 1);
    IDirect3DDevice9* dev = Device().GetD3DDevice();
    auto state = [&](D3DSAMPLERSTATETYPE type) {
        DWORD v = 0;
        dev->GetSamplerState(2, type, &v);
        return v;
    };
    EXPECT_EQ(state(D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    EXPECT_EQ(state(D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(state(D3DSAMP_ADDRESSW), static_cast<DWORD>(D3DTADDRESS_BORDER));
    EXPECT_EQ(state(D3DSAMP_BORDERCOLOR), 0xFFFF0000u);
    EXPECT_EQ(state(D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(state(D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    // An anisotropy level other than 1 makes minification anisotropic.
    effect_->ApplySamplerState(0, d, 2, 4);
    EXPECT_EQ(state(D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(state(D3DSAMP_MAXANISOTROPY), 4u);
}

TEST_F(RenderEffectTest, OcclusionQueriesComeFromThePoolAndRunOnTheDevice) {
    Zel::OcclusionQueryD3D9* queries[5];
    for (auto*& q : queries) {
        q = Device().AcquireOcclusionQuery();
        ASSERT_NE(q, nullptr);
    }
    // Four at first, then growth by half.
    EXPECT_EQ(Device().GetOcclusionQueryPool().GetCapacity(), 6);
    queries[0]->Begin();
    EXPECT_TRUE(queries[0]->HasD3DQuery());
    queries[0]->End();
    for (auto* q : queries) Device().ReleaseOcclusionQuery(q);
    EXPECT_EQ(Device().AcquireOcclusionQuery(), queries[4]);  // the last one returned
}

}  // namespace
