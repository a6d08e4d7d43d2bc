#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "HlslTestEffects.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"

namespace {

using namespace Hlsl;
using Vec4 = std::array<float, 4>;

// Runs one program of a compiled effect: parameters are set by name in a copy of the value
// store, inputs by semantic and lane.
class Runner {
public:
    Runner(std::shared_ptr<const EffectDescription> fx, const std::string& technique,
           std::size_t pass, bool pixel)
        : fx_(std::move(fx)), values_(fx_->values) {
        const Technique* t = fx_->FindTechnique(technique);
        const Pass& p = t->passes[pass];
        for (const StateAssignment& s : p.states)
            if (s.kind == (pixel ? StateKind::PixelShader : StateKind::VertexShader))
                program_ = fx_->programs[s.value.program].get();
        context_ = std::make_unique<ProgramContext>(*program_);
    }

    void Set(const std::string& name, std::vector<float> v) {
        const Parameter* p = fx_->FindParameter(name);
        ASSERT_NE(p, nullptr) << name;
        for (std::size_t i = 0; i < v.size(); ++i)
            values_[p->offset + i] = std::bit_cast<std::uint32_t>(v[i]);
    }
    void SetWord(const std::string& name, std::uint32_t w) {
        values_[fx_->FindParameter(name)->offset] = w;
    }
    // Row-vector convention: translation in the last row.
    void SetTranslation(const std::string& name, float x, float y, float z) {
        Set(name, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
    }
    void SetScale(const std::string& name, float s) {
        Set(name, {s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1});
    }

    void Input(Usage usage, unsigned index, unsigned lane, const Vec4& v) {
        int i = program_->FindInput(usage, index);
        ASSERT_GE(i, 0);
        for (unsigned c = 0; c < 4; ++c)
            context_->Input(static_cast<std::size_t>(i), c)[lane] = v[c];
    }
    void Run(ISampler* sampler = nullptr) {
        context_->BindConstants(values_.data(), values_.size());
        context_->SetSampler(sampler);
        context_->Run();
    }
    Vec4 Output(Usage usage, unsigned index, unsigned lane) const {
        int o = program_->FindOutput(usage, index);
        EXPECT_GE(o, 0);
        Vec4 v{};
        if (o < 0)
            return v;
        for (unsigned c = 0; c < program_->outputs[static_cast<std::size_t>(o)].components; ++c)
            v[c] = context_->Output(static_cast<std::size_t>(o), c)[lane];
        return v;
    }
    const Program& GetProgram() const { return *program_; }
    ProgramContext& Context() { return *context_; }

private:
    std::shared_ptr<const EffectDescription> fx_;
    std::vector<std::uint32_t> values_;
    const Program* program_ = nullptr;
    std::unique_ptr<ProgramContext> context_;
};

void ExpectNear(const Vec4& got, const Vec4& want, const std::string& what,
                float tolerance = 1e-4f) {
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(got[c], want[c], tolerance) << what << " component " << c;
}

// A sampler whose texels are a function of the stage and the coordinates, recording requests.
class FakeSampler : public ISampler {
public:
    void Sample(const SampleRequest& r) override {
        requests.push_back(r);
        for (unsigned i = 0; i < kLanes; ++i) {
            float u = r.coord[0][i], v = r.coordinates > 1 ? r.coord[1][i] : 0.0f;
            float w = r.coordinates > 2 ? r.coord[2][i] : 0.0f;
            if (r.ddx[0] != nullptr) {
                lastDdx = r.ddx[0][i];
                lastDdy = r.ddy[1] != nullptr ? r.ddy[1][i] : 0.0f;
            }
            r.out[0][i] = u;
            r.out[1][i] = v;
            r.out[2][i] = w;
            r.out[3][i] = 0.5f + 0.1f * static_cast<float>(r.stage);
        }
    }
    std::vector<SampleRequest> requests;
    float lastDdx = 0, lastDdy = 0;
};

class HlslExecutionTest : public ::testing::Test {
protected:
    void SetUp() override {
        CompileOutput out = HlslTest::CompileText(HlslTest::GeneratedEffect());
        ASSERT_NE(out.effect, nullptr) << out.messages;
        fx_ = out.effect;
    }
    std::shared_ptr<const EffectDescription> fx_;
};

TEST_F(HlslExecutionTest, StaticVertexTransformIsRowVectorTimesMatrix) {
    Runner r(fx_, "Ambient", 0, false);
    r.SetTranslation("g_MatWorld", 1, 2, 3);
    r.SetScale("g_MatViewProjection", 2);
    r.Set("g_vecLightColorAmbient", {0.25f, 0.5f, 0.75f, 1});
    // A texture matrix that swaps u and v and adds 0.5 to u.
    r.Set("g_TexMatDiffuse", {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1});
    struct Row {
        Vec4 p, uv, position, texcoord;
    };
    const Row rows[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {2, 4, 6, 1}, {0.5f, 0, 0, 0}},
        {{1, -1, 2, 0}, {0.25f, 0.75f, 0, 0}, {4, 2, 10, 1}, {1.25f, 0.25f, 0, 0}},
    };
    for (unsigned lane = 0; lane < 2; ++lane) {
        r.Input(Usage::Position, 0, lane, rows[lane].p);
        r.Input(Usage::TexCoord, 0, lane, rows[lane].uv);
    }
    r.Run();
    for (unsigned lane = 0; lane < 2; ++lane) {
        ExpectNear(r.Output(Usage::Position, 0, lane), rows[lane].position, "position");
        ExpectNear(r.Output(Usage::TexCoord, 0, lane), rows[lane].texcoord, "texcoord");
        ExpectNear(r.Output(Usage::Color, 0, lane), {0.25f, 0.5f, 0.75f, 1}, "ambient");
        ExpectNear(r.Output(Usage::Color, 1, lane), {0, 0, 0, 0}, "specular");
    }
}

TEST_F(HlslExecutionTest, SkinningBlendsBonesByComputedIndex) {
    Runner r(fx_, "Ambient", 1, false);
    // float4x3 bones: rows 0-2 rotate/scale, row 3 translates. Bone 0 moves +x by 10, bone 5
    // scales by 2, bone 59 moves -y by 4.
    std::vector<float> bones(720, 0.0f);
    auto bone = [&](int b, float s, float tx, float ty, float tz) {
        float m[12] = {s, 0, 0, 0, s, 0, 0, 0, s, tx, ty, tz};
        for (int i = 0; i < 12; ++i) bones[static_cast<std::size_t>(b * 12 + i)] = m[i];
    };
    bone(0, 1, 10, 0, 0);
    bone(5, 2, 0, 0, 0);
    bone(59, 1, 0, -4, 0);
    r.Set("g_BoneMatrix", bones);
    r.SetScale("g_MatWorld", 1);
    r.SetScale("g_MatViewProjection", 1);
    r.Set("g_vecVertexColorModulate", {1, 1, 1, 1});
    struct Row {
        Vec4 indices, weights, expected;
    };
    const Row rows[] = {
        {{0, 0, 0, 0}, {1, 0, 0, 0}, {11, 1, 1, 1}},
        {{5, 0, 0, 0}, {1, 0, 0, 0}, {2, 2, 2, 1}},
        {{0, 5, 0, 0}, {0.5f, 0.5f, 0, 0}, {6.5f, 1.5f, 1.5f, 1}},
        {{59, 0, 5, 0}, {0.25f, 0.25f, 0.5f, 0}, {4, 0.5f, 1.5f, 1}},
        {{300, -2, 0, 0}, {0.5f, 0.5f, 0, 0}, {6, -1, 1, 1}},  // out of range clamps to 59 and 0
    };
    unsigned lane = 0;
    for (const Row& row : rows) {
        r.Input(Usage::Position, 0, lane, {1, 1, 1, 1});
        r.Input(Usage::Normal, 0, lane, {0, 0, 1, 0});
        r.Input(Usage::BlendIndices, 0, lane, row.indices);
        r.Input(Usage::BlendWeight, 0, lane, row.weights);
        ++lane;
    }
    r.Run();
    for (unsigned i = 0; i < lane; ++i)
        ExpectNear(r.Output(Usage::Position, 0, i), rows[i].expected,
                   "skinned lane " + std::to_string(i));
}

TEST_F(HlslExecutionTest, VertexLightingMatchesPhongByHand) {
    Runner r(fx_, "VertexLighting", 0, false);
    r.SetScale("g_MatWorld", 1);
    r.SetScale("g_MatViewProjection", 1);
    r.Set("g_vecLightPosition", {0, 0, 1, 0});  // directional, towards +z
    r.Set("g_vecCameraPosition", {0, 0, 10, 1});
    r.Set("g_vecLightColorDiffuse", {1, 0.5f, 0.25f, 1});
    r.Set("g_vecLightColorSpecular", {1, 1, 1, 1});
    r.Set("g_vecLightSpecularParam", {8, 0, 0, 0});
    // Normal tilted 60 degrees from the light: n.l = 0.5. The half vector of l = v = +z is +z,
    // so n.h = 0.5 and the specular term is 0.5^8.
    float s = std::sqrt(3.0f) / 2.0f;
    r.Input(Usage::Position, 0, 0, {0, 0, 0, 1});
    r.Input(Usage::Normal, 0, 0, {s, 0, 0.5f, 0});
    // Facing away: no light, no specular.
    r.Input(Usage::Position, 0, 1, {0, 0, 0, 1});
    r.Input(Usage::Normal, 0, 1, {0, 0, -1, 0});
    r.Run();
    float spec = 0.5f * std::pow(0.5f, 8.0f);
    ExpectNear(r.Output(Usage::Color, 0, 0), {0.5f, 0.25f, 0.125f, 1}, "diffuse");
    ExpectNear(r.Output(Usage::Color, 1, 0), {spec, spec, spec, 1}, "specular");
    ExpectNear(r.Output(Usage::Color, 0, 1), {0, 0, 0, 1}, "unlit diffuse");
    ExpectNear(r.Output(Usage::Color, 1, 1), {0, 0, 0, 1}, "unlit specular");
}

TEST_F(HlslExecutionTest, IncludedHelpersWithLoopsAndEarlyReturns) {
    // VSLighting_1 skins through SkinPosition (a loop over four bones with a computed index) and
    // attenuates through LightAttenuation (an early return for directional lights).
    Runner r(fx_, "VertexLighting", 1, false);
    std::vector<float> bones(720, 0.0f);
    for (int b = 0; b < 60; ++b) {
        float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, static_cast<float>(b), 0, 0};
        for (int i = 0; i < 12; ++i) bones[static_cast<std::size_t>(b * 12 + i)] = m[i];
    }
    r.Set("g_BoneMatrix", bones);
    r.SetScale("g_MatWorld", 1);
    r.SetScale("g_MatViewProjection", 1);
    r.Set("g_vecVertexColorModulate", {1, 1, 1, 1});
    r.Set("g_vecLightColorDiffuse", {1, 1, 1, 1});
    r.Set("g_vecCameraPosition", {0, 0, 10, 1});
    r.Set("g_vecLightPosition", {0, 0, 4, 1});  // a point light 4 above the origin
    for (unsigned lane = 0; lane < 2; ++lane) {
        r.Input(Usage::Position, 0, lane, {0, 0, 0, 1});
        r.Input(Usage::Normal, 0, lane, {0, 0, 1, 0});
        r.Input(Usage::BlendWeight, 0, lane, {0.25f, 0.25f, 0.25f, 0.25f});
    }
    r.Input(Usage::BlendIndices, 0, 0, {0, 0, 0, 0});
    r.Input(Usage::BlendIndices, 0, 1, {1, 2, 3, 6});
    r.Run();
    ExpectNear(r.Output(Usage::Position, 0, 0), {0, 0, 0, 1}, "no offset");
    ExpectNear(r.Output(Usage::Position, 0, 1), {3, 0, 0, 1}, "mean of bones 1, 2, 3, 6");
    // Attenuation 1 / d^2: 4 below the light, full n.l; and 5 away at (3, 0, 0) with n.l = 0.8.
    ExpectNear(r.Output(Usage::Color, 0, 0), {0.0625f, 0.0625f, 0.0625f, 1}, "point light, lane 0");
    ExpectNear(r.Output(Usage::Color, 0, 1), {0.032f, 0.032f, 0.032f, 1}, "point light, lane 1");

