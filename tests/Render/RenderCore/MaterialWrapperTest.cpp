// The host's material wrapper and the material proxies: passes and their present stage textures,
// pinning that never gives away the manager's reference, stage replacement, the tables' one proxy
// per name, pass descriptions, and XML edits through the visitor of the material's kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Core/LogDispatch.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Interface/ITexture.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "Render/RenderCore/MaterialWrappers.h"
#include "Render/RenderSystem.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialXmlSupport.h"

namespace ZelTest {
namespace {

using Zel::Material;
using Zel::Pass;

class MaterialWrapperTest : public CoreRootTest {
protected:
    MaterialWrapperTest() {
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        Zel::SetTextureLoadFlags(0);
    }
    ~MaterialWrapperTest() override {
        Zel::SetTextureLoadFlags(savedFlags_);
        Materials().RemoveAll();
        G()->GetSceneManager()->SetRenderSystem(nullptr);
    }
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }
    Material* Registered(const char* name) {
        Material* material = Materials().CreateMaterial(name);
        Materials().Add(material);
        return material;
    }
    // rock: pass 0 holds textures in stages 0, 3 and 5 (a, b, c); pass 1 blends, with a in 2.
    Material* Rock() {
        Material* rock = Registered("rock");
        Pass& first = *rock->CreatePass(0);
        first.renderState.stages[0].SetTexture(&a_);
        first.renderState.stages[3].SetTexture(&b_);
        first.renderState.stages[5].SetTexture(&c_);
        Pass& second = *rock->CreatePass(1);
        second.renderState.flags |= Zel::RSF_ALPHA_BLEND;
        second.renderState.stages[2].SetTexture(&a_);
        return rock;
    }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
    RecordingCompiler compiler_{"../Data/Effects/none.fx"};
    Zel::RenderSystem renderSystem_;
    Zel::TextureBase a_{1, nullptr, 2};
    Zel::TextureBase b_{1, nullptr, 2};
    Zel::TextureBase c_{1, nullptr, 2};
    Zel::TextureBase d_{1, nullptr, 2};
};

TEST_F(MaterialWrapperTest, PassesAndTheirPresentStageTextures) {
    Material* rock = Rock();
    ZelI::IMaterial* wrapper = Zel::MaterialInterface(rock);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(Zel::MaterialInterface(rock), wrapper);
    EXPECT_EQ(Zel::UnwrapInterface<Material>(wrapper), rock);
    EXPECT_STREQ(wrapper->GetName(), "rock");
    EXPECT_EQ(wrapper->GetPassCount(), 2u);
    EXPECT_TRUE(wrapper->HasBlendedPass());

    struct Row {
        std::uint32_t pass, k;
        bool has;
        std::uint32_t textures;
        Zel::TextureBase* texture;
    };
    const Row rows[] = {
        {0, 0, true, 3, &a_},      {0, 1, true, 3, &b_},       {0, 2, true, 3, &c_},
        {0, 3, true, 3, nullptr},  {1, 0, true, 1, &a_},       {1, 1, true, 1, nullptr},
        {2, 0, false, 0, nullptr}, {99, 0, false, 0, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "pass " << row.pass << " k " << row.k);
        EXPECT_EQ(wrapper->HasPass(row.pass), row.has);
        EXPECT_EQ(wrapper->GetPassTextureCount(row.pass), row.textures);
        ZelI::ITexture* texture = wrapper->GetPassTexture(row.pass, row.k);
        EXPECT_EQ(Zel::UnwrapInterface<Zel::TextureBase>(texture), row.texture);
    }

    // The distinct textures, at most max of them.
    ZelI::ITexture* textures[4] = {};
    EXPECT_EQ(wrapper->CollectTextures(textures, 4), 3u);
    std::vector<Zel::TextureBase*> seen;
    for (int i = 0; i < 3; ++i) seen.push_back(Zel::UnwrapInterface<Zel::TextureBase>(textures[i]));
    std::sort(seen.begin(), seen.end());
    std::vector<Zel::TextureBase*> expected = {&a_, &b_, &c_};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(wrapper->CollectTextures(textures, 2), 2u);
    EXPECT_EQ(wrapper->CollectTextures(nullptr, 4), 0u);

    // The reserved rows keep their answers.
    EXPECT_EQ(wrapper->Reserved7(), 0);
    EXPECT_FALSE(wrapper->Reserved8());
    EXPECT_FLOAT_EQ(wrapper->Reserved21(), 1.0f);
    EXPECT_FLOAT_EQ(wrapper->Reserved23(), 0.0f);
    EXPECT_FLOAT_EQ(wrapper->Reserved26(), 1.0f);
}

TEST_F(MaterialWrapperTest, ReplacingTheSecondPresentStageChangesThatStageOnly) {
    Material* rock = Rock();
    ZelI::IMaterial* wrapper = Zel::MaterialInterface(rock);
    const int bBefore = b_.GetRefCount();
    const int dBefore = d_.GetRefCount();
    wrapper->SetPassTexture(0, 1, d_.GetInterface());
    const Zel::TextureStage* stages = rock->GetPass(0)->renderState.stages;
    EXPECT_EQ(stages[0].GetTexture(), &a_);
    EXPECT_EQ(stages[3].GetTexture(), &d_);
    EXPECT_EQ(stages[5].GetTexture(), &c_);
    EXPECT_EQ(b_.GetRefCount(), bBefore - 1);
    EXPECT_EQ(d_.GetRefCount(), dBefore + 1);

    // Without pass i or its k-th present stage nothing changes.
    wrapper->SetPassTexture(0, 3, b_.GetInterface());
    wrapper->SetPassTexture(5, 0, b_.GetInterface());
    EXPECT_EQ(b_.GetRefCount(), bBefore - 1);
    EXPECT_EQ(rock->GetPass(0)->GetTextureCount(), 3u);

    // Null clears the stage.
    wrapper->SetPassTexture(0, 1, nullptr);
    EXPECT_EQ(stages[3].GetTexture(), nullptr);
    EXPECT_EQ(d_.GetRefCount(), dBefore);
    EXPECT_EQ(rock->GetPass(0)->GetTextureCount(), 2u);
}

TEST_F(MaterialWrapperTest, UnpinNeverTakesTheManagersOwnReference) {
    Material* rock = Rock();
    ZelI::IMaterial* wrapper = Zel::MaterialInterface(rock);
    ASSERT_EQ(wrapper->GetRefCount(), 1);

    // Held by its manager alone: unpinning changes nothing and says so.
    wrapper->Unpin();
    EXPECT_EQ(wrapper->GetRefCount(), 1);
    EXPECT_TRUE(rock->IsLoaded());
    EXPECT_NE(LogText().find("IMaterial::Unpin;rock is held by its manager alone"),
              std::string::npos);

    wrapper->Pin();
    wrapper->Pin();
    EXPECT_EQ(wrapper->GetRefCount(), 3);
    wrapper->Unpin();
    EXPECT_EQ(wrapper->GetRefCount(), 2);
    EXPECT_TRUE(rock->IsLoaded());
    // Back to the manager's reference alone: the material unloads.
    wrapper->Unpin();
    EXPECT_EQ(wrapper->GetRefCount(), 1);
    EXPECT_FALSE(rock->IsLoaded());
}

TEST_F(MaterialWrapperTest, AnUnboundWrapperAnswersNothing) {
    Material* loose = Materials().CreateMaterial("loose");  // no map holds it
    loose->CreatePass(0)->renderState.stages[0].SetTexture(&a_);
    ZelI::IMaterial* wrapper = Zel::MaterialInterface(loose);
    ASSERT_TRUE(wrapper->IsValid());
    delete loose;  // the material going away unbinds its wrapper
    EXPECT_FALSE(wrapper->IsValid());
    EXPECT_STREQ(wrapper->GetName(), "");
    EXPECT_EQ(wrapper->GetPassCount(), 0u);
    EXPECT_FALSE(wrapper->HasPass(0));
    EXPECT_EQ(wrapper->GetPassTexture(0, 0), nullptr);
    EXPECT_EQ(wrapper->GetRefCount(), 0);
    EXPECT_FALSE(wrapper->HasBlendedPass());
    EXPECT_FALSE(wrapper->LoadFromXmlText("<SHADERLIB/>", "x"));
    wrapper->Pin();
    wrapper->Unpin();
    wrapper->SetPassTexture(0, 0, nullptr);
    EXPECT_EQ(Zel::MaterialInterface(nullptr), nullptr);
}

TEST_F(MaterialWrapperTest, EachCallThroughAWrapperWhosePurgedMaterialIsGoneLogsOneError) {
    // The wrapper holds no reference: a purge of unheld materials deletes what it stood for.
    ZelI::IMaterial* wrapper = Zel::MaterialInterface(Registered("rock"));
    ASSERT_TRUE(wrapper->IsValid());
    Materials().RemoveUnused();
    ASSERT_FALSE(wrapper->IsValid());
    struct Call {
        const char* operation;
        std::function<void()> call;
    };
    const Call calls[] = {
        {"GetName", [&] { EXPECT_STREQ(wrapper->GetName(), ""); }},
        {"GetPassCount", [&] { EXPECT_EQ(wrapper->GetPassCount(), 0u); }},
        {"GetPassTextureCount", [&] { EXPECT_EQ(wrapper->GetPassTextureCount(0), 0u); }},
        {"HasPass", [&] { EXPECT_FALSE(wrapper->HasPass(0)); }},
        {"GetPassTexture", [&] { EXPECT_EQ(wrapper->GetPassTexture(0, 0), nullptr); }},
        {"CollectTextures",
         [&] {
             ZelI::ITexture* textures[2] = {};
             EXPECT_EQ(wrapper->CollectTextures(textures, 2), 0u);
         }},
        {"HasBlendedPass", [&] { EXPECT_FALSE(wrapper->HasBlendedPass()); }},
        {"Pin", [&] { wrapper->Pin(); }},
        {"Unpin", [&] { wrapper->Unpin(); }},
        {"GetRefCount", [&] { EXPECT_EQ(wrapper->GetRefCount(), 0); }},
        {"SetPassTexture", [&] { wrapper->SetPassTexture(0, 0, nullptr); }},
        {"LoadFromXmlText", [&] { EXPECT_FALSE(wrapper->LoadFromXmlText("<SHADERLIB/>", "x")); }},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.operation);
        LogCapture log;
        c.call();
        EXPECT_EQ(log.CountKind(Zel::LOG_LEVEL_ERROR, ""), 1);
        EXPECT_EQ(
            log.CountKind(Zel::LOG_LEVEL_ERROR, std::string("IMaterial::") + c.operation + ":"), 1);
    }
}

