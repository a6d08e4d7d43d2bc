#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "HlslTestEffects.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/Hlsl/Program.h"

namespace {

using namespace Hlsl;

std::uint32_t F(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

const Parameter* Member(const Parameter& p, const std::string& name) {
    for (const Parameter& m : p.members)
        if (m.name == name)
            return &m;
    return nullptr;
}

class HlslGeneratedEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = HlslTest::CompileText(HlslTest::GeneratedEffect());
        ASSERT_NE(out_.effect, nullptr) << out_.messages;
        fx_ = out_.effect.get();
    }
    CompileOutput out_;
    const EffectDescription* fx_ = nullptr;
};

TEST_F(HlslGeneratedEffectTest, DescribesTheParameters) {
    struct Row {
        const char* name;
        ParameterClass cls;
        ParameterType type;
        std::uint32_t rows, columns, elements, words;
    };
    const Row rows[] = {
        {"g_MatWorld", ParameterClass::MatrixColumns, ParameterType::Float, 4, 4, 0, 16},
        {"g_BoneMatrix", ParameterClass::MatrixColumns, ParameterType::Float, 4, 3, 60, 720},
        {"g_fTime", ParameterClass::Scalar, ParameterType::Float, 1, 1, 0, 1},
        {"g_vecLightPosition", ParameterClass::Vector, ParameterType::Float, 1, 4, 0, 4},
        {"g_nGlobalConstColor", ParameterClass::Scalar, ParameterType::Int, 1, 1, 0, 1},
        {"g_texDiffuse", ParameterClass::Object, ParameterType::Texture, 0, 0, 0, 1},
        {"g_DiffuseSamplerState", ParameterClass::Struct, ParameterType::Void, 0, 0, 0, 7},
        {"g_DiffuseSampler", ParameterClass::Object, ParameterType::Sampler2D, 0, 0, 0, 1},
        {"g_EnvCubicSampler", ParameterClass::Object, ParameterType::SamplerCube, 0, 0, 0, 1},
        {"g_BumpSampler", ParameterClass::Object, ParameterType::Sampler2D, 0, 0, 0, 1},
    };
    for (const Row& r : rows) {
        const Parameter* p = fx_->FindParameter(r.name);
        ASSERT_NE(p, nullptr) << r.name;
        EXPECT_EQ(p->cls, r.cls) << r.name;
        EXPECT_EQ(p->type, r.type) << r.name;
        EXPECT_EQ(p->rows, r.rows) << r.name;
        EXPECT_EQ(p->columns, r.columns) << r.name;
        EXPECT_EQ(p->elements, r.elements) << r.name;
        EXPECT_EQ(p->words, r.words) << r.name;
        EXPECT_LE(p->offset + p->words, fx_->values.size()) << r.name;
    }
    EXPECT_EQ(fx_->FindParameter("phong_shading"), nullptr);
    EXPECT_EQ(fx_->FindParameter("g_BoneMatrix")->ElementWords(), 12u);

    // The sampler-state struct's members, looked up under the struct, sit inside it in order.
    const Parameter* state = fx_->FindParameter("g_DiffuseSamplerState");
    const char* names[] = {"AddressU",  "AddressV",  "AddressW", "BorderColor",
                           "MagFilter", "MinFilter", "MipFilter"};
    for (std::uint32_t i = 0; i < 7; ++i) {
        const Parameter* m = Member(*state, names[i]);
        ASSERT_NE(m, nullptr) << names[i];
        EXPECT_EQ(m->offset, state->offset + i);
        EXPECT_EQ(m->type, ParameterType::Int);
    }
}

