// A cape on a skeleton model settling under the physics runtime, drawn at three frames and
// compared with golden images; and the cloth switches as the scene's start-up leaves them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Core/EnginePaths.h"
#include "Core/SharedPtr.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/Light.h"
#include "Math/MathUtil.h"
#include "Physics/PhxBodyDesc.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/ClearRecord.h"
#include "Render/RenderSystem.h"
#include "modelgen/Recipes.h"
#include "support/GoldenImage.h"
#include "tests/Entity/Scene/RenderSceneFixture.h"
#include "tests/Entity/Scene/StandInCloth.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

class ClothGoldenTest : public ZelTest::RenderSceneTest {
protected:
    void SetUp() override {
        ZelTest::RenderSceneTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
        G()->GetConfigManager()->SetPreferBinaryFiles(false);
        G()->GetConfigManager()->SetValue(SkeletonModel::kUpdateActionsSwitch, 1);
        G()->GetConfigManager()->SetValue(AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        SetPhysicsRuntimeMissing(false);
        ASSERT_TRUE(LoadPhysicsSDK());
    }
    void TearDown() override {
        if (cape_)
            cape_->SetSkeletonName("");
        Scene().ReleaseAllEntities();
        capeHold_.Reset();
        G()->GetPhysicsWorld()->Shutdown();
        ZelTest::RenderSceneTest::TearDown();
    }

    // A lit material of one untextured, two-sided pass, its program generated for it.
    Material& LitMaterial() {
        auto material = std::make_unique<Material>(nullptr, "cape", "Material", 0);
        material->lightingMode = 1;
        material->flags = MF_LIT;
        Pass* pass = material->CreatePass(0);
        pass->vertexFlags = VF_POSITION | VF_NORMAL;
        pass->renderState.cullMode = CULL_NONE;
        material->UpdatePasses();
        EXPECT_TRUE(material->AssignGeneratedProgram());
        materials_.push_back(std::move(material));
        return *materials_.back();
    }

    void DrawFrame(Entity& model, Light& light) {
        const float background[4] = {0.08f, 0.08f, 0.12f, 1.0f};
        DrawPlainAndLitPipes(background, {&model}, &light);
    }

    GeometryCloth* cape_ = nullptr;
    SharedPtr<Geometry> capeHold_;  // the cloth mesh reads the geometry's cloth data
};

// The cape starts level behind the back and, pinned at three points of its first row, falls
// and swings down under gravity while its first row follows the walking skeleton.
TEST_F(ClothGoldenTest, ACapeOnASkeletonModelSettlesUnderGravity) {
    for (const char* recipe : {"skinned", "cloth"})
        for (const mg::RecipeFile& f : mg::MakeRecipe(recipe))
            ASSERT_TRUE(f.file.Save("c/" + f.name));
    Skeleton* skeleton = G()->GetSkeletonManager()->GetOrLoad("c/skinned_skeleton.ase");
    ASSERT_NE(skeleton, nullptr);
    cape_ =
        dynamic_cast<GeometryCloth*>(G()->GetGeometryManager()->Create("c/cape.xml", "c/cape.xml"));
    ASSERT_NE(cape_, nullptr);
    capeHold_.Assign(cape_);
    cape_->SetSkeletonName("c/skinned_skeleton.ase");
    cape_->Load("c/cape.xml");
    ASSERT_TRUE(cape_->IsLoadSucceeded());
    auto* data = dynamic_cast<ClothMeshData*>(cape_->GetMesh(0));
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->GetAttachments().size(), 3u);

    DeformedSkeletonModel* owner = Scene().CreateDeformedSkeletonModel();
    ASSERT_TRUE(owner->LoadGeometry("c/skinned.ch3"));
    ASSERT_TRUE(owner->BuildFromGeometry());
    // Only the cape is drawn: the body's own pieces go.
    owner->RemoveAllSubEntities();

