// Skeletal models of a loaded skinned geometry in the scene: their skins are drawn posed by the
// model's bone states (on the shader path by the program's bone matrices, on the fixed-function
// path by skinning into the vertex buffer the pass draws), their box follows the root bone, clones
// play on from the same pose, and the animation lists and bone axes the host asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/EnginePaths.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Light.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/AABB.h"
#include "Math/BoundBase.h"
#include "Physics/PhxEntity.h"
#include "Physics/PhysicsSdk.h"
#include "Render/ClearRecord.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderSystem.h"
#include "Render/VertexBufferBinding.h"
#include "Platform/Win32/Win32Window.h"
#include "modelgen/BoneBoundsFiles.h"
#include "modelgen/Recipes.h"
#include "support/GoldenImage.h"
#include "tests/Entity/Scene/RenderSceneFixture.h"

namespace {

using namespace Zel;

constexpr char kModelPath[] = "models/skinned.ch3";
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class SkeletonModelDrawTest : public ZelTest::RenderSceneTest {
protected:
    void SetUp() override {
        ZelTest::RenderSceneTest::SetUp();
        GlobalConfigManager& config = *G()->GetConfigManager();
        config.SetValue(SkeletonModel::kUpdateActionsSwitch, 1);
        config.SetValue(AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        config.SetValue(Skin::kSkinningSwitch, 1);
        std::vector<ZelModelGen::RecipeFile> files;
        std::string error;
        ASSERT_TRUE(ZelModelGen::SaveRecipe("skinned", "models", {}, files, error)) << error;
        G()->GetGeometryManager()->SetBasePath("");
    }

    // A model of the recipe's skinned geometry (its skin on three bones, the walk playing), at x,
    // drawn with the material; its pose is that of `seconds` into the walk.
    SkeletonModel& MakeModel(float x, Material& material, float seconds) {
        // The skinned geometry is made by its file's kind; the model then finds it by name.
        Geometry* geometry = G()->GetGeometryManager()->GetOrLoad(kModelPath, kModelPath);
        EXPECT_TRUE(geometry && geometry->IsLoadSucceeded());
        SkeletonModel* model = Scene().CreateSkeletonModel();
        EXPECT_NE(model, nullptr);
        EXPECT_TRUE(model->LoadGeometry(kModelPath));
        EXPECT_TRUE(model->BuildFromGeometry());
        model->SetMaterialAll(&material);
        const float at[3] = {x, 0.0f, 0.0f};
        model->SetPosition(at);
        model->Update(nullptr, seconds, ++frame_);
        return *model;
    }

    // A lit material of one pass whose generated program skins by four bone influences.
    Material& SkinnedMaterial() {
        auto material = std::make_unique<Material>(nullptr, "skinned", "Material", 0);
        material->lightingMode = 1;
        material->flags = MF_LIT;
        Pass* pass = material->CreatePass(0);
        pass->vertexFlags = VF_POSITION | VF_NORMAL | VF_BLEND_WEIGHTS | VF_BLEND_INDICES;
        pass->skinningType = SKIN_HARDWARE;
        pass->vertexProgramKind = 0;
        pass->influenceCount = 4;
        pass->renderState.cullMode = CULL_NONE;
        material->UpdatePasses();
        EXPECT_TRUE(material->AssignGeneratedProgram());
        materials_.push_back(std::move(material));
        return *materials_.back();
    }

    std::uint32_t frame_ = 0;
};

// Two models of the same skin side by side: the left one in the walk's first pose, the right one
// half a second in, where every bone has turned half a radian about the vertical axis on top of
// its parent's turn and risen: the upper half of the right cube twists further than its lower
// half, and both stand higher than the left cube.
TEST_F(SkeletonModelDrawTest, ASkinnedModelIsDrawnInItsBonesPose) {
    Scene().SetDX7Mode(false);
    Material& material = SkinnedMaterial();
    SkeletonModel& still = MakeModel(-0.55f, material, 0.0f);
    SkeletonModel& walking = MakeModel(0.55f, material, 0.5f);

    const float eye[3] = {0.0f, -3.2f, 2.6f}, target[3] = {0.0f, 0.0f, 1.25f}, up[3] = {0, 0, 1};
    SetLookAtView(eye, target, up, 45.0f, 30.0f);
    const float at[3] = {-2.0f, -3.0f, 4.0f};
    const float dim[4] = {0.2f, 0.2f, 0.25f, 1.0f}, warm[4] = {1.0f, 0.9f, 0.7f, 1.0f};
    Light& light = MakePointLight(at, dim, warm);
    const float background[4] = {0.05f, 0.05f, 0.08f, 1.0f};
    DrawPlainAndLitPipes(background, {&still, &walking}, &light);
    ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), "skeleton_model_posed", 3);
}