TEST_F(MaterialWrapperTest, AProxysMaterialSurvivesADirectSweepOfTheMaterials) {
    Material* rock = Rock();
    ZelI::IMatProxyTable* table = Zel::NewMaterialProxyTable({rock}, 5);
    ASSERT_EQ(table->GetCount(), 1);
    Materials().RemoveAll();
    EXPECT_EQ(Materials().FindMaterial("rock", false), rock);
    // AddressSanitizer stops here on a deleted material.
    EXPECT_STREQ(table->GetAt(0)->GetName(), "rock");
    EXPECT_EQ(table->GetAt(0)->GetPassCount(), 2u);
    table->Release();
    EXPECT_EQ(rock->GetRefCount(), 1);
}

// ---- Proxies ----

class MaterialProxyTest : public MaterialWrapperTest {
protected:
    // A "SHADER" element with one lit pass, as a tool hands it over.
    static std::string ShaderText(const char* name) {
        ZelFixtures::LegacyShader shader;
        shader.name = name;
        shader.passes.emplace_back();
        return ZelFixtures::WriteXmlText(ZelFixtures::LegacyShaderElement(shader));
    }
};

TEST_F(MaterialProxyTest, ATableHoldsOneProxyPerMaterialName) {
    Material* rock = Rock();
    ZelI::IMatProxyTable* table = new Zel::IMatProxyTableImpl();
    EXPECT_EQ(table->Add(Zel::MaterialInterface(rock)), 1);
    EXPECT_EQ(rock->GetRefCount(), 2);  // the proxy's reference
    EXPECT_EQ(table->Add(Zel::MaterialInterface(rock)), 0);
    EXPECT_EQ(table->Add(nullptr), 0);
    ASSERT_EQ(table->GetCount(), 1);
    EXPECT_EQ(table->GetAt(-1), nullptr);
    EXPECT_EQ(table->GetAt(1), nullptr);
    ZelI::IMatProxy* proxy = table->GetAt(0);
    ASSERT_NE(proxy, nullptr);
    EXPECT_STREQ(proxy->GetName(), "rock");
    EXPECT_EQ(proxy->GetRefCount(), 2);

    // Another material of the same name (its library spelling) is still the same name.
    Material* other = Materials().CreateMaterial("Other");
    other->SetName("rock");
    auto* impl = static_cast<Zel::IMatProxyTableImpl*>(table);
    EXPECT_EQ(impl->Add(other, 5, nullptr), 0);
    table->Release();
    EXPECT_EQ(rock->GetRefCount(), 1);
    delete other;

    // The list form keeps the first of each name.
    Material* sand = Registered("sand");
    ZelI::IMatProxyTable* listed = Zel::NewMaterialProxyTable({rock, sand, rock, nullptr}, 5);
    ASSERT_EQ(listed->GetCount(), 2);
    EXPECT_STREQ(listed->GetAt(1)->GetName(), "sand");
    listed->Release();
}

