// The XML material parser over libraries made by the fixture writer: the name tables, the legacy
// "SHADER" dialect (state lines, pass attributes, stage slots, stage lines, texture requests) and
// the "MaterialLib" dialect (render state, textures, vertex layout), with their failures.
#include <memory>

#include "Entity/Material/LegacyStageAnimRecord.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Entity/Texture/TextureBase.h"
#include "Render/RenderSystem.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialXmlSupport.h"

namespace {

using Zel::Material;
using Zel::MaterialParser;
using Zel::Pass;
using namespace ZelFixtures;

TEST(MaterialParserWords, TablesCompareWholeWordsCaseSensitively) {
    struct Row {
        std::uint32_t (*table)(const char*);
        const char* word;
        std::uint32_t value;
    };
    const Row rows[] = {
        {MaterialParser::CompareWord, "Fail", 0},
        {MaterialParser::CompareWord, "ALWAYS", 1},
        {MaterialParser::CompareWord, "LESS", 2},
        {MaterialParser::CompareWord, "less", 3},
        {MaterialParser::CompareWord, "GEQUAL", 6},
        {MaterialParser::CompareWord, "Greater", 7},
        {MaterialParser::CompareWord, nullptr, 3},
        {MaterialParser::BlendWord, "One", 0},
        {MaterialParser::BlendWord, "0", 1},
        {MaterialParser::BlendWord, "1-SrcAlpha", 5},
        {MaterialParser::BlendWord, "InvDstColor", 9},
        {MaterialParser::BlendWord, "one", 1},
        {MaterialParser::TextureTypeWord, "TEXTURE_CUBE_MAP", 2},
        {MaterialParser::TextureTypeWord, "TEXTURE_3D", 3},
        {MaterialParser::TextureTypeWord, "TEXTURE_BLEND_ANIMATION", 6},
        {MaterialParser::TextureTypeWord, "TEXTURE_RENDER_IMAGE1", 7},
        {MaterialParser::UsageWord, "Diffuse", 0},
        {MaterialParser::UsageWord, "LightMap", 10},
        {MaterialParser::UsageWord, "diffuse", 12},
        {MaterialParser::FilterWord, "Anisotropic", 3},
        {MaterialParser::FilterWord, "Point", 0},
        {MaterialParser::AddressWord, "Mirror", 0},
        {MaterialParser::AddressWord, "Repeat", 2},
        {MaterialParser::TexEnvWord, "TEXENV_TEX_REPLACE", 0},
        {MaterialParser::TexEnvWord, "TEXENV_MODULATE_CONSTALPHA", 27},
        {MaterialParser::TexEnvWord, "TEXENV_TEX_RATIOALPHA_REPLACE", 52},
        {MaterialParser::TexEnvWord, "TEXENV_MODULATE ", 1},
        {MaterialParser::VertexProgramWord, "vertex_lighting_skl_cube.vp", 3},
        {MaterialParser::VertexProgramWord, ";no_lighting_skl.vp", 5},
        {MaterialParser::VertexProgramWord, "no_lighting_skl.vp", 4},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.table(row.word), row.value) << (row.word ? row.word : "(null)");
    for (std::uint32_t mode = 0; mode < MaterialParser::kTexEnvCount; ++mode)
        EXPECT_EQ(MaterialParser::TexEnvWord(MaterialParser::TexEnvName(mode)), mode);
    EXPECT_EQ(MaterialParser::TexEnvName(MaterialParser::kTexEnvCount), nullptr);
}

class MaterialParserTest : public ZelTest::CoreRootTest {
protected:
    MaterialParserTest() {
        // Stages wait for their pass's first use unless a test asks for immediate loading.
        Zel::SetTextureLoadFlags(0);
        renderSystem_.SetRenderImage(0, &imageA_);
        renderSystem_.SetRenderImage(1, &imageB_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    ~MaterialParserTest() override {
        material_.reset();
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        Zel::SetTextureLoadFlags(savedFlags_);
    }

    // Parses the shader as the only one of a legacy library.
    bool ParseLegacy(const LegacyShader& shader, Zel::MaterialTextureRequests* requests = nullptr) {
        xml_ = std::make_unique<ZelTest::ParsedXml>(WriteLegacyLibrary({{shader}, false}));
        material_ = std::make_unique<Material>(nullptr, "m", "Material", 0);
        return MaterialParser::ParseLegacy_New(xml_->Find({"SHADERLIB", "SHADER"}), *material_,
                                               requests);
    }
    bool ParseNew(const LibMaterial& lib, Zel::MaterialTextureRequests* requests = nullptr) {
        xml_ = std::make_unique<ZelTest::ParsedXml>(WriteMaterialLibrary({lib}));
        material_ = std::make_unique<Material>(nullptr, "m", "Material", 0);
        return MaterialParser::Parse(xml_->Find({"MaterialLib", "Material"}), *material_, requests);
    }
    const Pass& P(std::uint32_t i) { return *material_->GetPass(i); }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
    Zel::TextureBase imageA_{1, nullptr, 2};
    Zel::TextureBase imageB_{1, nullptr, 2};
    Zel::RenderSystem renderSystem_;
    std::unique_ptr<ZelTest::ParsedXml> xml_;
    std::unique_ptr<Material> material_;
};

TEST_F(MaterialParserTest, StateLinesTable) {
    using Attrs = std::vector<std::pair<std::string, std::string>>;
    struct Row {
        Attrs attributes;
        std::uint32_t flags, depthFunc, alphaFunc, alphaRef, src, dst, mask;
    };
    const Row rows[] = {
        // Blending without a DEPTH line: depth test on, depth write off.
        {{{"BLEND", BlendLine(1, "SrcAlpha", "InvSrcAlpha")}}, 0x911, 3, 6, 128, 4, 5, 15},
        {{{"ALPHA", AlphaLine(1, "GREATER", 0.5f)}}, 0x907, 3, 7, 127, 0, 1, 15},
        {{{"ALPHA", AlphaLine(1, "Greater", 1.5f)}}, 0x907, 3, 7, 255, 0, 1, 15},
        {{{"ALPHA", AlphaLine(0, "less", -2.0f)}}, 0x903, 3, 3, 0, 0, 1, 15},
        {{{"COLORMASK", ColourMaskLine(1, 1, 1, 0)}}, 0x903, 3, 6, 128, 0, 1, 7},
        {{{"COLORMASK", ColourMaskLine(2, 1, 1, 1)}}, 0x903, 3, 6, 128, 0, 1, 14},
        {{{"COLORMASK", "0"}}, 0x903, 3, 6, 128, 0, 1, 14},
        {{{"DEPTH", DepthLine(0, "LESS", "KEEP")}}, 0x900, 2, 6, 128, 0, 1, 15},
        {{{"DEPTH", DepthLine(1, "GEQUAL", "ZWRITE")}}, 0x903, 6, 6, 128, 0, 1, 15},
        // Fields a partial line leaves out keep their values.
        {{{"BLEND", "1"}}, 0x911, 3, 6, 128, 0, 1, 15},
        {{{"DEPTH", "0"}}, 0x902, 3, 6, 128, 0, 1, 15},
        {{{"BLEND", BlendLine(0, "One", "Zero")}, {"DEPTH", DepthLine(1, "LEQUAL", "WRITE")}},
         0x903,
         3,
         6,
         128,
         0,
         1,
         15},
    };
    for (const Row& row : rows) {
        LegacyShader shader;
        shader.passes = {LegacyPass{row.attributes, false, {}, {}}};
        ASSERT_TRUE(ParseLegacy(shader));
        const Zel::RenderState& s = P(0).renderState;
        SCOPED_TRACE(row.attributes[0].first + "=" + row.attributes[0].second);
        EXPECT_EQ(s.flags, row.flags);
        EXPECT_EQ(s.depthFunc, row.depthFunc);
        EXPECT_EQ(s.alphaFunc, row.alphaFunc);
        EXPECT_EQ(s.alphaRef, row.alphaRef);
        EXPECT_EQ(s.srcBlend, row.src);
        EXPECT_EQ(s.destBlend, row.dst);
        EXPECT_EQ(s.colourWriteMask, row.mask);
    }
}

TEST_F(MaterialParserTest, PassAttributesAndShaderWords) {
    LegacyShader shader;
    shader.name = "rock_zsort";
    shader.gloss = "2.5";
    shader.renderEnv = "light shadowmap";
    shader.shaderType = "bone_light";
    shader.shininess = "12";
    LegacyPass first;
    first.attributes = {{"USE_TBN", "yes"}, {"USE_NORMAL", "no"}, {"USE_COLOR", "yes"},
                        {"SORT_KEY", "7"},  {"CULL_MODE", "CCW"}, {"FinalPass", "0"}};
    first.hasVp = true;
    first.vpFile = "no_lighting_skl.vp";
    LegacyPass second;
    second.attributes = {{"USE_TEXCOORD2", "yes"}, {"CULL_MODE", "CW"}, {"FinalPass", "1"}};
    second.hasVp = true;  // no VP_FILE: skinned materials take kind 0
    LegacyPass third;
    third.attributes = {{"ZSORT", "0"}};
    third.hasVp = true;
    third.vpFile = ";no_lighting_skl.vp";
    shader.passes = {first, second, third};
    ASSERT_TRUE(ParseLegacy(shader));

    EXPECT_EQ(material_->GetName(), "rock_zsort");
    EXPECT_FLOAT_EQ(material_->gloss, 2.5f);
    EXPECT_FLOAT_EQ(material_->shininess, 12.0f);
    // Pass 2's unlit skinned program turns lighting off and clears the lit flag.
    EXPECT_EQ(material_->flags, std::uint32_t(Zel::MF_SHADOW_MAP));
    EXPECT_EQ(material_->lightingMode, 0u);
    ASSERT_EQ(material_->GetPassCount(), 3u);
    struct Expect {
        std::uint32_t vertexFlags, programKind, passFlags, cull;
        std::int32_t sortKey;
    };
    const Expect expect[] = {
        {0x3003 | 0x10004 | 0xC000, 4, 0x4, 2, 7},
        {0x1 | 0x20 | 0xC000, 0, 0xC, 1, 100},
        {0x1 | 0xC000, 5, 0xC, 0, 100},  // "zsort" in the name sorts every pass
    };
    for (std::uint32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(P(i).vertexFlags, expect[i].vertexFlags);
        EXPECT_EQ(P(i).vertexProgramKind, expect[i].programKind);
        EXPECT_EQ(P(i).passFlags, expect[i].passFlags);
        EXPECT_EQ(P(i).renderState.cullMode, expect[i].cull);
        EXPECT_EQ(P(i).sortKey, expect[i].sortKey);
    }

    LegacyShader forced;
    forced.shaderType = "vertex_color_light_blend";
    forced.culling = "yes";
    LegacyPass pass;
    pass.attributes = {{"CULL_MODE", "CCW"}};
    forced.passes = {pass};
    ZelTest::LogCapture log;
    ASSERT_TRUE(ParseLegacy(forced));
    EXPECT_EQ(P(0).renderState.cullMode, 1u);
    EXPECT_EQ(material_->lightingMode, 2u);  // the shader path (a render system is set)
    EXPECT_EQ(material_->flags, 0u);
}

TEST_F(MaterialParserTest, MissingNameOrHwShaderFails) {
    LegacyShader unnamed;
    unnamed.name.reset();
    ZelTest::LogCapture log;
    EXPECT_FALSE(ParseLegacy(unnamed));
    EXPECT_EQ(log.Count("MaterialParser::ParseLegacy_New;材质球没有name属性"), 1);
    LegacyShader bare;
    bare.hasHwShader = false;
    EXPECT_FALSE(ParseLegacy(bare));
    EXPECT_NE(LogText().find("MaterialParser::ParseLegacy_New;材质球没有HWSHADER属性"),
              std::string::npos);
}

LegacyStage NamedStage(const std::string& name) {
    LegacyStage stage;
    stage.textures = {LegacyTexture{name, {}, {}}};
    return stage;
}

TEST_F(MaterialParserTest, StagesFillTheLegacySlotsAndAnEleventhIsIgnored) {
    LegacyPass pass;
    for (int i = 0; i < 11; ++i) pass.stages.push_back(NamedStage("t" + std::to_string(i)));
    LegacyShader shader;
    shader.passes = {pass};
    ZelTest::LogCapture log;
    ASSERT_TRUE(ParseLegacy(shader));
    EXPECT_EQ(log.Count("beyond the stage slots"), 1);
    const char* const names[12] = {"t0", "t1", "t2", "t3", "",   "",
                                   "t4", "t5", "t6", "t7", "t8", "t9"};
    for (std::uint32_t slot = 0; slot < 12; ++slot) {
        const Zel::TextureStage& stage = P(0).renderState.stages[slot];
        EXPECT_EQ(stage.textureName, names[slot]) << slot;
        EXPECT_EQ(stage.stageSlot, slot);
        // Immediate loading is off: named stages wait for the pass's first use.
        EXPECT_EQ(stage.flags, names[slot][0] ? 1u : 0u) << slot;
    }
    EXPECT_EQ(P(0).vertexFlags, 0x11u);
}

TEST_F(MaterialParserTest, StageLines) {
    const float constant[4] = {0.25f, 0.5f, 0.75f, 0.4f};
    const float wave[5] = {2, 3, 4, 5, 6};
    const float start[3] = {0.1f, 0.2f, 0.3f}, end[3] = {0.7f, 0.8f, 0.9f};
    const float modX[5] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f}, modY[5] = {6, 7, 8, 9, 10};

    LegacyStage cube = NamedStage("sky.dds");
    cube.texCoordGen = "TEXGEN_CUBEMAP";
    cube.envMode = "TEXENV_TEX_MUL_CONSTALPHA";
    cube.constColour = ConstColourLine(1, 0, constant);
    cube.alphaGen = AlphaGenLine(9, 3, 4, wave, 0.2f, 0.6f);
    cube.rgbGen = RgbGenLine(9, 1, 2, wave, start, end);
    cube.textures[0].textureParam = TextureParamLine(0, 3, 8);
    cube.tcMods = {{TcModLine(1, 2, modX), TcModLine(3, 4, modY)},
                   {TcModLine(1, 2, modX), std::nullopt}};
    LegacyStage sphere = NamedStage("env.dds");
    sphere.texCoordGen = "TEXGEN_SPHERE";
    sphere.envMode = "TEXENV_TEX_MUL_CONST";
    sphere.constColour = "0 0 1 1";  // a partial line keeps the colour's other channels
    sphere.alphaGen = "1 2";
    LegacyStage image1;
    image1.textureType = "TEXTURE_RENDER_IMAGE1";
    LegacyStage image2;
    image2.textureType = "TEXTURE_RENDER_IMAGE2";
    LegacyPass pass;
    pass.stages = {cube, sphere, image1, image2};
    LegacyShader shader;
    shader.passes = {pass};
    ASSERT_TRUE(ParseLegacy(shader));

    const Zel::TextureStage& c = P(0).renderState.stages[5];
    EXPECT_EQ(c.textureName, "sky.dds");
    EXPECT_EQ(c.texCoordGen, 1u);
    EXPECT_EQ(c.envMode, 3u);
    EXPECT_EQ(c.flags, 0x1u | 0x2 | 0x4 | 0x8 | 0x10);
    EXPECT_FLOAT_EQ(c.constantColour[3], 0.4f);  // constant alpha in use keeps the alpha
    EXPECT_EQ(c.filter, 2u);
    EXPECT_EQ(c.addressU, 2u);
    EXPECT_EQ(c.addressW, 2u);
    EXPECT_EQ(c.alphaGen.codes[0], 3);
    EXPECT_EQ(c.alphaGen.codes[2], 4);
    EXPECT_FLOAT_EQ(c.alphaGen.first[4], 6.0f);
    EXPECT_FLOAT_EQ(c.alphaGen.second[0], 0.2f);
    EXPECT_FLOAT_EQ(c.alphaGen.second[1], 0.6f);
    EXPECT_FLOAT_EQ(c.alphaGen.second[2], 0.0f);
    EXPECT_EQ(c.colourGen.codes[0], 1);
    EXPECT_EQ(c.colourGen.codes[2], 2);
    const float colourFirst[5] = {2, 3, 4, 5, 0.1f},
                colourSecond[5] = {0.2f, 0.3f, 0.7f, 0.8f, 0.9f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(c.colourGen.first[i], colourFirst[i]) << i;
        EXPECT_FLOAT_EQ(c.colourGen.second[i], colourSecond[i]) << i;
    }
    ASSERT_EQ(c.texCoordMods.size(), 1u);  // the modifier without TCMODY adds nothing
    const Zel::WaveRecord& mod = c.texCoordMods[0];
    EXPECT_EQ(mod.codes[0], 1);
    EXPECT_EQ(mod.codes[1], 3);
    EXPECT_EQ(mod.codes[2], 2);
    EXPECT_EQ(mod.codes[3], 4);
    EXPECT_FLOAT_EQ(mod.first[4], 5.5f);
    EXPECT_FLOAT_EQ(mod.second[0], 6.0f);

    const Zel::TextureStage& s = P(0).renderState.stages[6];
    EXPECT_EQ(s.texCoordGen, 2u);
    EXPECT_EQ(s.flags, 0x1u | 0x2 | 0x8);
    const float sphereColour[4] = {1, 1, 0, 1};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(s.constantColour[i], sphereColour[i]) << i;
    EXPECT_EQ(s.alphaGen.codes[0], 2);
    EXPECT_FLOAT_EQ(s.alphaGen.first[0], 1.0f);  // the wave defaults
    EXPECT_EQ(P(0).vertexFlags & 0x2, 0x2u);

    EXPECT_EQ(P(0).renderState.stages[1].GetTexture(), nullptr);  // slot 1: the cube took slot 5
    EXPECT_EQ(P(0).renderState.stages[2].GetTexture(), &imageA_);
    EXPECT_EQ(P(0).renderState.stages[3].GetTexture(), &imageB_);
    EXPECT_EQ(P(0).renderState.stages[3].flags, 0u);
}

TEST_F(MaterialParserTest, RequestsRecordTwelveSlotsAndAnimations) {
    LegacyStage animated;
    animated.textureType = "TEXTURE_ANIMATION";
    animated.textures = {LegacyTexture{"f0.dds", TextureParamLine(0, 5, 7), {}},
                         LegacyTexture{"f1.dds", {}, {}}};
    LegacyStage blended;
    blended.textureType = "TEXTURE_BLEND_ANIMATION";
    blended.animFreq = "0";
    blended.textures = {LegacyTexture{"b0.dds", {}, "0.5"}, LegacyTexture{"b1.dds", {}, {}}};
    LegacyPass pass;
    for (int i = 0; i < 8; ++i) pass.stages.push_back(NamedStage("t" + std::to_string(i)));
    pass.stages.push_back(animated);  // slot 10
    pass.stages.push_back(blended);   // slot 11
    LegacyShader shader;
    shader.passes = {pass, LegacyPass{}};
    Zel::MaterialTextureRequests requests;
    ASSERT_TRUE(ParseLegacy(shader, &requests));

    ASSERT_EQ(requests.blocks.size(), 2u);
    const Zel::LegacyStageAnimBlock& block = requests.blocks[0];
    EXPECT_EQ(block[4].stage, nullptr);
    EXPECT_EQ(block[9].stage, &P(0).renderState.stages[9]);
    const Zel::LegacyStageAnimRecord& a = block[10];
    EXPECT_EQ(a.stage, &P(0).renderState.stages[10]);
    EXPECT_EQ(a.kind, 5u);
    EXPECT_FLOAT_EQ(a.frequency, 0.0f);  // no ANIM_FREQ: the frames do not advance
    EXPECT_EQ(a.frames, (std::vector<std::string>{"f0.dds", "f1.dds"}));
    EXPECT_EQ(a.stage->textureName, "f0.dds*f1.dds*");
    EXPECT_EQ(a.stage->filter, 3u);
    EXPECT_EQ(a.stage->addressV, 0u);
    EXPECT_EQ(a.stage->GetTexture(), nullptr);
    const Zel::LegacyStageAnimRecord& b = block[11];
    EXPECT_EQ(b.kind, 6u);
    ASSERT_EQ(b.blendFrames.size(), 2u);
    EXPECT_FLOAT_EQ(b.blendFrames[0].second, 0.5f);
    EXPECT_FLOAT_EQ(b.blendFrames[1].second, 0.2f);
    for (const auto& record : requests.blocks[1]) EXPECT_EQ(record.stage, nullptr);
}

TEST_F(MaterialParserTest, MaterialDialect) {
    MaterialPass first;
    first.skinning = "SW";
    first.colours = {{"Ambient", "0.1 0.2 0.3"}, {"Diffuse", "0.5 0.5 0.5"}, {"Shiness", "8"}};
    first.renderState = {
        XmlElementSpec{
            "AlphaTest", {{"Use", "1"}, {"CompareFunc", "Greater"}, {"RefVal", "2"}}, {}},
        XmlElementSpec{"Depth", {{"Write", "1"}, {"Test", "0"}, {"CompareFunc", "Less"}}, {}},
        XmlElementSpec{"Color", {{"Write", "0"}}, {}},
        XmlElementSpec{"Culling", {{"Face", "CCW"}}, {}},
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}},
    };
    const float mod[5] = {1, 2, 3, 4, 5};
    TextureEntry diffuse{"base.dds",  "Diffuse", "Clamp",
                         "Trilinear", {},        {{TcModLine(2, 1, mod), {}}}};
    TextureEntry cube{"ignored", "CubeMap", {}, {}, {}, {}};
    cube.faces = {{"PX", "px.dds"},
                  {"NX", "nx.dds"},
                  {"PY", "py.dds"},
                  {"NY", std::nullopt},
                  {"PZ", "pz.dds"}};
    TextureEntry target{"RT1", "Bump", {}, {}, {}, {}};
    TextureEntry noUsage{"x.dds", std::nullopt, {}, {}, {}, {}};
    TextureEntry unknown{"y.dds", "Emissive", {}, {}, {}, {}};
    first.textures = {diffuse, cube, target, noUsage, unknown};
    first.layout = "BINORMAL TEXCOORD1";
    first.hasLighting = true;
    first.lighting = "Bogus";
    MaterialPass second;
    second.renderState = {
        XmlElementSpec{"Blend", {{"Use", "0"}, {"Src", "One"}, {"Dst", "Zero"}}, {}}};
    second.hasVertexBuffer = false;
    second.hasLighting = true;
    LibMaterial lib;
    lib.name = "Stone";
    lib.passes = {first, second};
    ZelTest::LogCapture log;
    ASSERT_TRUE(ParseNew(lib));

