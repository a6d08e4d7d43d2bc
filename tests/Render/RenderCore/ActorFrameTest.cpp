// Actors made and dressed through the render interface and drawn the way a host draws a frame:
// an ambient pipe, one pipe per light, then the blended pieces over them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Scene/SubEntity.h"
#include "Interface/IActor.h"
#include "Interface/IAnimationChannel.h"
#include "Interface/ILight.h"
#include "Interface/IModel.h"
#include "Interface/IRenderTarget.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "demo/DemoDataTree.h"
#include "modelgen/Recipes.h"
#include "support/GoldenImage.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

class ActorFrameTest : public OpenWindowTest {
protected:
    void SetUp() override {
        OpenWindowTest::SetUp();
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor"))
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
        ASSERT_TRUE(Render()->OpenActionLib("actions.xml"));
        lamp_ = Keep(Render()->CreateLight(1));
        ASSERT_NE(lamp_, nullptr);
        const float lampAt[3] = {1.5f, -2.5f, 2.5f};
        const float warm[4] = {1.0f, 0.9f, 0.7f, 1.0f};
        lamp_->SetPosition(lampAt);
        lamp_->SetDiffuse(warm);
        lamp_->SetRange(30.0f);
        const float eye[3] = {0.9f, -1.9f, 1.2f}, at[3] = {0.0f, 0.0f, 0.85f}, up[3] = {0, 0, 1};
        Render()->LookAt(eye, at, up);
        Render()->SetCameraFov(60.0f, 1.0f, 0.1f, 50.0f);
        const float sky[4] = {0.2f, 0.3f, 0.45f, 1.0f};
        Render()->SetClearColor(sky);
    }
    void TearDown() override {
        for (ZelI::IMoveObject* object : objects_) object->Release();
        OpenWindowTest::TearDown();
    }
    template <class T>
    T* Keep(T* object) {
        if (object)
            objects_.push_back(object);
        return object;
    }

    // An actor of the recipe wearing its nine parts.
    ZelI::IActor* Dressed() {
        ZelI::IActor* actor = Keep(Render()->CreateActor(
            (std::filesystem::current_path() / "actor.act").string().c_str(), 0, 0));
        if (!actor)
            return nullptr;
        for (int n = 0; n < 9; ++n)
            EXPECT_TRUE(actor->SetBodyPart(n, ("part" + std::to_string(n) + ".bp3").c_str())) << n;
        actor->Show();
        return actor;
    }

    // One frame of the objects into a target of kSize x kSize, saved to file; the draw calls it
    // took.
    unsigned long long DrawToFile(const std::vector<ZelI::IMoveObject*>& drawn,
                                  const std::string& file) {
        int width = kSize, height = kSize;
        ZelI::IRenderTarget* target = Render()->CreateClientRenderTarget(&width, &height, 0, 0);
        EXPECT_NE(target, nullptr);
        if (!target)
            return 0;
        const auto before = DrawCalls();
        Render()->FrameBegin();
        target->BeginRendering(0);
        Render()->Clear();
        for (ZelI::ILight* light : {static_cast<ZelI::ILight*>(nullptr), lamp_}) {
            Render()->PushNewPipe(light ? 2 : 0, reinterpret_cast<std::intptr_t>(light), 0, 0, 0);
            for (ZelI::IMoveObject* object : drawn) Render()->PushToPipe(object);
            Render()->ProcessCurrentPipe();
            Render()->RenderPushedPipes();
            Render()->CleanPushedObjsAndSubModels();
        }
        Render()->RenderTransparentPipeline();
        Render()->ClearTransparentPipeline();
        target->EndRendering();
        Render()->FrameEnd();
        Render()->SwapBuffer();
        const auto calls = DrawCalls() - before;
        EXPECT_TRUE(target->SaveToFile(file.c_str()));
        target->Release();
        return calls;
    }
    std::string Path(const std::string& name) { return (dir_.Path() / name).string(); }

    static constexpr int kSize = 200;
    ZelI::ILight* lamp_ = nullptr;
    std::vector<ZelI::IMoveObject*> objects_;
};

// The pixels of a saved frame, for comparing two frames of one test.
std::vector<unsigned char> Pixels(const std::string& file) {
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(file.c_str(), &w, &h, &n, 4);
    std::vector<unsigned char> pixels;
    if (data)
        pixels.assign(data, data + static_cast<std::size_t>(w) * h * 4);
    stbi_image_free(data);
    return pixels;
}

