// The shader constant filler on a program that records what it is given, and the waves that
// animate texture stages.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Scene/Light.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Material/ShaderParamTable.h"
#include "Entity/Material/TexCoordWaves.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"

namespace {

using Vec = std::vector<float>;

class RecordingProgram final : public Zel::GpuProgram {
public:
    RecordingProgram() : GpuProgram(nullptr, "rec", "GpuProgram", 0) {}
    std::uint32_t GetSize() override { return 0; }
    bool ReleaseDeviceObjects() override { return true; }
    bool RecreateDeviceObjects() override { return true; }
    bool SetMatrixByName(const char*, const float*) override { return true; }
    bool SetMatrix(std::uint32_t i, const float* m, std::uint32_t) override {
        matrices[i] = Vec(m, m + 16);
        order.push_back("matrix" + std::to_string(i));
        return true;
    }
    bool SetMatrixArray(std::uint32_t, const float*, std::uint32_t) override { return true; }
    bool SetValueByName(const char* name, const void* data, std::uint32_t bytes) override {
        const float* f = static_cast<const float*>(data);
        byName[name] = Vec(f, f + bytes / 4);
        order.push_back(name);
        return true;
    }
    bool SetValue(std::uint32_t, const void*, std::uint32_t) override { return true; }
    bool SetVector(std::uint32_t i, const void* data, std::uint32_t bytes) override {
        const float* f = static_cast<const float*>(data);
        vectors[i] = Vec(f, f + bytes / 4);
        return !failVectors;
    }
    bool SetFloatByName(const char* name, float v) override {
        byName[name] = Vec{v};
        order.push_back(name);
        return true;
    }
    bool SetFloat(std::uint32_t i, float v) override {
        floats[i] = v;
        order.push_back("float" + std::to_string(i));
        return true;
    }
    bool SetIntByName(const char*, int) override { return true; }
    bool SetInt(std::uint32_t, int) override { return true; }
    bool SetTextureByName(const char*, Zel::TextureBase*) override { return true; }
    bool SetTexture(std::uint32_t i, Zel::TextureBase* t) override {
        textures[i] = t;
        return true;
    }
    bool SetTechnique(std::uint32_t) override { return true; }
    bool SelectTechnique(std::uint32_t code, bool projects) override {
        techniques.push_back({code, projects});
        return true;
    }
    bool CommitChanges() override { return true; }
    std::uint32_t Begin() override { return 1; }
    bool BeginPass(std::uint32_t) override { return true; }
    bool EndPass() override { return true; }
    bool End() override { return true; }
    void ClearTextures() override {}
    void SetSamplerParams(std::uint32_t kind, const Zel::TextureStage&,
                          std::uint32_t unit) override {
        samplers.push_back({kind, unit});
    }
    bool Touched() const {
        return !matrices.empty() || !vectors.empty() || !floats.empty() || !textures.empty();
    }

    std::map<std::uint32_t, Vec> matrices, vectors;
    std::map<std::uint32_t, float> floats;
    std::map<std::uint32_t, Zel::TextureBase*> textures;
    std::map<std::string, Vec> byName;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> samplers;
    std::vector<std::pair<std::uint32_t, bool>> techniques;
    std::vector<std::string> order;
    bool failVectors = false;

protected:
    bool LoadImpl() override { return true; }
    void UnloadImpl() override {}
};

class ShaderConstFillerTest : public ZelTest::CoreRootTest {
protected:
    ShaderConstFillerTest() {
        renderSystem_.SetAmbientColor(0.1f, 0.2f, 0.3f, 1.0f);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1};
        const float viewProjection[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 1, 0, 0, 4, 0};
        const float camera[3] = {7, 8, 9};
        G()->GetSceneManager()->SetCurrentView(view, viewProjection, camera);
        G()->GetSceneManager()->SetTimeValue(0.25f);
        pass_ = material_.CreatePass(0);
        pass_->shininess = 32.0f;
        pass_->gloss = 0.5f;
        material_.SetEditorColorFactor(true, 0.5f, 0.25f, 0.125f);
        op_.renderState = &pass_->renderState;
        op_.pass = pass_;
        op_.worldMatrix[12] = 3.0f;
    }
    ~ShaderConstFillerTest() override { G()->GetSceneManager()->SetRenderSystem(nullptr); }

