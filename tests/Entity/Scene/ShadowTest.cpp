// The scene's shadows: the instance table, the shadow map with its light camera and receiver
// matrix, the blob shadow's quads, the projecting light, and whole frames of both kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/FakeShadow.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/ProjectingLight.h"
#include "Entity/Scene/ProjectiveShadow.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/AABB.h"
#include "Render/ClearRecord.h"
#include "Render/RenderCodes.h"
#include "Render/PostEffects.h"
#include "demo/DemoDataTree.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/GoldenImage.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/DrawSceneFixture.h"

namespace {

using namespace Zel;

class ShadowTest : public ZelTest::DrawSceneTest {
protected:
    void SetUp() override {
        ZelTest::DrawSceneTest::SetUp();
        // The blob material's library, as the data tree holds it.
        ZelFixtures::LegacyShader blob;
        blob.name = "FakeShadow";
        blob.passes = {ZelFixtures::LegacyPass{}};
        dir_.Write("resources/media/shaders/FakeShadow.xml",
                   ZelFixtures::WriteLegacyLibrary({{blob}}));
    }

    // An entity of one piece whose world box is the given one.
    Entity& EntityWithBox(const float* min, const float* max, Material* material) {
        Entity& entity = MakeEntity({&MakeBox(min, max)}, material);
        entity.SetBoundingBox(AABB(min, max));
        return entity;
    }

    std::size_t GroupSize(std::uint32_t id) {
        std::size_t count = 0;
        if (auto* solid = dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(id)))
            solid->ForEachList([&](std::int32_t, Light*, const RenderableList& list) {
                count += list.renderables.size();
            });
        if (auto* transparent = dynamic_cast<RenderableGroupTransparent*>(Queue().FindGroup(id)))
            count += transparent->GetEntries().size();
        return count;
    }
};

TEST_F(ShadowTest, TheTableHoldsOneShadowOfEachKindAndNothingElse) {
    Shadow::Init();
    struct Case {
        std::int32_t kind;
        bool exists;
    };
    for (const Case& c : {Case{0, true}, Case{1, true}, Case{2, false}, Case{-1, false}}) {
        SCOPED_TRACE(c.kind);
        Shadow* shadow = Shadow::GetShadowInstance(c.kind);
        ASSERT_EQ(shadow != nullptr, c.exists);
        if (!shadow)
            continue;
        EXPECT_EQ(Shadow::GetShadowInstance(c.kind), shadow);
        EXPECT_EQ(shadow->GetKind(), c.kind);
        EXPECT_EQ(std::vector<float>(shadow->GetDirection(), shadow->GetDirection() + 3),
                  (std::vector<float>{0.0f, -1.0f, -1.0f}));
        EXPECT_EQ(std::vector<float>(shadow->GetColour(), shadow->GetColour() + 4),
                  std::vector<float>(4, 0.2f));
    }
    // The map's casters draw with the generated materials, the blob's with its library material.
    Shadow* map = Shadow::GetShadowInstance(SHADOW_KIND_MAP);
    EXPECT_EQ(map->GetCasterMaterial(0), Shadow::GetGeneratedMaterial(0));
    EXPECT_EQ(map->GetCasterMaterial(1), Shadow::GetGeneratedMaterial(1));
    EXPECT_EQ(map->GetCasterMaterial(2), nullptr);
    EXPECT_NE(Shadow::GetGeneratedMaterial(2), nullptr);
    Material* blob = Shadow::GetShadowInstance(SHADOW_KIND_FAKE)->GetCasterMaterial(7);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(static_cast<CResource*>(blob)->GetName(), "fakeshadow");  // names are kept lower case
    Shadow::Shutdown();
    EXPECT_EQ(Shadow::GetGeneratedMaterial(0), nullptr);
    EXPECT_EQ(G()->GetMaterialManager()->FindMaterial("FakeShadow", false), nullptr);
}

