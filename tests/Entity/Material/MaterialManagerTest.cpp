// The material manager's core: file kinds, create and find with their references, the default
// materials, the host's list, unloading lists, and the seven built-in materials with their pass
// states and programs (from a stub shader compiler, over real effects on the software device).
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

using Zel::Material;
using Zel::MaterialManager;

TEST(MaterialFileKind, XmlIsTestedFirstAndFoundAnywhere) {
    const std::pair<const char*, Zel::MaterialFileKind> cases[] = {
        {"lib.xml", Zel::MFK_XML},      {"LIB.XML", Zel::MFK_XML},    {"lib.xm2", Zel::MFK_XM2},
        {"lib.XM2", Zel::MFK_XM2},      {"lib.xm3", Zel::MFK_BINARY}, {"lib.XM3", Zel::MFK_BINARY},
        {"a.xml/b.xm3", Zel::MFK_XML},  {"lib.Xm3", Zel::MFK_XML},    {"lib.dds", Zel::MFK_XML},
        {"a.xm3.bak", Zel::MFK_BINARY},
    };
    for (const auto& [path, kind] : cases)
        EXPECT_EQ(MaterialManager::GetMaterialFileKind(path), kind) << path;
}

class MaterialManagerTest : public ZelTest::CoreRootTest {
protected:
    MaterialManager& Materials() { return *G()->GetMaterialManager(); }
    // A material entered into the maps, as a library reader leaves it.
    Material* Registered(const char* name) {
        Material* material = Materials().CreateMaterial(name);
        Materials().Add(material);
        return material;
    }
};

TEST_F(MaterialManagerTest, CreateRefusesTakenNamesAndEntersNothing) {
    Material* rock = Registered("Rock");
    ASSERT_NE(rock, nullptr);
    EXPECT_TRUE(rock->IsLoaded());
    EXPECT_TRUE(rock->GetLoadPath().empty());
    EXPECT_EQ(rock->GetName(), "Rock");
    EXPECT_EQ(Materials().CreateMaterial("Rock"), nullptr);
    EXPECT_EQ(Materials().CreateMaterial("rock"), nullptr);  // names are compared normalised

    Material* loose = Materials().CreateMaterial("Loose");
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(Materials().FindMaterial("Loose", false), nullptr);
    delete loose;
}

TEST_F(MaterialManagerTest, FindAddsAReferenceOnlyWhenAsked) {
    Material* rock = Registered("Rock");
    EXPECT_EQ(Materials().FindMaterial("Rock", false), rock);
    EXPECT_EQ(rock->GetRefCount(), 1);
    EXPECT_EQ(Materials().FindMaterial("Rock", true), rock);
    EXPECT_EQ(rock->GetRefCount(), 2);
    rock->DecRef();
    EXPECT_EQ(Materials().FindMaterial("Missing", true), nullptr);
}

TEST_F(MaterialManagerTest, HostListAndIndexLookups) {
    EXPECT_EQ(Materials().GetMaterialCount(), 0u);
    EXPECT_STREQ(Materials().GetMaterialName(0), "invalid name");
    Material* a = Registered("A");
    Material* b = Registered("B");
    const std::set<Material*> byIndex = {Materials().GetMaterialByIndex(0),
                                         Materials().GetMaterialByIndex(1)};
    EXPECT_EQ(byIndex, (std::set<Material*>{a, b}));
    EXPECT_EQ(Materials().GetMaterialByIndex(2), nullptr);
}

TEST_F(MaterialManagerTest, UnLoadMaterialsUnloadsWhatOnlyTheManagerHolds) {
    Material* kept = Registered("Kept");
    Material* dropped = Registered("Dropped");
    dropped->CreatePass(0);
    for (Material* m : {kept, dropped}) m->AddRef();
    kept->AddRef();  // somebody else still holds this one
    ZelTest::LogCapture log;
    Materials().UnLoadMaterials({kept, dropped});
    EXPECT_EQ(log.Count("UnLoad引用计数为1的材质:name=Dropped"), 1);
    EXPECT_EQ(log.Count("UnLoad引用计数为1的材质"), 1);
    EXPECT_FALSE(dropped->IsLoaded());
    EXPECT_EQ(dropped->GetPassCount(), 0u);
    EXPECT_TRUE(kept->IsLoaded());
    kept->DecRef();
}

TEST_F(MaterialManagerTest, BuiltinsWithoutADeviceHaveNoProgram) {
    EXPECT_EQ(Materials().GetDefaultMaterial(false), nullptr);
    Materials().CreateBuiltinMaterials();
    Materials().CreateBuiltinMaterials();  // the names are taken: nothing more is made
    EXPECT_EQ(Materials().GetTotalCount(), 8u);
    EXPECT_EQ(Materials().GetHeldList().size(), 8u);
    Material* standard = Materials().GetDefaultMaterial(false);
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(standard->GetName(), "Default");
    EXPECT_EQ(Materials().GetDefaultMaterial(false), standard);
    EXPECT_EQ(standard->GetRefCount(), 3);  // the map's, the held list's, the default reference
    EXPECT_EQ(Materials().GetDefaultMaterial(true)->GetName(), "DefaultSkeleton");
    EXPECT_EQ(standard->GetProgram(), nullptr);
    EXPECT_FALSE(standard->IsProgramReady());
}

