// Generated effects as programs: Generate writes (or reuses) the file of the key, the GPU program
// manager loads it on the software device, and the built-in and ".xm3" materials hold real
// programs from the shader compiler.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "Core/EnginePaths.h"
#include "Core/GlobalConfigManager.h"
#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/EffectFileName.h"
#include "Render/RenderSystem.h"
#include "fixtures/MaterialLibFixtures.h"
#include "support/LogCapture.h"
#include "tests/Entity/Material/EffectGenFixture.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

namespace fs = std::filesystem;
using Zel::Material;

class EffectProgramTest : public ZelTest::ProgramDeviceTest {
protected:
    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        fs::create_directories(dir_.Path() / "Data/Effects/Legacy5");
        fs::create_directories(dir_.Path() / "include");
        Zel::SetEngineEffectRoot("../Data/Effects/Legacy5/");
        G()->GetTextureManager()->SetDevice(Device().GetD3DDevice());
        renderSystem_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&renderSystem_);
    }
    void TearDown() override {
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        ZelTest::ProgramDeviceTest::TearDown();
    }
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }
    void SetReuse(bool on) { G()->GetConfigManager()->SetValue(68, on ? 1 : 0); }
    static std::uintmax_t Size(const std::string& path) { return fs::file_size(path); }

    Zel::LegacyShaderCompiler compiler_;
    Zel::RenderSystem renderSystem_;
    ZelTest::MaterialMaker maker_;
};

constexpr const char* kExampleKey =
    "../Data/Effects/Legacy5/AL_LIGHTING_VP_NONE_POS_NRM_UV0_TE_MODULATE$$shift_col.fx";

TEST_F(EffectProgramTest, GenerateWritesTheKeysFileAndReusesItOnlyWithTheSwitch) {
    Material& material = maker_.Make({1, true, {{0x13, {{1}}}}});
    SetReuse(false);
    ZelTest::LogCapture log;
    EXPECT_EQ(compiler_.Generate(&material, false), kExampleKey);
    EXPECT_EQ(log.Count(std::string("LegacyShaderCompiler:写fx文件:") + kExampleKey), 1);
    ASSERT_TRUE(fs::exists(kExampleKey));
    EXPECT_TRUE(fs::exists("../include/SamplerState.fx"));
    std::ofstream(kExampleKey) << "stale";
    compiler_.Generate(&material, false);  // switch off: rewritten
    EXPECT_GT(Size(kExampleKey), 1000u);

    SetReuse(true);
    std::ofstream(kExampleKey) << "kept";
    EXPECT_EQ(compiler_.Generate(&material, false), kExampleKey);
    EXPECT_EQ(Size(kExampleKey), 4u);
    EXPECT_EQ(log.Count("LegacyShaderCompiler:写fx文件:"), 2);
    // The current directory is the one Generate found.
    EXPECT_EQ(fs::current_path(), dir_.Path() / "Bin");
}

TEST_F(EffectProgramTest, ScreenshotCompilerReusesAnyFileAndLogsNoWrite) {
    Zel::LegacyShaderCompilerScreenShot screenshot;
    Material& material = maker_.Make({1, true, {{0x13, {{1}}}}});
    SetReuse(false);
    ZelTest::LogCapture log;
    const std::string key = screenshot.Generate(&material, false);
    EXPECT_EQ(
        key, "../Data/Effects/Legacy5/AL_LIGHTING_VP_NONE_POS_NRM_UV0_TE_MODULATE$$ssshift_col.fx");
    EXPECT_GT(Size(key), 1000u);
    EXPECT_EQ(log.Count("LegacyShaderCompiler:"), 0);
    std::ofstream(key) << "kept";
    screenshot.Generate(&material, false);
    EXPECT_EQ(Size(key), 4u);
}

TEST_F(EffectProgramTest, GeneratedProgramLoadsAndDraws) {
    Material& material =
        maker_.Make({2, true, {{0x17, {{1}, {17, 5, 1, true}}}, {0xC013, {{6}}, 0}}});
    Zel::GpuProgram* program = Programs().LoadProgram(compiler_.Generate(&material, false));
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->IsLoadSucceeded());
    EXPECT_NE(program, Programs().GetDefaultProgram());
    EXPECT_EQ(program->Begin(), 2u);
    EXPECT_TRUE(program->End());
}