TEST_F(HlslGeneratedEffectTest, SamplerBlocksReferToParameters) {
    const Parameter* s = fx_->FindParameter("g_DiffuseSampler");
    const Parameter* state = fx_->FindParameter("g_DiffuseSamplerState");
    ASSERT_EQ(s->samplerStates.size(), 7u);
    const StateAssignment& tex = s->samplerStates[0];
    EXPECT_EQ(tex.kind, StateKind::Texture);
    EXPECT_EQ(tex.value.kind, StateValue::Kind::Parameter);
    EXPECT_EQ(tex.value.offset, fx_->FindParameter("g_texDiffuse")->offset);
    const StateAssignment& min = s->samplerStates[1];
    EXPECT_EQ(min.kind, StateKind::Sampler);
    EXPECT_EQ(min.code, 6u);  // D3DSAMP_MINFILTER
    EXPECT_EQ(min.value.kind, StateValue::Kind::Parameter);
    EXPECT_EQ(min.value.reference, "g_DiffuseSamplerState.MinFilter");
    EXPECT_EQ(min.value.offset, Member(*state, "MinFilter")->offset);

    // The value follows the parameter: written into the store, read back as the state's value.
    std::vector<std::uint32_t> values = fx_->values;
    values[Member(*state, "MinFilter")->offset] = 3;
    std::vector<std::uint32_t> resolved;
    ASSERT_TRUE(ResolveStateValue(min, values, resolved));
    EXPECT_EQ(resolved, std::vector<std::uint32_t>{3});

    // Constant sampler states from an include: names become D3D values.
    const Parameter* light = fx_->FindParameter("g_LightMapSampler");
    ASSERT_EQ(light->samplerStates.size(), 6u);
    EXPECT_EQ(light->samplerStates[1].value.words, std::vector<std::uint32_t>{2});  // LINEAR
    EXPECT_EQ(light->samplerStates[3].value.words, std::vector<std::uint32_t>{1});  // POINT
    EXPECT_EQ(light->samplerStates[4].value.words, std::vector<std::uint32_t>{3});  // CLAMP
}

TEST_F(HlslGeneratedEffectTest, TechniquesShareTheirPrograms) {
    ASSERT_EQ(fx_->techniques.size(), 12u);
    EXPECT_EQ(fx_->techniques[0].name, "Ambient");
    EXPECT_EQ(fx_->techniques[11].name, "VertexLighting_DX7");
    // Two passes x (ambient, lighting) x (vertex, pixel): every group compiles once.
    EXPECT_EQ(fx_->programs.size(), 8u);
    const Technique* pixel = fx_->FindTechnique("PixelLighting_Projected_Shadow");
    ASSERT_NE(pixel, nullptr);
    ASSERT_EQ(pixel->passes.size(), 2u);
    EXPECT_EQ(pixel->passes[1].name, "P1");
    const StateAssignment& vs = pixel->passes[1].states[0];
    const StateAssignment& ps = pixel->passes[1].states[1];
    EXPECT_EQ(vs.kind, StateKind::VertexShader);
    EXPECT_EQ(ps.kind, StateKind::PixelShader);
    ASSERT_EQ(vs.value.kind, StateValue::Kind::Program);
    const Program& vp = *fx_->programs[vs.value.program];
    const Program& pp = *fx_->programs[ps.value.program];
    EXPECT_EQ(vp.kind, ProgramKind::Vertex);
    EXPECT_EQ(vp.entry, "VSLighting_1");
    EXPECT_EQ(vp.profile, "vs_2_0");
    EXPECT_EQ(pp.kind, ProgramKind::Pixel);
    EXPECT_EQ(pp.entry, "PSLighting_1");
    EXPECT_EQ(fx_->FindTechnique("VertexLighting")->passes[1].states[1].value.program,
              ps.value.program);

    // Inputs and outputs by semantic.
    EXPECT_GE(vp.FindInput(Usage::BlendIndices, 0), 0);
    EXPECT_GE(vp.FindInput(Usage::BlendWeight, 0), 0);
    EXPECT_GE(vp.FindOutput(Usage::Position, 0), 0);
    EXPECT_GE(vp.FindOutput(Usage::TexCoord, 2), 0);
    EXPECT_EQ(vp.outputs[static_cast<std::size_t>(vp.FindOutput(Usage::TexCoord, 1))].components,
              3);
    EXPECT_GE(pp.FindOutput(Usage::Color, 0), 0);
    EXPECT_GE(pp.FindInput(Usage::Color, 1), 0);

    // The ambient pixel program of pass 1 reads three samplers, numbered in order of first use.
    const Program& amb =
        *fx_->programs[fx_->FindTechnique("Ambient")->passes[1].states[1].value.program];
    ASSERT_EQ(amb.samplers.size(), 3u);
    EXPECT_EQ(fx_->parameters[amb.samplers[0].parameter].name, "g_DiffuseSampler");
    EXPECT_EQ(amb.samplers[0].stage, 0u);
    EXPECT_EQ(fx_->parameters[amb.samplers[1].parameter].name, "g_EnvCubicSampler");
    EXPECT_EQ(amb.samplers[1].dim, TextureDim::Cube);
    EXPECT_EQ(amb.samplers[2].stage, 2u);
}

