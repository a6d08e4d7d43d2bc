// Materials, passes, render states and texture stages: defaults, the setters that walk the
// passes, copies with their references, the output-format pairs, the vertex flags per drawing
// path, and the shader parameter table.
#include <set>

#include "Core/ErrorReport.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Material/ShaderParamTable.h"
#include "Entity/Texture/TextureBase.h"
#include "Platform/Win32/Win32.h"
#include "Render/RenderSystem.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"

namespace {

using Zel::Material;
using Zel::Pass;

class MaterialTest : public ZelTest::CoreRootTest {
protected:
    // A texture of no device, held by the test only.
    Zel::TextureBase* Texture() {
        textures_.push_back(std::make_unique<Zel::TextureBase>(1, nullptr, 2));
        return textures_.back().get();
    }
    ~MaterialTest() override {
        for (auto& texture : textures_) EXPECT_EQ(texture->GetRefCount(), 1);
    }
    std::vector<std::unique_ptr<Zel::TextureBase>> textures_;
};

TEST_F(MaterialTest, NewMaterialAndPassDefaults) {
    Material material(nullptr, "Rock", "Material", 0);
    EXPECT_EQ(material.GetVariant(0), &material);
    for (std::uint32_t kind = 1; kind < Material::kVariantCount; ++kind)
        EXPECT_EQ(material.GetVariant(kind), nullptr);
    EXPECT_EQ(material.GetPassCount(), 0u);
    EXPECT_EQ(material.GetSortKey(), 100);
    EXPECT_FALSE(material.HasBlendedPass());
    EXPECT_FALSE(material.HasAlphaTestedPass());
    EXPECT_EQ(material.GetSize(), 316u);
    EXPECT_EQ(material.GetName(), "Rock");
    EXPECT_EQ(material.lightingMode, 1u);
    EXPECT_EQ(material.GetPerLightSlot(), 4u);
    EXPECT_EQ(material.GetUnlitSlot(), 0u);
    EXPECT_EQ(material.GetLitSlot(), 12u);
    EXPECT_EQ(material.GetPixelShaderProfile(), 20u);

    Pass* pass = material.CreatePass(0);
    material.CreatePass(1);
    EXPECT_EQ(material.GetSize(), 316u + 2 * 2624u);
    EXPECT_EQ(pass->GetOwner(), &material);
    EXPECT_EQ(pass->sortKey, 100);
    EXPECT_EQ(pass->skinningType, 2u);
    EXPECT_EQ(pass->vertexProgramKind, 4u);
    EXPECT_EQ(pass->passFlags, 8u);
    EXPECT_FLOAT_EQ(pass->ambient[3], 0.0f);
    EXPECT_FLOAT_EQ(pass->diffuse[0], 1.0f);

    const Zel::RenderState& state = pass->renderState;
    EXPECT_EQ(state.flags, 0x903u);
    EXPECT_EQ(state.depthFunc, 3u);
    EXPECT_EQ(state.alphaFunc, 6u);
    EXPECT_EQ(state.stencilFunc, 6u);
    EXPECT_EQ(state.srcBlend, 0u);
    EXPECT_EQ(state.destBlend, 1u);
    EXPECT_EQ(state.cullMode, 1u);
    EXPECT_EQ(state.alphaRef, 128u);
    EXPECT_EQ(state.colourWriteMask, 15u);
    for (std::uint32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(state.stages[i].stageSlot, i);
        EXPECT_EQ(state.stages[i].envMode, 1u);
        EXPECT_EQ(state.stages[i].alphaGenChannel, 1u);
        EXPECT_FLOAT_EQ(state.stages[i].colourGen.first[4], 0.5f);
    }
}

TEST_F(MaterialTest, GetPassPastTheEndLogsAndAnswersNull) {
    Material material(nullptr, "m", "Material", 0);
    material.CreatePass(0);
    ZelTest::LogCapture log;
    EXPECT_NE(material.GetPass(0), nullptr);
    EXPECT_EQ(material.GetPass(1), nullptr);
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "index==1,GetPassCount():1"), 1);
}

