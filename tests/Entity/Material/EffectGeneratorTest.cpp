// The effect generator: keys and file names from a table of materials, the text fragments that
// must stand byte for byte, and every generated effect over a table of materials compiled by our
// effect compiler with its functions checked by glslang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <filesystem>
#include <set>
#include <fstream>
#include <iterator>

#include "Core/EnginePaths.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Material/EffectIncludeText.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Entity/Material/TextureStage.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "tests/Entity/Material/MaterialXmlSupport.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Render/EffectFileName.h"
#include "support/HlslGlslang.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/EffectGenFixture.h"

namespace {

using ZelTest::MaterialSpec;
using ZelTest::PassSpec;
using ZelTest::StageSpec;

constexpr std::uint32_t kLitFlags = 0x13;  // position, normal, one texture coordinate

std::string Key(Zel::LegacyShaderCompiler& compiler, const Zel::Material& material) {
    std::string key;
    compiler.BuildKey(material, key, "R/");
    return key;
}

TEST(EffectKey, MaterialTableGivesItsKeys) {
    const struct {
        const char* what;
        MaterialSpec spec;
        const char* key;
    } cases[] = {
        {"the lit example",
         {1, true, {{kLitFlags, {{1}}}}},
         "R/AL_LIGHTING_VP_NONE_POS_NRM_UV0_TE_MODULATE$$shift_col.fx"},
        {"no passes", {0, false, {}}, "R/AV_NOLIGHTING_shift_col.fx"},
        {"blended lighting, unlit",
         {2, false, {{0x1, {}}}},
         "R/AVL_NOLIGHTING_VP_NONE_POS$$shift_col.fx"},
        {"both diffuse bits add C0 once",
         {0, false, {{0x10005, {}}}},
         "R/AV_NOLIGHTING_VP_NONE_POS_C0$$shift_col.fx"},
        {"packed colours alone",
         {0, false, {{0x30001, {}}}},
         "R/AV_NOLIGHTING_VP_NONE_POS_C0P_C1P$$shift_col.fx"},
        {"generation 1 with modifiers",
         {0, false, {{0x11, {{6, 0, 1, true}}}}},
         "R/AV_NOLIGHTING_VP_NONE_POS_UV0_TE_TEX_MUL_PRE_TCMOD__TGENC_$$shift_col.fx"},
        {"sphere map in slot 6",
         {0, false, {{0x11, {{0, 6, 2, false}}}}},
         "R/AV_NOLIGHTING_VP_NONE_POS_UV0_TE_TEX_REPLACE_S6_TGENS_$$shift_col.fx"},
        {"kind 5 adds no program part",
         {0, false, {{0xC001, {}, 5}}},
         "R/AV_NOLIGHTING__POS_WEIGHTS_INDICES$$shift_col.fx"},
        {"skinned, untransformed, two passes",
         {1, true, {{0xC003, {}, 0}, {0x1, {{52}}, 4, 1}}},
         "R/AL_LIGHTING_VL_SKL_POS_NRM_WEIGHTS_INDICES$$VP_NONE_POS"
         "_TEXENV_TEX_RATIOALPHA_REPLACE_TN_$$shift_col.fx"},
        {"pass flag bit 0",
         {1, true, {{kLitFlags, {{1}}, 4, 0, 9}}},
         "R/AL_LIGHTING_VP_NONE_POS_NRM_UV0_VCM_TE_MODULATE$$shift_col.fx"},
        {"profile 30",
         {1, true, {{kLitFlags, {{1}}}}, 30},
         "R/AL_LIGHTING_PS30_VP_NONE_POS_NRM_UV0_TE_MODULATE$$shift_col.fx"},
    };
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    for (const auto& c : cases) EXPECT_EQ(Key(compiler, maker.Make(c.spec)), c.key) << c.what;

    Zel::LegacyShaderCompilerScreenShot screenshot;
    EXPECT_EQ(Key(screenshot, maker.Make(cases[0].spec)),
              "R/AL_LIGHTING_VP_NONE_POS_NRM_UV0_TE_MODULATE$$ssshift_col.fx");
}

TEST(EffectKey, SameFeaturesShareAKeyDifferentTextDoesNot) {
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    Zel::Material& a = maker.Make({1, true, {{kLitFlags, {{1}}}}});
    Zel::Material& b = maker.Make({1, true, {{kLitFlags, {{1}}}}});
    b.SetName("other");
    b.diffuse[0] = 0.25f;
    EXPECT_EQ(Key(compiler, a), Key(compiler, b));
    // Each of these changes the text, so each changes the key.
    const MaterialSpec variants[] = {
        {1, true, {{kLitFlags, {{1, 1}}}}},         // the stage slot
        {1, true, {{kLitFlags, {{1}}, 4, 0, 9}}},   // pass flag bit 0
        {1, true, {{kLitFlags, {{1}}}}, 30},        // the pixel-shader profile
        {1, true, {{kLitFlags | 0x4, {{1}}}}},      // float colour
        {1, true, {{kLitFlags | 0x10000, {{1}}}}},  // packed colour
    };
    std::set<std::string> keys = {Key(compiler, a)};
    for (const MaterialSpec& v : variants) keys.insert(Key(compiler, maker.Make(v)));
    EXPECT_EQ(keys.size(), 6u);
}

TEST(EffectKey, LongKeysGetAHashedFileName) {
    const std::string shortKey = "../Data/Effects/Legacy5/" + std::string(254, 'a');
    EXPECT_EQ(Zel::EffectFileName(shortKey), shortKey);
    const std::string longKey = "../Data/Effects/Legacy5/" + std::string(255, 'a');
    const std::string file = Zel::EffectFileName(longKey);
    EXPECT_EQ(file.rfind("../Data/Effects/Legacy5/fx_", 0), 0u) << file;
    EXPECT_EQ(file.size(), std::string("../Data/Effects/Legacy5/fx_").size() + 16 + 3);
    EXPECT_NE(Zel::EffectFileName(longKey + "b"), file);
    EXPECT_EQ(Zel::EffectFileName(longKey), file);
}

bool Contains(const std::string& text, const std::string& fragment) {
    return text.find(fragment) != std::string::npos;
}

int Count(const std::string& text, const std::string& fragment) {
    int n = 0;
    for (std::size_t at = text.find(fragment); at != std::string::npos;
         at = text.find(fragment, at + 1))
        ++n;
    return n;
}

TEST(EffectText, QuotedFragmentsStandByteForByte) {
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    const std::string text = compiler.BuildEffectText(
        maker.Make({2, true, {{kLitFlags | 0x4, {{1, 0, 0, true}, {10, 5, 1, false}}}}}), false);
    const char* const fragments[] = {
        "#include \"../include/Definitions.fx\"\n#include \"../include/SamplerState.fx\"\n"
        "#include \"../include/Lighting.fx\"\n#include \"../include/Transform.fx\"\n"
        "#include \"../include/ShiftColor.fx\"\n\n",
        "float4x3 g_BoneMatrix[MAX_BONE];\nfloat4x4 g_MatLightProjection;\n\n",
        "float4 g_ShiftColor;\nint g_nGlobalConstColor;\n\n",
        "texture g_texEnvSphere;\nSamplerStateStruct g_EnvSphereSamplerState;\n\n",
        "samplerCUBE  g_EnvCubicSampler = sampler_state\n{\n\tTexture = <g_texEnvCubic>;\n"
        "\tMinFilter = <g_EnvCubicSamplerState.MinFilter>;\n",
        "struct PSOut\n\t\t\t{\n\t\t\tfloat4 Color : COLOR0;\n\t\t\t};\n\n",
        "struct VSIn_0\n{\n\tfloat3 P : POSITION;\n\tfloat3 N : NORMAL;\n\tfloat4 C0 : COLOR0;\n"
        "\tfloat2 UV0 : TEXCOORD0;\n};\n\n",
        "\tfloat2 UV0 : TEXCOORD0;\n\tfloat3 UV1 : TEXCOORD1;\n};\n\n",
        "VSOut_0 VSAmbient_0(VSIn_0 vsin)\n{\n\tVSOut_0 "
        "vsout;\n\tvsout.SpecularColor=float4(0,0,0,0);\n"
        "\tfloat4 worldP = mul(float4(vsin.P, 1.0f), g_MatWorld);\n\t\tvsout.P = mul(worldP, "
        "g_MatViewProjection);\n\tfloat3 worldN = normalize(mul(float4(vsin.N, 0.0f), "
        "g_MatWorld));\n\tvsout.C0 = g_vecLightColorAmbient;\n"
        "\tvsout.UV0 = mul(float4(vsin.UV0, 0.0f, 1.0f), g_TexMatDiffuse);\n",
        "\tfloat3 eyeDirWorld = normalize(g_vecCameraPosition - worldP);\n\tfloat t = dot(worldN, "
        "eyeDirWorld);\n\tvsout.UV1 = normalize(2*t*worldN - eyeDirWorld);\n"
        "\t//vsout.C0.rgb*=g_editorcolorfactor1.rgb;\n\t\t\treturn vsout;\n\t\t}\n\n",
        "PSOut PSAmbient_0( PSIn_0 psin)\n{\n\t\tPSOut psout;\n\t\tfloat4 t2, t1, constColor;\n"
        "\t\tt2 = psin.C0;\n\tt1 = tex2D(g_DiffuseSampler, psin.UV0 );\n\tconstColor = "
        "g_ConstColor0;\n\tconstColor = saturate(constColor);\n\tt2 = t1*psin.C0;\n"
        "\tt1 = texCUBE(g_EnvCubicSampler, psin.UV1 );\n\tconstColor = g_ConstColor1;\n"
        "\tconstColor = saturate(constColor);\n"
        "\tt2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);\n\tt2.a = t1.a*t2.a;\n"
        "t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);\n"
        "psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;\npsout.Color.a = t2.a * "
        "g_fTransparencyTune;\nreturn psout;\n}\n\n",
        "VSOut_0 VSLighting_0(VSIn_0 vsin)\n",
        "\tfloat3 lightDirWorld = normalize(g_vecLightPosition.xyz - "
        "worldP.xyz*g_vecLightPosition.w);\n",
        "vsout.SpecularColor=float4(SpecularContrib,1);\n\t\tSpecularResult=float3(0,0,0);\n"
        "vsout.C0.xyz = saturate(diffCol+SpecularResult);\n\t\t vsout.C0.w = 1.0;\n",
        "VSOut_0 VSAmbientLighting_0(VSIn_0 vsin)\n",
        "\tvsout.C0 = vsin.C0*g_vecVertexColorModulate;\n",
        "vsout.C0.xyz =vsout.C0.xyz * saturate(saturate(diffCol+SpecularResult)+"
        "g_vecLightColorAmbient);\n\t\tvsout.C0.w = 1.0;\n",
        "technique Ambient\n{\n\tpass P0\n\t{\n\t\tVertexShader\t= compile vs_2_0 VSAmbient_0();\n"
        "\t\tPixelShader\t\t= compile ps_2_0 PSAmbient_0();\n\t}\n}\n",
        "technique PixelAmbientLighting_Projected_Shadow\n",
        "technique Ambient_DX7\n{\n\tpass P0\n\t{\nTexture[0] = <g_texDiffuse>;\n"
        "ColorOp[0]   = MultiplyAdd;\nColorArg0[0] = SPECULAR;\nAlphaOp[0]   = Modulate;\n",
        "Texture[1] = <g_texEnvCubic>;\nTexCoordIndex[1] =  CAMERASPACEREFLECTIONVECTOR;\n"
        "TEXTURETRANSFORMFLAGS[1] = COUNT3;\nColorOp[1]   = BLENDTEXTUREALPHA;\n",
        "technique VertexLighting_DX7\n{\n\tpass P0\n\t{\nTexture[0] = <g_texDiffuse>;\n",
    };
    for (const char* f : fragments) EXPECT_TRUE(Contains(text, f)) << f;
    // PSLighting combines only the first stage outside slots 5, 6 and 10.
    const std::string lighting = text.substr(text.find("PSOut PSLighting_0"));
    EXPECT_EQ(Count(lighting.substr(0, lighting.find("return psout")), "t1 = "), 1);
    EXPECT_EQ(Count(text, "technique "), 2 + 8 + 8 + 2);
    EXPECT_FALSE(Contains(text, "VertexAmbientLighting_DX7"));
}

TEST(EffectText, TechniqueSetsFollowLightingAndProfile) {
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    const std::string unlit =
        compiler.BuildEffectText(maker.Make({0, false, {{0x11, {{1}}}}}), false);
    EXPECT_EQ(Count(unlit, "technique "), 3);
    EXPECT_TRUE(Contains(unlit, "technique Ambient_DX7\n"));
    // Lighting mode 0 without the colour bit.
    EXPECT_TRUE(Contains(unlit, "\tvsout.C0 = float4(1, 1, 1, 1)*g_vecVertexColorModulate;\n\t"));

    const std::string mode1 =
        compiler.BuildEffectText(maker.Make({1, false, {{0x13, {{1}}}}}), true);
    EXPECT_TRUE(Contains(mode1, "technique VertexAmbientLighting_DX7\n"));
    EXPECT_TRUE(Contains(mode1, "ColorOp[0]   = Modulate;\n"));  // specular off

    const std::string ps30 =
        compiler.BuildEffectText(maker.Make({1, true, {{0x13, {{1}}}}, 30}), false);
    EXPECT_TRUE(Contains(ps30,
                         "\t\tVertexShader\t= compile vs_3_0 VSAmbient_0();\n"
                         "\t\tPixelShader\t\t= compile ps_3_0 PSAmbient_0();\n"));
    EXPECT_FALSE(Contains(ps30, "vs_2_0"));

    const std::string empty = compiler.BuildEffectText(maker.Make({0, false, {}}), false);
    EXPECT_FALSE(Contains(empty, "pass P"));
}

TEST(EffectText, MendedFragments) {
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    // A cube-map stage with modifiers transforms its three-component coordinate.
    const std::string cube =
        compiler.BuildEffectText(maker.Make({0, false, {{0x13, {{1}, {17, 5, 1, true}}}}}), false);
    EXPECT_TRUE(Contains(cube, "\tvsout.UV1 = mul(float4(vsout.UV1, 1), g_TexMatEnvMapCubic);\n"));
    // Two ratio stages: each declares its local inside its own block.
    const std::string ratio =
        compiler.BuildEffectText(maker.Make({0, false, {{0x15, {{51}, {52, 1}}}}}), false);
    EXPECT_EQ(Count(ratio, "\t{\n\tt1 = t1*psin.C0;\n\tfloat a = t1.a * g_fAlphaRatio;\n"), 1);
    EXPECT_EQ(Count(ratio, "\t{\n\tt1 = t1*psin.C0;\n\tt2 = tex2D(g_DetailDiffuseSampler"), 1);
    // The fixed-function stage lines all address the unit after the skipped mode-51 stage.
    EXPECT_TRUE(Contains(ratio, "Texture[0] = <g_texDetailDiffuse>;\nColorOp[0]   = Modulate;\n"));
    EXPECT_FALSE(Contains(ratio, "Texture[1]"));
    // Members the shaders read are declared even when the vertex flags lack them.
    const std::string skinned =
        compiler.BuildEffectText(maker.Make({2, true, {{0x11, {{1}}, 0}}}), false);
    EXPECT_TRUE(
        Contains(skinned,
                 "struct VSIn_0\n{\n\tfloat3 P : POSITION;\n\tfloat3 N : NORMAL;\n"
                 "\tfloat4 C0 : COLOR0;\n\tfloat2 UV0 : TEXCOORD0;\n"
                 "\tfloat4 Weights : BLENDWEIGHT;\n\tfloat4 Indices : BLENDINDICES;\n};\n"));
}

// Serves the engine's include files under the names the generated text uses.
class EngineIncludes final : public Hlsl::IIncludeHandler {
public:
    bool Open(Hlsl::IncludeType, const std::string& name, const void*, const void** data,
              std::uint32_t* bytes) override {
        for (const Zel::EffectIncludeFile& file : Zel::EffectIncludeFiles())
            if (name == std::string("../include/") + file.name) {
                *data = file.text;
                *bytes = std::uint32_t(std::strlen(file.text));
                return true;
            }
        return false;
    }
    void Close(const void*) override {}
};

// Every environment mode, generator and modifier, skinned and not, lit and unlit, 1-4 passes,
// profiles 20 and 30.
std::vector<MaterialSpec> CompileTable() {
    std::vector<MaterialSpec> table;
    const std::uint32_t lightings[][2] = {{0, 0}, {1, 1}, {2, 1}, {1, 0}, {2, 0}};
    std::uint32_t n = 0;
    for (std::uint32_t mode = 0; mode <= 52; ++mode, ++n) {
        const auto& l = lightings[n % 5];
        MaterialSpec spec{l[0], l[1] != 0, {}, n % 4 == 3 ? 30u : 20u};
        const std::uint32_t passes = 1 + n % 4;
        for (std::uint32_t p = 0; p < passes; ++p) {
            PassSpec pass;
            pass.vertexFlags = (n + p) % 3 == 0 ? 0x17 : 0x13;
            pass.programKind = (n + p) % 2 == 0 ? 4 : (n + p) % 6;
            if (pass.programKind != 4)
                pass.vertexFlags |= 0xC000;
            pass.passFlags = (n + p) % 3 == 1 ? 9 : 8;
            pass.stages.push_back({mode, (n + p) % 2, 0, (n + p) % 4 == 2});
            pass.stages.push_back(
                {(mode + 7 + p) % 53, 1 + (n + p) % 11, (n + p) % 3, (n + p) % 5 < 2});
            if (p == 1)
                pass.stages.push_back({(mode * 3) % 53, 5, 1, true});
            if (p == 2) {
                pass.stages.push_back({(mode + 30) % 53, 6, 2, true});
                pass.stages.push_back({52, 0, 2, false});
            }
            spec.passes.push_back(pass);
        }
        table.push_back(spec);
    }
    // Untransformed positions, and the screen's own materials.
    table.push_back({0, false, {{0x10015, {{1, 0, 0, true}}, 4, 1}}});
    table.push_back({1, true, {{0x1, {}, 4, 1}}});
    table.push_back({0, false, {{0x1, {}}}});
    return table;
}

// Compiles effect text with our effect compiler and, when glslang can be run, each of its
// programs with glslang's HLSL front end, the engine's include files beside it.
class EffectChecker {
public:
    EffectChecker() : glslang_(ZelTest::HaveGlslang()) {
        for (const Zel::EffectIncludeFile& file : Zel::EffectIncludeFiles())
            dir_.Write(std::string("effects/include/") + file.name,
                       ZelTest::StripEffectSyntax(file.text));
    }
    bool HaveGlslang() const { return glslang_; }
    // Runs glslang over every program of the effects checked so far; answers how many it ran.
    std::size_t RunGlslang() {
        ZelTest::RunGlslangJobs(jobs_);
        for (std::size_t i = 0; i < jobs_.size(); ++i)
            EXPECT_EQ(jobs_[i].status, 0) << jobs_[i].path << " " << jobs_[i].entry << ":\n"
                                          << jobs_[i].output << "\n"
                                          << texts_[i];
        const std::size_t ran = jobs_.size();
        jobs_.clear();
        texts_.clear();
        return ran;
    }

