// Actor snapshots through the actor's host interface: the actor is drawn off-screen with the
// snapshot shaders and its picture saved to the file the host names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Core/EnginePaths.h"
#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorTemplates.h"
#include "Interface/IActor.h"
#include "Interface/IGlobalEnvironment.h"
#include "Interface/IProxyFactory.h"
#include "Interface/ZelEngine.h"
#include "modelgen/ActorRecipe.h"
#include "modelgen/Recipes.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Core/PathUtils.h"
#include "support/GoldenImage.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

class ActorSnapshotFrameTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor"))
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
        const std::filesystem::path resources = Zel::GetResourcesRoot();
        std::filesystem::create_directories(resources / "media/shaders/role/output");
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorTemplateFiles())
            ASSERT_TRUE(f.file.Save((resources / f.name).string())) << f.name;
    }
    void TearDown() override {
        if (actor_)
            actor_->Release();
        Zel::ActorTemplates::SetKeepSnapshotShaders(false);
        OpenWindowTest::TearDown();
    }

    // An actor of the recipe wearing its nine parts, made through the render interface.
    ZelI::IActor* Dressed(int sex) {
        actor_ = Render()->CreateActor(
            (std::filesystem::current_path() / "actor.act").string().c_str(), sex, 0);
        if (!actor_)
            return nullptr;
        for (int n = 0; n < 9; ++n)
            EXPECT_TRUE(actor_->SetBodyPart(n, ("part" + std::to_string(n) + ".bp3").c_str())) << n;
        actor_->RebuildMaterials();
        return actor_;
    }

    std::int32_t Snapshot(ZelI::IActor& actor, int width, int height, const std::string& file) {
        static constexpr float kBackdrop[4] = {0.1f, 0.2f, 0.3f, 1.0f};
        return actor.RenderSnapshot(
            width, height, 0, reinterpret_cast<std::intptr_t>(kBackdrop), 0, 0, 0,
            file.empty() ? 0 : reinterpret_cast<std::intptr_t>(file.c_str()));
    }

    Zel::ActorTemplates& Templates() { return *G()->GetActorTemplates(); }
    ZelI::IActor* actor_ = nullptr;
};

// Two snapshots of one size draw into one kept target, the system's shaders come back after each
// (the keep flag clear), the template the actor's sex selects wears the actor's body file while
// the other keeps its own, and the requested file holds the target's picture. The parts are drawn,
// but without the action library the actor has no posed bones, so nothing of it reaches the
// picture: it is the cleared backdrop.
TEST_F(ActorSnapshotFrameTest, ASnapshotReusesItsTargetRestoresTheShadersAndSavesThePicture) {
    ZelI::IActor* actor = Dressed(1);
    ASSERT_NE(actor, nullptr);
    Zel::RenderSystem& system = *System();
    auto* ownCompiler = system.GetShaderCompiler();
    auto* ownFiller = system.GetShaderConstFiller();
    const float eye[3] = {0.0f, -1.2f, 0.9f}, at[3] = {0.0f, 0.0f, 0.9f}, up[3] = {0, 0, 1};
    Render()->LookAt(eye, at, up);

    const std::string first = (dir_.Path() / "first.png").string();
    EXPECT_EQ(Snapshot(*actor, 40, 30, first), 1);
    ZelI::IRenderTarget* target = Templates().GetSnapshotTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(system.GetShaderCompiler(), ownCompiler);
    EXPECT_EQ(system.GetShaderConstFiller(), ownFiller);
    EXPECT_EQ(Snapshot(*actor, 40, 30, ""), 1);
    EXPECT_EQ(Templates().GetSnapshotTarget(), target);

    // The actor's sex flag is set: the first template takes its body part.
    Zel::Actor* worn = Templates().GetTemplate(0);
    Zel::Actor* other = Templates().GetTemplate(1);
    ASSERT_NE(worn, nullptr);
    ASSERT_NE(other, nullptr);
    const Zel::Actor* pictured = Zel::UnwrapInterface<Zel::Actor>(actor);
    ASSERT_NE(pictured, nullptr);
    ASSERT_NE(pictured->GetBodyPartGeometry(0), nullptr);
    EXPECT_EQ(worn->GetBodyPartName(0), pictured->GetBodyPartGeometry(0)->GetLoadPath());
    ASSERT_NE(worn->GetBodyPartGeometry(0), nullptr);
    EXPECT_EQ(other->GetBodyPartName(0),
              Zel::MakePathString(Zel::ActorTemplates::GetTemplatePartFile(1, 0)));
    for (std::uint32_t part = 1; part < 9; ++part) {
        EXPECT_NE(worn->GetBodyPartGeometry(part), nullptr) << part;
        EXPECT_NE(other->GetBodyPartGeometry(part), nullptr) << part;
    }
    // The snapshot filler's skin is the spliced body texture of the template the sex selects.
    EXPECT_EQ(Templates().GetSkinTexture(true), worn->GetBodyTexture());
    EXPECT_EQ(Templates().GetSkinTexture(false), other->GetBodyTexture());
    EXPECT_NE(worn->GetBodyTexture(), nullptr);
    EXPECT_NE(worn->GetBodyTexture(), other->GetBodyTexture());
    // The actor's own materials are one-sided again.
    for (std::uint32_t slot = 0; slot < Zel::Actor::kMaterialSlotCount; slot += 2)
        if (const Zel::Material* material = pictured->GetActorMaterial(slot)) {
            EXPECT_EQ(material->GetPass(0)->renderState.cullMode, Zel::CULL_CLOCKWISE) << slot;
        }
    ExpectGoldenPng(first, "actor_snapshot_backdrop", 3);

    // Another size makes the target again.
    EXPECT_EQ(Snapshot(*actor, 24, 16, ""), 1);
    ASSERT_NE(Templates().GetSnapshotTarget(), nullptr);
    EXPECT_EQ(Templates().GetSnapshotTarget()->GetWidth(), 24);
    EXPECT_EQ(Templates().GetSnapshotTarget()->GetHeight(), 16);

    // Kept, the snapshot shaders stay installed after the snapshot.
    Zel::ActorTemplates::SetKeepSnapshotShaders(true);
    EXPECT_EQ(Snapshot(*actor, 24, 16, ""), 1);
    EXPECT_EQ(system.GetShaderCompiler(), Templates().GetSnapshotCompiler());
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos);
}