TEST_F(SkeletonModelDrawTest, AFixedFunctionPassSkinsThePoseIntoTheBufferItDraws) {
    Scene().SetDX7Mode(true);
    Material& material = MakeMaterial({{}});
    material.GetPass(0)->vertexFlags = VF_POSITION | VF_NORMAL;
    SkeletonModel& model = MakeModel(0.0f, material, 0.5f);
    SubEntity& piece = *model.GetSubEntity(0);
    auto& skin = dynamic_cast<Skin&>(*piece.GetMesh());
    Pass& pass = *material.GetPass(0);
    ASSERT_EQ(piece.FillRenderOperation(&pass, 0), 1u);

    VertexBufferByFormat* format = piece.GetRenderOperationRecord()->vertexBinding;
    ASSERT_NE(format, nullptr);
    const std::uint32_t stride = format->GetStride();
    const std::uint32_t n = skin.GetVertexCount();
    std::vector<std::uint8_t> bytes(std::size_t(n) * stride);
    format->GetBinding()->GetSlot(0).buffer->ReadData(format->GetBinding()->GetSlot(0).offset,
                                                      static_cast<std::uint32_t>(bytes.size()),
                                                      bytes.data());
    // The vertices that hang on one bone alone lie where that bone's skin matrix puts them.
    const float* bind = skin.GetVertexData()->FindComponent(VF_POSITION)->GetFloats();
    std::uint32_t checked = 0;
    for (std::uint32_t v = 0; v < n; ++v) {
        const SkinBlendRecord& record = skin.GetBlendRecords()[v];
        if (record.count != 1)
            continue;
        const float* m = model.GetBoneState(record.bones[0])->skinMatrix;
        const float* p = bind + 3 * v;
        float drawn[3];
        std::memcpy(drawn, &bytes[std::size_t(v) * stride], sizeof drawn);
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(drawn[r],
                        m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3],
                        1e-4f)
                << v << " " << r;
        EXPECT_GT(std::abs(drawn[0] - p[0]) + std::abs(drawn[1] - p[1]), 1e-3f)
            << "vertex " << v << " turned away from its bind place";
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

// A depth-sorted pass sorts the skin's triangles by where the pose puts them: the cube's upper
// face hangs on one bone, its lower face on two others.
TEST_F(SkeletonModelDrawTest, ADepthSortedPassSortsThePosedTriangles) {
    Material& material = MakeMaterial({{}});
    Pass& pass = *material.GetPass(0);
    pass.passFlags |= Mesh::kPassDepthSorted;
    SkeletonModel& model = MakeModel(0.0f, material, 0.0f);
    SubEntity& piece = *model.GetSubEntity(0);
    piece.SetSortRequested(true);
    auto& skin = dynamic_cast<Skin&>(*piece.GetMesh());
    ASSERT_TRUE(skin.IsSingleTriangleList());
    Scene().SetRenderCamera(Scene().CreateCamera());
    // Clip space is world space: the farther triangle is the one of greater z.
    Scene().SetViewMatrix(kIdentity);
    Scene().SetProjectionMatrix(kIdentity);
    const auto isUpper = [&](std::uint32_t v) { return skin.GetBlendRecords()[v].count == 1; };
    struct Case {
        const char* what;
        float upperShift;  // z added by the upper face's bone
        bool upperFirst;
    };
    const Case cases[] = {
        {"in the bind pose the upper face is the farther", 0.0f, true},
        {"posed below the lower face it comes last", -10.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (std::uint32_t b = 0; b < model.GetBoneStateCount(); ++b)
            std::copy_n(kIdentity, 16, model.GetBoneState(b)->skinMatrix);
        model.GetBoneState(1)->skinMatrix[11] = c.upperShift;
        ASSERT_EQ(piece.FillRenderOperation(&pass, 0), 1u);
        const std::vector<std::uint32_t> sorted =
            ZelTest::GeometryTest::Indexes(*skin.GetIndexData()->GetBuffer());
        // The first triangle of each face in the drawing order.
        std::size_t firstUpper = sorted.size(), firstLower = sorted.size();
        for (std::size_t t = 0; t + 2 < sorted.size(); t += 3) {
            const bool upper =
                isUpper(sorted[t]) && isUpper(sorted[t + 1]) && isUpper(sorted[t + 2]);
            const bool lower =
                !isUpper(sorted[t]) && !isUpper(sorted[t + 1]) && !isUpper(sorted[t + 2]);
            if (upper && firstUpper == sorted.size())
                firstUpper = t;
            if (lower && firstLower == sorted.size())
                firstLower = t;
        }
        ASSERT_LT(firstUpper, sorted.size());
        ASSERT_LT(firstLower, sorted.size());
        EXPECT_EQ(firstUpper < firstLower, c.upperFirst);
    }
    Scene().SetRenderCamera(nullptr);
}

TEST_F(SkeletonModelDrawTest, APiecePassesThePaletteModeToItsSkin) {
    Material& material = MakeMaterial({{}});
    SkeletonModel& model = MakeModel(0.0f, material, 0.0f);
    SubEntity& piece = *model.GetSubEntity(0);
    auto& skin = dynamic_cast<Skin&>(*piece.GetMesh());
    piece.SetSkinPaletteMode(true);
    EXPECT_TRUE(skin.GetPaletteMode());
    piece.SetSkinPaletteMode(false);
    EXPECT_FALSE(skin.GetPaletteMode());
    // A plain mesh has no palette to switch.
    Entity& plain = MakeEntity({&MakeMesh()}, &material);
    plain.GetSubEntity(0)->SetSkinPaletteMode(true);
}

TEST_F(SkeletonModelDrawTest, TheBoxFollowsTheRootBone) {
    Material& material = MakeMaterial({{}});
    SkeletonModel& model = MakeModel(2.0f, material, 0.5f);
    // Half a second into the walk the root has turned half a radian about the vertical axis
    // through the cube's middle: the square of side 0.5 spans 0.25 (cos + sin) either way.
    const float half = 0.25f * (std::cos(0.5f) + std::sin(0.5f));
    const AABB& box = model.GetBoundingBox();
    EXPECT_NEAR(box.GetMin()[0], 2.0f - half, 2e-3f);
    EXPECT_NEAR(box.GetMax()[0], 2.0f + half, 2e-3f);
    EXPECT_NEAR(box.GetMin()[1], -half, 2e-3f);
    EXPECT_NEAR(box.GetMax()[1], half, 2e-3f);
    EXPECT_NEAR(box.GetMin()[2], 1.0f, 1e-4f);
    EXPECT_NEAR(box.GetMax()[2], 1.5f, 1e-4f);
}

TEST_F(SkeletonModelDrawTest, AClonePlaysOnFromTheSamePoseWithBoundsOfItsOwn) {
    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    G()->GetConfigManager()->SetValue(79, 1);
    ZelModelGen::BoneBoundEntry ball{"SPHERE", "ball", "Bip01 Spine", 0.2f};
    ball.local[3] = 0.5f;
    std::ofstream("bounds.xml") << ZelModelGen::WriteBoneBounds({ball});
    Material& material = MakeMaterial({{}});
    SkeletonModel& model = MakeModel(0.0f, material, 0.25f);
    ASSERT_TRUE(model.LoadBoneBounds("bounds.xml"));
    model.SetBlendLength(0.7f);
    model.Update(nullptr, 0.1f, ++frame_);

    auto* clone = dynamic_cast<SkeletonModel*>(model.Clone(false));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetMainAction(), model.GetMainAction());
    EXPECT_EQ(clone->GetMainTime(), model.GetMainTime());
    EXPECT_EQ(clone->GetBlendLength(), 0.7f);
    ASSERT_EQ(clone->GetBoneStateCount(), model.GetBoneStateCount());
    ASSERT_EQ(clone->GetBoneBounds().size(), 1u);
    const BoundBase& bound = *clone->GetBoneBounds()[0];
    EXPECT_NE(&bound, model.GetBoneBounds()[0]);
    ASSERT_NE(bound.GetPhysicsBody(), nullptr);
    EXPECT_NE(bound.GetPhysicsBody(), model.GetBoneBounds()[0]->GetPhysicsBody());
    EXPECT_EQ(bound.GetPhysicsBody()->GetGroup(),
              static_cast<std::int32_t>(clone->GetCollisionGroup()));
    EXPECT_TRUE(bound.GetPhysicsBody()->IsKinematic());

    for (SkeletonModel* m : {&model, clone}) m->Update(nullptr, 0.2f, ++frame_);
    for (std::uint32_t b = 0; b < model.GetBoneStateCount(); ++b)
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(clone->GetBoneState(b)->skinMatrix[k], model.GetBoneState(b)->skinMatrix[k],
                        1e-5f)
                << b << " " << k;
    float spine[16];
    clone->GetCurrentBoneWorldMatrix(1, spine);
    EXPECT_NEAR(bound.GetPhysicsBody()->GetPose()[3], spine[0] * 0.5f + spine[3], 1e-4f);
    EXPECT_NEAR(bound.GetPhysicsBody()->GetPose()[7], spine[4] * 0.5f + spine[7], 1e-4f);
    clone->Destroy();
    model.Destroy();
}

TEST_F(SkeletonModelDrawTest, AnimationNamesAreListedUpToTheCapacity) {
    Material& material = MakeMaterial({{}});
    SkeletonModel& model = MakeModel(0.0f, material, 0.0f);
    const char* ids[2] = {nullptr, nullptr};
    EXPECT_EQ(model.GetAnimationIds(ids, 0), 0u);
    ASSERT_EQ(model.GetAnimationIds(ids, 2), 1u) << "the recipe has one action";
    EXPECT_STREQ(ids[0], "walk");
    char names[2][8];
    std::memset(names, 'x', sizeof names);
    ASSERT_EQ(model.GetAnimationNames(&names[0][0], 2, 8), 1u);
    EXPECT_STREQ(names[0], "walk");
    EXPECT_EQ(names[1][0], 'x') << "nothing past the last name";
    char narrow[3];
    ASSERT_EQ(model.GetAnimationNames(narrow, 1, 3), 1u);
    EXPECT_STREQ(narrow, "wa") << "a name is cut to its slot";
    EXPECT_EQ(model.CountAnimations(), 1u);

    SkeletonModel* empty = Scene().CreateSkeletonModel();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetAnimationIds(ids, 2), 0u);
    EXPECT_EQ(empty->GetAnimationNames(&names[0][0], 2, 8), 0u);
}