TEST_F(MaterialTest, SettersWalkEveryPass) {
    Material material(nullptr, "m", "Material", 0);
    material.CreatePass(0);
    material.CreatePass(1);
    material.SetGloss(2.0f);
    material.SetSpecularColor(0.1f, 0.2f, 0.3f, 0.4f);
    for (Pass* pass : material.GetPasses()) {
        EXPECT_FLOAT_EQ(pass->gloss, 2.0f);
        EXPECT_FLOAT_EQ(pass->shininess, 64.0f);
        EXPECT_FLOAT_EQ(pass->specular[2], 0.3f);
    }
    material.SetShininess(8.0f);
    for (Pass* pass : material.GetPasses()) {
        EXPECT_FLOAT_EQ(pass->shininess, 8.0f);
        EXPECT_FLOAT_EQ(pass->gloss, 2.0f);
    }
    EXPECT_FLOAT_EQ(material.gloss, 2.0f);
    EXPECT_FLOAT_EQ(material.shininess, 8.0f);
    EXPECT_FLOAT_EQ(material.specular[3], 0.4f);
}

TEST_F(MaterialTest, UpdatePassesMarksFloorAndLitPasses) {
    Material floor(nullptr, "stone_floor_01", "Material", 0);
    floor.flags = Zel::MF_LIT;
    floor.shininess = 5.0f;
    floor.gloss = 0.5f;
    floor.CreatePass(0)->vertexFlags = 0x11;
    floor.UpdatePasses();
    EXPECT_EQ(floor.flags, Zel::MF_LIT | Zel::MF_FLOOR);
    EXPECT_EQ(floor.GetPass(0)->vertexFlags, 0x13u);
    EXPECT_FLOAT_EQ(floor.GetPass(0)->shininess, 5.0f);
    EXPECT_FLOAT_EQ(floor.GetPass(0)->gloss, 0.5f);

    Material wall(nullptr, "wall", "Material", 0);
    wall.CreatePass(0)->vertexFlags = 0x11;
    wall.UpdatePasses();
    EXPECT_EQ(wall.flags, 0u);
    EXPECT_EQ(wall.GetPass(0)->vertexFlags, 0x11u);
}

TEST_F(MaterialTest, CopyToCopiesPassesAndTakesTheProgram) {
    ZelTest::FakeProgram program(nullptr, "fx", Zel::MP_DEFAULT);
    Material source(nullptr, "src", "Material", 0);
    source.SetProgram(&program);
    source.techniqueCode = 5;
    source.gloss = 3.0f;
    Pass* second = source.CreatePass(0);
    source.CreatePass(7)->sortKey = 3;
    second->renderState.stages[2].SetTexture(Texture());
    second->vertexFlags = 0x13;
    EXPECT_EQ(program.GetRefCount(), 2);

    Material target(nullptr, "dst", "Material", 0);
    source.CopyTo(target);
    EXPECT_EQ(program.GetRefCount(), 3);
    ASSERT_EQ(target.GetPassCount(), 2u);
    EXPECT_EQ(target.GetPass(0)->passIndex, 0u);
    EXPECT_EQ(target.GetPass(1)->passIndex, 7u);
    EXPECT_EQ(target.GetPass(1)->sortKey, 100);  // sort keys are not copied
    EXPECT_EQ(target.GetPass(0)->vertexFlags, 0x13u);
    EXPECT_EQ(target.GetPass(0)->GetStageTexture(2), second->GetStageTexture(2));
    EXPECT_EQ(target.techniqueCode, 5u);
    EXPECT_FLOAT_EQ(target.gloss, 1.0f);  // gloss is not copied
    EXPECT_EQ(target.GetName(), "dst");
    EXPECT_EQ(second->GetStageTexture(2)->GetRefCount(), 3);
    target.SetProgram(nullptr);
    source.SetProgram(nullptr);
    EXPECT_EQ(program.GetRefCount(), 1);
}