TEST_F(ShadowTest, MaterialsTheSceneHoldsSurviveADirectSweepOfTheMaterials) {
    // RemoveAll deletes library materials whatever their counts: each holder below must list
    // its material as in use, or it points at a deleted one after the sweep.
    Shadow::Init();
    struct ShutDown {
        ~ShutDown() { Shadow::Shutdown(); }
    } shutDown;
    MaterialManager& materials = *G()->GetMaterialManager();
    Material* rock = materials.CreateMaterial("rock");
    materials.Add(rock);
    Material* sand = materials.CreateMaterial("sand");
    materials.Add(sand);
    const float min[3] = {0, 0, 0}, max[3] = {1, 1, 1};
    Entity& entity = EntityWithBox(min, max, rock);
    Decal decal;
    decal.SetMaterial(sand);
    struct Case {
        const char* what;
        Material* material;
    };
    const Case cases[] = {
        {"skeletal caster", Shadow::GetGeneratedMaterial(0)},
        {"static caster", Shadow::GetGeneratedMaterial(1)},
        {"projective receiver", Shadow::GetGeneratedMaterial(2)},
        {"blob", Shadow::GetShadowInstance(SHADOW_KIND_FAKE)->GetCasterMaterial(0)},
        {"sub-entity", entity.GetSubEntity(0)->GetMaterial()},
        {"decal", decal.GetMaterial()},
    };
    std::vector<std::string> names;
    for (const Case& c : cases) {
        ASSERT_NE(c.material, nullptr) << c.what;
        names.push_back(c.material->GetName());
    }
    materials.RemoveAll();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(materials.FindMaterial(names[i], false), cases[i].material);
        // AddressSanitizer stops here on a deleted material.
        EXPECT_EQ(cases[i].material->GetName(), names[i]);
    }
}

TEST_F(ShadowTest, WithoutItsLibraryTheBlobDrawsWithTheDefaultMaterial) {
    std::filesystem::remove(dir_.Path() / "resources/media/shaders/FakeShadow.xml");
    ZelTest::LogCapture log;
    FakeShadow blob;
    EXPECT_EQ(blob.GetCasterMaterial(0), G()->GetMaterialManager()->GetDefaultMaterial(false));
    int errors = 0;
    for (const ZelTest::LogRecord& record : log.Records()) errors += record.kind == LOG_LEVEL_ERROR;
    EXPECT_EQ(errors, 0);
}

TEST_F(ShadowTest, TheMapSideFollowsVideoMemory) {
    struct Case {
        std::uint64_t bytes;
        std::uint32_t side;
    };
    for (const Case& c : {Case{0, 128}, Case{33554431, 128}, Case{33554432, 256},
                          Case{40u << 20, 256}, Case{67108864, 512}}) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ProjectiveShadow::MapSizeForVideoMemory(c.bytes), c.side);
    }
    G()->GetDeviceCaps()->totalVideoMemoryBytes = 40u << 20;
    ProjectiveShadow shadow;
    ASSERT_NE(shadow.GetShadowMap(), nullptr);
    ASSERT_NE(shadow.GetShadowMapDepth(), nullptr);
    for (RenderTarget* target : {shadow.GetShadowMap(), shadow.GetShadowMapDepth()}) {
        EXPECT_EQ(target->GetWidth(), 256);
        EXPECT_EQ(target->GetHeight(), 256);
    }
    EXPECT_FALSE(shadow.GetShadowMap()->IsDepthStencil());
    EXPECT_TRUE(shadow.GetShadowMapDepth()->IsDepthStencil());
    // Names are kept in their normalised form.
    EXPECT_EQ(G()->GetTextureManager()->FindRenderTargetByName("shadowmap"), shadow.GetShadowMap());
    EXPECT_EQ(G()->GetTextureManager()->FindRenderTargetByName("shadowmapdepth"),
              shadow.GetShadowMapDepth());
}

TEST_F(ShadowTest, TheTargetsAShadowHoldsGoToNoOtherHolderUntilGivenBack) {
    // The post effects' motion targets share the map's side rule, format and usage: the pool,
    // which matches on those alone, must not hand either holder the other's target.
    PostEffects::Instance().Init();
    struct ReleaseEffects {
        ~ReleaseEffects() { PostEffects::Instance().Release(); }
    } releaseEffects;
    auto first = std::make_unique<ProjectiveShadow>();
    ProjectiveShadow second;
    RenderTarget* const firstMap = first->GetShadowMap();
    RenderTarget* const firstDepth = first->GetShadowMapDepth();
    ASSERT_NE(firstMap, nullptr);
    ASSERT_NE(firstDepth, nullptr);
    struct Held {
        const char* what;
        RenderTarget* target;
    };
    const Held held[] = {{"first map", firstMap},
                         {"first depth", firstDepth},
                         {"first blur scratch", first->GetBlurTarget()},
                         {"motion target 0", PostEffects::Instance().GetMotionTarget(0)},
                         {"motion target 1", PostEffects::Instance().GetMotionTarget(1)},
                         {"post target 0", PostEffects::Instance().GetPostTarget(0)},
                         {"post target 1", PostEffects::Instance().GetPostTarget(1)}};
    for (const Held& h : held) {
        SCOPED_TRACE(h.what);
        if (!h.target)
            continue;
        EXPECT_NE(second.GetShadowMap(), h.target);
        EXPECT_NE(second.GetShadowMapDepth(), h.target);
    }
    // Given back, the first shadow's targets are free to the next one that asks.
    first.reset();
    ProjectiveShadow third;
    EXPECT_EQ(third.GetShadowMap(), firstMap);
    EXPECT_EQ(third.GetShadowMapDepth(), firstDepth);
}