// Figure actors: the pictured actor wears clothes, its template bare skin. The snapshot drops
// every texel the two share, so the saved picture shows the clothes (the hair and the eyes, the
// striped shirt, the skirt, the tartan legs and the shoes, lit by the ambient light alone) over
// the backdrop, with no bare skin (face, neck, forearms, hands) left. The actor poses from the
// figure its action library names: without the library its bones stay unset and nothing of it
// reaches the picture. No frame has updated the actor: the snapshot shapes the skirt itself.
TEST_F(ActorSnapshotFrameTest, ASnapshotShowsTheClothesThroughTheTemplateSkin) {
    ZelModelGen::RecipeOptions figure;
    figure.actorLook = ZelModelGen::ActorLook::Figure;
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor", figure))
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    const std::filesystem::path resources = Zel::GetResourcesRoot();
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorTemplateFiles(figure))
        ASSERT_TRUE(f.file.Save((resources / f.name).string())) << f.name;
    ASSERT_TRUE(Render()->OpenActionLib("actions.xml"));
    ZelI::IActor* actor = Dressed(0);
    ASSERT_NE(actor, nullptr);
    const float eye[3] = {0.5f, -2.1f, 1.0f}, at[3] = {0.0f, 0.0f, 0.92f}, up[3] = {0, 0, 1};
    Render()->LookAt(eye, at, up);
    Render()->SetCameraFov(60.0f, 0.75f, 0.1f, 50.0f);
    const std::string file = (dir_.Path() / "figure.png").string();
    EXPECT_EQ(Snapshot(*actor, 120, 160, file), 1);
    ExpectGoldenPng(file, "actor_snapshot", 3);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos) << Log();
}

// A snapshot runs between the host's frames: the host's next frame counts only its own draws,
// and the scene time its animated stages read has not moved.
TEST_F(ActorSnapshotFrameTest, ASnapshotLeavesTheHostsFrameCountersAndSceneTimeAsTheyWere) {
    ZelI::IActor* actor = Dressed(0);
    ASSERT_NE(actor, nullptr);
    Zel::FrameStats& stats = *G()->GetFrameStats();
    Zel::SceneManager& scene = *G()->GetSceneManager();
    stats[Zel::FRAME_DRAW_INDEXED] = 7;
    scene.SetTimeValue(2.5f);
    const Zel::FrameStats before = stats;
    EXPECT_EQ(Snapshot(*actor, 32, 32, ""), 1);
    EXPECT_EQ(std::vector<std::uint32_t>(std::begin(stats.words), std::end(stats.words)),
              std::vector<std::uint32_t>(std::begin(before.words), std::end(before.words)));
    EXPECT_EQ(scene.GetTimeValue(), 2.5f);
}

// The host asks to keep the snapshot shaders through its global environment's actor flag.
TEST_F(ActorSnapshotFrameTest, TheHostsActorFlagKeepsTheSnapshotShaders) {
    ZelI::IActor* actor = Dressed(0);
    ASSERT_NE(actor, nullptr);
    Zel::RenderSystem& system = *System();
    auto* ownCompiler = system.GetShaderCompiler();
    ZelI::IProxyFactory* factory = CreateIProxyFactory();
    ASSERT_NE(factory, nullptr);
    ZelI::IGlobalEnvironment* environment = factory->GetGlobalEnvironment();
    ASSERT_NE(environment, nullptr);
    struct Case {
        std::uint8_t flag;
        bool kept;
    };
    for (const Case c : {Case{1, true}, Case{0, false}}) {
        environment->SetActorFlag(c.flag);
        EXPECT_EQ(Snapshot(*actor, 16, 16, ""), 1);
        EXPECT_EQ(system.GetShaderCompiler() == Templates().GetSnapshotCompiler(), c.kept)
            << int(c.flag);
    }
    EXPECT_EQ(system.GetShaderCompiler(), ownCompiler);
    delete factory;
}

// Releasing every entity takes the templates with it; the next snapshot makes them again rather
// than using actors the factory has handed out since.
TEST_F(ActorSnapshotFrameTest, ReleasingEveryEntityDropsTheTemplates) {
    ZelI::IActor* actor = Dressed(1);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(Snapshot(*actor, 16, 16, ""), 1);
    ASSERT_NE(Templates().GetTemplate(0), nullptr);
    Render()->ReleaseAllEntities();
    actor_ = nullptr;  // the host's wrapper reaches nothing any more
    EXPECT_EQ(Templates().GetTemplate(0), nullptr);
    EXPECT_EQ(Templates().GetTemplate(1), nullptr);

    actor = Dressed(1);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(Snapshot(*actor, 16, 16, ""), 1);
    const Zel::Actor* pictured = Zel::UnwrapInterface<Zel::Actor>(actor);
    for (int slot = 0; slot < 2; ++slot) {
        ASSERT_NE(Templates().GetTemplate(slot), nullptr) << slot;
        EXPECT_NE(Templates().GetTemplate(slot), pictured) << slot;
    }
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos);
}

}  // namespace
}  // namespace ZelTest
