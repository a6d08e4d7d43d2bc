// A material's life as a resource: clone names and clones, the release rule and the destructor's
// checks, reload from XML and from ".xm3", rebuilding from XML text, and the six transparent
// variants with their pass lists.
#include "Core/XMLManager.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Render/RenderSystem.h"
#include "fixtures/MaterialLibFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialXmlSupport.h"

namespace {

using Zel::Material;
using Zel::MaterialManager;
using Zel::Pass;
using namespace ZelFixtures;

class MaterialLifeTest : public ZelTest::CoreRootTest {
protected:
    MaterialLifeTest() {
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        Zel::SetTextureLoadFlags(0);
    }
    ~MaterialLifeTest() override {
        Zel::SetTextureLoadFlags(savedFlags_);
        Materials().RemoveAll();
        G()->GetSceneManager()->SetRenderSystem(nullptr);
    }
    MaterialManager& Materials() { return *G()->GetMaterialManager(); }
    Material* Registered(const char* name) {
        Material* material = Materials().CreateMaterial(name);
        Materials().Add(material);
        return material;
    }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
    ZelTest::RecordingCompiler compiler_{"../Data/Effects/none.fx"};
    Zel::TextureBase texture_{1, nullptr, 2};
    Zel::RenderSystem renderSystem_;
};

TEST_F(MaterialLifeTest, CloneNamesCountUpAndNeverStackMarkers) {
    Material* rock = Registered("rock");
    rock->CreatePass(0)->vertexFlags = 0x13;
    Material* first = rock->Clone();
    Material* second = rock->Clone();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::string prefix = "rock_$clone$_0_";
    ASSERT_EQ(first->GetName().rfind(prefix, 0), 0u) << first->GetName();
    const unsigned serial = std::stoul(first->GetName().substr(prefix.size()));
    EXPECT_EQ(second->GetName(), "rock_$clone$_1_" + std::to_string(serial + 1));
    const std::string third = first->MakeCloneName();
    EXPECT_EQ(third.find("_$clone$_"), third.rfind("_$clone$_")) << third;
    EXPECT_EQ(third.rfind("rock_$clone$_", 0), 0u);

    EXPECT_TRUE(first->IsClone());
    EXPECT_FALSE(first->IsPinned());
    EXPECT_EQ(Materials().FindMaterial(first->GetName(), false), first);
    EXPECT_EQ(first->GetRefCount(), 2);
    ASSERT_EQ(first->GetPassCount(), 1u);
    EXPECT_EQ(first->GetPass(0)->vertexFlags, 0x13u);
    first->Release();
    EXPECT_EQ(first->GetRefCount(), 1);
    EXPECT_FALSE(first->IsLoaded());
    second->Release();
}

TEST_F(MaterialLifeTest, PinnedMaterialsOnlyGetTheUnloadCheck) {
    Material* rock = Registered("rock");
    rock->CreatePass(0);
    EXPECT_TRUE(rock->IsPinned());
    rock->AddRef();
    rock->Release();
    EXPECT_EQ(rock->GetRefCount(), 2);
    EXPECT_TRUE(rock->IsLoaded());
    rock->DecRef();
    rock->Release();
    EXPECT_EQ(rock->GetRefCount(), 1);
    EXPECT_FALSE(rock->IsLoaded());
}

TEST_F(MaterialLifeTest, DestroyingAnUnreleasedCloneReportsIt) {
    Material* rock = Registered("rock");
    Material* clone = rock->Clone();
    const std::string name = clone->GetName();
    ZelTest::LogCapture log;
    Materials().RemoveAll();
    EXPECT_EQ(log.Count("WARNING : Incorrect Material RefCount[2][" + name + "]"), 1);
    EXPECT_NE(LogText().find("Cloned Material is not Properly Released"), std::string::npos);
}

TEST_F(MaterialLifeTest, RemovingAllKeepsTheBuiltInsAndTheDefaultMaterials) {
    Materials().CreateBuiltinMaterials();
    Material* plain = Materials().GetDefaultMaterial(false);
    Material* skeletal = Materials().GetDefaultMaterial(true);
    ASSERT_NE(plain, nullptr);
    Material* rock = Registered("rock");
    rock->AddRef();  // referenced or not, a library material goes
    Materials().HoldMaterial(Registered("sand"));
    const std::size_t builtins = Materials().GetHeldList().size() - 1;

    Materials().RemoveAll();
    EXPECT_EQ(Materials().FindMaterial("rock", false), nullptr);
    EXPECT_EQ(Materials().FindMaterial("sand", false), nullptr);
    EXPECT_EQ(Materials().GetHeldList().size(), builtins);
    EXPECT_EQ(Materials().FindMaterial("Default", false), plain);
    EXPECT_EQ(Materials().GetDefaultMaterial(false), plain);
    EXPECT_EQ(Materials().GetDefaultMaterial(true), skeletal);
    EXPECT_STREQ(plain->GetName().c_str(), "Default");  // alive: AddressSanitizer would stop here
}

TEST_F(MaterialLifeTest, RemovingAllSparesWhatTheEnginesPassesHoldInUse) {
    Material* rock = Registered("rock");
    Material* sand = Registered("sand");
    Registered("clay");
    std::string cloneName;
    {
        Zel::HeldMaterial plain;
        Zel::HeldMaterial clone;
        plain.Assign(rock);
        clone.AdoptClone(sand->Clone());
        ASSERT_TRUE(clone);
        cloneName = clone->GetName();
        EXPECT_EQ(rock->GetRefCount(), 2);
        EXPECT_EQ(clone->GetRefCount(), 2);
        EXPECT_TRUE(Materials().IsInUse(rock));

        ZelTest::LogCapture log;
        Materials().RemoveAll();
        // AddressSanitizer stops on either name if the sweep deleted what is held.
        EXPECT_EQ(plain->GetName(), "rock");
        EXPECT_EQ(clone->GetName(), cloneName);
        EXPECT_EQ(Materials().FindMaterial("rock", false), rock);
        EXPECT_EQ(Materials().FindMaterial(cloneName, false), clone.Get());
        EXPECT_EQ(Materials().FindMaterial("sand", false), nullptr);
        EXPECT_EQ(Materials().FindMaterial("clay", false), nullptr);
        EXPECT_EQ(log.Count("Cloned Material is not Properly Released"), 0);
        EXPECT_EQ(log.Count("Incorrect Material RefCount"), 0);

        plain.Assign(plain.Get());  // the same material: nothing changes
        EXPECT_EQ(rock->GetRefCount(), 2);
    }
    // Given back, they go with the next sweep like any library material.
    EXPECT_FALSE(Materials().IsInUse(rock));
    EXPECT_EQ(rock->GetRefCount(), 1);
    Materials().RemoveAll();
    EXPECT_EQ(Materials().FindMaterial("rock", false), nullptr);
    EXPECT_EQ(Materials().FindMaterial(cloneName, false), nullptr);
}

LegacyLibrary TwoShaders() {
    LegacyShader rock;
    rock.name = "Rock";
    rock.renderEnv = "light";
    rock.shininess = "9";
    LegacyStage stage;
    stage.textures = {LegacyTexture{"rock.dds", {}, {}}};
    rock.passes = {
        LegacyPass{{{"BLEND", BlendLine(1, "SrcAlpha", "InvSrcAlpha")}}, false, {}, {stage}},
        LegacyPass{}};
    LegacyShader plain;
    plain.name = "Plain";
    return {{plain, rock}, false};
}

TEST_F(MaterialLifeTest, ReloadFromXmlInBothDialects) {
    dir_.Write("mats/legacy.xml", WriteLegacyLibrary(TwoShaders()));
    LibMaterial stone;
    stone.name = "Stone";
    stone.passes = {MaterialPass{}, MaterialPass{}};
    dir_.Write("mats/new.xml", WriteMaterialLibrary({LibMaterial{}, stone}));
    bool ok = false;
    for (const auto& [path, name] :
         {std::pair{"mats/legacy.xml", "Rock"}, {"mats/new.xml", "Stone"}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Materials().LoadMaterialLibXml(path, ok, false, nullptr));
        Material* material = Materials().FindMaterial(name, false);
        ASSERT_NE(material, nullptr);
        const std::string before = ZelTest::Describe(*material);
        material->Unload();
        EXPECT_EQ(material->GetPassCount(), 0u);
        compiler_.seen.clear();
        material->Reload();
        EXPECT_TRUE(material->IsLoadSucceeded());
        ASSERT_EQ(material->GetPassCount(), 2u);
        EXPECT_TRUE(material->GetPass(1)->texturesLoaded);
        if (std::string(name) == "Rock") {
            // Its textures were resolved by the reload (no device: none), the rest as before.
            Pass& pass = *material->GetPass(0);
            EXPECT_EQ(pass.renderState.stages[0].flags, 0u);
            pass.renderState.stages[0].flags = 1;
            EXPECT_EQ(ZelTest::Describe(*material), before);
            EXPECT_EQ(compiler_.seen.count("Rock"), 1u);
        } else {
            EXPECT_EQ(ZelTest::Describe(*material), before);
        }
    }
}

TEST_F(MaterialLifeTest, ReloadFromBinaryReadsAtTheMaterialsOffset) {
    Xm3Library library;
    Xm3Material first, second;
    first.name = "First";
    second.name = "Second";
    second.shininess = 7.0f;
    second.passes = {Xm3Pass{}, Xm3Pass{}};
    second.passes[1].index = 1;
    second.passes[1].vertexFlags = 0x8011;
    library.materials = {first, second};
    const std::vector<std::uint8_t> bytes = WriteXm3(library);
    dir_.Write("mats/lib.xm3", std::string(bytes.begin(), bytes.end()));
    bool ok = false;
    ASSERT_TRUE(Materials().LoadBinaryMaterialLib("mats/lib.xm3", ok, false, true));
    Material* material = Materials().FindMaterial("Second", false);
    ASSERT_NE(material, nullptr);
    EXPECT_GT(material->GetLibraryOffset(), 0u);
    const std::string before = ZelTest::Describe(*material);
    material->Unload();
    material->Reload();
    EXPECT_TRUE(material->IsLoadSucceeded());
    EXPECT_EQ(ZelTest::Describe(*material), before);
    EXPECT_EQ(material->GetPass(1)->vertexFlags, 0x8011u);
    EXPECT_FLOAT_EQ(material->GetPass(1)->shininess, 7.0f);  // UpdatePasses ran
}

TEST_F(MaterialLifeTest, ReloadFromAnUnknownKindOfFileFailsAndStillResolvesTextures) {
    auto* material = dynamic_cast<Material*>(Materials().Create("Odd", "mats/odd.dds"));
    ASSERT_NE(material, nullptr);
    Zel::TextureStage& stage = material->CreatePass(0)->renderState.stages[0];
    stage.textureName = "x.dds";
    stage.flags |= Zel::TSF_TEXTURE_PENDING;
    material->Reload();
    EXPECT_TRUE(material->IsLoaded());
    EXPECT_FALSE(material->IsLoadSucceeded());
    EXPECT_NE(LogText().find("Reload Material失败: Odd"), std::string::npos);
    EXPECT_EQ(stage.flags & Zel::TSF_TEXTURE_PENDING, 0u);
}

TEST_F(MaterialLifeTest, LoadFromXmlTextUsesAPrivateTemporary) {
    Material* taken = Registered("TmpMat");  // a registered name must not get in the way
    taken->CreatePass(0);
    Material* target = Registered("target");
    target->CreatePass(0);
    target->CreatePass(1);
    LegacyLibrary library = TwoShaders();
    library.shaders[1].gloss = "4";
    const std::string text = WriteLegacyLibrary(library);
    ASSERT_TRUE(target->LoadFromXmlText(text.c_str(), "Rock"));
    EXPECT_EQ(target->GetName(), "target");
    ASSERT_EQ(target->GetPassCount(), 2u);
    EXPECT_EQ(target->GetPass(0)->renderState.stages[0].textureName, "rock.dds");
    EXPECT_FLOAT_EQ(target->GetPass(1)->shininess, 9.0f);
    EXPECT_FLOAT_EQ(target->GetPass(1)->gloss, 4.0f);
    EXPECT_EQ(target->GetPass(0)->vertexFlags & 0x2, 0x2u);  // lit: UpdatePasses ran
    EXPECT_TRUE(target->IsLoadSucceeded());
    EXPECT_EQ(compiler_.seen.count("target"), 1u);
    EXPECT_EQ(taken->GetPassCount(), 1u);
    EXPECT_EQ(Materials().GetTotalCount(), 2u);

    auto* fresh = dynamic_cast<Material*>(Materials().Create("fresh", ""));  // never loaded
    fresh->CreatePass(0);
    ASSERT_TRUE(fresh->LoadFromXmlText(text.c_str(), "Rock"));
    EXPECT_EQ(fresh->GetPassCount(), 2u);

    EXPECT_FALSE(target->LoadFromXmlText(text.c_str(), "Absent"));
    EXPECT_EQ(target->GetPassCount(), 2u);
    EXPECT_FALSE(target->LoadFromXmlText(WriteMaterialLibrary({}).c_str(), "Rock"));
    EXPECT_NE(LogText().find("材质文件格式不合法，检查SHADERLIB结点"), std::string::npos);
    EXPECT_FALSE(target->LoadFromXmlText("<SHADERLIB><SHADER", "Rock"));
}

class TransparentVariantTest : public MaterialLifeTest {
protected:
    // rock: pass 0 alpha-tests with a texture in stage 0; pass 1 plain with one in stage 3.
    Material* Rock() {
        Material* rock = Registered("rock");
        Pass& first = *rock->CreatePass(0);
        first.renderState.flags |= Zel::RSF_ALPHA_TEST;
        first.renderState.stages[0].SetTexture(&texture_);
        Pass& second = *rock->CreatePass(1);
        second.renderState.stages[3].SetTexture(&texture_);
        return rock;
    }
    static const Zel::TextureStage& Stage(const Material* m, std::uint32_t pass, std::uint32_t s) {
        return m->GetPass(pass)->renderState.stages[s];
    }
};

TEST_F(TransparentVariantTest, PassListsByKind) {
    Material* rock = Rock();
    struct PassExpect {
        std::uint32_t index, stateFlags, src, dst, cull, passFlags, mask;
        // env mode and constant alpha of the pass's textured stage (0 or 3); env 0: no texture
        std::uint32_t stage, env;
        float alpha;
    };
    struct Row {
        std::uint32_t kind;
        const char* name;
        std::vector<PassExpect> passes;
    };
    const Row rows[] = {
        {1,
         "rockBlendTrans",
         {{0, 0x913, 4, 5, 1, 8, 15, 0, 5, 0.1f}, {1, 0x913, 4, 5, 1, 8, 15, 3, 27, 0.1f}}},
        {2,
         "rockAddTrans",
         {{0, 0x913, 4, 0, 1, 8, 15, 0, 5, 0.1f}, {1, 0x913, 4, 0, 1, 8, 15, 3, 27, 0.1f}}},
        {3,
         "rockBlendTransZ",
         {{0, 0x907, 0, 1, 1, 0xA, 0, 0, 0, 0},
          {1, 0x911, 4, 5, 1, 8, 15, 0, 5, 1.0f},
          {2, 0x911, 4, 5, 1, 8, 15, 3, 27, 1.0f}}},
        {4,
         "rockAddTransZ",
         {{0, 0x907, 0, 1, 1, 0xA, 0, 0, 0, 0},
          {1, 0x911, 4, 0, 1, 8, 15, 0, 5, 0.1f},
          {2, 0x911, 4, 0, 1, 8, 15, 3, 5, 0.1f}}},
        {5,
         "rockBlendTransTwoSided",
         {{0, 0x907, 0, 1, 2, 0, 15, 0, 1, 1.0f}, {1, 0x907, 0, 1, 1, 8, 15, 0, 1, 1.0f}}},
        {6,
         "rockAddTransTwoSided",
         {{0, 0x913, 4, 0, 2, 0, 15, 0, 5, 0.1f}, {1, 0x913, 4, 0, 1, 8, 15, 0, 5, 0.1f}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Material* variant = rock->GetTransparentVariant(row.kind);
        ASSERT_NE(variant, nullptr);
        EXPECT_NE(variant, rock);
        EXPECT_EQ(rock->GetTransparentVariant(row.kind), variant);
        EXPECT_EQ(variant->GetName(), row.name);
        EXPECT_EQ(Materials().FindMaterial(row.name, false), nullptr);
        EXPECT_TRUE(variant->IsLoadSucceeded());
        EXPECT_EQ(compiler_.seen.count(row.name), 1u);
        ASSERT_EQ(variant->GetPassCount(), row.passes.size());
        for (std::uint32_t i = 0; i < row.passes.size(); ++i) {
            SCOPED_TRACE(i);
            const PassExpect& e = row.passes[i];
            const Pass& pass = *variant->GetPass(i);
            EXPECT_EQ(pass.passIndex, e.index);
            EXPECT_EQ(pass.renderState.flags, e.stateFlags);
            EXPECT_EQ(pass.renderState.srcBlend, e.src);
            EXPECT_EQ(pass.renderState.destBlend, e.dst);
            EXPECT_EQ(pass.renderState.cullMode, e.cull);
            EXPECT_EQ(pass.passFlags, e.passFlags);
            EXPECT_EQ(pass.renderState.colourWriteMask, e.mask);
            const Zel::TextureStage& stage = Stage(variant, i, e.stage);
            if (e.env == 0) {
                EXPECT_EQ(pass.GetTextureCount(), 0u);
                continue;
            }
            EXPECT_EQ(stage.GetTexture(), &texture_);
            EXPECT_EQ(stage.envMode, e.env);
            EXPECT_FLOAT_EQ(stage.constantColour[3], e.alpha);
            if (e.env != 1) {
                EXPECT_EQ(stage.flags & Zel::TSF_CONST_ALPHA, std::uint32_t(Zel::TSF_CONST_ALPHA));
            }
        }
    }
    // The source is untouched, and unloading it destroys its variants.
    EXPECT_EQ(Stage(rock, 0, 0).envMode, 1u);
    EXPECT_EQ(rock->GetPass(0)->renderState.flags, 0x907u);
    rock->Unload();
    for (std::uint32_t kind = 1; kind < 7; ++kind) EXPECT_EQ(rock->GetVariant(kind), nullptr);
}

TEST_F(TransparentVariantTest, KindZeroAlreadyBlendedSourcesAndBadKinds) {
    Material* rock = Rock();
    EXPECT_EQ(rock->GetTransparentVariant(0), rock);
    ZelTest::LogCapture log;
    EXPECT_EQ(rock->GetTransparentVariant(7), nullptr);
    EXPECT_EQ(rock->GetTransparentVariant(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(log.Count("Material::GetTransparentVariant"), 2);

    Material* glass = Registered("glass");
    Zel::RenderState& state = glass->CreatePass(0)->renderState;
    state.flags |= Zel::RSF_ALPHA_BLEND;
    state.srcBlend = 4;
    state.destBlend = 5;
    EXPECT_EQ(glass->GetTransparentVariant(1), glass);
    EXPECT_NE(glass->GetTransparentVariant(2), glass);
    state.destBlend = 0;
    Material* glow = Registered("glow");
    glow->CreatePass(0)->renderState = state;
    EXPECT_EQ(glow->GetTransparentVariant(2), glow);
    glass->Unload();  // the self entry is not deleted
    EXPECT_EQ(glass->GetVariant(0), glass);
}

}  // namespace