TEST_F(ShadowTest, TheLightCameraFramesTheCastersAndLooksAlongTheShadow) {
    ProjectiveShadow shadow;
    const float min[3] = {1, 2, 0}, max[3] = {3, 4, 2};
    Entity& caster = EntityWithBox(min, max, nullptr);
    float view[16], projection[16], eye[3], target[3], up[3], distance = 0.0f;
    AABB box;
    const std::vector<Entity*> casters = {&caster};
    ASSERT_TRUE(
        shadow.ComputeShadowView(view, projection, eye, target, up, box, casters, &distance));
    // The box grows by 1.1 about its centre (2, 3, 1).
    EXPECT_NEAR(box.GetMin()[0], 0.9f, 1e-5f);
    EXPECT_NEAR(box.GetMax()[2], 2.1f, 1e-5f);
    EXPECT_FLOAT_EQ(target[0], 2.0f);
    EXPECT_FLOAT_EQ(target[1], 3.0f);
    EXPECT_FLOAT_EQ(target[2], 1.0f);
    // The eye stands back the distance against the shadow direction (0, -1, -1), whatever that
    // vector's length.
    EXPECT_GT(distance, 0.0f);
    const float back = distance / std::sqrt(2.0f);
    EXPECT_NEAR(eye[0] - target[0], 0.0f, 1e-4f);
    EXPECT_NEAR(eye[1] - target[1], back, 1e-4f);
    EXPECT_NEAR(eye[2] - target[2], back, 1e-4f);
    // The target lies on the view's axis: straight ahead of the light.
    float p[4] = {target[0], target[1], target[2], 1.0f}, inView[4] = {};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) inView[r] += view[4 * r + c] * p[c];
    EXPECT_NEAR(inView[0], 0.0f, 1e-4f);
    EXPECT_NEAR(inView[1], 0.0f, 1e-4f);
    EXPECT_LT(inView[2], 0.0f);
    EXPECT_EQ(std::vector<float>(up, up + 3), (std::vector<float>{0, 0, 1}));

    // A sun straight overhead still has an up that is not along the view.
    const float down[3] = {0.0f, 0.0f, -3.0f};
    shadow.SetDirection(down);
    ASSERT_TRUE(
        shadow.ComputeShadowView(view, projection, eye, target, up, box, casters, &distance));
    EXPECT_EQ(std::vector<float>(up, up + 3), (std::vector<float>{0, 1, 0}));
    for (float v : view) EXPECT_TRUE(std::isfinite(v));

    // A direction's length changes nothing: the eye would otherwise stand that many times
    // further back, and the casters would shrink in the map.
    for (float length : {1.0f, 3.0f, 250.0f}) {
        SCOPED_TRACE(length);
        const float unit = 1.0f / std::sqrt(14.0f);
        const float fall[3] = {2.0f * unit * length, -3.0f * unit * length, -1.0f * unit * length};
        shadow.SetDirection(fall);
        float scaledView[16], scaledEye[3];
        ASSERT_TRUE(shadow.ComputeShadowView(scaledView, projection, scaledEye, target, up, box,
                                             casters, &distance));
        if (length == 1.0f) {
            std::copy_n(scaledView, 16, view);
            std::copy_n(scaledEye, 3, eye);
        }
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(scaledView[i], view[i], 1e-4f) << i;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(scaledEye[i], eye[i], 1e-3f) << i;
    }
    // No direction at all gives no view rather than one built from a division by zero.
    const float none3[3] = {0.0f, 0.0f, 0.0f};
    shadow.SetDirection(none3);
    EXPECT_FALSE(
        shadow.ComputeShadowView(view, projection, eye, target, up, box, casters, &distance));
    shadow.SetDirection(down);

    // Nothing casts (a level is never a caster): no view.
    Level* level = Scene().CreateLevel();
    level->SetBoundingBox(AABB(min, max));
    const std::vector<Entity*> none = {level};
    EXPECT_FALSE(shadow.ComputeShadowView(view, projection, eye, target, up, box, none, nullptr));
    EXPECT_TRUE(box.IsEmpty());
}

// How many texels of two equal-sized read-backs differ.
std::size_t Differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) count += a[i] != b[i];
    return count;
}