TEST_F(EffectProgramTest, AKeyTooLongForAFileNameLoadsFromItsHashedFile) {
    // Eight stages with every modifier make a key far past 255 bytes.
    ZelTest::PassSpec pass{0x13, {}};
    for (std::uint32_t i = 0; i < 8; ++i) pass.stages.push_back({52, i % 5, 1, true});
    Material& material = maker_.Make({2, true, {pass}});
    const std::string key = compiler_.Generate(&material, false);
    ASSERT_GT(key.size() - std::strlen("../Data/Effects/Legacy5/"), 255u);
    EXPECT_FALSE(fs::exists(Zel::EffectFileName(key)) && Zel::EffectFileName(key) == key);
    EXPECT_TRUE(fs::exists(Zel::EffectFileName(key)));
    Zel::GpuProgram* program = Programs().LoadProgram(key);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->IsLoadSucceeded());
    EXPECT_EQ(program->GetName(), Programs().LoadProgram(key)->GetName());
}

TEST_F(EffectProgramTest, AFileThatCannotBeCreatedIsReportedAndTheKeyStillAnswered) {
    Zel::SetEngineEffectRoot("../Data/Effects/Missing/");
    Material& material = maker_.Make({1, true, {{0x13, {{1}}}}});
    ZelTest::LogCapture log;
    const std::string key = compiler_.Generate(&material, false);
    EXPECT_EQ(key.rfind("../Data/Effects/Missing/AL_LIGHTING_", 0), 0u);
    EXPECT_FALSE(fs::exists(key));
    EXPECT_EQ(log.Count("LegacyShaderCompiler:写fx文件:"), 0);
    material.GenerateGpuProgram();
    EXPECT_EQ(material.GetProgram(), Programs().GetDefaultProgram());
}

TEST_F(EffectProgramTest, BuiltinMaterialsGetRealPrograms) {
    Materials().CreateBuiltinMaterials();
    Zel::GpuProgram* fallback = Programs().GetDefaultProgram();
    for (const char* name : {"Default", "DefaultSkeleton", "WireFrame", "DrawQuad", "ZBlend",
                             "DrawUI", "DrawProfile"}) {
        SCOPED_TRACE(name);
        Material* material = Materials().FindMaterial(name, false);
        ASSERT_NE(material, nullptr);
        ASSERT_NE(material->GetProgram(), nullptr);
        EXPECT_NE(material->GetProgram(), fallback);
        EXPECT_TRUE(material->IsProgramReady());
        EXPECT_EQ(material->GetProgram()->GetName().rfind("..\\data\\effects\\legacy5\\", 0), 0u)
            << material->GetProgram()->GetName();
    }
}

TEST_F(EffectProgramTest, BinaryLibraryMaterialsGetRealPrograms) {
    ZelFixtures::Xm3Library library;
    ZelFixtures::Xm3Material rock;
    rock.name = "Rock";
    rock.flags = 4;
    rock.lightingMode = 2;
    ZelFixtures::Xm3Pass pass;
    pass.vertexFlags = 0x8017;
    pass.vertexProgramKind = 0;
    ZelFixtures::Xm3Stage stage;
    stage.texture.names = {"base.dds"};
    pass.state.stages = {stage};
    rock.passes = {pass};
    library.materials.push_back(rock);
    ZelFixtures::Xm3Material plain;
    plain.name = "Plain";
    library.materials.push_back(plain);
    const std::vector<std::uint8_t> bytes = ZelFixtures::WriteXm3(library);
    Zel::IZelFileStream* stream =
        Zel::CreateMemoryFileStream("lib.xm3", std::uint32_t(bytes.size()));
    std::memcpy(stream->GetData(), bytes.data(), bytes.size());
    std::vector<Material*> list;
    ASSERT_TRUE(Zel::IOMaterialBin::ReadMaterialLib(Materials(), list, stream, "lib.xm3", false));
    stream->Release();
    for (const char* name : {"Rock", "Plain"}) {
        SCOPED_TRACE(name);
        Material* material = Materials().FindMaterial(name, false);
        ASSERT_NE(material, nullptr);
        EXPECT_TRUE(material->IsProgramReady());
        EXPECT_NE(material->GetProgram(), Programs().GetDefaultProgram());
    }
}

}  // namespace