TEST_F(MaterialTest, TextureStageAssignmentMovesTheReference) {
    Zel::TextureStage a, b;
    Zel::TextureBase* first = Texture();
    Zel::TextureBase* second = Texture();
    a.SetTexture(first);
    a.textureName = "a.dds";
    a.texCoordMods.emplace_back();
    b.SetTexture(second);
    b = a;
    EXPECT_EQ(b.GetTexture(), first);
    EXPECT_EQ(first->GetRefCount(), 3);
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_TRUE(b.HasTexCoordMods());
    EXPECT_EQ(b.textureName, "a.dds");
    Zel::TextureStage& same = b;
    b = same;  // self-assignment keeps the reference
    EXPECT_EQ(first->GetRefCount(), 3);
    a.Reset();
    EXPECT_EQ(a.GetTexture(), nullptr);
    EXPECT_TRUE(a.textureName.empty());
}

TEST_F(MaterialTest, ExportTextureStagesListsStagesWithTextures) {
    Material material(nullptr, "m", "Material", 0);
    Pass* pass = material.CreatePass(0);
    pass->renderState.stages[0].SetTexture(Texture());
    pass->renderState.stages[3].SetTexture(Texture());
    pass->renderState.stages[3].envMode = 27;
    pass->renderState.stages[3].texCoordGen = Zel::TCG_SPHERE_MAP;
    pass->renderState.stages[3].texCoordMods.emplace_back();
    std::vector<Zel::StageExport> records;
    pass->ExportTextureStages(records);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].stageSlot, 0u);
    EXPECT_EQ(records[0].hasTexCoordMods, 0u);
    EXPECT_EQ(records[1].stageSlot, 3u);
    EXPECT_EQ(records[1].envMode, 27u);
    EXPECT_EQ(records[1].texCoordGen, 2u);
    EXPECT_EQ(records[1].hasTexCoordMods, 1u);
    EXPECT_EQ(pass->GetTextureCount(), 2u);

    std::set<Zel::TextureBase*> collected;
    material.CreatePass(1)->renderState.stages[5].SetTexture(pass->GetStageTexture(0));
    material.CollectTextures(collected);
    EXPECT_EQ(collected.size(), 2u);
    material.GetPass(0)->renderState.ReleaseTextures();
    EXPECT_EQ(material.GetPass(0)->GetTextureCount(), 0u);
}

TEST_F(MaterialTest, OutputFormatPairsBlendedAndUnblendedCodes) {
    struct Case {
        std::uint32_t code, blended, unblended;
    };
    const Case cases[] = {{0, 2, 0},    {2, 2, 0},    {1, 3, 1},    {3, 3, 1},    {4, 6, 4},
                          {7, 7, 5},    {8, 10, 8},   {11, 11, 9},  {12, 14, 12}, {15, 15, 13},
                          {16, 18, 16}, {19, 19, 17}, {20, 20, 20}, {99, 99, 99}};
    Material material(nullptr, "m", "Material", 0);
    Pass* pass = material.CreatePass(0);
    for (const Case& c : cases) {
        material.techniqueCode = c.code;
        pass->renderState.flags |= Zel::RSF_ALPHA_BLEND;
        EXPECT_EQ(pass->GetOutputFormat(), c.blended) << c.code;
        pass->renderState.flags &= ~std::uint32_t(Zel::RSF_ALPHA_BLEND);
        EXPECT_EQ(pass->GetOutputFormat(), c.unblended) << c.code;
    }
}

TEST_F(MaterialTest, VertexFlagsFollowTheDrawingPath) {
    Material material(nullptr, "m", "Material", 0);
    Pass* pass = material.CreatePass(0);
    pass->vertexFlags = 0x3F01F;  // position, normal, both colour forms, uv0, tangent frame, skin
    EXPECT_EQ(pass->GetVertexFlags(), 0x30013u);  // fixed-function: no render system yet
    Zel::RenderSystem renderSystem;
    G()->GetSceneManager()->SetRenderSystem(&renderSystem);
    EXPECT_EQ(pass->GetVertexFlags(), 0xF01Fu);
    G()->GetSceneManager()->SetRenderSystem(nullptr);
}