// The pieces of the scene's frames: a white ground that receives and a box that casts.
class ShadowFrameTest : public ShadowTest {
protected:
    void SetUp() override {
        ShadowTest::SetUp();
        Shadow::Init();
        ground_ = &FlatMaterial("ground", MF_FLOOR);
        caster_ = &FlatMaterial("caster", MF_SHADOW_MAP);
        const float groundMin[3] = {-4, -4, 0}, groundMax[3] = {4, 4, 0};
        std::vector<float> quad = {-4, -4, 0, 4, -4, 0, 4, 4, 0, -4, 4, 0};
        auto mesh = std::make_unique<Mesh>(nullptr, true, true);
        ZelTest::GeometryTest::FillMesh(*mesh, quad, {0, 1, 2, 0, 2, 3});
        const float sand[4] = {0.9f, 0.85f, 0.7f, 1.0f}, red[4] = {0.8f, 0.2f, 0.1f, 1.0f};
        PaintMesh(*mesh, sand);
        meshes_.push_back(std::move(mesh));
        groundEntity_ = &MakeEntity({meshes_.back().get()}, ground_);
        groundEntity_->SetBoundingBox(AABB(groundMin, groundMax));
        const float boxMin[3] = {-1, -1, 1}, boxMax[3] = {1, 1, 2.5f};
        box_ = &EntityWithBox(boxMin, boxMax, caster_);
        PaintMesh(*box_->GetSubEntity(0)->GetMesh(), red);
        const float eye[3] = {0.0f, -7.0f, 6.0f}, target[3] = {0.0f, 0.0f, 0.5f};
        LookAt(eye, target);
    }

    // One host frame into a window-sized colour and depth target (as a host draws its frames,
    // so the shadow pass has targets to hand back): the scene through a pipe, then the shadow
    // pass over what was pushed.
    void DrawFrame(std::int32_t quality) { DrawEntities(quality, {groundEntity_, box_}); }

    // The same frame of the given entities alone, its blended pieces drawn after the pipe as a
    // host draws its transparent pipeline last. A level given receives instead of the entities.
    void DrawEntities(std::int32_t quality, std::initializer_list<Entity*> entities,
                      Level* level = nullptr) {
        TextureManager& textures = *G()->GetTextureManager();
        frame_ = textures.CreateRenderTarget(false);
        frameDepth_ = textures.CreateRenderTarget(true);
        ASSERT_TRUE(frame_ && frameDepth_);
        ASSERT_TRUE(frame_->Create(kWidth, kHeight, 1, 0, PF_A8R8G8B8, 1, false));
        ASSERT_TRUE(frameDepth_->Create(kWidth, kHeight, 1, 0, PF_D24S8, 1, false));
        frame_->Bind(0);
        frameDepth_->Bind(0);
        Scene().SetShadowMode(quality);
        const float background[4] = {0.1f, 0.1f, 0.2f, 1.0f};
        system_.Clear(CLEAR_COLOUR | CLEAR_DEPTH, background, 1.0f, 0);
        system_.BeginScene();
        Scene().PushNewPipe(0, 0, nullptr);
        for (Entity* entity : entities) Scene().PushRenderable(entity);
        Scene().ProcessCurrentPipe();
        Scene().RenderPushedPipes();
        Scene().RenderShadows(level);
        Scene().CleanPushedObjsAndSubModels();
        Scene().RenderTransparentPipeline();
        Scene().ClearTransparentPipeline();
        system_.EndScene();
        frame_->Unbind();
        frameDepth_->Unbind();
    }

    void ExpectGoldenFrame(const std::string& name) {
        const std::string path = (dir_.Path() / (name + ".png")).string();
        ASSERT_TRUE(frame_->SaveToFile(path.c_str(), 3));
        ZelTest::ExpectGoldenPng(path, name, 3);
    }

    RenderTarget* frame_ = nullptr;
    RenderTarget* frameDepth_ = nullptr;

    Material* ground_ = nullptr;
    Material* caster_ = nullptr;
    Entity* groundEntity_ = nullptr;
    Entity* box_ = nullptr;
};