    // A directional light returns 1 before any distance is taken (which would give 1/10 here).
    r.Set("g_vecLightPosition", {0, 0, 1, 0});
    r.Run();
    ExpectNear(r.Output(Usage::Color, 0, 0), {1, 1, 1, 1}, "directional, lane 0");
    ExpectNear(r.Output(Usage::Color, 0, 1), {1, 1, 1, 1}, "directional, lane 1");
}

TEST_F(HlslExecutionTest, PixelProgramsSampleModulateAndShift) {
    Runner r(fx_, "Ambient", 1, true);
    FakeSampler sampler;
    r.Set("g_ConstColor1", {0, 0, 0, 0.5f});
    r.Set("g_ShiftColor", {1, 0, 0, 0});
    r.Set("g_fShiftColRatio", {0});
    r.Set("g_fTransparencyTune", {1});
    r.Set("g_editorcolorfactor1", {0, 0, 0, 0});
    for (unsigned lane = 0; lane < kLanes; ++lane) {
        r.Input(Usage::Color, 0, lane, {1, 1, 1, 1});
        r.Input(Usage::TexCoord, 0, lane, {0.5f, 0.25f, 0, 0});
        r.Input(Usage::TexCoord, 1, lane, {0.1f, 0.2f, 0.3f, 0});
        r.Input(Usage::TexCoord, 2, lane, {0.0f, 1.0f, 0, 0});
    }
    r.Run(&sampler);
    ASSERT_EQ(sampler.requests.size(), 3u);
    EXPECT_EQ(sampler.requests[1].dim, TextureDim::Cube);
    EXPECT_EQ(sampler.requests[1].coordinates, 3u);
    // diffuse t = (0.5, 0.25, 0, 0.5); cube adds (0.1, 0.2, 0.3) * 0.5; sphere texel
    // (0, 1, 0, 0.7) blends by its alpha: rgb = t1 * 0.7 + t2 * 0.3, a = 0.7 * 0.5.
    Vec4 t2 = {0.5f + 0.05f, 0.25f + 0.1f, 0.15f, 0.5f};
    Vec4 want = {0.0f * 0.7f + t2[0] * 0.3f, 1.0f * 0.7f + t2[1] * 0.3f, t2[2] * 0.3f, 0.7f * 0.5f};
    ExpectNear(r.Output(Usage::Color, 0, 3), want, "blended");

    // With the shift ratio at 1 the colour becomes CustomColor: saturate(luminance * shift * 2).
    r.Set("g_fShiftColRatio", {1});
    r.Run(&sampler);
    float lum = want[0] * 0.299f + want[1] * 0.587f + want[2] * 0.114f;
    ExpectNear(r.Output(Usage::Color, 0, 3), {std::min(1.0f, lum * 2.0f), 0, 0, want[3]},
               "shifted");
}