    Zel::RenderSystem renderSystem_;
    std::vector<std::unique_ptr<Zel::TextureBase>> textures_;
    Zel::Material material_{nullptr, "m", "Material", 0};
    Zel::Pass* pass_ = nullptr;
    Zel::RenderOperation op_;
    Zel::ZelShaderConstFiller filler_;
    RecordingProgram program_;
};

TEST_F(ShaderConstFillerTest, FillsTransformsLightColoursAndAmbient) {
    Zel::Light sun(0);
    const float direction[3] = {0, -1, 0};
    sun.SetDirection(direction);
    const float ambient[4] = {0, 0, 0, 1}, diffuse[4] = {1, 0.5f, 0.25f, 1},
                specular[4] = {0.5f, 0.5f, 0.5f, 1};
    sun.SetColours(ambient, diffuse, specular);
    op_.light = &sun;
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.matrices[0][12], 3.0f);
    EXPECT_EQ(program_.matrices[3][0], 2.0f);
    EXPECT_EQ(program_.matrices[1][0], 1.0f);
    const std::map<std::uint32_t, Vec> vectors = {
        {5, {0, 1, 0, 0}},     {1, {1, 0.5f, 0.25f, 1}},   {2, {0.5f, 0.5f, 0.5f, 1}},
        {3, {32, 0.5f, 0, 0}}, {0, {0.1f, 0.2f, 0.3f, 1}}, {9, {7, 8, 9, 0}},
        {11, {0, 0, 0, 0}},    {12, {1, 1, 1, 1}},         {13, {1, 1, 1, 1}},
        {14, {0, 0, 0, 0}},    {23, {1, 1, 1, 1}},         {24, {0.5f, 0.25f, 0.125f, 1}}};
    for (const auto& [index, value] : vectors) EXPECT_EQ(program_.vectors[index], value) << index;
    EXPECT_EQ(program_.floats[9], 1.0f);
}

// A light that projects a texture, as the scene's projecting light will.
class ProjectingStubLight final : public Zel::Light {
public:
    explicit ProjectingStubLight(Zel::TextureBase* texture) : Light(1), texture_(texture) {}
    bool IsProjecting() const override { return true; }
    void ComputeProjectionMatrix(float out[16]) const override {
        for (int i = 0; i < 16; ++i) out[i] = float(i + 1);
    }
    Zel::TextureBase* GetProjectedTexture() const override { return texture_; }

private:
    Zel::TextureBase* texture_;
};

TEST_F(ShaderConstFillerTest, TheLightChoosesTheTechniqueAndAProjectingLightItsMatrixAndTexture) {
    renderSystem_.SetPipelineSlot(12);
    filler_.Fill(op_, program_);
    Zel::Light lamp(1);
    op_.light = &lamp;
    filler_.Fill(op_, program_);
    using Choice = std::pair<std::uint32_t, bool>;
    EXPECT_EQ(program_.techniques, (std::vector<Choice>{{12, false}, {12, false}}));
    EXPECT_EQ(program_.matrices.count(22), 0u);
    EXPECT_EQ(program_.textures.count(11), 0u);

    Zel::TextureBase slide(1, nullptr, 2);
    ProjectingStubLight projector(&slide);
    op_.light = &projector;
    renderSystem_.SetPipelineSlot(4);
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.techniques.back(), (Choice{4, true}));
    Vec expected(16);
    for (int i = 0; i < 16; ++i) expected[i] = float(i + 1);
    EXPECT_EQ(program_.matrices[22], expected);
    EXPECT_EQ(program_.textures[11], &slide);
}

// Records the device's ambient step; never initialised, so no device call is made.
class AmbientRecordingDevice final : public Zel::RenderDeviceD3D9 {
public:
    void ApplyAmbient(const float* base, const float* position, float time) override {
        calls.push_back({Vec(base, base + 4), Vec(position, position + 3), time});
    }
    struct Call {
        Vec base, position;
        float time;
    };
    std::vector<Call> calls;
};