// The dressed actor, a quarter of a second into its walk, stands on a lit slab beside a lit
// cube: every part's cube sits on its bone of the walking pose (the body a step towards the
// camera, the left foot lifted), textured with the actor's spliced body texture and lit by the
// warm lamp on the right.
// An actor keeps its pieces in its body-part slots: the shadow map's caster pass finds them there.
// Pushed alone, it is the only caster; with nothing pushed the pass draws nothing.
TEST_F(ActorFrameTest, ADressedActorCastsIntoTheShadowMap) {
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    const std::int32_t shadowSwitch = config.GetValue(19);
    config.SetValue(19, 1);
    Render()->SetShadowQuality(1);
    const auto shadowDraws = [&](ZelI::IMoveObject* pushed) {
        Render()->FrameBegin();
        Render()->Clear();
        Render()->PushNewPipe(0, 0, 0, 0, 0);
        if (pushed)
            Render()->PushToPipe(pushed);
        Render()->ProcessCurrentPipe();
        Render()->RenderPushedPipes();
        const auto before = DrawCalls();
        Render()->RenderShadows(nullptr);
        const auto drawn = DrawCalls() - before;
        Render()->CleanPushedObjsAndSubModels();
        Render()->FrameEnd();
        Render()->SwapBuffer();
        return drawn;
    };
    EXPECT_EQ(shadowDraws(nullptr), 0u);
    // Posed once, it has the box the shadow's view is fitted round.
    actor->UpdateFrame(0.016f);
    EXPECT_GE(shadowDraws(actor), 9u) << "one caster draw per body part at least";
    config.SetValue(19, shadowSwitch);
}

TEST_F(ActorFrameTest, ADressedActorStandsInALitScenePosedByItsWalk) {
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    ZelI::IModel* floor = Keep(Render()->CreateModel(
        ZelDemo::HostModelName("models/lit_cube.dm3").c_str(), 0));
    ZelI::IModel* block = Keep(Render()->CreateModel(
        ZelDemo::HostModelName("models/lit_cube.dm3").c_str(), 0));
    ASSERT_NE(floor, nullptr);
    ASSERT_NE(block, nullptr);
    const float floorAt[3] = {0.0f, 0.0f, -0.05f}, slab[3] = {2.0f, 2.0f, 0.05f};
    floor->SetPosition(floorAt);
    floor->SetScale(slab);
    const float blockAt[3] = {-0.8f, 0.6f, 0.25f}, small[3] = {0.25f, 0.25f, 0.25f};
    block->SetPosition(blockAt);
    block->SetScale(small);

    ASSERT_NE(actor->GetChannel(0), nullptr);
    actor->GetChannel(0)->PlayAction("walk", true);
    actor->UpdateFrame(0.25f);
    const std::string file = Path("actor.png");
    EXPECT_GT(DrawToFile({floor, block, actor}, file), 0u);
    ExpectGoldenPng(file, "host_actor_walk", 3);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos) << Log();
}

// The figure look: the parts stand as a person in clothes (striped shirt and sleeves, tartan
// legs, shoes, hair and face) with part 5's skirt from the waist to above the knees, posed a
// quarter of a second into the walk (the left shoe lifted and that leg shortened towards it).
// The actor is turned, moved and scaled: the skirt, posed in the world by its cloth piece, must
// hang round the hips all the same.
TEST_F(ActorFrameTest, AFigureActorStandsInItsClothesAndSkirt) {
    ZelModelGen::RecipeOptions figure;
    figure.actorLook = ZelModelGen::ActorLook::Figure;
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor", figure))
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    const Zel::Actor* worn = Zel::UnwrapInterface<Zel::Actor>(actor);
    ASSERT_NE(worn, nullptr);
    EXPECT_EQ(worn->GetBodyPartName(14), "part5_cloth.bp3");
    EXPECT_FALSE(worn->GetSlotSubEntities(14).empty()) << "the skirt is worn";
    ZelI::IModel* floor = Keep(Render()->CreateModel(
        ZelDemo::HostModelName("models/lit_cube.dm3").c_str(), 0));
    ASSERT_NE(floor, nullptr);
    const float floorAt[3] = {0.0f, 0.0f, -0.05f}, slab[3] = {2.0f, 2.0f, 0.05f};
    floor->SetPosition(floorAt);
    floor->SetScale(slab);
    // Turned towards the camera, moved and made smaller: the skirt stays round the hips.
    const float turn[4] = {0.0f, 0.0f, 0.25881905f, 0.96592583f};  // 30 degrees about z
    const float place[3] = {0.2f, 0.1f, 0.0f}, smaller[3] = {0.9f, 0.9f, 0.9f};
    actor->SetOrientation(turn);
    actor->SetPosition(place);
    actor->SetScale(smaller);
    actor->GetChannel(0)->PlayAction("walk", true);
    actor->UpdateFrame(0.25f);
    const std::string file = Path("figure.png");
    EXPECT_GT(DrawToFile({floor, actor}, file), 0u);
    ExpectGoldenPng(file, "host_actor_figure", 3);
    EXPECT_EQ(Log().find(":ERROR:"), std::string::npos) << Log();
}