    void Check(const std::string& name, const std::string& text) {
        Hlsl::CompileOutput out = Hlsl::EffectCompiler::Compile(name, text, {}, &includes_);
        if (out.effect == nullptr) {
            ADD_FAILURE() << name << "\n" << out.messages << "\n" << text;
            return;
        }
        if (!glslang_)
            return;
        const std::string path =
            dir_.Write("effects/Legacy5/" + name, ZelTest::StripEffectSyntax(text));
        for (const auto& program : out.effect->programs) {
            jobs_.push_back(
                {path, program->entry, program->kind == Hlsl::ProgramKind::Vertex, 0, {}});
            texts_.push_back(text);
        }
    }

private:
    ZelTest::TempDir dir_;
    bool glslang_;
    EngineIncludes includes_;
    std::vector<ZelTest::GlslangJob> jobs_;
    std::vector<std::string> texts_;  // the effect text of each job, for its failure message
};

TEST(EffectText, EveryGeneratedEffectCompilesAndPassesGlslang) {
    EffectChecker checker;
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompiler compiler;
    int index = 0;
    for (const MaterialSpec& spec : CompileTable())
        checker.Check("effect" + std::to_string(index++) + ".fx",
                      compiler.BuildEffectText(maker.Make(spec), false));
    if (!checker.HaveGlslang())
        GTEST_SKIP() << "glslang is not installed (tools/setup.sh installs it)";
    EXPECT_GT(checker.RunGlslang(), 200u);
}

// ---- Materials as the parsers make them ----

// The legacy dialect: 0 to 10 stages per pass (the dialect's most) in the slots its stage order
// gives, cube and sphere generation moving stages to slots 5 and 6, modifiers, every
// environment mode, lit and unlit, blended lighting, skinned programs and passes without a
// textured stage.
std::vector<ZelFixtures::LegacyShader> ParsedLegacyTable() {
    using namespace ZelFixtures;
    const struct {
        const char* renderEnv;
        const char* shaderType;
        const char* vpFile;
    } variants[] = {
        {nullptr, nullptr, nullptr},
        {"light", "light", nullptr},
        {"light", "vertex_color_light_blend", nullptr},
        {nullptr, "bone_light", "vertex_lighting_skl.vp"},
        {"light shadowmap", "bone", ";no_lighting_skl.vp"},
    };
    const float scroll[5] = {1.0f, 0.5f, 0.0f, 0.0f, 0.5f};
    std::vector<LegacyShader> table;
    std::uint32_t v = 0;
    for (const auto& variant : variants) {
        for (std::uint32_t count : {0u, 1u, 2u, 3u, 5u, 8u, 9u, 10u}) {
            LegacyShader shader;
            shader.name = "legacy" + std::to_string(table.size());
            if (variant.renderEnv)
                shader.renderEnv = variant.renderEnv;
            if (variant.shaderType)
                shader.shaderType = variant.shaderType;
            for (std::uint32_t p = 0; p < 1 + count % 2; ++p) {
                LegacyPass pass;
                pass.attributes = {{"USE_TEXCOORD", "yes"}};
                if (v % 2 == 1)
                    pass.attributes.push_back({"USE_NORMAL", "yes"});
                if (count % 3 == 0)
                    pass.attributes.push_back({"USE_COLOR", "yes"});
                if (variant.vpFile) {
                    pass.hasVp = true;
                    pass.vpFile = variant.vpFile;
                }
                const std::uint32_t stages = p == 0 ? count : (count + 3) % 11;
                for (std::uint32_t i = 0; i < stages; ++i) {
                    LegacyStage stage;
                    stage.envMode =
                        Zel::MaterialParser::TexEnvName((i * 7 + count * 3 + v * 11 + p) % 53);
                    if (i == 2 && count >= 3)
                        stage.texCoordGen = "TEXGEN_CUBEMAP";
                    if (i == 3 && v % 2 == 1)
                        stage.texCoordGen = "TEXGEN_SPHERE";
                    if ((i + v) % 3 == 0)
                        stage.tcMods.push_back({TcModLine(0, 0, scroll), TcModLine(1, 1, scroll)});
                    stage.textures.push_back({std::string("t.dds"), std::nullopt, std::nullopt});
                    pass.stages.push_back(stage);
                }
                shader.passes.push_back(pass);
            }
            table.push_back(shader);
        }
        ++v;
    }
    return table;
}

// The "MaterialLib" dialect: textures by usage, from none to every usage it names (11 stages),
// with modifiers, cube faces, skinning and vertex layouts.
std::vector<ZelFixtures::LibMaterial> ParsedLibTable() {
    using namespace ZelFixtures;
    const std::vector<std::vector<const char*>> usageSets = {
        {},
        {"Diffuse"},
        {"Diffuse", "DetailDiffuse", "CubeMap"},
        {"SphereMap", "LightMap"},
        {"Bump", "DetailBump", "Specular", "Reflection", "Refraction", "ShadowMap", "LightMap",
         "Diffuse", "DetailDiffuse"},
        {"Diffuse", "DetailDiffuse", "Bump", "DetailBump", "Specular", "CubeMap", "SphereMap",
         "Reflection", "Refraction", "ShadowMap", "LightMap"},
    };
    const char* const layouts[] = {"POSITION TEXCOORD0", "POSITION NORMAL TEXCOORD0",
                                   "POSITION NORMAL COLOR TEXCOORD0 TEXCOORD1"};
    const char* const skinnings[] = {nullptr, "SW", "HW"};
    const float scroll[5] = {1.0f, 0.5f, 0.0f, 0.0f, 0.5f};
    std::vector<LibMaterial> table;
    for (std::size_t set = 0; set < usageSets.size(); ++set) {
        for (std::size_t variant = 0; variant < 3; ++variant) {
            LibMaterial material;
            material.name = "lib" + std::to_string(table.size());
            for (std::size_t p = 0; p < 1 + variant % 2; ++p) {
                MaterialPass pass;
                pass.layout = layouts[(set + variant + p) % 3];
                if (skinnings[variant])
                    pass.skinning = skinnings[variant];
                pass.hasTextures = true;
                std::size_t i = 0;
                for (const char* usage : usageSets[set]) {
                    TextureEntry entry;
                    entry.path = "t" + std::to_string(i) + ".dds";
                    entry.usage = usage;
                    if (std::string(usage) == "CubeMap")
                        for (const char* face : {"PX", "NX", "PY", "NY", "PZ", "NZ"})
                            entry.faces.push_back({face, std::string("c.dds")});
                    if ((i + variant + p) % 3 == 0)
                        entry.tcMods.push_back({TcModLine(0, 0, scroll), std::nullopt});
                    pass.textures.push_back(entry);
                    ++i;
                }
                material.passes.push_back(pass);
            }
            table.push_back(material);
        }
    }
    return table;
}

class ParsedMaterialEffects : public ZelTest::CoreRootTest {
protected:
    ParsedMaterialEffects() { Zel::SetTextureLoadFlags(0); }
    ~ParsedMaterialEffects() override { Zel::SetTextureLoadFlags(savedFlags_); }