    EXPECT_EQ(material_->GetName(), "Stone");
    ASSERT_EQ(material_->GetPassCount(), 2u);
    const Pass& p = P(0);
    EXPECT_EQ(p.skinningType, 0u);
    EXPECT_FLOAT_EQ(p.ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(p.ambient[3], 1.0f);
    EXPECT_FLOAT_EQ(p.diffuse[0], 0.5f);
    const Zel::RenderState& s = p.renderState;
    EXPECT_EQ(s.alphaFunc, 7u);
    EXPECT_EQ(s.alphaRef, 255u);
    EXPECT_EQ(s.depthFunc, 2u);
    EXPECT_EQ(s.colourWriteMask, 0u);
    EXPECT_EQ(s.cullMode, 2u);
    // Alpha test and blending on, depth test off, and the write cleared by blending; fog on.
    EXPECT_EQ(s.flags, 0x900u | 0x4 | 0x10 | 0x20000);
    EXPECT_EQ(P(1).renderState.flags & 0x20010, 0u);
    EXPECT_EQ(p.vertexFlags, 0x1002u | 0x20);  // "BINORMAL" also holds "NORMAL"

    const Zel::TextureStage& d = s.stages[0];
    EXPECT_EQ(d.textureName, "base.dds");
    EXPECT_EQ(d.flags, 1u);
    EXPECT_EQ(d.addressU, 2u);
    EXPECT_EQ(d.filter, 2u);
    ASSERT_EQ(d.texCoordMods.size(), 1u);
    EXPECT_EQ(d.texCoordMods[0].codes[0], 2);
    EXPECT_FLOAT_EQ(d.texCoordMods[0].second[4], 0.5f);  // no TCMODY: the wave default
    EXPECT_EQ(s.stages[5].textureName, "px.dds*nx.dds*py.dds*empty*pz.dds*empty*");
    EXPECT_EQ(s.stages[2].GetTexture(), &imageB_);
    EXPECT_EQ(s.stages[2].flags, 0u);
    EXPECT_EQ(log.Count("Missing NY Path for CubeMap"), 1);
    EXPECT_EQ(log.Count("Missing NZ Entry for CubeMap"), 1);
    EXPECT_EQ(log.Count("Missing texture file name or usage"), 1);
    EXPECT_EQ(log.Count("Unknown lighting type, Bogus"), 1);
    EXPECT_EQ(log.Count(" Can't find lighting type"), 1);
    EXPECT_EQ(log.Count("Can't find VertexBuffer Entry"), 1);
    for (std::uint32_t slot : {1u, 3u, 4u}) EXPECT_TRUE(s.stages[slot].textureName.empty());
}

TEST_F(MaterialParserTest, MaterialDialectFailures) {
    struct Row {
        LibMaterial lib;
        const char* message;
    };
    LibMaterial unnamed, noEffect, noPath;
    unnamed.name.reset();
    noEffect.hasEffect = false;
    noPath.effectPath.reset();
    const Row rows[] = {{unnamed, "MaterialParser::Parse;Can't find Material Name."},
                        {noEffect, "Can't find Effect Entry."},
                        {noPath, "Can't find Effect Name."}};
    for (const Row& row : rows) {
        ZelTest::LogCapture log;
        EXPECT_FALSE(ParseNew(row.lib)) << row.message;
        EXPECT_EQ(log.Count(row.message), 1);
    }
}

}  // namespace