TEST_F(ShaderConstFillerTest, TheDeviceTakesTheAmbientBaseOfEachPass) {
    AmbientRecordingDevice device;
    renderSystem_.SetRenderDevice(&device);
    op_.renderState = nullptr;  // no stage binding on the device that was never opened
    op_.ambientLookup[0] = 4;
    op_.ambientLookup[1] = 5;
    op_.ambientLookup[2] = 6;
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.vectors[0], (Vec{0.1f, 0.2f, 0.3f, 1}));
    op_.accumulation = 1;
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.vectors[0], (Vec{0, 0, 0, 0}));
    renderSystem_.SetRenderDevice(nullptr);
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].base, (Vec{1, 1, 1, 1}));
    EXPECT_EQ(device.calls[1].base, (Vec{0, 0, 0, 1}));
    for (const auto& call : device.calls) {
        EXPECT_EQ(call.position, (Vec{4, 5, 6}));
        EXPECT_EQ(call.time, 0.25f);
    }
}

TEST_F(ShaderConstFillerTest, AdditionalLightPassesAddNoAmbientAndPointLightsGivePositions) {
    Zel::Light lamp(1);
    const float position[3] = {1, 2, 3};
    lamp.SetPosition(position);
    op_.light = &lamp;
    op_.accumulation = 2;
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.vectors[5], (Vec{1, 2, 3, 1}));
    EXPECT_EQ(program_.vectors[0], (Vec{0, 0, 0, 0}));
}

TEST_F(ShaderConstFillerTest, AFailedLightSetIsLoggedAndFillingGoesOn) {
    // A light shines along its node's -Y axis.
    Zel::Light sun(0);
    op_.light = &sun;
    program_.failVectors = true;
    ZelTest::LogCapture log;
    filler_.Fill(op_, program_);
    EXPECT_EQ(
        log.Count("Set LightDir To GPU Failed! dir Value=-0.000000, 1.000000, -0.000000, 0.000000"),
        1);
    EXPECT_EQ(
        log.Count("Set Specular Failed! Specular Value=1.000000, 1.000000, 1.000000, 1.000000"), 1);
    EXPECT_EQ(program_.floats[9], 1.0f);
    EXPECT_EQ(program_.vectors.count(24), 1u);
}

TEST_F(ShaderConstFillerTest, SwitchOffTouchesNothing) {
    G()->GetConfigManager()->SetValue(Zel::ZelShaderConstFiller::kFillSwitch, 0);
    filler_.Fill(op_, program_);
    EXPECT_FALSE(program_.Touched());
}

TEST_F(ShaderConstFillerTest, TransparencyTuneIsResetBeforeTheOverrides) {
    Zel::ShaderParamTable table;
    table.SetFloat("g_fGlow", 2.0f);
    table.SetVector2("g_vecShift", 1.0f, 2.0f);
    op_.parameters = &table;
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.byName["g_fGlow"], Vec{2.0f});
    EXPECT_EQ(program_.byName["g_vecShift"], (Vec{1, 2}));
    const auto at = [&](const std::string& what) {
        return std::find(program_.order.begin(), program_.order.end(), what) -
               program_.order.begin();
    };
    EXPECT_LT(at("float9"), at("g_fGlow"));
}

TEST_F(ShaderConstFillerTest, StagesBindTexturesSamplersColoursAndTextureMatrices) {
    const struct {
        std::uint32_t slot;
        bool mods, constColour;
    } stages[] = {{0, false, true}, {1, true, false}, {11, true, true}};
    for (std::size_t i = 0; i < 3; ++i) {
        Zel::TextureStage& stage = pass_->renderState.stages[i];
        stage.stageSlot = stages[i].slot;
        if (stages[i].mods) {
            stage.texCoordMods.resize(1);
            stage.texCoordMods[0].codes[0] = 0;  // scroll X by a ramp: f 1, A 1
        }
        if (stages[i].constColour) {
            stage.flags |= Zel::TSF_CONST_COLOUR;
            stage.constantColour[0] = 0.5f + float(i);
        }
        textures_.push_back(std::make_unique<Zel::TextureBase>(1, nullptr, 2));
        stage.SetTexture(textures_.back().get());
    }
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.samplers,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}, {1, 1}, {11, 2}}));
    EXPECT_EQ(program_.textures[0], textures_[0].get());
    EXPECT_EQ(program_.textures[1], textures_[1].get());
    EXPECT_EQ(program_.textures[11], textures_[2].get());
    EXPECT_EQ(program_.vectors[15][0], 0.5f);
    EXPECT_EQ(program_.vectors.count(16), 0u);
    EXPECT_EQ(program_.vectors[17][0], 2.5f);
    // Slot 1's modifier: matrix 12 with the scroll of t + phase = 0.25.
    ASSERT_EQ(program_.matrices.count(12), 1u);
    EXPECT_FLOAT_EQ(program_.matrices[12][3], 0.25f);
    // Slot 11 has no texture matrix: only world, view-projection, slot 1's and view are set.
    EXPECT_EQ(program_.matrices.size(), 4u);
}