TEST_F(HlslExecutionTest, PixelLanesFormQuadsForDerivatives) {
    Runner r(fx_, "Ambient", 0, true);
    FakeSampler sampler;
    // u grows by 1/64 per pixel in x, v by 1/32 per pixel in y.
    for (unsigned lane = 0; lane < kLanes; ++lane) {
        float x = static_cast<float>((lane / 4) * 2 + (lane & 1)),
              y = static_cast<float>((lane >> 1) & 1);
        r.Input(Usage::TexCoord, 0, lane, {x / 64.0f, y / 32.0f, 0, 0});
        r.Input(Usage::Color, 0, lane, {1, 1, 1, 1});
    }
    r.Run(&sampler);
    ASSERT_EQ(sampler.requests.size(), 1u);
    EXPECT_EQ(sampler.requests[0].lod, LodMode::Implicit);
    ASSERT_NE(sampler.requests[0].ddx[0], nullptr);
    EXPECT_FLOAT_EQ(sampler.lastDdx, 1.0f / 64.0f);
    EXPECT_FLOAT_EQ(sampler.lastDdy, 1.0f / 32.0f);
}

// One pixel function per row: "return <expression>;" over two float4 inputs a and b.
struct ExprCase {
    const char* expression;
    Vec4 a, b, expected;
};

