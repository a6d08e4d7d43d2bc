// The generated shadow materials: made, registered and loaded on first request of each kind, the
// file written then and again after the slot is cleared, never on a repeated request; a name
// taken elsewhere gives null with one logged line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Entity/Material/EffectIncludeText.h"
#include "Entity/Material/GeneratedShadowEffects.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "support/HlslGlslang.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

namespace fs = std::filesystem;
using Zel::Material;

class GeneratedShadowTest : public ZelTest::ProgramDeviceTest {
protected:
    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        fs::create_directories(dir_.Path() / "Data/Effects/Legacy5");
    }
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }
};

const char* const kNames[] = {"StaticShadowCast_AutoGen", "SkeletalShadowCast_AutoGen",
                              "ProjectiveShadowReceiver_AutoGen"};

std::string PathOf(std::uint32_t kind) {
    return std::string("../Data/Effects/Legacy5/") + kNames[kind] + ".fx";
}

TEST_F(GeneratedShadowTest, EachKindIsMadeOnceRegisteredAndLoaded) {
    EXPECT_EQ(Zel::GetGeneratedShadowEffect(3), nullptr);
    EXPECT_EQ(Materials().GetTotalCount(), 0u);
    const struct {
        std::uint32_t materialFlags, vertexFlags, cull, stateFlags;
    } expect[] = {{0, 0x1, 1, 0x900}, {1, 0xC001, 1, 0x900}, {1, 0x1, 0, 0x911}};
    for (std::uint32_t kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kNames[kind]);
        ZelTest::LogCapture log;
        Material* material = Zel::GetGeneratedShadowEffect(kind);
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(log.Count("GenerateStaticShadowCast effectPath=" + PathOf(kind)), 1);
        EXPECT_TRUE(fs::exists(PathOf(kind)));
        EXPECT_EQ(Materials().FindMaterial(kNames[kind], false), material);
        ASSERT_NE(material->GetProgram(), nullptr);
        EXPECT_NE(material->GetProgram(), Programs().GetDefaultProgram());
        EXPECT_TRUE(material->IsProgramReady());
        EXPECT_EQ(material->flags, expect[kind].materialFlags);
        EXPECT_EQ(material->lightingMode, 0u);
        ASSERT_EQ(material->GetPassCount(), 1u);
        const Zel::Pass& pass = *material->GetPass(0);
        EXPECT_EQ(pass.vertexFlags, expect[kind].vertexFlags);
        EXPECT_EQ(pass.renderState.cullMode, expect[kind].cull);
        EXPECT_EQ(pass.renderState.flags, expect[kind].stateFlags);
        // A repeated request returns the same material and writes nothing.
        fs::remove(PathOf(kind));
        EXPECT_EQ(Zel::GetGeneratedShadowEffect(kind), material);
        EXPECT_FALSE(fs::exists(PathOf(kind)));
    }
    const Zel::Pass& receiver = *Zel::GetGeneratedShadowEffect(2)->GetPass(0);
    EXPECT_EQ(receiver.renderState.depthFunc, 3u);
    EXPECT_EQ(receiver.renderState.srcBlend, 1u);   // zero
    EXPECT_EQ(receiver.renderState.destBlend, 2u);  // source colour
    EXPECT_EQ(receiver.renderState.stages[0].addressU, 3u);
    EXPECT_EQ(receiver.renderState.stages[0].filter, 2u);
    EXPECT_EQ(Zel::GenerateProjectiveShadowReceiverEffect(), Zel::GetGeneratedShadowEffect(2));
}

TEST_F(GeneratedShadowTest, EffectFunctionsPassGlslang) {
    if (!ZelTest::HaveGlslang())
        GTEST_SKIP() << "glslangValidator is not installed (tools/setup.sh installs it)";
    ZelTest::TempDir check;
    for (const Zel::EffectIncludeFile& file : Zel::EffectIncludeFiles())
        check.Write(std::string("effects/include/") + file.name,
                    ZelTest::StripEffectSyntax(file.text));
    for (std::uint32_t kind = 0; kind < 3; ++kind) {
        ASSERT_NE(Zel::GetGeneratedShadowEffect(kind), nullptr);
        std::ifstream in(PathOf(kind));
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const std::string path = check.Write(std::string("effects/Legacy5/") + kNames[kind] + ".fx",
                                             ZelTest::StripEffectSyntax(text));
        for (const bool vertex : {true, false}) {
            std::string output;
            EXPECT_EQ(ZelTest::RunGlslang(path, vertex ? "VS" : "PS", vertex, output), 0)
                << kNames[kind] << (vertex ? " VS" : " PS") << ":\n"
                << output;
        }
    }
}

TEST_F(GeneratedShadowTest, ClearingMakesTheNextRequestGenerateAgain) {
    Material* first = Zel::GetGeneratedShadowEffect(2);
    ASSERT_NE(first, nullptr);
    fs::remove(PathOf(2));
    first->AddRef();  // held by a drawer while its slot is cleared
    Zel::ClearGeneratedShadowEffect(2);
    EXPECT_EQ(Materials().FindMaterial(kNames[2], false), first);  // stays with the manager
    ZelTest::LogCapture log;
    EXPECT_EQ(Zel::GetGeneratedShadowEffect(2), first);
    EXPECT_TRUE(fs::exists(PathOf(2)));
    EXPECT_EQ(log.Count("GenerateStaticShadowCast effectPath="), 1);
    EXPECT_EQ(first->GetPassCount(), 1u);
    EXPECT_TRUE(first->IsProgramReady());
    first->DecRef();
}

TEST_F(GeneratedShadowTest, ATakenNameGivesNullAndKeepsTheSlotEmpty) {
    Material* taken = Materials().CreateMaterial(kNames[0]);
    Materials().Add(taken);
    ZelTest::LogCapture log;
    EXPECT_EQ(Zel::GetGeneratedShadowEffect(0), nullptr);
    EXPECT_EQ(log.Count("exists already"), 1);
    EXPECT_FALSE(fs::exists(PathOf(0)));
    EXPECT_EQ(Zel::GetGeneratedShadowEffect(0), nullptr);  // still empty: asked again
}

TEST_F(GeneratedShadowTest, AFileThatCannotBeCreatedLeavesNothing) {
    fs::remove_all(dir_.Path() / "Data/Effects/Legacy5");
    EXPECT_EQ(Zel::GetGeneratedShadowEffect(1), nullptr);
    EXPECT_EQ(Materials().FindMaterial(kNames[1], false), nullptr);
    fs::create_directories(dir_.Path() / "Data/Effects/Legacy5");
    EXPECT_NE(Zel::GetGeneratedShadowEffect(1), nullptr);
}

}  // namespace