    PhxScene* physics = G()->GetPhysicsWorld()->GetScene();
    ASSERT_NE(physics, nullptr);
    const PhxClothSource source = data->GetPhysicsSource();
    PhxBodyDesc desc = {};
    desc.scalar = 1.0f;
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, desc.pose);
    desc.shapeKind = PHX_SHAPE_CLOTH_ALT;
    desc.extra = &source;
    auto* simulated = dynamic_cast<PhxCloth*>(physics->CreateEntity(&desc));
    ASSERT_NE(simulated, nullptr);

    // The piece owns the cloth mesh; the cloth owns its physics cloth. Its vertices are in world
    // space: the piece draws without its owner's placement.
    auto* cloth = new Cloth(owner);
    ASSERT_TRUE(cloth->Build(data, data->GetSubMesh(0), data->GetSubMeshOffset(0), 0, 0));
    cloth->SetPhysicsCloth(simulated, true);
    SubEntity& piece = AddPiece(*owner, *cloth, &LitMaterial());
    piece.SetTransformFlags(0);

    const float eye[3] = {1.6f, -2.2f, 1.9f}, target[3] = {0.0f, -0.5f, 1.05f}, up[3] = {0, 0, 1};
    SetLookAtView(eye, target, up, 45.0f, 30.0f);
    const float at[3] = {2.0f, -3.0f, 4.0f};
    const float dim[4] = {0.25f, 0.25f, 0.3f, 1.0f}, warm[4] = {1.0f, 0.9f, 0.75f, 1.0f};
    Light* light = &MakePointLight(at, dim, warm);

    struct Shot {
        std::uint32_t frame;
        const char* golden;
    };
    const Shot shots[] = {{1, "cloth_settle_01"}, {12, "cloth_settle_12"}, {60, "cloth_settle_60"}};
    constexpr float kStep = 1.0f / 60.0f;
    std::uint32_t counter = 0;
    std::size_t next = 0;
    for (std::uint32_t frame = 1; frame <= shots[2].frame; ++frame) {
        owner->Update(&counter, kStep, frame);
        cloth->UpdateSkinning(true);
        physics->Step(kStep);
        physics->UpdateEntities();
        if (frame != shots[next].frame)
            continue;
        SCOPED_TRACE(shots[next].golden);
        DrawFrame(*owner, *light);
        ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), shots[next].golden, 3);
        ++next;
    }
    // Settled: the free corner hangs well below the pinned row.
    const std::vector<float>& vertices = cloth->GetVertexArray();
    const std::uint32_t last = cloth->GetVertexCount() - 1;
    EXPECT_LT(vertices[std::size_t(last) * Cloth::kVertexFloats + 2], 1.0f);
}

// The scene's start-up switches cloth on with the physics runtime; each cloth remembers its own
// last switch-off, so a second cloth's first switch-off still reaches its physics cloth.
class ClothStartupTest : public ZelTest::DeviceTest {
protected:
    void SetUp() override {
        ZelTest::DeviceTest::SetUp();
        const auto root = dir_.Path();
        dir_.Write("data/include/common.fxh", "float4 c;\n");
        dir_.Write("data/Materials/basic.xml", "<Materials/>\n");
        std::filesystem::create_directories(root / "resources");
        std::filesystem::create_directories(root / "Bin");
        std::filesystem::current_path(root / "Bin");
    }
    void TearDown() override {
        G()->Shutdown();
        // The switches are the process's: back to how a process starts.
        Cloth::SetGlobalEnabled(true);
        SetClothStartupFlag(false);
        std::filesystem::current_path(dir_.Path());
        ZelTest::DeviceTest::TearDown();
    }
};

TEST_F(ClothStartupTest, SwitchOffRequestsAreRememberedPerCloth) {
    SetPhysicsRuntimeMissing(false);
    Cloth::SetGlobalEnabled(false);
    ASSERT_NE(G()->GetSceneManager()->CreateRenderSystem(Settings()), nullptr);
    G()->GetSceneManager()->Init(nullptr);
    ASSERT_TRUE(G()->GetSceneManager()->IsPhysicsAvailable());
    EXPECT_TRUE(Cloth::IsGlobalEnabled());
    EXPECT_TRUE(IsClothEnabled()) << "the physics layer's flag";
    EXPECT_TRUE(IsClothStartupFlagSet());

    SkeletonModel* owner = G()->GetSceneManager()->CreateSkeletonModel();
    ZelTest::NoBodiesScene scene;
    ZelTest::StandInCloth first(&scene, 0), second(&scene, 0);
    Cloth a(owner), b(owner);
    a.SetPhysicsCloth(&first, false);
    b.SetPhysicsCloth(&second, false);
    a.SetPhysicsActive(false);
    a.SetPhysicsActive(false);  // dropped: a's last request was false
    b.SetPhysicsActive(false);  // reaches b's cloth whatever a asked
    a.SetPhysicsActive(true);
    a.SetPhysicsActive(false);
    EXPECT_EQ(first.sleepRequests, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(second.sleepRequests, (std::vector<bool>{false}));
    Cloth ownerless(nullptr);
    ZelTest::StandInCloth third(&scene, 0);
    ownerless.SetPhysicsCloth(&third, false);
    ownerless.SetPhysicsActive(true);
    EXPECT_TRUE(third.sleepRequests.empty()) << "a cloth without an owner asks nothing";
}

}  // namespace
