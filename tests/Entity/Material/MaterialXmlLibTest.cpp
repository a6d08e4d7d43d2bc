// The material manager's XML roads over libraries made by the fixture writer: the direct road and
// the split road (queued mode) make identical materials and effect keys in both dialects; a
// second load of a library lists its materials again; the split road leaves pending stages
// pending and bound stages bound; the binary sibling; failures and duplicates.
#include <algorithm>

#include "Core/GlobalConfigManager.h"
#include "Core/QueueMode.h"
#include "Core/XMLManager.h"
#include "Entity/Material/MaterialLibLoadContext.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "fixtures/MaterialLibFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"
#include "tests/Entity/Material/MaterialXmlSupport.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

using Zel::Material;
using Zel::MaterialManager;
using namespace ZelFixtures;

LegacyStage Stage(const std::string& name, const std::string& type = "TEXTURE_2D") {
    LegacyStage stage;
    stage.textureType = type;
    stage.textures = {LegacyTexture{name, {}, {}}};
    return stage;
}

LegacyLibrary RichLegacyLibrary() {
    LegacyShader lit;
    lit.name = "Lit";
    lit.renderEnv = "light";
    lit.shaderType = "light";
    lit.shininess = "20";
    LegacyPass pass;
    pass.attributes = {{"USE_TEXCOORD", "yes"}, {"BLEND", BlendLine(1, "SrcAlpha", "One")}};
    LegacyStage animated = Stage("f0.dds", "TEXTURE_ANIMATION");
    animated.animFreq = "0";
    pass.stages = {Stage("base.dds"), Stage("", "TEXTURE_RENDER_IMAGE1"), animated};
    lit.passes = {pass, LegacyPass{{{"ZSORT", "1"}}, false, {}, {Stage("second.dds")}}};

    LegacyShader floor;
    floor.name = "floor_tile";
    floor.gloss = "3";
    floor.shininess = "12";
    floor.shaderType = "bone";
    floor.passes = {LegacyPass{{{"ALPHA", AlphaLine(1, "GREATER", 0.5f)}}, true, {}, {}}};
    return {{lit, floor}, true};
}

std::vector<LibMaterial> RichMaterialLibrary() {
    LibMaterial stone;
    stone.name = "Stone";
    MaterialPass pass;
    pass.renderState = {
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}}};
    pass.textures = {TextureEntry{"stone.dds", "Diffuse", "Wrap", "Bilinear", {}, {}},
                     TextureEntry{"RT0", "LightMap", {}, {}, {}, {}}};
    stone.passes = {pass};
    LibMaterial plain;
    plain.name = "Plain";
    plain.passes = {MaterialPass{}};
    return {stone, plain};
}