TEST_F(ShaderConstFillerTest, AnimatedTexturesBindTheirFrameAndABlendItsPartnerAndRatio) {
    for (int i = 0; i < 4; ++i)
        textures_.push_back(std::make_unique<Zel::TextureBase>(1, nullptr, 2));
    Zel::TextureBase* frame[4] = {textures_[0].get(), textures_[1].get(), textures_[2].get(),
                                  textures_[3].get()};
    auto flip = std::make_unique<Zel::AnimationTexture>(1, nullptr);
    flip->SetFrameTime(0.5f);
    flip->AddFrame(frame[0]);
    flip->AddFrame(frame[1]);
    auto blend = std::make_unique<Zel::AnimationBlendTexture>(1, nullptr);
    blend->AddFrame(frame[2], 1.0f);
    blend->AddFrame(frame[3], 1.0f);
    pass_->renderState.stages[0].stageSlot = 0;
    pass_->renderState.stages[0].SetTexture(flip.get());
    pass_->renderState.stages[1].stageSlot = 2;
    pass_->renderState.stages[1].SetTexture(blend.get());

    // Scene time 0.25: the flip texture shows its first frame; the blend is a quarter through
    // its first frame, with the second sampled as texture 1 through slot 1's sampler on unit 1.
    filler_.Fill(op_, program_);
    EXPECT_EQ(program_.textures[0], frame[0]);
    EXPECT_EQ(program_.textures[2], frame[2]);
    EXPECT_EQ(program_.textures[1], frame[3]);
    EXPECT_FLOAT_EQ(program_.floats[10], 0.25f);
    EXPECT_EQ(program_.samplers,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}, {2, 1}, {1, 1}}));

    // 1.5 s on: both move to their next frame, and the blend's partner wraps to its first.
    G()->GetSceneManager()->SetTimeValue(1.5f);
    RecordingProgram later;
    filler_.Fill(op_, later);
    EXPECT_EQ(later.textures[0], frame[1]);
    EXPECT_EQ(later.textures[2], frame[3]);
    EXPECT_EQ(later.textures[1], frame[2]);
    EXPECT_FLOAT_EQ(later.floats[10], 0.0f);

    // A plain texture in the stage sets no blend ratio and no partner.
    pass_->renderState.stages[1].SetTexture(frame[2]);
    RecordingProgram plain;
    filler_.Fill(op_, plain);
    EXPECT_EQ(plain.floats.count(10), 0u);
    EXPECT_EQ(plain.textures.count(1), 0u);
    for (Zel::TextureStage& stage : pass_->renderState.stages) stage.SetTexture(nullptr);
}