TEST_F(MaterialProxyTest, PassDescriptionsAndTextureCountsCountNegativeAsTheLastPass) {
    Material* rock = Rock();
    Zel::RenderState& state = rock->GetPass(1)->renderState;
    state.flags = Zel::RSF_ALPHA_BLEND | Zel::RSF_DEPTH_TEST;
    state.cullMode = 3;
    state.srcBlend = 5;
    state.destBlend = 6;
    state.depthFunc = 4;
    state.alphaFunc = 7;
    state.alphaRef = 51;
    rock->GetPass(0)->vertexFlags = 0x13;
    rock->GetPass(0)->vertexProgramKind = 2;
    Material* bare = Registered("bare");  // no passes
    ZelI::IMatProxyTable* table = Zel::NewMaterialProxyTable({rock, bare}, 5);
    ZelI::IMatProxy* proxy = table->GetAt(0);
    ZelI::IMatProxy* empty = table->GetAt(1);

    ZelI::PassDescription description;
    ASSERT_EQ(proxy->GetPassDescription(-1, &description), 1);
    EXPECT_EQ(description.blending, 1);
    EXPECT_EQ(description.alphaTest, 0);
    EXPECT_EQ(description.depthTest, 1);
    EXPECT_EQ(description.depthWrite, 0);
    EXPECT_EQ(description.cullMode, 2u);
    EXPECT_EQ(description.sourceBlend, 5u);
    EXPECT_EQ(description.destinationBlend, 6u);
    EXPECT_EQ(description.depthCompare, 4u);
    EXPECT_EQ(description.alphaCompare, 7u);
    EXPECT_FLOAT_EQ(description.alphaReference, 0.2f);

    struct Row {
        ZelI::IMatProxy* proxy;
        std::int32_t pass;
        std::int32_t described;
        std::uint32_t textures;
    };
    const Row rows[] = {
        {proxy, 0, 1, 3},
        {proxy, 1, 1, 1},
        {proxy, -1, 1, 1},
        {proxy, 2, 0, 0},
        // A material without passes has no last pass.
        {empty, -1, 0, 0},
        {empty, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.proxy->GetName() << " pass " << row.pass);
        EXPECT_EQ(row.proxy->GetPassDescription(row.pass, &description), row.described);
        EXPECT_EQ(row.proxy->GetPassTextureCount(row.pass), row.textures);
    }
    EXPECT_EQ(proxy->GetPassVertexFlags(0), 0x13u);
    EXPECT_EQ(proxy->GetPassVertexWord(0), 2u);
    EXPECT_EQ(proxy->GetPassVertexFlags(-1), 0u);
    EXPECT_EQ(proxy->GetPassVertexFlags(2), 0u);
    EXPECT_EQ(proxy->GetStageTextureName(0, 12), nullptr);
    EXPECT_EQ(proxy->GetStageTextureName(0, 1), nullptr);  // stage 1 holds none
    EXPECT_EQ(proxy->GetStageTextureName(-1, 0), nullptr);
    EXPECT_EQ(proxy->ReloadTextures(), 3u);
    table->Release();
}