TEST_F(HlslGeneratedEffectTest, FixedFunctionStatesCarryDirect3DCodes) {
    const Technique* dx7 = fx_->FindTechnique("Ambient_DX7");
    ASSERT_NE(dx7, nullptr);
    const std::vector<StateAssignment>& s = dx7->passes[1].states;
    struct Row {
        std::size_t at;
        StateKind kind;
        std::uint32_t code, index;
        std::vector<std::uint32_t> words;
    };
    const Row rows[] = {
        {1, StateKind::TextureStage, 1, 0, {25}},  // ColorOp[0] = MultiplyAdd
        {2, StateKind::TextureStage, 26, 0, {4}},  // ColorArg0[0] = SPECULAR
        {9,
         StateKind::TextureStage,
         11,
         1,
         {0x30000}},  // TexCoordIndex[1] = CAMERASPACEREFLECTIONVECTOR
        {10, StateKind::TextureStage, 24, 1, {3}},        // TEXTURETRANSFORMFLAGS[1] = COUNT3
        {11, StateKind::TextureStage, 1, 1, {18}},        // MODULATEALPHA_ADDCOLOR
        {12, StateKind::TextureStage, 4, 1, {3}},         // AlphaOp[1] = SelectArg2
        {13, StateKind::TextureStage, 2, 1, {1}},         // ColorArg1[1] = CURRENT
        {17, StateKind::TextureStage, 11, 2, {0x10000}},  // CAMERASPACENORMAL
        {20, StateKind::TextureStage, 1, 2, {13}},        // BLENDTEXTUREALPHA
        {27, StateKind::TextureStage, 11, 3, {0x20000}},  // CAMERASPACEPOSITION
        {28, StateKind::TextureStage, 24, 3, {260}},      // COUNT4|PROJECTED
    };
    for (const Row& r : rows) {
        ASSERT_LT(r.at, s.size());
        EXPECT_EQ(s[r.at].kind, r.kind) << r.at;
        EXPECT_EQ(s[r.at].code, r.code) << r.at;
        EXPECT_EQ(s[r.at].index, r.index) << r.at;
        EXPECT_EQ(s[r.at].value.words, r.words) << r.at;
    }
    EXPECT_EQ(s[8].kind, StateKind::Texture);
    EXPECT_EQ(s[8].index, 1u);
    EXPECT_EQ(s[8].value.reference, "g_texEnvCubic");
    const StateAssignment& tt = s[19];
    EXPECT_EQ(tt.kind, StateKind::Transform);
    EXPECT_EQ(tt.code + tt.index, 18u);  // D3DTS_TEXTURE2
    ASSERT_EQ(tt.value.words.size(), 16u);
    EXPECT_EQ(tt.value.words[5], F(-0.5f));
    EXPECT_EQ(tt.value.words[8], F(0.5f));

    const std::vector<StateAssignment>& v =
        fx_->FindTechnique("VertexLighting_DX7")->passes[0].states;
    const Row renderRows[] = {
        {7, StateKind::RenderState, 27, 0, {1}},             // AlphaBlendEnable = true
        {8, StateKind::RenderState, 19, 0, {5}},             // SrcBlend = SrcAlpha
        {9, StateKind::RenderState, 20, 0, {6}},             // DestBlend = InvSrcAlpha
        {10, StateKind::RenderState, 14, 0, {0}},            // ZWriteEnable = FALSE
        {11, StateKind::RenderState, 22, 0, {1}},            // CullMode = None
        {12, StateKind::RenderState, 24, 0, {0x80}},         // AlphaRef
        {13, StateKind::RenderState, 34, 0, {0xFFFF8000u}},  // FogColor from float4
        {14, StateKind::RenderState, 36, 0, {F(10.5f)}},     // FogStart as float bits
        {15, StateKind::RenderState, 168, 0, {7}},           // RED|GREEN|BLUE
        {17, StateKind::Sampler, 1, 0, {1}},                 // AddressU[0] = Wrap
        {18, StateKind::VertexShader, 0, 0, {0}},            // NULL
    };
    for (const Row& r : renderRows) {
        ASSERT_LT(r.at, v.size());
        EXPECT_EQ(v[r.at].kind, r.kind) << r.at;
        EXPECT_EQ(v[r.at].code, r.code) << r.at;
        EXPECT_EQ(v[r.at].value.words, r.words) << r.at;
    }
    EXPECT_EQ(v[16].kind, StateKind::Sampler);
    EXPECT_EQ(v[16].code, 6u);
    EXPECT_EQ(v[16].value.kind, StateValue::Kind::Parameter);
}