TEST_F(ShadowFrameTest, AHardShadowFallsOnTheGround) {
    const float direction[3] = {0.5f, 0.6f, -1.0f};
    Shadow* map = Shadow::GetShadowInstance(SHADOW_KIND_MAP);
    map->SetDirection(direction);
    const float colour[4] = {0.35f, 0.35f, 0.35f, 1.0f};
    map->SetColour(colour);
    // Without the screen blur's 5x5 materials soft shadows stay hard.
    for (std::int32_t quality : {SHADOW_SOFT, SHADOW_HARD}) {
        SCOPED_TRACE(quality);
        DrawFrame(quality);
        ExpectGoldenFrame("shadow_hard_ground");
    }

    // The receiver was handed the light's projection times its view, and the map.
    auto* projective = static_cast<ProjectiveShadow*>(map);
    float expected[16];
    MultiplyMatrices4(projective->GetLightProjection(), projective->GetLightView(), expected);
    EXPECT_EQ(std::vector<float>(expected, expected + 16),
              std::vector<float>(projective->GetLightTextureMatrix(),
                                 projective->GetLightTextureMatrix() + 16));
    Material* receiver = Shadow::GetGeneratedMaterial(2);
    ASSERT_NE(receiver, nullptr);
    EXPECT_EQ(receiver->GetPass(0)->renderState.stages[0].GetTexture(), projective->GetShadowMap());
    // The pass is over: no caster source, and the groups are empty.
    EXPECT_EQ(map->GetCasterSource(), nullptr);
    for (std::uint32_t group :
         {RENDER_GROUP_SHADOW_CASTERS, RENDER_GROUP_ENTITY_RECEIVERS, RENDER_GROUP_LEVEL_RECEIVERS})
        EXPECT_EQ(GroupSize(group), 0u) << group;
}

TEST_F(ShadowFrameTest, TheMapHoldsTheCastersInTheShadowColourOnWhite) {
    // With 40 MB of video memory the map is 256 texels on a side.
    Shadow::Shutdown();
    G()->GetDeviceCaps()->totalVideoMemoryBytes = 40u << 20;
    Shadow::Init();
    DrawFrame(SHADOW_HARD);
    auto* map = static_cast<ProjectiveShadow*>(Shadow::GetShadowInstance(SHADOW_KIND_MAP));
    RenderTarget* target = map->GetShadowMap();
    const int side = target->GetWidth();
    ASSERT_EQ(side, 256);
    std::int32_t pitch = 0;
    void* bits = nullptr;
    ASSERT_TRUE(target->LockLevel(0, &pitch, &bits, nullptr, LO_READ_ONLY));
    const auto* texels = static_cast<const std::uint8_t*>(bits);
    // The casters are framed in the middle; the corners stay lit.
    const auto texel = [&](int x, int y) {
        return texels[std::size_t(y) * std::size_t(pitch) + std::size_t(x) * 4];
    };
    EXPECT_EQ(texel(1, 1), 255);
    EXPECT_EQ(texel(side - 2, side - 2), 255);
    EXPECT_NEAR(texel(side / 2, side / 2), 51, 2);  // 0.2 of the default shadow colour
    target->UnlockLevel();
}

// The red channel of every texel of a target (the shadow map, a frame), row by row.
std::vector<std::uint8_t> MapTexels(RenderTarget& target) {
    std::int32_t pitch = 0;
    void* bits = nullptr;
    std::vector<std::uint8_t> red;
    if (!target.LockLevel(0, &pitch, &bits, nullptr, LO_READ_ONLY))
        return red;
    const auto* texels = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < target.GetHeight(); ++y)
        for (int x = 0; x < target.GetWidth(); ++x)
            red.push_back(texels[std::size_t(y) * std::size_t(pitch) + std::size_t(x) * 4 + 2]);
    target.UnlockLevel();
    return red;
}

TEST_F(ShadowFrameTest, ASoftShadowBlursTheMapWithTheFiveTapGaussian) {
    ASSERT_TRUE(ZelDemo::CopyEngineData(dir_.Path(), nullptr, true));
    PostEffects::Instance().Init();
    struct ReleaseEffects {
        ~ReleaseEffects() { PostEffects::Instance().Release(); }
    } releaseEffects;
    ASSERT_NE(PostEffects::Instance().GetKernelMaterial(1, false), nullptr);
    ASSERT_NE(PostEffects::Instance().GetKernelMaterial(1, true), nullptr);
    const float direction[3] = {0.5f, 0.6f, -1.0f};
    auto* map = static_cast<ProjectiveShadow*>(Shadow::GetShadowInstance(SHADOW_KIND_MAP));
    map->SetDirection(direction);
    const float colour[4] = {0.35f, 0.35f, 0.35f, 1.0f};
    map->SetColour(colour);

    DrawFrame(SHADOW_HARD);
    EXPECT_EQ(map->GetBlurTarget(), nullptr);
    const std::vector<std::uint8_t> hard = MapTexels(*map->GetShadowMap());
    DrawFrame(SHADOW_SOFT);
    ExpectGoldenFrame("shadow_soft_ground");
    ASSERT_NE(map->GetBlurTarget(), nullptr);
    // The pool holds the map as a free target of the same size and format: the blur must not
    // read and write that one surface.
    EXPECT_NE(map->GetBlurTarget(), map->GetShadowMap());
    EXPECT_EQ(map->GetBlurTarget()->GetWidth(), map->GetShadowMap()->GetWidth());
    const std::vector<std::uint8_t> soft = MapTexels(*map->GetShadowMap());
    ASSERT_EQ(hard.size(), soft.size());
    ASSERT_FALSE(hard.empty());
    // The hard map holds two values; blurring grades the edge between them while the lit corner
    // and the shadow's middle keep theirs.
    const auto between = [](const std::vector<std::uint8_t>& texels) {
        return std::count_if(texels.begin(), texels.end(),
                             [](std::uint8_t v) { return v > 100 && v < 240; });
    };
    EXPECT_EQ(between(hard), 0);
    EXPECT_GT(between(soft), 0);
    const std::size_t side = std::size_t(map->GetShadowMap()->GetWidth());
    EXPECT_EQ(soft[side + 1], 255);
    EXPECT_NEAR(soft[side * (side / 2) + side / 2], hard[side * (side / 2) + side / 2], 2);
}