TEST(Waves, Table) {
    const struct {
        std::uint32_t kind;
        float f, a, phase, base, t, expect;
    } cases[] = {
        {3, 1, 1, 0, 0, 0.25f, 1},
        {3, 1, 1, 0, 0, 0.75f, -1},
        {2, 2, 1, 0, 0, 0.0f, 0},
        {2, 2, 1, 0, 0, 0.125f, 0.5f},
        {2, 2, 1, 0, 0, 0.25f, 1},
        {2, 2, 1, 0, 0, 0.375f, 0.5f},
        {4, 0.5f, 1, 0, 0, 1.9f, 1.9f},
        {5, 1, 1, 0, 0, 0.25f, 0.75f},
        {0, 1, 0.5f, 0.5f, 1, 1, 1.75f},
        {1, 1, 2, 0, 1, 0, 1},
        {6, 1, 1, 0, 0, 0, 1},
        // No period: the periodic kinds rest at their base; unknown kinds give the base.
        {2, 0, 1, 0, 0.5f, 3, 0.5f},
        {3, 0, 1, 0, 0.5f, 3, 0.5f},
        {4, 0, 1, 0, 0.5f, 3, 0.5f},
        {5, 0, 1, 0, 0.5f, 3, 0.5f},
        {9, 1, 1, 0, 0.5f, 3, 0.5f},
    };
    for (const auto& c : cases) {
        const float params[5] = {c.f, c.a, c.phase, c.base, 0.5f};
        EXPECT_NEAR(Zel::EvaluateWave(c.kind, params, c.t), c.expect, 1e-5f)
            << "kind " << c.kind << " f " << c.f << " t " << c.t;
    }
}

TEST(Waves, ModifierMatrices) {
    Zel::WaveRecord scrollY;
    scrollY.codes[0] = 5;  // X untouched
    scrollY.codes[1] = 0;
    scrollY.codes[3] = 0;  // ramp
    scrollY.second[0] = 1.0f;
    scrollY.second[1] = 0.5f;
    scrollY.second[2] = 0.5f;
    float m[16];
    Zel::TexCoordModMatrix(scrollY, m, 1.0f);
    EXPECT_FLOAT_EQ(m[1 * 4 + 3], -0.5f * 1.5f);
    EXPECT_FLOAT_EQ(m[0 * 4 + 3], 0.0f);

    Zel::WaveRecord rotate;
    rotate.codes[0] = 2;
    rotate.codes[2] = 0;
    rotate.first[1] = 0.0f;  // θ = 0
    rotate.first[4] = 0.3f;
    rotate.second[4] = 0.7f;
    Zel::TexCoordModMatrix(rotate, m, 5.0f);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], identity[i]) << i;

    Zel::WaveRecord scale;  // scale X by a constant 2 about the centre 0.5
    scale.codes[0] = 1;
    scale.codes[1] = 5;
    scale.first[0] = 1;
    scale.first[1] = 0;
    scale.first[3] = 2;
    Zel::TexCoordModMatrix(scale, m, 0.0f);
    EXPECT_FLOAT_EQ(m[0], 2.0f);
    EXPECT_FLOAT_EQ(m[3], -0.5f);

    // Two modifiers compose with the later one on the left.
    Zel::TextureStage stage;
    Zel::WaveRecord scroll;  // scroll X by 0.25
    scroll.codes[0] = 0;
    scroll.codes[1] = 5;
    scroll.first[0] = 1;
    scroll.first[1] = 0;
    scroll.first[3] = 0.25f;
    stage.texCoordMods = {scroll, scale};
    Zel::BuildTexCoordMatrix(stage, m, 0.0f);
    EXPECT_FLOAT_EQ(m[0], 2.0f);
    EXPECT_FLOAT_EQ(m[3], 2.0f * 0.25f - 0.5f);
}

TEST(Waves, GeneratedColourNeedsItsConstantBit) {
    Zel::TextureStage stage;
    stage.flags = Zel::TSF_COLOUR_GEN | Zel::TSF_ALPHA_GEN | Zel::TSF_CONST_ALPHA;
    stage.colourGen.codes[2] = 0;  // would give w = 1
    stage.alphaGen.codes[2] = 0;
    stage.alphaGen.first[0] = 1;
    stage.alphaGen.first[1] = 0;
    stage.alphaGen.first[3] = 0.25f;  // w = 0.25
    stage.alphaGen.second[0] = 1.0f;  // start
    stage.alphaGen.second[1] = 0.0f;  // end
    Zel::UpdateGeneratedColor(stage, 3.0f);
    EXPECT_FLOAT_EQ(stage.constantColour[3], 0.25f);
    EXPECT_EQ(stage.constantColour[0], 0.0f);  // no constant-colour bit: colour kept
}

}  // namespace