TEST(HlslEffectTest, ShadowEffectsCompile) {
    for (const std::string& text :
         {HlslTest::StaticShadowCastEffect(), HlslTest::SkeletalShadowCastEffect(),
          HlslTest::ProjectiveShadowReceiverEffect()}) {
        CompileOutput out = HlslTest::CompileText(text);
        ASSERT_NE(out.effect, nullptr) << out.messages;
        const EffectDescription& fx = *out.effect;
        ASSERT_NE(fx.FindTechnique("Ambient"), nullptr);
        ASSERT_NE(fx.FindTechnique("Ambient_DX7"), nullptr);
        EXPECT_EQ(fx.programs.size(), 2u);
    }
    CompileOutput cast = HlslTest::CompileText(HlslTest::StaticShadowCastEffect());
    // float4 g_ShadowColor={0.5, 0.5, 0.5, 0.5}: the default value is in the store.
    const Parameter* color = cast.effect->FindParameter("g_ShadowColor");
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(cast.effect->values[color->offset + i], F(0.5f));
    // Texture[0] = 0 binds no texture.
    const StateAssignment& t0 = cast.effect->FindTechnique("Ambient_DX7")->passes[0].states[0];
    EXPECT_EQ(t0.kind, StateKind::Texture);
    EXPECT_EQ(t0.value.kind, StateValue::Kind::Constant);
    EXPECT_EQ(t0.value.words, std::vector<std::uint32_t>{0});

    CompileOutput receiver = HlslTest::CompileText(HlslTest::ProjectiveShadowReceiverEffect());
    const Parameter* sampler = receiver.effect->FindParameter("g_DiffuseSampler");
    EXPECT_EQ(sampler->samplerStates.back().code, 4u);  // BorderColor
    EXPECT_EQ(sampler->samplerStates.back().value.words, std::vector<std::uint32_t>{0xFFFFFFFFu});
    // tex2D with a float4 coordinate truncates, as the compiler warns.
    EXPECT_NE(receiver.messages.find("warning X3206: implicit truncation of vector type"),
              std::string::npos);
}

TEST(HlslEffectTest, DefaultsAnnotationsAndSemantics) {
    const char* text = R"(
static const float kScale = 2.0;
row_major float4x4 g_M : WORLD < string UIName = "World"; int Order = 3; float2 Range = {0, 1}; > = {
    1, 2, 3, 4,  5, 6, 7, 8,  9, 10, 11, 12,  13, 14, 15, 16 };
float3 g_v = float3(1, kScale, -3.5);
int2 g_i = {7, -8};
bool g_b = true;
float g_f = 1;
string g_s = "text";
half4 g_h = 0.25;
struct Pair { float a; int b[2]; };
Pair g_p = { 1.5, 2, 3 };
technique T < string Mode = "fast"; > { pass P0 < int Pass = 1; > { ZEnable = true; } }
)";
    CompileOutput out = HlslTest::CompileText(text);
    ASSERT_NE(out.effect, nullptr) << out.messages;
    const EffectDescription& fx = *out.effect;
    const Parameter* m = fx.FindParameter("g_M");
    EXPECT_EQ(m->semantic, "WORLD");
    EXPECT_EQ(m->cls, ParameterClass::MatrixRows);
    ASSERT_EQ(m->annotations.size(), 3u);
    EXPECT_EQ(m->annotations[0].name, "UIName");
    EXPECT_EQ(m->annotations[0].text, "World");
    EXPECT_EQ(m->annotations[1].words, std::vector<std::uint32_t>{3});
    EXPECT_EQ(m->annotations[2].words, (std::vector<std::uint32_t>{F(0), F(1)}));
    EXPECT_EQ(fx.values[m->offset + 1], F(2));    // element [0][1]
    EXPECT_EQ(fx.values[m->offset + 12], F(13));  // element [3][0]
    const Parameter* v = fx.FindParameter("g_v");
    EXPECT_EQ(fx.values[v->offset + 1], F(2));
    EXPECT_EQ(fx.values[v->offset + 2], F(-3.5f));
    const Parameter* i = fx.FindParameter("g_i");
    EXPECT_EQ(fx.values[i->offset + 1], static_cast<std::uint32_t>(-8));
    EXPECT_EQ(fx.values[fx.FindParameter("g_b")->offset], 1u);
    EXPECT_EQ(fx.values[fx.FindParameter("g_f")->offset], F(1));
    EXPECT_EQ(fx.FindParameter("g_s")->text, "text");
    EXPECT_EQ(fx.FindParameter("kScale"), nullptr);  // static: not a parameter
    const Parameter* h = fx.FindParameter("g_h");
    EXPECT_EQ(fx.values[h->offset + 3], F(0.25f));
    const Parameter* p = fx.FindParameter("g_p");
    ASSERT_EQ(p->members.size(), 2u);
    EXPECT_EQ(p->members[1].elements, 2u);
    EXPECT_EQ(fx.values[p->offset], F(1.5f));
    EXPECT_EQ(fx.values[p->offset + 2], 3u);
    EXPECT_EQ(fx.techniques[0].annotations[0].text, "fast");
    EXPECT_EQ(fx.techniques[0].passes[0].annotations[0].words, std::vector<std::uint32_t>{1});
}