// The frame follows the pose: the pieces of an actor the host advanced are drawn where its bones
// went, not where the parts were modelled.
TEST_F(ActorFrameTest, TheDrawnPiecesFollowThePose) {
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    const std::string bind = Path("bind.png"), walked = Path("walked.png");
    ASSERT_GT(DrawToFile({actor}, bind), 0u);
    actor->GetChannel(0)->PlayAction("walk", true);
    actor->UpdateFrame(0.25f);
    ASSERT_GT(DrawToFile({actor}, walked), 0u);
    const std::vector<unsigned char> a = Pixels(bind), b = Pixels(walked);
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
}

// The draw-actors switch and the pieces the pipes take: nothing with the switch off; after a
// part is set again, the render lists hold exactly the slots' pieces (the old part's pieces went
// back to their factory and must not be drawn or drawn twice).
TEST_F(ActorFrameTest, ThePipesDrawTheSlotsCurrentPiecesWhileActorsAreDrawn) {
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    struct Case {
        int drawActors;
        bool drawn;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}}) {
        config.SetValue(Zel::Actor::kDrawActorSwitch, c.drawActors);
        EXPECT_EQ(DrawToFile({actor}, Path("switch.png")) > 0, c.drawn) << c.drawActors;
    }

    const Zel::Actor* pictured = Zel::UnwrapInterface<Zel::Actor>(actor);
    ASSERT_NE(pictured, nullptr);
    ASSERT_TRUE(actor->SetBodyPart(8, "part0.bp3"));
    ASSERT_TRUE(actor->SetBodyPart(2, "part5.bp3"));
    DrawToFile({actor}, Path("again.png"));
    std::multiset<const Zel::SubEntity*> listed;
    for (const auto* list : {&pictured->GetOpaqueList(), &pictured->GetBlendedList()})
        listed.insert(list->begin(), list->end());
    std::multiset<const Zel::SubEntity*> worn;
    for (std::uint32_t slot = 0; slot < Zel::Actor::kSlotCount; ++slot)
        for (const Zel::SubEntity* sub : pictured->GetSlotSubEntities(slot)) worn.insert(sub);
    EXPECT_EQ(listed, worn);
}

// Pushed actors are culled by their world box, which must hold every posed part: a view of the
// head alone, or of the outstretched hand, still draws the actor; a view past it does not.
TEST_F(ActorFrameTest, AnActorIsCulledOnlyWhenNoneOfItsPartsIsInView) {
    ZelI::IActor* actor = Dressed();
    ASSERT_NE(actor, nullptr);
    const float place[3] = {0.5f, 0.0f, 0.0f};
    actor->SetPosition(place);
    actor->UpdateFrame(0.0f);
    struct Case {
        const char* view;
        float eye[3];
        float at[3];
        bool drawn;
    };
    const Case cases[] = {
        {"whole body", {1.4f, -1.9f, 1.2f}, {0.5f, 0.0f, 0.85f}, true},
        {"head", {0.5f, -0.6f, 1.65f}, {0.5f, 0.01f, 1.65f}, true},
        {"left hand", {1.2f, -0.5f, 1.52f}, {1.2f, 0.0f, 1.52f}, true},
        {"above the head", {0.5f, -0.6f, 2.6f}, {0.5f, 0.01f, 2.6f}, false},
    };
    Render()->SetCameraFov(30.0f, 1.0f, 0.1f, 50.0f);
    const float up[3] = {0, 0, 1};
    for (const Case& c : cases) {
        Render()->LookAt(c.eye, c.at, up);
        EXPECT_EQ(DrawToFile({actor}, Path("view.png")) > 0, c.drawn) << c.view;
    }
}

}  // namespace
}  // namespace ZelTest