TEST_F(MaterialTest, SmallOperations) {
    const std::pair<const char*, bool> names[] = {{"DEFINE_TEXTURE_MAT_01", true},
                                                  {"define_texture_mat", true},
                                                  {"xdefine_texture_mat", false},
                                                  {"define_texture", false}};
    for (const auto& [name, expected] : names)
        EXPECT_EQ(Material(nullptr, name, "Material", 0).IsDefineTextureMaterial(), expected)
            << name;

    Material material(nullptr, "m", "Material", 0);
    material.SetDiffuseColor(0x80FF4000);
    EXPECT_FLOAT_EQ(material.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(material.diffuse[1], 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(material.diffuse[2], 0.0f);
    EXPECT_FLOAT_EQ(material.diffuse[3], 128.0f / 255.0f);
    material.SetDiffuseColor(0);
    EXPECT_FLOAT_EQ(material.diffuse[2], 1.0f);

    material.SetEditorColorFactor(true, 0.1f, 0.2f, 0.3f);
    EXPECT_FLOAT_EQ(material.editorColourFactor[3], 1.0f);
    material.SetEditorColorFactor(false, 0.1f, 0.2f, 0.3f);
    EXPECT_FLOAT_EQ(material.editorColourFactor[0], 0.0f);

    Pass* pass = material.CreatePass(0);
    pass->sortKey = 7;
    pass->renderState.flags |= Zel::RSF_ALPHA_TEST;
    EXPECT_EQ(material.GetSortKey(), 7);
    EXPECT_TRUE(material.HasAlphaTestedPass());
    EXPECT_FALSE(material.HasBlendedPass());
    EXPECT_FALSE(material.IsProgramReady());
}

TEST_F(MaterialTest, EditorPassIsRemovedOnlyFromTheList) {
    Material material(nullptr, "m", "Material", 0);
    material.CreatePass(0);
    material.SetEditorPass(new Pass(&material, 1));
    EXPECT_EQ(material.GetPassCount(), 2u);
    material.RemoveEditorPass();
    EXPECT_EQ(material.GetPassCount(), 1u);
    EXPECT_EQ(material.GetEditorPass(), nullptr);
}

TEST_F(MaterialTest, VertexColourLightBlendNeedsNormalAndColour) {
    static std::vector<std::string> boxes;
    boxes.clear();
    const MessageBoxSink previous = SetMessageBoxSink([](HWND, LPCSTR text, LPCSTR, UINT) {
        boxes.emplace_back(text);
        return IDOK;
    });
    Material material(nullptr, "Blend", "Material", 0);
    material.CheckVertexColorLightBlend();  // no pass: nothing to check
    Pass* pass = material.CreatePass(0);
    pass->vertexFlags = 0x3;
    material.CheckVertexColorLightBlend();  // lighting mode 1: not asked
    material.lightingMode = 2;
    material.CheckVertexColorLightBlend();
    pass->vertexFlags = 0x7;
    material.CheckVertexColorLightBlend();
    SetMessageBoxSink(previous);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "顶点色和光照混合模式必须有Normal和顶点色,Mat=Blend");
}

TEST(ShaderParamTable, EntriesPerNameAndMap) {
    Zel::ShaderParamTable table;
    table.SetFloat("g_fTime", 1.0f);
    table.SetFloat("g_fTime", 2.0f);
    table.SetVector4("g_fTime", 1, 2, 3, 4);
    table.SetVector4("g_vec", 1, 2, 3, 4);
    table.SetVector2("g_vec", 5, 6);
    ASSERT_EQ(table.GetFloats().size(), 1u);
    EXPECT_FLOAT_EQ(table.GetFloats().at("g_fTime"), 2.0f);
    ASSERT_EQ(table.GetVectors().size(), 2u);
    const auto& vec = table.GetVectors().at("g_vec");
    EXPECT_EQ(vec.count, 2u);
    EXPECT_FLOAT_EQ(vec.values[1], 6.0f);
    EXPECT_FLOAT_EQ(vec.values[2], 0.0f);
    EXPECT_FLOAT_EQ(vec.values[3], 0.0f);
    table.Clear();
    EXPECT_TRUE(table.GetFloats().empty());
    EXPECT_TRUE(table.GetVectors().empty());
}

}  // namespace