    // Every parsed material, its named stages holding a texture as after their first use.
    std::vector<std::unique_ptr<Zel::Material>> ParseAll() {
        std::vector<std::unique_ptr<Zel::Material>> materials;
        auto parsed = [&](const std::string& text, std::vector<const char*> path, bool legacy) {
            ZelTest::ParsedXml xml(text);
            auto material = std::make_unique<Zel::Material>(nullptr, "m", "Material", 0);
            Zel::MaterialTextureRequests requests;
            const bool ok =
                legacy ? Zel::MaterialParser::ParseLegacy_New(xml.Find(path), *material, &requests)
                       : Zel::MaterialParser::Parse(xml.Find(path), *material, &requests);
            EXPECT_TRUE(ok) << text;
            for (Zel::Pass* pass : material->GetPasses())
                for (Zel::TextureStage& stage : pass->renderState.stages)
                    if (stage.flags & Zel::TSF_TEXTURE_PENDING)
                        stage.SetTexture(&texture_);
            materials.push_back(std::move(material));
        };
        for (const ZelFixtures::LegacyShader& shader : ParsedLegacyTable())
            parsed(ZelFixtures::WriteLegacyLibrary({{shader}, false}), {"SHADERLIB", "SHADER"},
                   true);
        for (const ZelFixtures::LibMaterial& material : ParsedLibTable())
            parsed(ZelFixtures::WriteMaterialLibrary({material}), {"MaterialLib", "Material"},
                   false);
        return materials;
    }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
    Zel::TextureBase texture_{1, nullptr, 2};
};

TEST_F(ParsedMaterialEffects, EveryCompilerWritesWhatCompilesAndPassesGlslang) {
    const auto materials = ParseAll();
    std::size_t most = 0, untextured = 0;
    for (const auto& material : materials)
        for (const Zel::Pass* pass : material->GetPasses()) {
            std::vector<Zel::StageExport> stages;
            pass->ExportTextureStages(stages);
            most = std::max(most, stages.size());
            untextured += stages.empty() ? 1 : 0;
        }
    EXPECT_EQ(most, 11u) << "the table reaches every stage the dialects can fill";
    EXPECT_GT(untextured, 0u);

    EffectChecker checker;
    Zel::LegacyShaderCompiler plain;
    Zel::LegacyShaderCompilerScreenShot screenshot;
    for (bool specularOff : {false, true}) {
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const std::string tag = std::to_string(i) + (specularOff ? "s" : "");
            checker.Check("parsed" + tag + ".fx",
                          plain.BuildEffectText(*materials[i], specularOff));
            checker.Check("parsed" + tag + "ss.fx",
                          screenshot.BuildEffectText(*materials[i], specularOff));
        }
    }
    if (!checker.HaveGlslang())
        GTEST_SKIP() << "glslang is not installed (tools/setup.sh installs it)";
    EXPECT_GT(checker.RunGlslang(), 1000u);
}

TEST(EffectText, ScreenshotEffectCompiles) {
    ZelTest::MaterialMaker maker;
    Zel::LegacyShaderCompilerScreenShot compiler;
    const std::string text = compiler.BuildEffectText(
        maker.Make({0, false, {{0x13, {{1}, {6, 1}}}, {0xC013, {{1}}, 1}}}), false);
    EngineIncludes includes;
    Hlsl::CompileOutput out = Hlsl::EffectCompiler::Compile("ss.fx", text, {}, &includes);
    ASSERT_NE(out.effect, nullptr) << out.messages << "\n" << text;
    EXPECT_EQ(Count(text, "technique "), 8);
    EXPECT_TRUE(Contains(text, "compile vs_3_0 VSAmbientLighting_1();"));
    EXPECT_TRUE(Contains(text,
                         "texture g_texActorBodySkin;\nSamplerStateStruct "
                         "g_ActorBodySkinSamplerState;\n\n"));
    EXPECT_TRUE(Contains(text, "discard;\n}else{\n"));
    EXPECT_FALSE(Contains(text, "VSAmbient_0"));
}

}  // namespace