TEST_F(SkeletonModelDrawTest, BoneAxesAreThreeLinesOfAKnownBone) {
    Material& material = MakeMaterial({{}});
    SkeletonModel& model = MakeModel(0.0f, material, 0.0f);
    const float red[3] = {1.0f, 0.0f, 0.0f};
    struct Case {
        const char* bone;
        ULONGLONG lines;
    };
    system_.BeginScene();
    for (const Case& c : {Case{"Bip01 Spine", 3}, Case{"Nobody", 0}}) {
        SCOPED_TRACE(c.bone);
        Soft()->ResetCallCounts();
        model.DrawBoneAxes(c.bone, red, 0.5f);
        EXPECT_EQ(Calls(D3D9Call::DrawIndexedPrimitiveUP) + Calls(D3D9Call::DrawPrimitiveUP),
                  c.lines);
    }
}

TEST_F(SkeletonModelDrawTest, ACustomTextureGivesThePieceAPrivateMaterialUntilCleared) {
    G()->GetTextureManager()->SetDevice(Device().GetD3DDevice(), &Device());
    Material* base = G()->GetMaterialManager()->CreateMaterial("skin_base");
    ASSERT_NE(base, nullptr);
    G()->GetMaterialManager()->Add(base);
    base->CreatePass(0);
    SkeletonModel& model = MakeModel(0.0f, *base, 0.0f);
    SubEntity& piece = *model.GetSubEntity(0);
    const std::uint8_t texels[2 * 2 * 4] = {10, 20, 30, 40, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9};
    EXPECT_FALSE(model.SetCustomTexture(2, 2, texels, sizeof texels));
    EXPECT_FALSE(model.ClearCustomTexture());
    const std::string log = LogText();
    EXPECT_NE(
        log.find("该模型缺少mesh_define_texture网格，不支持设置自定义贴图:models\\skinned.ch3"),
        std::string::npos);
    EXPECT_NE(
        log.find("该模型缺少mesh_define_texture网格，不支持清除自定义贴图:models\\skinned.ch3"),
        std::string::npos);
    piece.GetMesh()->SetName(SkeletonModel::kCustomTextureMesh);
    EXPECT_FALSE(model.SetCustomTexture(2, 2, texels, sizeof texels - 1)) << "a short buffer";
    EXPECT_EQ(piece.GetOwnMaterial(), base);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(model.SetCustomTexture(2, 2, texels, sizeof texels));
        Material* custom = piece.GetOwnMaterial();
        ASSERT_NE(custom, base);
        EXPECT_EQ(custom, model.GetCustomMaterial());
        EXPECT_TRUE(custom->IsClone())
            << "a copy of the piece's own material, not of the last copy";
        TextureBase* texture = custom->GetPass(0)->renderState.stages[0].GetTexture();
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetName().rfind("define$_$texture_", 0), 0u) << texture->GetName();
        std::int32_t pitch = 0;
        void* bits = nullptr;
        ASSERT_TRUE(texture->LockLevel(0, &pitch, &bits, nullptr, 2));
        const auto* first = static_cast<const std::uint8_t*>(bits);
        EXPECT_EQ((std::vector<int>{first[0], first[1], first[2], first[3]}),
                  (std::vector<int>{30, 20, 10, 40}))
            << "stored as B, G, R, A";
        texture->UnlockLevel();
        EXPECT_EQ(base->GetPass(0)->renderState.stages[0].GetTexture(), nullptr)
            << "the piece's own material is left alone";
    }
    EXPECT_TRUE(model.ClearCustomTexture());
    EXPECT_EQ(piece.GetOwnMaterial(), base);
    EXPECT_EQ(model.GetCustomMaterial(), nullptr);
    EXPECT_NE(SkeletonModel::MakeCustomTextureName(), SkeletonModel::MakeCustomTextureName());
}

}  // namespace