struct ErrorCase {
    const char* name;
    const char* text;
    const char* message;
};

TEST(HlslEffectTest, FaultsAreReportedAndYieldNothing) {
    const char* vs = "float4 VS(float4 p : POSITION) : POSITION { return p; }\n";
    const ErrorCase cases[] = {
        {"undeclared", "float4 VS(float4 p : POSITION) : POSITION\n{\n\treturn foo;\n}",
         "effect.fx(3,9): error X3004: undeclared identifier 'foo'"},
        {"syntax", "float4 g_a\nfloat4 g_b;",
         "effect.fx(2,1): error X3000: syntax error: unexpected token 'float4'"},
        {"end of file", "float4 VS(", "error X3000: syntax error: unexpected end of file"},
        {"no implicit widening",
         "float4 VS(float3 p : POSITION) : POSITION { float4 q = p; return q; }",
         "effect.fx(1,56): error X3017: cannot implicitly convert from 'float3' to 'float4'"},
        {"globals are constant",
         "float4 g_c;\nfloat4 VS(float4 p : POSITION) : POSITION { g_c = p; return p; }",
         "error X3025: global variables are implicitly constant"},
        {"entry missing", "technique T { pass P { VertexShader = compile vs_2_0 Nope(); } }",
         "effect.fx(1,54): error X3501: 'Nope': entrypoint not found"},
        {"bad profile",
         "float4 VS(float4 p : POSITION) : POSITION { return p; }\ntechnique T { pass P { "
         "VertexShader = compile ps_2_0 VS(); } }",
         "effect.fx(2,47): error X3000: 'ps_2_0': invalid vertex shader profile"},
        {"unknown state", "technique T { pass P { Zenabel = true; } }",
         "effect.fx(1,24): error X3000: unrecognized state 'Zenabel'"},
        {"unknown value", "technique T { pass P { CullMode = Sideways; } }",
         "effect.fx(1,35): error X3004: undeclared identifier 'Sideways'"},
        {"state index range", "technique T { pass P { ColorOp[8] = Modulate; } }",
         "index 8 is out of range"},
        {"intrinsic arity", "float4 VS(float4 p : POSITION) : POSITION { return normalize(p, p); }",
         "error X3013: 'normalize': intrinsic function does not take 2 parameters"},
        {"no overload",
         "float f(float3 a) { return a.x; }\nfloat4 VS(float4x4 p : POSITION) : POSITION { return "
         "f(p); }",
         "error X3013: 'f': no matching 1 parameter function"},
        {"missing semantic",
         "float4 VS(float4 p) : POSITION { return p; }\ntechnique T { pass P { VertexShader = "
         "compile vs_2_0 VS(); } }",
         "error X3502: 'p': missing semantics"},
        {"bad output semantic",
         "float4 PS(float4 c : COLOR0) : TEXCOORD0 { return c; }\ntechnique T { pass P { "
         "PixelShader = compile ps_2_0 PS(); } }",
         "error X4502: invalid ps_2_0 output semantic"},
        {"bad swizzle", "float4 VS(float4 p : POSITION) : POSITION { return p.xq; }",
         "error X3018: invalid subscript 'xq'"},
        {"redefinition", "float a;\nfloat a;", "effect.fx(2,7): error X3003: redefinition of 'a'"},
        {"missing return value", "float f() { return; }",
         "error X3080: 'f': function must return a value"},
        {"constant index range",
         "float4 g_a[2];\nfloat4 VS(float4 p : POSITION) : POSITION { return g_a[2]; }",
         "error X3504: array index out of bounds"},
        {"loop without constant count",
         "float4 VS(float4 p : POSITION) : POSITION { for (int i = 0; i < p.x; i++) p.y += 1; "
         "return p; }\n"
         "technique T { pass P { VertexShader = compile vs_2_0 VS(); } }",
         "error X3511: unable to unroll loop"},
        {"recursion",
         "float f(float x);\nfloat f(float x) { return f(x); }\nfloat4 VS(float4 p : POSITION) : "
         "POSITION { return f(p.x); }\n"
         "technique T { pass P { VertexShader = compile vs_2_0 VS(); } }",
         "recursive functions are not allowed"},
        {"include missing", "#include \"gone.fx\"\n",
         "effect.fx(1,2): error X1507: failed to open source file: 'gone.fx'"},
        {"error in include", "#include \"../include/Bad.fx\"\n",
         "../include/Bad.fx(2,1): error X3000"},
        {"while", "float f() { while (true) {} return 0; }", "'while' is not supported"},
        {"sampler state name",
         "texture t;\nsampler2D s = sampler_state { Texture = <t>; Colour = 1; };",
         "error X3000: unrecognized sampler state 'Colour'"},
        {"texture state takes a texture",
         "float4 g_c;\ntechnique T { pass P { Texture[0] = <g_c>; } }",
         "'g_c': type mismatch for this state"},
    };
    (void)vs;
    for (const ErrorCase& c : cases) {
        std::map<std::string, std::string> files = HlslTest::IncludeFiles();
        files["../include/Bad.fx"] = "float ok;\n}";
        HlslTest::TableIncludes includes(files);
        CompileOutput out = EffectCompiler::Compile("effect.fx", c.text, {}, &includes);
        EXPECT_EQ(out.effect, nullptr) << c.name;
        EXPECT_NE(out.messages.find(c.message), std::string::npos) << c.name << ":\n"
                                                                   << out.messages;
    }
}