std::shared_ptr<const EffectDescription> PixelFunction(const std::string& body,
                                                       std::string* messages = nullptr) {
    std::string text =
        "float4 g_k = {2, 3, 4, 5};\nfloat4x4 g_M;\n"
        "float4 PS(float4 a : TEXCOORD0, float4 b : TEXCOORD1) : COLOR0\n{\n" +
        body + "\n}\ntechnique T { pass P { PixelShader = compile ps_3_0 PS(); } }\n";
    CompileOutput out = HlslTest::CompileText(text);
    if (messages != nullptr)
        *messages = out.messages;
    return out.effect;
}

TEST(HlslExpressionTest, IntrinsicsAndOperatorsMatchHandResults) {
    const float k = 1.0f / std::sqrt(2.0f);
    const ExprCase cases[] = {
        {"a + b * 2", {1, 2, 3, 4}, {1, 1, 1, 1}, {3, 4, 5, 6}},
        {"a / b - 1", {4, 9, 1, 0}, {2, 3, 4, 1}, {1, 2, -0.75f, -1}},
        {"-a.wzyx", {1, 2, 3, 4}, {}, {-4, -3, -2, -1}},
        {"float4(a.xy, b.zw)", {1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 7, 8}},
        {"dot(a, b).xxxx", {1, 2, 3, 4}, {4, 3, 2, 1}, {20, 20, 20, 20}},
        {"float4(dot(a.xyz, b.xyz), length(a.xy), distance(a.xy, b.xy), 0)",
         {3, 4, 0, 0},
         {0, 0, 0, 0},
         {0, 5, 5, 0}},
        {"float4(normalize(a.xy), 0, 0)", {1, 1, 0, 0}, {}, {k, k, 0, 0}},
        {"saturate(a)", {-1, 0.5f, 2, 1}, {}, {0, 0.5f, 1, 1}},
        {"abs(a) + min(a, b) * 0 + max(a, b)", {-1, 2, -3, 4}, {0, 0, 0, 0}, {1, 4, 3, 8}},
        {"pow(a, b)", {2, 3, 4, 9}, {3, 2, 0.5f, 0}, {8, 9, 2, 1}},
        {"lerp(a, b, 0.25)", {0, 4, 8, 1}, {4, 8, 0, 1}, {1, 5, 6, 1}},
        {"lit(a.x, a.y, a.z)", {0.5f, 0.5f, 2, 0}, {}, {1, 0.5f, 0.25f, 1}},
        {"lit(a.x, a.y, a.z)", {-0.5f, 0.5f, 2, 0}, {}, {1, 0, 0, 1}},
        {"lit(a.x, a.y, a.z)", {0.5f, -0.5f, 2, 0}, {}, {1, 0.5f, 0, 1}},
        {"float4(reflect(a.xyz, b.xyz), 1)", {1, -1, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 1}},
        {"float4(cross(a.xyz, b.xyz), 0)", {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}},
        {"clamp(a, 0, 1) + step(0.5, b)", {-1, 0.5f, 3, 1}, {0.4f, 0.5f, 1, 0}, {0, 1.5f, 2, 1}},
        {"frac(a) + floor(b)", {1.25f, -0.25f, 2, 0}, {1.5f, -1.5f, 0, 0}, {1.25f, -1.25f, 0, 0}},
        {"fmod(a, b)", {5, -5, 7.5f, 1}, {3, 3, 2, 1}, {2, -2, 1.5f, 0}},
        {"a > b ? a : b", {1, 5, 3, 0}, {2, 4, 3, -1}, {2, 5, 3, 0}},
        {"(a == b) + (a != b) * 2 + (a < b) * 4", {1, 2, 3, 4}, {1, 3, 2, 4}, {1, 6, 2, 1}},
        {"float4(any(a), all(a), any(b), all(b))", {0, 1, 0, 0}, {1, 1, 1, 1}, {1, 0, 1, 1}},
        {"mul(a, g_M)", {1, 2, 3, 1}, {}, {1, 2, 3, 1}},
        {"float4(mul(g_M, a).xyz, 2)", {1, 2, 3, 0}, {}, {1, 2, 3, 2}},
        {"g_k * a.x", {0.5f, 0, 0, 0}, {}, {1, 1.5f, 2, 2.5f}},
        {"float4(sqrt(a.x), rsqrt(a.y), exp2(a.z), log2(a.w))", {16, 4, 3, 8}, {}, {4, 0.5f, 8, 3}},
        {"float4(sin(0), cos(0), radians(180) - 3.14159265, degrees(0))", {}, {}, {0, 1, 0, 0}},
        {"smoothstep(0, 1, a)", {0.5f, 0, 1, 0.25f}, {}, {0.5f, 0, 1, 0.15625f}},
        {"transpose(float4x4(a, b, a, b))[1]", {1, 2, 3, 4}, {5, 6, 7, 8}, {2, 6, 2, 6}},
        {"(float4)((int4)a / 2)", {5, -5, 4, 1.5f}, {}, {2, -2, 2, 0}},
        {"float4((int)a.x % 3, (bool)a.y, !a.z, sign(a.w))", {7, 0.1f, 0, -3}, {}, {1, 1, 1, -1}},
    };
    for (const ExprCase& c : cases) {
        std::string messages;
        auto fx = PixelFunction(std::string("\treturn ") + c.expression + ";", &messages);
        ASSERT_NE(fx, nullptr) << c.expression << "\n" << messages;
        Runner r(fx, "T", 0, true);
        r.Set("g_M", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        r.Input(Usage::TexCoord, 0, 5, c.a);
        r.Input(Usage::TexCoord, 1, 5, c.b);
        r.Run();
        ExpectNear(r.Output(Usage::Color, 0, 5), c.expected, c.expression, 1e-4f);
    }
}

TEST(HlslExpressionTest, StatementsRunPerLaneUnderMasks) {
    struct Case {
        const char* body;
        Vec4 a0, a1;  // inputs of two lanes
        Vec4 e0, e1;  // expected outputs
    };
    const Case cases[] = {
        {"float4 r = 0;\nif (a.x > 0) r = 1; else r = -1;\nreturn r;",
         {1, 0, 0, 0},
         {-1, 0, 0, 0},
         {1, 1, 1, 1},
         {-1, -1, -1, -1}},
        {"if (a.x > 0) { if (a.y > 0) return 1; return 2; }\nreturn 3;",
         {1, 1, 0, 0},
         {1, -1, 0, 0},
         {1, 1, 1, 1},
         {2, 2, 2, 2}},
        {"if (a.x > 0) { if (a.y > 0) return 1; return 2; }\nreturn 3;",
         {-1, 1, 0, 0},
         {0, 0, 0, 0},
         {3, 3, 3, 3},
         {3, 3, 3, 3}},
        {"float s = 0;\nfor (int i = 0; i < 4; i++) s += a[i] * (i + 1);\nreturn s;",
         {1, 1, 1, 1},
         {0, 0, 0, 1},
         {10, 10, 10, 10},
         {4, 4, 4, 4}},
        {"float t[3] = {10, 20, 30};\nreturn t[a.x];",
         {0, 0, 0, 0},
         {2, 0, 0, 0},
         {10, 10, 10, 10},
         {30, 30, 30, 30}},
        {"float4 v = a;\nv.zw = v.wz;\nv.x += 1;\nv *= 2;\nreturn v++;",
         {1, 2, 3, 4},
         {0, 0, 0, 0},
         {4, 4, 8, 6},
         {2, 0, 0, 0}},
        {"float4 x, y;\nx = y = a;\nx.x = 9;\nreturn float4(x.x, y.x, x.y, y.y);",
         {1, 2, 0, 0},
         {3, 4, 0, 0},
         {9, 1, 2, 2},
         {9, 3, 4, 4}},
        {"for (float f = 3; f > 0; f -= 1.5) a.x += f;\nreturn a;",
         {0, 0, 0, 0},
         {1, 0, 0, 0},
         {4.5f, 0, 0, 0},
         {5.5f, 0, 0, 0}},
        {"const int n = 3;\nstatic const float k[3] = {1, 2, 4};\nfloat s = 0;\nfor (int i = 0; i "
         "< n; ++i) s += k[i] * a[i];\nreturn s;",
         {1, 1, 1, 0},
         {0, 0, 1, 0},
         {7, 7, 7, 7},
         {4, 4, 4, 4}},
    };
    for (const Case& c : cases) {
        std::string messages;
        auto fx = PixelFunction(c.body, &messages);
        ASSERT_NE(fx, nullptr) << c.body << "\n" << messages;
        Runner r(fx, "T", 0, true);
        r.Input(Usage::TexCoord, 0, 0, c.a0);
        r.Input(Usage::TexCoord, 0, 1, c.a1);
        r.Run();
        ExpectNear(r.Output(Usage::Color, 0, 0), c.e0, std::string(c.body) + " (lane 0)");
        ExpectNear(r.Output(Usage::Color, 0, 1), c.e1, std::string(c.body) + " (lane 1)");
    }
}

TEST(HlslExpressionTest, DiscardMarksLanes) {
    // The screenshot pixel program's test: a texel matching the body-skin texel is dropped.
    std::string messages;
    auto fx = PixelFunction(
        "float4 tbody = a; float4 tdif = b;\n"
        "if(abs(tbody.x-tdif.x)<0.02f && abs(tbody.y-tdif.y)<0.02f && abs(tbody.z-tdif.z)<0.02f && "
        "(tbody.a >0.01f)){\n"
        "discard;\n}else{\ntdif.rgb *= 2;\n}\nclip(a.w - 0.5);\nreturn tdif;",
        &messages);
    ASSERT_NE(fx, nullptr) << messages;
    Runner r(fx, "T", 0, true);
    EXPECT_TRUE(r.GetProgram().usesKill);
    struct Row {
        Vec4 a, b;
        bool dropped;
    };
    const Row rows[] = {
        {{0.5f, 0.5f, 0.5f, 1}, {0.51f, 0.49f, 0.5f, 1}, true},
        {{0.5f, 0.5f, 0.5f, 1}, {0.6f, 0.5f, 0.5f, 1}, false},
        {{0.5f, 0.5f, 0.5f, 0.0f}, {0.5f, 0.5f, 0.5f, 1}, true},  // clip: a.w - 0.5 < 0
        {{0.5f, 0.5f, 0.5f, 0.7f}, {0.5f, 0.5f, 0.5f, 1}, true},
    };
    for (unsigned i = 0; i < 4; ++i) {
        r.Input(Usage::TexCoord, 0, i, rows[i].a);
        r.Input(Usage::TexCoord, 1, i, rows[i].b);
    }
    for (unsigned i = 4; i < kLanes; ++i) r.Input(Usage::TexCoord, 0, i, {0, 0, 0, 1});
    r.Run();
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ((r.Context().DiscardedLanes() >> i) & 1u, rows[i].dropped ? 1u : 0u)
            << "row " << i;
    ExpectNear(r.Output(Usage::Color, 0, 1), {1.2f, 1, 1, 1}, "kept lane");
}

TEST(HlslExpressionTest, MissingSamplerAndInputsReadDefaults) {
    auto fx = PixelFunction("return a;");
    ASSERT_NE(fx, nullptr);
    Runner r(fx, "T", 0, true);
    r.Run();
    ExpectNear(r.Output(Usage::Color, 0, 7), {0, 0, 0, 1}, "unset input");
}

}  // namespace
