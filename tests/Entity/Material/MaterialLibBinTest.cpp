// Binary material libraries (".xm3") made by the fixture writer: the fields of materials, passes,
// render states and stages against their tables, duplicates read into "dummy", cube names, string
// lengths, and every way a hostile file fails: wrong tags, unknown texture types, stage slots past
// the twelve stages, counts the file cannot hold, and truncation at and inside every record.
#include <cstring>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderSystem.h"
#include "fixtures/MaterialLibFixtures.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"

namespace {

using Zel::Material;
using Zel::MaterialManager;
using ZelFixtures::Xm3Library;
using ZelFixtures::Xm3Material;
using ZelFixtures::Xm3Pass;
using ZelFixtures::Xm3Stage;

Xm3Stage TexturedStage(std::uint32_t slot, const std::string& name) {
    Xm3Stage stage;
    stage.slot = slot;
    stage.texture.names = {name};
    return stage;
}

// Two materials, the first with two passes and stages in slots 5 and 0, the second plain.
Xm3Library RichLibrary() {
    Xm3Library library;
    Xm3Material rock;
    rock.name = "Rock";
    rock.secondString = "ignored";
    rock.flags = 4;
    rock.lightingMode = 2;
    rock.firstWord = 9;
    rock.techniqueCode = 6;
    rock.secondWord = 11;
    for (int i = 0; i < 16; ++i) rock.colours[i] = 0.25f * float(i % 4);
    rock.shininess = 12.5f;

    Xm3Pass first;
    first.index = 0;
    first.libraryFlag = 5;
    first.vertexFlags = 0x8013;
    first.vertexProgramKind = 0;
    first.skinningType = 1;
    first.influenceCount = 3;
    first.positionMode = 1;
    first.passFlags = 0xC;
    first.state.cull = 2;
    first.state.depthFunc = 7;
    first.state.alphaFunc = 4;
    first.state.stencilFunc = 5;
    first.state.srcBlend = 4;
    first.state.destBlend = 5;
    first.state.alphaRef = 200;
    first.state.flags = 0x20015;
    first.state.colourMask = 7;
    Xm3Stage five = TexturedStage(5, "textures\\rock.dds");
    five.address[0] = 0;
    five.address[2] = 3;
    five.colourParam[1] = 0.5f;
    five.constantColour[3] = 0.75f;
    five.filter = 3;
    five.envMode = 27;
    five.flags = 0x6;
    five.colourChannel = 2;
    five.colourGen.codes[2] = 4;
    five.alphaChannel = 3;
    five.alphaGen.second[1] = 2.5f;
    ZelFixtures::Xm3Wave wave;
    wave.codes[0] = 1;
    wave.first[2] = 0.125f;
    five.waves = {wave, ZelFixtures::Xm3Wave{}};
    first.state.stages = {five, TexturedStage(0, "base.dds")};
    Xm3Pass second;
    second.index = 1;
    second.libraryFlag = 0;
    Xm3Stage cube = TexturedStage(2, "");
    cube.texture.type = 4;
    cube.texture.names = {"a", "b", "c", "d", "e", "f"};
    second.state.stages = {cube};
    rock.passes = {first, second};
    library.materials.push_back(rock);

    Xm3Material plain;
    plain.name = "Plain";
    library.materials.push_back(plain);
    return library;
}

class MaterialLibBinTest : public ZelTest::CoreRootTest {
protected:
    MaterialLibBinTest() {
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    ~MaterialLibBinTest() override { G()->GetSceneManager()->SetRenderSystem(nullptr); }

    MaterialManager& Materials() { return *G()->GetMaterialManager(); }

    // Reads bytes as a library named "lib.xm3"; answers the reader's result.
    bool Read(const std::vector<std::uint8_t>& bytes, bool hold = false) {
        Zel::IZelFileStream* stream =
            Zel::CreateMemoryFileStream("lib.xm3", std::uint32_t(bytes.size()));
        if (!bytes.empty())
            std::memcpy(stream->GetData(), bytes.data(), bytes.size());
        const bool ok =
            Zel::IOMaterialBin::ReadMaterialLib(Materials(), list_, stream, "lib.xm3", hold);
        stream->Release();
        return ok;
    }
    Material* Find(const char* name) { return Materials().FindMaterial(name, false); }

    ZelTest::StubCompiler compiler_{"../Data/Effects/none.fx"};
    Zel::RenderSystem renderSystem_;
    std::vector<Material*> list_;
};

TEST_F(MaterialLibBinTest, FieldsMatchTheRecordTables) {
    const std::vector<std::uint8_t> bytes = ZelFixtures::WriteXm3(RichLibrary());
    ASSERT_TRUE(Read(bytes));
    ASSERT_EQ(list_.size(), 2u);
    Material* rock = Find("Rock");
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(list_[0], rock);
    EXPECT_TRUE(rock->IsLoaded());
    EXPECT_TRUE(rock->IsLoadSucceeded());
    EXPECT_EQ(rock->GetLoadPath(), "lib.xm3");
    EXPECT_EQ(rock->GetLibraryOffset(), 289u);  // 12 + 260 + the 17-byte name
    EXPECT_EQ(rock->GetName(), "Rock");
    EXPECT_EQ(rock->flags, 4u);
    EXPECT_EQ(rock->lightingMode, 2u);
    EXPECT_EQ(rock->firstSettingWord, 9u);
    EXPECT_EQ(rock->techniqueCode, 6u);
    EXPECT_EQ(rock->secondSettingWord, 11u);
    EXPECT_FLOAT_EQ(rock->ambient[1], 0.25f);
    EXPECT_FLOAT_EQ(rock->diffuse[2], 0.5f);
    EXPECT_FLOAT_EQ(rock->illumination[3], 0.75f);
    EXPECT_FLOAT_EQ(rock->shininess, 12.5f);
    EXPECT_FLOAT_EQ(rock->gloss, 1.0f);
    EXPECT_EQ(rock->thirdSettingWord, 20u);
    EXPECT_EQ(compiler_.calls, 2);  // one program request per material

    ASSERT_EQ(rock->GetPassCount(), 2u);
    const Zel::Pass& first = *rock->GetPass(0);
    EXPECT_EQ(first.libraryFlag, 1u);
    EXPECT_EQ(first.vertexFlags, 0x8013u);
    EXPECT_EQ(first.vertexProgramKind, 0u);
    EXPECT_EQ(first.skinningType, 1u);
    EXPECT_EQ(first.influenceCount, 3u);
    EXPECT_EQ(first.positionMode, 1u);
    EXPECT_EQ(first.passFlags, 0xCu);
    EXPECT_EQ(first.sortKey, 100);
    const Zel::RenderState& state = first.renderState;
    EXPECT_EQ(state.cullMode, 2u);
    EXPECT_EQ(state.depthFunc, 7u);
    EXPECT_EQ(state.alphaFunc, 4u);
    EXPECT_EQ(state.stencilFunc, 5u);
    EXPECT_EQ(state.srcBlend, 4u);
    EXPECT_EQ(state.destBlend, 5u);
    EXPECT_EQ(state.alphaRef, 200u);
    EXPECT_EQ(state.flags, 0x20015u);
    EXPECT_EQ(state.colourWriteMask, 7u);

    const Zel::TextureStage& five = state.stages[5];
    EXPECT_EQ(five.stageSlot, 5u);
    EXPECT_EQ(five.textureName, "textures\\rock.dds");
    EXPECT_EQ(five.addressU, 0u);
    EXPECT_EQ(five.addressV, 1u);
    EXPECT_EQ(five.addressW, 3u);
    EXPECT_FLOAT_EQ(five.colourParam[1], 0.5f);
    EXPECT_FLOAT_EQ(five.constantColour[3], 0.75f);
    EXPECT_EQ(five.filter, 3u);
    EXPECT_EQ(five.envMode, 27u);
    EXPECT_EQ(five.flags, 0x6u);  // the pending bit is cleared once the texture is resolved
    EXPECT_EQ(five.texCoordGen, 0u);
    ASSERT_EQ(five.texCoordMods.size(), 2u);
    EXPECT_EQ(five.texCoordMods[0].codes[0], 1u);
    EXPECT_FLOAT_EQ(five.texCoordMods[0].first[2], 0.125f);
    EXPECT_FLOAT_EQ(five.texCoordMods[1].first[0], 1.0f);
    EXPECT_EQ(five.colourGenChannel, 2u);
    EXPECT_EQ(five.colourGen.codes[2], 4u);
    EXPECT_EQ(five.alphaGenChannel, 3u);
    EXPECT_FLOAT_EQ(five.alphaGen.second[1], 2.5f);
    EXPECT_EQ(state.stages[0].textureName, "base.dds");
    for (std::uint32_t i : {1u, 2u, 3u, 4u, 6u, 11u}) {
        EXPECT_TRUE(state.stages[i].textureName.empty()) << i;
        EXPECT_EQ(state.stages[i].stageSlot, i);
    }

    const Zel::Pass& second = *rock->GetPass(1);
    EXPECT_EQ(second.libraryFlag, 0u);
    EXPECT_EQ(second.renderState.stages[2].textureName, "a*b*c*d*e*f*");

    Material* plain = Find("Plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetPassCount(), 0u);
    EXPECT_TRUE(plain->IsLoadSucceeded());
}

TEST_F(MaterialLibBinTest, DuplicateNameIsReadIntoDummyAndTheFileStaysInStep) {
    Xm3Library library = RichLibrary();
    Xm3Material again = library.materials[0];
    again.shininess = 99.0f;
    library.materials.insert(library.materials.begin() + 1, again);
    ZelTest::LogCapture log;
    ASSERT_TRUE(Read(ZelFixtures::WriteXm3(library)));
    EXPECT_EQ(log.Count("Rock 发现同名Material"), 1);
    EXPECT_FLOAT_EQ(Find("Rock")->shininess, 12.5f);
    EXPECT_NE(Find("Plain"), nullptr);
    EXPECT_EQ(list_.size(), 2u);
    EXPECT_EQ(Materials().GetTotalCount(), 2u);
}

TEST_F(MaterialLibBinTest, HoldFlagKeepsAReferenceInTheHeldList) {
    ASSERT_TRUE(Read(ZelFixtures::WriteXm3(RichLibrary()), true));
    EXPECT_EQ(Materials().GetHeldList(), list_);
    EXPECT_EQ(Find("Rock")->GetRefCount(), 2);
}

TEST_F(MaterialLibBinTest, StringLengthsUpTo256) {
    for (const auto& [length, ok] : {std::pair{255u, true}, std::pair{256u, false}}) {
        Xm3Library library;
        Xm3Material material;
        material.name = std::string(length, 'n');  // written with its terminator: length + 1
        library.materials.push_back(material);
        ZelTest::LogCapture log;
        EXPECT_EQ(Read(ZelFixtures::WriteXm3(library)), ok) << length;
        EXPECT_EQ(log.Count("BinaryIO Error : Zel::ZelString Error"), ok ? 0 : 1) << length;
    }
}

// Each case breaks one thing of an otherwise good library and names the log line it expects.
TEST_F(MaterialLibBinTest, BrokenLibrariesFailWithTheirMessage) {
    struct Case {
        const char* what;
        void (*breakIt)(Xm3Library&);
        const char* message;
    };
    const Case cases[] = {
        {"library tag", [](Xm3Library& l) { l.faults.libTag = 12; },
         "BinaryIO Error : Wrong MaterialLib chunk Tag"},
        {"string null marker", [](Xm3Library& l) { l.faults.stringNullMarker = 1; },
         "BinaryIO Error : Zel::ZelString Error"},
        {"texture type 6",
         [](Xm3Library& l) { l.materials[0].passes[1].state.stages[0].texture.type = 6; },
         "BinaryIO Error : Unknown texture type"},
        {"stage slot 12", [](Xm3Library& l) { l.materials[0].passes[0].state.stages[1].slot = 12; },
         "BinaryIO Error : Texture stage slot out of range"},
        {"material count", [](Xm3Library& l) { l.faults.materialCount = 0xFFFFFFFF; },
         "BinaryIO Error : Count exceeds the bytes left"},
        {"too many materials", [](Xm3Library& l) { l.faults.materialCount = 3; },
         "BinaryIO Error : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Zel::Globals::DeleteSingleton();
        Zel::Globals::GetSingleton();
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
        Xm3Library library = RichLibrary();
        c.breakIt(library);
        ZelTest::LogCapture log;
        EXPECT_FALSE(Read(ZelFixtures::WriteXm3(library)));
        EXPECT_GE(log.CountKind(Zel::LOG_ENGINE_INIT, c.message), 1);
    }
}

TEST_F(MaterialLibBinTest, AFailedMaterialIsMarkedLoadedAndFailed) {
    Xm3Library library = RichLibrary();
    std::swap(library.materials[0], library.materials[1]);  // Plain first, then the bad Rock
    library.materials[1].passes[1].state.stages[0].texture.type = 6;
    EXPECT_FALSE(Read(ZelFixtures::WriteXm3(library)));
    EXPECT_TRUE(Find("Plain")->IsLoadSucceeded());
    Material* rock = Find("Rock");
    ASSERT_NE(rock, nullptr);
    EXPECT_TRUE(rock->IsLoaded());
    EXPECT_FALSE(rock->IsLoadSucceeded());
    EXPECT_EQ(rock->GetPassCount(), 2u);
}

TEST_F(MaterialLibBinTest, CorruptPassAndWaveCountsFailBeforeLooping) {
    std::vector<std::size_t> boundaries;
    const std::vector<std::uint8_t> good = ZelFixtures::WriteXm3(RichLibrary(), &boundaries);
    // boundaries[3]: after the Material chunk header, whose second word is the pass count;
    // boundaries[12]: after the first TextureStage record, whose word at 60 counts its waves.
    for (const std::size_t at : {boundaries[3] - 8, boundaries[12] - 416 + 60}) {
        std::vector<std::uint8_t> bytes = good;
        std::memset(&bytes[at], 0xFF, 4);
        ZelTest::LogCapture log;
        EXPECT_FALSE(Read(bytes)) << at;
        EXPECT_EQ(log.Count("BinaryIO Error : Count exceeds the bytes left"), 1) << at;
    }
}

TEST_F(MaterialLibBinTest, TruncationAtAndInsideEveryRecordFails) {
    std::vector<std::size_t> boundaries;
    const std::vector<std::uint8_t> good = ZelFixtures::WriteXm3(RichLibrary(), &boundaries);
    ASSERT_EQ(boundaries.back(), good.size());
    for (std::size_t i = 0; i + 1 < boundaries.size(); ++i) {
        for (const std::size_t cut : {boundaries[i], boundaries[i] + 2}) {
            Zel::Globals::DeleteSingleton();
            Zel::Globals::GetSingleton();
            const std::vector<std::uint8_t> bytes(good.begin(), good.begin() + long(cut));
            EXPECT_FALSE(Read(bytes)) << "cut at " << cut;
        }
    }
    EXPECT_FALSE(Read({}));
}

TEST_F(MaterialLibBinTest, LoadBinaryMaterialLibOpensTheXm3Sibling) {
    ZelFixtures::Xm3Library library = RichLibrary();
    const std::vector<std::uint8_t> bytes = ZelFixtures::WriteXm3(library);
    dir_.Write("mats/lib.xm3", std::string(bytes.begin(), bytes.end()));
    bool success = false;
    EXPECT_TRUE(Materials().LoadBinaryMaterialLib("mats/lib.xml", success, false, true));
    EXPECT_TRUE(success);
    EXPECT_EQ(Materials().GetMaterialCount(), 2u);
    EXPECT_STREQ(Materials().GetMaterialName(1), "Plain");
    EXPECT_EQ(Find("Rock")->GetLoadPath(), "mats/lib.xm3");

    const auto reports = [this] {
        const std::string log = LogText();
        std::size_t count = 0;
        for (std::size_t at = log.find("打不开xm3"); at != std::string::npos;
             at = log.find("打不开xm3", at + 1))
            ++count;
        return count;
    };
    EXPECT_FALSE(Materials().LoadBinaryMaterialLib("mats/none.xml", success, false, true));
    EXPECT_FALSE(success);
    EXPECT_NE(LogText().find("打不开xm3 mats/none.xm3"), std::string::npos);
    EXPECT_EQ(Materials().GetMaterialCount(), 0u);
    EXPECT_FALSE(Materials().LoadBinaryMaterialLib("mats/none.xml", success, false, false));
    EXPECT_EQ(reports(), 1u);
}

}  // namespace