// The built-ins over real effects: the stub compiler names an effect written from the default
// effect text.
class BuiltinMaterialTest : public ZelTest::ProgramDeviceTest {
protected:
    static constexpr const char* kStubEffect = "../Data/Effects/stub.fx";

    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        ASSERT_TRUE(Zel::RenderEffectD3D::WriteDefaultEffectFile(kStubEffect));
        G()->GetTextureManager()->SetDevice(Device().GetD3DDevice());
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    void TearDown() override {
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        ZelTest::ProgramDeviceTest::TearDown();
    }
    MaterialManager& Materials() { return *G()->GetMaterialManager(); }

    ZelTest::StubCompiler compiler_{kStubEffect};
    Zel::RenderSystem renderSystem_;
};

TEST_F(BuiltinMaterialTest, EightBuiltinsWithTheirPassStates) {
    Materials().CreateBuiltinMaterials();
    EXPECT_EQ(compiler_.calls, 8);

    struct Expect {
        const char* name;
        std::uint32_t vertexFlags, skinning, programKind, positionMode, passFlags;
        std::uint32_t stateFlags, cull, srcBlend, destBlend;
        bool texture;
        std::uint32_t envMode, filter, mods;
    };
    const Expect table[] = {
        {"Default", 0x11, 2, 4, 0, 8, 0x903, 0, 0, 1, true, 0, 1, 0},
        {"DefaultSkeleton", 0xC003, 1, 5, 0, 8, 0x903, 0, 0, 1, false, 1, 1, 0},
        {"WireFrame", 0x10005, 2, 4, 0, 8, 0x903, 0, 0, 1, false, 1, 1, 0},
        {"DrawQuad", 0x10015, 2, 4, 1, 8, 0x900, 0, 0, 1, true, 1, 2, 0},
        {"ZBlend", 0x1, 2, 4, 0, 9, 0x913, 1, 4, 0, false, 1, 1, 0},
        {"DrawUI", 0x10015, 2, 4, 0, 9, 0x900, 0, 0, 1, true, 1, 2, 1},
        {"DrawProfile", 0x10005, 2, 4, 1, 8, 0x900, 0, 0, 1, false, 1, 1, 0},
        {"Simple", 0x1, 2, 4, 0, 8, 0x903, 0, 0, 1, false, 1, 1, 0},
    };
    Zel::GpuProgram* stub = G()->GetGpuProgramManager()->LoadProgram(kStubEffect);
    ASSERT_NE(stub, nullptr);
    Zel::TextureBase* defaultTexture = G()->GetTextureManager()->GetDefaultTexture();
    for (const Expect& e : table) {
        SCOPED_TRACE(e.name);
        Material* material = Materials().FindMaterial(e.name, false);
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->flags & 7u, 0u);
        EXPECT_EQ(material->lightingMode, 0u);
        EXPECT_EQ(material->GetPerLightSlot(), 4u);
        EXPECT_EQ(material->GetLitSlot(), 12u);
        EXPECT_EQ(material->techniqueCode, 0u);
        EXPECT_EQ(material->GetProgram(), stub);
        EXPECT_TRUE(material->IsProgramReady());
        ASSERT_EQ(material->GetPassCount(), 1u);
        const Zel::Pass& pass = *material->GetPass(0);
        EXPECT_EQ(pass.libraryFlag, 1u);
        EXPECT_EQ(pass.vertexFlags, e.vertexFlags);
        EXPECT_EQ(pass.skinningType, e.skinning);
        EXPECT_EQ(pass.vertexProgramKind, e.programKind);
        EXPECT_EQ(pass.positionMode, e.positionMode);
        EXPECT_EQ(pass.passFlags, e.passFlags);
        EXPECT_EQ(pass.renderState.flags, e.stateFlags);
        EXPECT_EQ(pass.renderState.cullMode, e.cull);
        EXPECT_EQ(pass.renderState.srcBlend, e.srcBlend);
        EXPECT_EQ(pass.renderState.destBlend, e.destBlend);
        const Zel::TextureStage& stage = pass.renderState.stages[0];
        EXPECT_EQ(stage.GetTexture(), e.texture ? defaultTexture : nullptr);
        EXPECT_EQ(stage.envMode, e.envMode);
        EXPECT_EQ(stage.filter, e.filter);
        EXPECT_EQ(stage.texCoordMods.size(), e.mods);
    }
}

TEST_F(BuiltinMaterialTest, AProgramThatDoesNotLoadFallsBackToTheDefault) {
    ZelTest::StubCompiler missing("../Data/Effects/missing.fx");
    renderSystem_.SetShaderCompiler(&missing);
    Materials().CreateBuiltinMaterials();
    Zel::GpuProgram* fallback = G()->GetGpuProgramManager()->GetDefaultProgram();
    ASSERT_NE(fallback, nullptr);
    for (const char* name : {"Default", "DrawUI"}) {
        Material* material = Materials().FindMaterial(name, false);
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->GetProgram(), fallback) << name;
    }
    Material* generated = Materials().CreateMaterial("Generated");
    ZelTest::LogCapture log;
    generated->GenerateGpuProgram();
    EXPECT_EQ(generated->GetProgram(), fallback);
    EXPECT_EQ(log.Count("Material::GenerateGpuProgram Failed! Material uses default effect."), 1);
    delete generated;
}

}  // namespace