TEST_F(ShadowFrameTest, BlobsLieUnderTheCastersAndGoBackAfterTheFrame) {
    auto* fake = static_cast<FakeShadow*>(Shadow::GetShadowInstance(SHADOW_KIND_FAKE));
    const float min[3] = {2.5f, 3.5f, 9.0f}, max[3] = {3.5f, 4.5f, 11.0f};
    Entity& high = EntityWithBox(min, max, caster_);
    high.SetShadowScale(2.0f);
    fake->CollectCasters(nullptr, &Queue());  // no pipeline: nothing is queued
    EXPECT_EQ(fake->GetInstancesOut(), 0);

    Scene().PushNewPipe(0, 0, nullptr);
    Scene().PushRenderable(&high);
    fake->CollectCasters(&Scene().GetRenderPipeline(), &Queue());
    ASSERT_EQ(fake->GetInstancesOut(), 1);
    FakeShadowInstance* blob = nullptr;
    dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(RENDER_GROUP_SHADOW_CASTERS))
        ->ForEachList([&](std::int32_t, Light*, const RenderableList& list) {
            blob = dynamic_cast<FakeShadowInstance*>(list.renderables.at(0));
        });
    ASSERT_NE(blob, nullptr);
    const AABB& box = blob->GetBoundingBox();
    EXPECT_EQ(std::vector<float>(box.GetMin(), box.GetMin() + 3),
              (std::vector<float>{2.0f, 3.0f, 0.001f}));
    EXPECT_EQ(std::vector<float>(box.GetMax(), box.GetMax() + 3),
              (std::vector<float>{4.0f, 5.0f, 0.001f}));

    // Drawn in 1 - shadow colour, once per frame on a draw-once pass.
    Pass& pass = *fake->GetCasterMaterial(0)->GetPass(0);
    ASSERT_EQ(blob->FillRenderOperation(&pass, 0), 1u);
    EXPECT_EQ(std::vector<float>(blob->GetRenderOperationRecord()->colour,
                                 blob->GetRenderOperationRecord()->colour + 4),
              std::vector<float>(4, 0.8f));
    EXPECT_EQ(blob->GetRenderOperationRecord()->indexCount, 6u);
    const std::uint32_t flags = pass.passFlags;
    pass.passFlags |= PF_DEPTH_ONLY;
    EXPECT_EQ(blob->FillRenderOperation(&pass, 0), 1u);
    EXPECT_EQ(blob->FillRenderOperation(&pass, 0), 0u);
    pass.passFlags = flags;

    fake->Render(nullptr);
    EXPECT_EQ(fake->GetInstancesOut(), 0);
    EXPECT_EQ(fake->GetCasterSource(), nullptr);
    Scene().CleanPushedObjsAndSubModels();
    Queue().ClearGroup(RENDER_GROUP_SHADOW_CASTERS);
}

TEST_F(ShadowFrameTest, WithoutCastersOrACollectionNothingIsDrawn) {
    auto* map = static_cast<ProjectiveShadow*>(Shadow::GetShadowInstance(SHADOW_KIND_MAP));
    Scene().SetShadowMode(SHADOW_HARD);
    system_.BeginScene();
    // Only a level is pushed: no caster, so neither map nor receivers are drawn.
    Level* level = Scene().CreateLevel();
    Scene().PushNewPipe(0, 0, nullptr);
    Scene().GetRenderPipeline().Add(level);
    Soft()->ResetCallCounts();
    map->CollectCasters(&Scene().GetRenderPipeline(), &Queue());
    map->Render(nullptr);
    EXPECT_EQ(map->GetCasterSource(), nullptr);
    EXPECT_EQ(Calls(D3D9Call::Clear), 0u);
    EXPECT_EQ(Calls(D3D9Call::DrawIndexedPrimitive), 0u);
    // A render without a collection before it does nothing either.
    Scene().GetRenderPipeline().Clear();
    Scene().PushRenderable(box_);
    map->CollectCasters(&Scene().GetRenderPipeline(), &Queue());
    map->Render(nullptr);
    const ULONGLONG drawn = Calls(D3D9Call::DrawIndexedPrimitive);
    EXPECT_GT(drawn, 0u);
    map->Render(nullptr);
    EXPECT_EQ(Calls(D3D9Call::DrawIndexedPrimitive), drawn);
    system_.EndScene();
    Scene().CleanPushedObjsAndSubModels();
    Queue().ClearGroup(RENDER_GROUP_SHADOW_CASTERS);
}