TEST(HlslEffectTest, HostileSizesAreRefusedNotObeyed) {
    struct Case {
        std::string name, text, message;
    };
    std::string macros;
    for (int i = 0; i < 40; ++i)
        macros += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + " M" +
                  std::to_string(i + 1) + "\n";
    const Case cases[] = {
        {"deep parentheses",
         "float g = " + std::string(5000, '(') + "1" + std::string(5000, ')') + ";",
         "error X3000: nested too deeply"},
        {"deep blocks", "float f() " + std::string(5000, '{') + std::string(5000, '}'),
         "error X3000: nested too deeply"},
        {"doubling macros", macros + "M0", "error X1000: preprocessed text is too large"},
        {"huge array", "struct S { float4x4 m[4096]; };\nS g_s[4096];",
         "error X3000: array is too large"},
        {"huge unrolled loop",
         "float4 VS(float4 p : POSITION) : POSITION { for (int i = 0; i < 1000; i++) for (int j = "
         "0; j < 1000; j++) p.x += j; return p; }\n"
         "technique T { pass P { VertexShader = compile vs_3_0 VS(); } }",
         "error X4500: program too large"},
    };
    for (const Case& c : cases) {
        CompileOutput out = HlslTest::CompileText(c.text);
        EXPECT_EQ(out.effect, nullptr) << c.name;
        EXPECT_NE(out.messages.find(c.message), std::string::npos) << c.name << ":\n"
                                                                   << out.messages.substr(0, 500);
    }
}

TEST(HlslEffectTest, WarningsDoNotStopTheEffect) {
    CompileOutput out = HlslTest::CompileText(
        "float4x4 g_M;\nfloat3 VS(float4 p : POSITION) : POSITION { float3 r = mul(p, g_M); return "
        "r; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 VS(); } }");
    ASSERT_NE(out.effect, nullptr) << out.messages;
    EXPECT_NE(
        out.messages.find("effect.fx(2,56): warning X3206: implicit truncation of vector type"),
        std::string::npos)
        << out.messages;
}

TEST(HlslEffectTest, SourceHashCoversIncludes) {
    CompileOutput a = HlslTest::CompileText(HlslTest::GeneratedEffect());
    std::vector<IncludedFile> changed = a.includes;
    EXPECT_EQ(EffectCompiler::SourceHash(HlslTest::GeneratedEffect(), changed), a.sourceHash);
    changed[2].content += " ";
    EXPECT_NE(EffectCompiler::SourceHash(HlslTest::GeneratedEffect(), changed), a.sourceHash);
    EXPECT_NE(EffectCompiler::SourceHash(HlslTest::GeneratedEffect() + " ", a.includes),
              a.sourceHash);
}

}  // namespace