TEST_F(MaterialProxyTest, XmlTextReplacesTheDefinitionWithTheVisitorsPassWords) {
    Material* rock = Rock();
    rock->GetPass(0)->vertexFlags = 0x13 | 0xC000;
    rock->GetPass(0)->vertexProgramKind = 1;
    Material* skin = Registered("skin");
    skin->CreatePass(0)->vertexProgramKind = 3;

    auto* table = new Zel::IMatProxyTableImpl();
    table->Add(rock, 5, nullptr);  // a model's material: unskinned
    table->Add(skin, 1, nullptr);  // a character's: skinned, keeping its vertex program
    ZelI::IMatProxy* plain = table->GetAt(0);
    ZelI::IMatProxy* character = table->GetAt(1);

    EXPECT_EQ(plain->ApplyXmlText(ShaderText("edited").c_str()), 1);
    EXPECT_STREQ(plain->GetName(), "rock");  // the name stays
    ASSERT_EQ(plain->GetPassCount(), 1u);
    EXPECT_EQ(plain->GetPassVertexFlags(0) & 0xC000, 0u);
    EXPECT_EQ(plain->GetPassVertexWord(0), 4u);
    EXPECT_TRUE(rock->IsLoadSucceeded());
    EXPECT_EQ(compiler_.seen.count("rock"), 1u);  // its program was generated again

    EXPECT_EQ(character->ApplyXmlText(ShaderText("edited").c_str()), 1);
    ASSERT_EQ(character->GetPassCount(), 1u);
    EXPECT_EQ(character->GetPassVertexFlags(0) & 0xC000, 0xC000u);
    EXPECT_EQ(character->GetPassVertexWord(0), 3u);

    // Text without an element changes nothing.
    EXPECT_EQ(plain->ApplyXmlText("no xml here"), 0);
    EXPECT_EQ(plain->ApplyXmlText(nullptr), 0);
    EXPECT_EQ(plain->GetPassCount(), 1u);

    // Copying from another proxy takes its passes; copying from itself keeps them.
    EXPECT_EQ(character->CopyFrom(table->GetAt(0)), 1);
    EXPECT_EQ(skin->GetPassCount(), 1u);
    EXPECT_EQ(plain->CopyFrom(plain), 1);
    EXPECT_EQ(rock->GetPassCount(), 1u);
    EXPECT_EQ(plain->CopyFrom(nullptr), 0);

    EXPECT_EQ(plain->SetEditorColor(1, 0.5f, 0.25f, 1.0f), 1);
    EXPECT_FLOAT_EQ(rock->editorColourFactor[0], 0.5f);
    EXPECT_FLOAT_EQ(rock->editorColourFactor[3], 1.0f);
    table->Release();
}

}  // namespace
}  // namespace ZelTest