TEST_F(ShadowFrameTest, OnlyRegisteredVisibleFloorPiecesReceive) {
    Material* receiver = Shadow::GetGeneratedMaterial(2);
    const std::size_t registered = Scene().GetEntityCount();
    box_->ClearStateBits(NODE_VISIBLE);
    EXPECT_EQ(Scene().CollectShadowReceivers(receiver), registered);
    EXPECT_EQ(GroupSize(RENDER_GROUP_ENTITY_RECEIVERS), 1u);  // the ground; the box is no floor
    Scene().ClearShadowReceivers();
    groundEntity_->ClearStateBits(NODE_VISIBLE);
    Scene().CollectShadowReceivers(receiver);
    EXPECT_EQ(GroupSize(RENDER_GROUP_ENTITY_RECEIVERS), 0u);
}

// The receiver's stage projects the map with coordinates it generates from camera-space
// positions, and its samplers clamp to a border: a textured piece drawn after the shadow pass
// must read its own coordinates and sampler again, in either device mode, or its texture moves.
TEST_F(ShadowFrameTest, ATexturedPieceDrawsTheSameAfterTheReceiverPass) {
    Material& textured = FlatMaterial("textured", 0);
    Pass& pass = *textured.GetPass(0);
    pass.vertexFlags = VF_POSITION | VF_TEXCOORD0;
    pass.renderState.stages[0].SetTexture(G()->GetTextureManager()->GetDefaultTexture());
    textured.UpdatePasses();
    ASSERT_TRUE(textured.AssignGeneratedProgram());
    auto quad = std::make_unique<Mesh>(nullptr, true, true);
    // Its coordinates run past 0 and 1 (wrapped by its own sampler), so a border left behind by
    // the receiver would show.
    ZelTest::GeometryTest::FillMesh(*quad, {-3, -1, 0.5f, 3, -1, 0.5f, 3, 1, 3, -3, 1, 3},
                                    {0, 1, 2, 0, 2, 3}, {-2, 3, 4, 3, 4, -1, -2, -1});
    meshes_.push_back(std::move(quad));
    Entity& piece = MakeEntity({meshes_.back().get()}, &textured);
    const float min[3] = {-3, -1, 0.5f}, max[3] = {3, 1, 3};
    piece.SetBoundingBox(AABB(min, max));
    struct Case {
        const char* mode;
        bool fixedFunction;
    };
    const Case cases[] = {{"shader", false}, {"fixed function", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Scene().SetDX7Mode(c.fixedFunction);
        ASSERT_TRUE(
            Device().SetFixedFunctionMode(c.fixedFunction ? MODE_FIXED_FUNCTION : MODE_SHADER));
        DrawEntities(SHADOW_OFF, {&piece});
        const std::vector<std::uint8_t> before = MapTexels(*frame_);
        DrawFrame(SHADOW_HARD);
        DrawEntities(SHADOW_OFF, {&piece});
        const std::vector<std::uint8_t> after = MapTexels(*frame_);
        ASSERT_EQ(after.size(), before.size());
        EXPECT_EQ(Differing(before, after), 0u);
    }
}

// The caster pass draws into the map between the frame's pipes and its transparent pipeline: a
// blended piece that casts must still draw there as its first pass (blended over the frame),
// not as a pass added onto an earlier one. The level receives, so no collection of the entities'
// receivers resets the pieces' passes in between.
TEST_F(ShadowFrameTest, ABlendedCasterDrawsTheSameAfterTheCasterPass) {
    Material& glass = FlatMaterial("glass", MF_SHADOW_MAP);
    RenderState& state = glass.GetPass(0)->renderState;
    state.flags |= RSF_ALPHA_BLEND;
    state.srcBlend = BLEND_SRC_ALPHA;
    state.destBlend = BLEND_INV_SRC_ALPHA;
    const float min[3] = {-1, -1, 1}, max[3] = {1, 1, 2.5f};
    Entity& pane = EntityWithBox(min, max, &glass);
    const float halfRed[4] = {0.8f, 0.2f, 0.1f, 0.5f};
    PaintMesh(*pane.GetSubEntity(0)->GetMesh(), halfRed);
    Level* level = Scene().CreateLevel();
    DrawEntities(SHADOW_OFF, {&pane}, level);
    const std::vector<std::uint8_t> unshadowed = MapTexels(*frame_);
    // The pane shows: half its red over the dark background.
    ASSERT_TRUE(std::any_of(unshadowed.begin(), unshadowed.end(),
                            [](std::uint8_t red) { return red > 90 && red < 140; }));
    DrawEntities(SHADOW_HARD, {&pane}, level);
    const std::vector<std::uint8_t> shadowed = MapTexels(*frame_);
    ASSERT_EQ(shadowed.size(), unshadowed.size());
    EXPECT_EQ(Differing(shadowed, unshadowed), 0u);
}

// A skin is posed by its bones: it casts with the skeletal caster, which reads the palette its
// pass is handed; a rigid piece casts with the static one.
TEST_F(ShadowFrameTest, SkinsCastWithTheSkeletalCasterAndRigidPiecesWithTheStaticOne) {
    Entity& owner = MakeEntity({}, nullptr);
    auto skin = std::make_unique<Skin>(nullptr, "skin");
    ZelTest::GeometryTest::FillMesh(*skin, {0, 0, 1, 1, 0, 1, 0, 1, 1}, {0, 1, 2});
    SubEntity& rigid = AddPiece(owner, MakeMesh(), caster_);
    SubEntity& skinned = AddPiece(owner, *skin, caster_);
    Shadow* map = Shadow::GetShadowInstance(SHADOW_KIND_MAP);
    owner.AddShadowCasters(&Queue(), map);
    std::vector<std::pair<const Renderable*, const Material*>> queued;
    auto* casters =
        dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(RENDER_GROUP_SHADOW_CASTERS));
    ASSERT_NE(casters, nullptr);
    casters->ForEachList([&](std::int32_t, Light*, const RenderableList& list) {
        for (const Renderable* piece : list.renderables)
            queued.emplace_back(piece, list.pass ? list.pass->GetOwner() : nullptr);
    });
    Queue().ClearGroup(RENDER_GROUP_SHADOW_CASTERS);
    const std::vector<std::pair<const Renderable*, const Material*>> expected = {
        {&rigid, Shadow::GetGeneratedMaterial(0)}, {&skinned, Shadow::GetGeneratedMaterial(1)}};
    auto sorted = [](auto v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(sorted(queued), sorted(expected));
    owner.RemoveAllSubEntities();
}

TEST_F(ShadowTest, AProjectingLightProjectsThroughItsOwnViewVolume) {
    Camera* camera = Scene().CreateCamera();
    auto* light = dynamic_cast<ProjectingLight*>(Scene().CreateLight(3));
    ASSERT_NE(light, nullptr);
    EXPECT_TRUE(light->IsProjecting());
    EXPECT_EQ(light->GetProjectedTexture(), G()->GetTextureManager()->GetDefaultTexture());
    EXPECT_EQ(&light->GetInfluenceVolume(), static_cast<const BoundingVolume*>(light));
    Light* plain = Scene().CreateLight(1);
    EXPECT_EQ(plain->GetInfluenceVolume().GetKind(), BV_SPHERE);

    // Moved, the volume follows in the same update.
    const float at[3] = {5.0f, 0.0f, 0.0f};
    light->SetPosition(at);
    std::uint32_t counter = 0;
    light->Update(&counter, 0.0f, 1);
    const float ahead[3] = {5.0f, 0.0f, -10.0f}, behind[3] = {5.0f, 0.0f, 10.0f};
    EXPECT_TRUE(light->ContainsPoint(ahead) || light->IntersectSphere(Sphere(ahead, 0.5f)) != 1);
    EXPECT_EQ(light->IntersectSphere(Sphere(behind, 0.5f)), 1);
    float projection[16], expected[16];
    light->ComputeProjectionMatrix(projection);
    light->GetViewProjection(expected);
    EXPECT_EQ(std::vector<float>(projection, projection + 16),
              std::vector<float>(expected, expected + 16));

    // A clone has the same rotator axes.
    const float axis[3] = {0.0f, 1.0f, 0.0f};
    light->Rotate(axis, 0.5f);
    const float* direction = light->Rotator::GetDirection();
    const std::vector<float> before(direction, direction + 3);
    auto* clone = dynamic_cast<ProjectingLight*>(light->Clone(false));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(
        std::vector<float>(clone->Rotator::GetDirection(), clone->Rotator::GetDirection() + 3),
        before);
    (void)camera;
}

}  // namespace