class MaterialXmlLibTest : public ZelTest::CoreRootTest {
protected:
    MaterialXmlLibTest() {
        renderSystem_.SetShaderCompiler(&compiler_);
        renderSystem_.SetRenderImage(0, &image_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        Zel::SetTextureLoadFlags(0);
    }
    ~MaterialXmlLibTest() override {
        Zel::SetQueueMode(0);
        Zel::SetTextureLoadFlags(savedFlags_);
        Materials().RemoveAll();
        G()->GetSceneManager()->SetRenderSystem(nullptr);
    }

    MaterialManager& Materials() { return *G()->GetMaterialManager(); }

    // Loads the library on the road the queue mode picks; answers every listed material's
    // description with its load path, in list order.
    std::string LoadAndDescribe(const std::string& path, bool queued) {
        Zel::SetQueueMode(queued ? 1 : 0);
        bool ok = false;
        std::vector<Material*> out;
        EXPECT_TRUE(Materials().LoadMaterialLib(path, ok, &out, true));
        EXPECT_TRUE(ok);
        Zel::SetQueueMode(0);
        EXPECT_EQ(out, Materials().GetLastLibraryList());
        std::string text;
        for (Material* m : Materials().GetLastLibraryList())
            text += ZelTest::Describe(*m) + " path=" + m->GetLoadPath() +
                    " refs=" + std::to_string(m->GetRefCount()) +
                    " loaded=" + std::to_string(m->IsLoadSucceeded()) + "\n";
        return text;
    }
    // Forgets every material and document, so that the next load starts afresh.
    void Forget() {
        Materials().RemoveAll();
        G()->GetXMLManager()->RemoveAll();
        compiler_.seen.clear();
    }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
    ZelTest::RecordingCompiler compiler_{"../Data/Effects/none.fx"};
    Zel::TextureBase image_{1, nullptr, 2};
    Zel::RenderSystem renderSystem_;
};

TEST_F(MaterialXmlLibTest, DirectAndSplitRoadsMakeTheSameMaterials) {
    dir_.Write("mats/legacy.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    dir_.Write("mats/new.xml", WriteMaterialLibrary(RichMaterialLibrary()));
    for (std::uint32_t flags : {0u, std::uint32_t(Zel::TEXTURE_LOAD_IMMEDIATE)}) {
        for (const char* path : {"mats/legacy.xml", "mats/new.xml"}) {
            SCOPED_TRACE(std::string(path) + (flags ? " immediate" : " deferred"));
            Zel::SetTextureLoadFlags(flags);
            const std::string direct = LoadAndDescribe(path, false);
            EXPECT_EQ(std::count(direct.begin(), direct.end(), '\n'),
                      15 + (path[5] == 'l' ? 28 : 15));
            const auto directKeys = compiler_.seen;
            Forget();
            const std::string split = LoadAndDescribe(path, true);
            EXPECT_EQ(direct, split);
            EXPECT_EQ(directKeys, compiler_.seen);
            Forget();
        }
    }
}

TEST_F(MaterialXmlLibTest, ProgramsAreGeneratedAfterUpdatePasses) {
    dir_.Write("mats/legacy.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    for (bool queued : {false, true}) {
        LoadAndDescribe("mats/legacy.xml", queued);
        const std::string& key = compiler_.seen["floor_tile"];
        EXPECT_NE(key.find("floor_tile flags=1 "), std::string::npos) << key;
        EXPECT_NE(key.find("shin=12 gloss=3 cull"), std::string::npos) << key;
        EXPECT_NE(compiler_.seen["Lit"].find(" vf=13 "), std::string::npos);  // lit: normals
        Forget();
    }
}

TEST_F(MaterialXmlLibTest, ASecondLoadListsTheLibrarysMaterialsAgain) {
    dir_.Write("mats/legacy.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    for (bool queued : {false, true}) {
        Zel::SetQueueMode(queued);
        bool ok = false;
        std::vector<Material*> first, second;
        ASSERT_TRUE(Materials().LoadMaterialLib("mats/legacy.xml", ok, &first, true));
        ZelTest::LogCapture log;
        ok = false;
        EXPECT_TRUE(Materials().LoadMaterialLib("mats/legacy.xml", ok, &second, true));
        EXPECT_TRUE(ok);
        EXPECT_EQ(second, first);
        EXPECT_EQ(Materials().GetLastLibraryList(), first);
        ASSERT_EQ(first.size(), 2u);
        EXPECT_EQ(first[0]->GetRefCount(), 3);  // the map's and one per hold
        EXPECT_EQ(LogText().find("同名"), std::string::npos);
        Materials().UnLoadMaterials(second);
        Materials().UnLoadMaterials(first);
        EXPECT_FALSE(first[0]->IsLoaded());
        Forget();
    }
}

TEST_F(MaterialXmlLibTest, SplitRoadLeavesPendingStagesPendingAndBoundStagesBound) {
    dir_.Write("mats/legacy.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    Zel::SetQueueMode(1);
    bool ok = false;
    Materials().LoadMaterialLib("mats/legacy.xml", ok, nullptr, false);
    Material* lit = Materials().FindMaterial("Lit", false);
    ASSERT_NE(lit, nullptr);
    const Zel::RenderState& state = lit->GetPass(0)->renderState;
    EXPECT_EQ(state.stages[0].textureName, "base.dds");
    EXPECT_EQ(state.stages[0].flags & Zel::TSF_TEXTURE_PENDING, 1u);
    EXPECT_EQ(state.stages[1].GetTexture(), &image_);
    EXPECT_EQ(state.stages[1].flags & Zel::TSF_TEXTURE_PENDING, 0u);
    EXPECT_EQ(state.stages[2].flags & Zel::TSF_TEXTURE_PENDING, 0u);  // the animation is made
    EXPECT_EQ(Materials().GetHeldList().size(), 0u);
    EXPECT_EQ(lit->GetRefCount(), 1);
}

TEST_F(MaterialXmlLibTest, PreferredBinarySiblingIsReadInstead) {
    Xm3Library binary;
    Xm3Material rock;
    rock.name = "Rock";
    binary.materials = {rock};
    const std::vector<std::uint8_t> bytes = WriteXm3(binary);
    dir_.Write("mats/lib.xm3", std::string(bytes.begin(), bytes.end()));
    dir_.Write("mats/lib.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    G()->GetConfigManager()->SetPreferBinaryFiles(true);
    Zel::MaterialLibLoadContext context;
    context.document = std::make_unique<Zel::TiXmlDocument>();
    bool ok = false;
    EXPECT_TRUE(Materials().OpenMaterialLib("mats/lib.xml", ok, context, false));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(context.shaders.empty());
    EXPECT_NE(Materials().FindMaterial("Rock", false), nullptr);

    // Without the preference an ".xm2" path reads the ".xml" of the same name.
    G()->GetConfigManager()->SetPreferBinaryFiles(false);
    Zel::MaterialLibLoadContext xml;
    xml.document = std::make_unique<Zel::TiXmlDocument>();
    EXPECT_TRUE(Materials().OpenMaterialLib("mats/lib.xm2", ok, xml, false));
    EXPECT_EQ(xml.path, "mats/lib.xml");
    EXPECT_EQ(xml.shaders.size(), 2u);
}

TEST_F(MaterialXmlLibTest, LibrariesThatDoNotLoad) {
    bool ok = true;
    {
        ZelTest::LogCapture log;
        EXPECT_FALSE(Materials().LoadMaterialLibXml("mats/missing.xml", ok, false, nullptr));
        EXPECT_FALSE(ok);
        EXPECT_EQ(log.Count("无法打开Material文件"), 1);
    }
    // The failed document is not remembered: once the file exists it loads.
    dir_.Write("mats/missing.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    EXPECT_TRUE(Materials().LoadMaterialLibXml("mats/missing.xml", ok, false, nullptr));
    EXPECT_EQ(Materials().GetMaterialCount(), 2u);

    dir_.Write("mats/other.xml", WriteXmlText(XmlElementSpec{"Library", {}, {}}));
    EXPECT_FALSE(Materials().LoadMaterialLibXml("mats/other.xml", ok, false, nullptr));
    EXPECT_NE(LogText().find("材质 mats/other.xml 缺少MaterialLib节点 "), std::string::npos);
    EXPECT_EQ(Materials().GetMaterialCount(), 0u);

    Zel::SetQueueMode(1);
    EXPECT_FALSE(Materials().LoadMaterialLib("mats/absent.xml", ok, nullptr, false));
    EXPECT_NE(LogText().find("文件读取失败，fn=mats/absent.xml"), std::string::npos);
    ZelTest::LogCapture log;
    dir_.Write("mats/empty.xml", WriteLegacyLibrary(LegacyLibrary{}));
    EXPECT_TRUE(Materials().LoadMaterialLib("mats/empty.xml", ok, nullptr, false));
    EXPECT_EQ(log.Count("材质mats/empty.xml缺少MaterialLib节点"), 1);
}

TEST_F(MaterialXmlLibTest, ANameFromAnotherLibraryIsReportedAndKept) {
    LegacyLibrary first = RichLegacyLibrary();
    dir_.Write("mats/a.xml", WriteLegacyLibrary(first));
    first.shaders[0].shininess = "99";
    dir_.Write("mats/b.xml", WriteLegacyLibrary(first));
    bool ok = false;
    Materials().LoadMaterialLibXml("mats/a.xml", ok, false, nullptr);
    Material* lit = Materials().FindMaterial("Lit", false);
    Materials().LoadMaterialLibXml("mats/b.xml", ok, false, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_NE(LogText().find("材质球同名错误!\nmats/b.xml\nmats/a.xml\n同名material[Lit]"),
              std::string::npos);
    EXPECT_EQ(Materials().FindMaterial("Lit", false), lit);
    EXPECT_FLOAT_EQ(lit->shininess, 20.0f);
    EXPECT_EQ(Materials().GetLastLibraryList().front(), lit);
}

// Over real effects on the software device: "Material" elements bind the effect their path
// names (the default program when it does not load), "SHADER" elements the generated one, on
// both roads.
class MaterialXmlProgramTest : public ZelTest::ProgramDeviceTest {
protected:
    static constexpr const char* kStubEffect = "../Data/Effects/stub.fx";
    static constexpr const char* kStoneEffect = "../Data/Effects/stone.fx";

    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        ASSERT_TRUE(Zel::RenderEffectD3D::WriteDefaultEffectFile(kStubEffect));
        ASSERT_TRUE(Zel::RenderEffectD3D::WriteDefaultEffectFile(kStoneEffect));
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    void TearDown() override {
        Zel::SetQueueMode(0);
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        ZelTest::ProgramDeviceTest::TearDown();
    }
    Zel::GpuProgram* ProgramOf(const char* name) {
        Material* material = G()->GetMaterialManager()->FindMaterial(name, false);
        return material ? material->GetProgram() : nullptr;
    }

    ZelTest::StubCompiler compiler_{kStubEffect};
    Zel::RenderSystem renderSystem_;
};

TEST_F(MaterialXmlProgramTest, EffectPathsAndGeneratedProgramsOnBothRoads) {
    std::vector<LibMaterial> materials = RichMaterialLibrary();
    materials[0].effectPath = kStoneEffect;
    materials[1].effectPath = "../Data/Effects/missing.fx";
    dir_.Write("Data/mats/new.xml", WriteMaterialLibrary(materials));
    dir_.Write("Data/mats/legacy.xml", WriteLegacyLibrary(RichLegacyLibrary()));
    Zel::GpuProgram* stone = Programs().LoadProgram(kStoneEffect);
    Zel::GpuProgram* stub = Programs().LoadProgram(kStubEffect);
    Zel::GpuProgram* fallback = Programs().GetDefaultProgram();
    ASSERT_TRUE(stone && stub && fallback);
    for (bool queued : {false, true}) {
        SCOPED_TRACE(queued ? "split" : "direct");
        Zel::SetQueueMode(queued);
        bool ok = false;
        for (const char* path : {"../Data/mats/new.xml", "../Data/mats/legacy.xml"})
            ASSERT_TRUE(G()->GetMaterialManager()->LoadMaterialLib(path, ok, nullptr, false));
        EXPECT_EQ(ProgramOf("Stone"), stone);
        EXPECT_EQ(ProgramOf("Plain"), fallback);
        EXPECT_EQ(ProgramOf("Lit"), stub);
        EXPECT_TRUE(G()->GetMaterialManager()->FindMaterial("Lit", false)->IsProgramReady());
        G()->GetMaterialManager()->RemoveAll();
        G()->GetXMLManager()->RemoveAll();
    }
}

}  // namespace
