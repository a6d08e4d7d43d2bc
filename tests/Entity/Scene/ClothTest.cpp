// The cloth mesh of a character's cloth piece: the skinned shape it copies, the blend of every
// vertex toward its simulated particle by the piece's weight, which vertices follow the skin
// whatever the simulation says, and where the pinned particles are sent. The physics cloth is a
// stand-in that records its pins; the skin and its skeleton come from the skinned recipe.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhxScene.h"
#include "Render/RenderCodes.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Scene/SceneFixture.h"
#include "tests/Entity/Scene/StandInCloth.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

using ZelTest::NoBodiesScene;
using ZelTest::StandInCloth;

using Float3 = std::array<float, 3>;

class ClothTest : public ZelTest::SceneTest {
protected:
    void SetUp() override {
        ZelTest::SceneTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
        G()->GetConfigManager()->SetValue(SkeletonModel::kUpdateActionsSwitch, 1);
        G()->GetConfigManager()->SetValue(AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        for (const mg::RecipeFile& f : mg::MakeRecipe("skinned"))
            ASSERT_TRUE(f.file.Save("d/" + f.name));
        owner_ = Scene().CreateDeformedSkeletonModel();
        ASSERT_TRUE(owner_->LoadGeometry("d/skinned.ch3"));
        ASSERT_TRUE(owner_->BuildFromGeometry());
        skin_ = dynamic_cast<Skin*>(owner_->GetGeometry()->GetMesh(0));
        ASSERT_NE(skin_, nullptr);
        n_ = skin_->GetVertexCount();
        ASSERT_GT(n_, 4u);
        // A pose away from the bind pose, somewhere off the origin.
        const float at[3] = {1.0f, 2.0f, 3.0f};
        owner_->SetPosition(at);
        std::uint32_t counter = 0;
        owner_->Update(&counter, 0.7f, 1);

        // The cloth data of the skin's vertices: vertex v weighs 0, 1 or 0.5 by v % 3.
        data_ = std::make_unique<ClothMeshData>(nullptr, "piece");
        auto sub = std::make_unique<Mesh>(nullptr, true, true);
        const VertexComponentDataPool* bind = skin_->GetVertexData()->FindComponent(VF_POSITION);
        std::vector<float> positions(bind->GetFloats(), bind->GetFloats() + 3 * n_);
        std::vector<float> colours;
        for (std::uint32_t v = 0; v < n_; ++v) {
            const float weights[3] = {0.0f, 1.0f, 0.5f};
            colours.insert(colours.end(), {weights[v % 3], 0, 0, 1});
            data_->GetWeldedPositions().push_back(
                {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]});
        }
        sub->GetVertexData()->SetVertexCount(n_);
        sub->SetVertexCount(n_);
        ZelTest::GeometryTest::Add(*sub->GetVertexData(), VF_POSITION, VET_FLOAT3, positions);
        ZelTest::GeometryTest::Add(*sub->GetVertexData(), VF_COLOUR, VET_FLOAT4, colours);
        data_->AddSubMesh(std::move(sub));
        data_->WeldVertices();
        data_->MapRenderVertices();
    }

    // The skin posed by the owner in world space: position and normal per vertex.
    std::vector<float> Skinned() {
        std::vector<float> out(std::size_t(n_) * 6, 0.0f);
        skin_->SkinVertices(out.data(), *owner_->GetBoneStates(), VF_POSITION | VF_NORMAL, 24,
                            owner_->GetWorldMatrix(), 0);
        return out;
    }

    static Float3 At(const std::vector<float>& array, std::uint32_t floats, std::uint32_t v) {
        return {array[std::size_t(v) * floats], array[std::size_t(v) * floats + 1],
                array[std::size_t(v) * floats + 2]};
    }

    static void ExpectNear(const Float3& got, const Float3& want, const std::string& what) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-4f) << what << " [" << c << "]";
    }

    DeformedSkeletonModel* owner_ = nullptr;
    Skin* skin_ = nullptr;
    std::uint32_t n_ = 0;
    std::unique_ptr<ClothMeshData> data_;
    NoBodiesScene scene_;
};

TEST_F(ClothTest, WithoutSimulationTheClothIsTheSkinnedBodyPart) {
    const VertexComponentDataPool* uv = skin_->GetVertexData()->FindComponent(VF_TEXCOORD0);
    ASSERT_NE(uv, nullptr);
    const std::vector<float> skinned = Skinned();
    StandInCloth physics(&scene_, static_cast<std::int32_t>(n_));
    struct Case {
        const char* what;
        PhxCloth* physics;
        bool simulate;
    };
    for (const Case& c : {Case{"no physics cloth", nullptr, true},
                          Case{"a physics cloth not simulating", &physics, false}}) {
        SCOPED_TRACE(c.what);
        Cloth cloth(owner_);
        ASSERT_TRUE(cloth.Build(data_.get(), skin_, 0, 0, 0));
        cloth.SetPhysicsCloth(c.physics, false);
        cloth.UpdateSkinning(c.simulate);
        const std::vector<float>& array = cloth.GetVertexArray();
        const VertexComponentDataPool* drawn = cloth.GetVertexData()->FindComponent(VF_POSITION);
        for (std::uint32_t v = 0; v < n_; ++v) {
            ExpectNear(At(array, Cloth::kVertexFloats, v), At(skinned, 6, v), "vertex");
            ExpectNear(At(array, Cloth::kVertexFloats, v), At(skinned, 6, v), "vertex");
            EXPECT_EQ(array[std::size_t(v) * 8 + 6], uv->GetFloats()[2 * v]) << v;
            EXPECT_EQ(array[std::size_t(v) * 8 + 7], uv->GetFloats()[2 * v + 1]) << v;
            ExpectNear(
                At(std::vector<float>(drawn->GetFloats(), drawn->GetFloats() + 3 * n_), 3, v),
                At(skinned, 6, v), "drawn vertex");
        }
        EXPECT_TRUE(physics.pins.empty());
    }
}

TEST_F(ClothTest, SimulatedVerticesBlendTowardTheirParticlesByWeight) {
    const std::vector<float> skinned = Skinned();
    const std::uint32_t inRange = 6;  // particles the short cloth has
    struct Case {
        const char* what;
        std::int32_t particles;
        std::uint32_t offset;
        bool readBack;
        bool pinVertexOne;
    };
    const Case cases[] = {
        {"every vertex has its particle", std::int32_t(n_), 0, true, false},
        {"particles past the cloth's count follow the skin", std::int32_t(inRange), 0, true, false},
        {"vertices past the data's maps follow the skin", std::int32_t(n_), n_ - 2, true, false},
        {"before the first read-back every vertex follows the skin", std::int32_t(n_), 0, false,
         false},
        {"a pinned vertex follows the skin", std::int32_t(n_), 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.pinVertexOne) {
            data_->BuildAttachments({data_->GetWeldedPositions()[data_->GetPhysicsIndex(1)]});
            std::uint32_t pinned = 0;
            for (std::uint32_t v = 0; v < n_; ++v) pinned += data_->IsPinned(v) ? 1 : 0;
            ASSERT_EQ(pinned, 1u);
        }
        StandInCloth physics(&scene_, c.particles);
        physics.SetSyncPending(!c.readBack);
        Cloth cloth(owner_);
        ASSERT_TRUE(cloth.Build(data_.get(), skin_, c.offset, 0, 0));
        cloth.SetPhysicsCloth(&physics, false);
        cloth.UpdateSkinning(true);
        const std::vector<float>& array = cloth.GetVertexArray();
        for (std::uint32_t v = 0; v < n_; ++v) {
            const std::uint32_t render = c.offset + v;
            const std::uint32_t p = render < n_ ? data_->GetPhysicsIndex(render) : 0;
            const bool follows = render >= n_ || !c.readBack ||
                                 p >= static_cast<std::uint32_t>(c.particles) ||
                                 data_->IsPinned(render);
            const float w = follows ? 0.0f : data_->GetWeight(render);
            const Float3 s = At(skinned, 6, v), q = {100.0f + float(p), 200.0f, 300.0f};
            const Float3 want = {q[0] * w + s[0] * (1 - w), q[1] * w + s[1] * (1 - w),
                                 q[2] * w + s[2] * (1 - w)};
            ExpectNear(At(array, Cloth::kVertexFloats, v), want, "vertex " + std::to_string(v));
        }
    }
}

TEST_F(ClothTest, WeightZeroIsTheSkinAndWeightOneTheParticle) {
    const std::vector<float> skinned = Skinned();
    StandInCloth physics(&scene_, static_cast<std::int32_t>(n_));
    Cloth cloth(owner_);
    ASSERT_TRUE(cloth.Build(data_.get(), skin_, 0, 0, 0));
    cloth.SetPhysicsCloth(&physics, false);
    cloth.UpdateSkinning(true);
    for (std::uint32_t v : {0u, 1u}) {
        ASSERT_EQ(data_->GetWeight(v), float(v));
        const std::uint32_t p = data_->GetPhysicsIndex(v);
        const Float3 particle = {100.0f + float(p), 200.0f, 300.0f};
        ExpectNear(At(cloth.GetVertexArray(), Cloth::kVertexFloats, v),
                   v == 0 ? At(skinned, 6, v) : particle, "vertex " + std::to_string(v));
        // The normal blends too: the particle's normal is (0, 1, 0).
        const float* normal = &cloth.GetVertexArray()[std::size_t(v) * 8 + 3];
        if (v == 1)
            ExpectNear({normal[0], normal[1], normal[2]}, {0, 1, 0}, "normal");
    }
}

TEST_F(ClothTest, PinsLandOnTheirBoneOrTheirSkinnedVertex) {
    const std::vector<float> skinned = Skinned();
    const std::int32_t particles = static_cast<std::int32_t>(n_);
    const Bone* spine = owner_->GetSkeleton()->FindBone("Bip01 Spine");
    ASSERT_NE(spine, nullptr);
    float spineWorld[16];
    owner_->GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(spine->GetIndex()), spineWorld);
    const float local[3] = {0.1f, 0.2f, 0.3f};
    Float3 onSpine;
    for (int r = 0; r < 3; ++r)
        onSpine[r] = spineWorld[4 * r] * local[0] + spineWorld[4 * r + 1] * local[1] +
                     spineWorld[4 * r + 2] * local[2] + spineWorld[4 * r + 3];

    struct Case {
        const char* what;
        bool skinMeshIsASkin;
        std::vector<std::pair<std::int32_t, Float3>> pins;
    };
    const Case cases[] = {
        {"a skinned frame", true, {{1, onSpine}, {2, At(skinned, 6, 3)}}},
        // A plain mesh is not skinned: a vertex pin has no position this frame.
        {"a frame that skinned nothing", false, {{1, onSpine}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mesh& plain = MakeMesh();
        StandInCloth physics(&scene_, particles);
        Cloth cloth(owner_);
        ASSERT_TRUE(cloth.Build(data_.get(), c.skinMeshIsASkin ? static_cast<Mesh*>(skin_) : &plain,
                                0, 0, 0));
        cloth.SetPhysicsCloth(&physics, false);
        cloth.AddAttachment(local, spine, 1, -1);
        cloth.AddAttachment(nullptr, nullptr, 2, 3);
        // Skipped: a particle outside the cloth, a vertex outside the skin.
        cloth.AddAttachment(local, spine, particles, -1);
        cloth.AddAttachment(local, spine, -1, -1);
        cloth.AddAttachment(nullptr, nullptr, 2, static_cast<std::int32_t>(n_));
        cloth.AddAttachment(nullptr, nullptr, 2, -1);
        cloth.UpdateSkinning(false);
        EXPECT_TRUE(physics.pins.empty()) << "nothing is pinned without simulation";
        cloth.UpdateSkinning(true);
        ASSERT_EQ(physics.pins.size(), c.pins.size());
        for (std::size_t i = 0; i < c.pins.size(); ++i) {
            EXPECT_EQ(physics.pins[i].first, c.pins[i].first);
            ExpectNear(physics.pins[i].second, c.pins[i].second, "pin " + std::to_string(i));
        }
    }
}

// The cloth data's attachment records become the cloth's pins: a record without a bone follows
// its skinned vertex, one naming a bone keeps its place in the bone's bind frame, one naming no
// bone of the skeleton adds nothing, and records of another piece are left to it.
TEST_F(ClothTest, BuildTakesThePiecesAttachmentRecords) {
    const std::vector<float> skinned = Skinned();
    auto& records = data_->GetAttachments();
    ClothAttachment vertexPin;
    vertexPin.renderVertex = 2;
    vertexPin.weldedIndex = 4;
    ClothAttachment bonePin = vertexPin;
    bonePin.weldedIndex = 5;
    bonePin.position = {0.3f, -0.2f, 1.1f};
    bonePin.bone = "Bip01 Spine";
    ClothAttachment unknown = bonePin;
    unknown.bone = "Tail";
    ClothAttachment otherPiece = vertexPin;
    otherPiece.subMesh = 1;
    records = {vertexPin, bonePin, unknown, otherPiece};

    StandInCloth physics(&scene_, static_cast<std::int32_t>(n_));
    Cloth cloth(owner_);
    ASSERT_TRUE(cloth.Build(data_.get(), skin_, 0, 0, 0));
    ASSERT_EQ(cloth.GetAttachments().size(), 2u);
    cloth.SetPhysicsCloth(&physics, false);
    cloth.UpdateSkinning(true);
    ASSERT_EQ(physics.pins.size(), 2u);
    EXPECT_EQ(physics.pins[0].first, 4);
    ExpectNear(physics.pins[0].second, At(skinned, 6, 2), "vertex pin");

    // The bone pin: the record's model-space point, carried from the bind pose to the bone's
    // current world placement (a bone that only translates in the bind pose).
    const Bone* spine = owner_->GetSkeleton()->FindBone("Bip01 Spine");
    const float* bind = spine->GetBindMatrix();
    const float relative[3] = {0.3f - bind[3], -0.2f - bind[7], 1.1f - bind[11]};
    float world[16];
    owner_->GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(spine->GetIndex()), world);
    Float3 want;
    for (int r = 0; r < 3; ++r)
        want[r] = world[4 * r] * relative[0] + world[4 * r + 1] * relative[1] +
                  world[4 * r + 2] * relative[2] + world[4 * r + 3];
    EXPECT_EQ(physics.pins[1].first, 5);
    ExpectNear(physics.pins[1].second, want, "bone pin");
}

}  // namespace

namespace {

// A depth-sorted pass projects the cloth's current shape through world, view and projection for
// the piece that asks for sorting; other passes and pieces leave it alone.
TEST_F(ClothTest, ADepthSortedPassProjectsTheCurrentShape) {
    const std::vector<float> skinned = Skinned();
    auto* cloth = new Cloth(owner_);  // the piece owns its cloth mesh
    ASSERT_TRUE(cloth->Build(data_.get(), skin_, 0, 0, 0));
    cloth->UpdateSkinning(false);
    Material& material = MakeMaterial({{}});
    SubEntity& piece = AddPiece(*owner_, *cloth, &material);
    piece.SetTransformFlags(0);
    Pass& pass = *material.GetPass(0);
    // x doubled, y tripled, w = z.
    const float projection[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    Scene().SetViewMatrix(IdentityMatrix());
    Scene().SetProjectionMatrix(projection);

    struct Case {
        const char* what;
        bool depthSorted, sortRequested, enabled, projected;
    };
    const Case cases[] = {
        {"a plain pass", false, true, true, false},
        {"a piece that does not sort", true, false, true, false},
        {"a switched-off cloth", true, true, false, false},
        {"a depth-sorted pass for a sorting piece", true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pass.passFlags = c.depthSorted ? Mesh::kPassDepthSorted : 0;
        piece.SetSortRequested(c.sortRequested);
        cloth->SetEnabled(c.enabled);
        cloth->BuildRenderData(owner_, &piece, &pass);
        const std::vector<float>& out = cloth->GetProjectedPositions();
        ASSERT_EQ(out.size() >= 4 * n_, c.projected);
        for (std::uint32_t v = 0; c.projected && v < n_; ++v) {
            const Float3 p = At(skinned, 6, v);
            ExpectNear({out[4 * v], out[4 * v + 1], out[4 * v + 2]},
                       {2 * p[0] / p[2], 3 * p[1] / p[2], 1.0f}, "vertex " + std::to_string(v));
        }
    }
}

}  // namespace

namespace {

// A piece deletes the cloth mesh made for it, and only that: a geometry's cloth data, which
// answers the same mesh type, stays with its geometry when the piece goes.
TEST_F(ClothTest, APieceDeletesItsOwnClothMeshButNotAGeometrysClothData) {
    Material& material = MakeMaterial({{}});
    SubEntity& dataPiece = AddPiece(*owner_, *data_, &material);
    auto* cloth = new Cloth(owner_);
    ASSERT_TRUE(cloth->Build(data_.get(), skin_, 0, 0, 0));
    SubEntity& clothPiece = AddPiece(*owner_, *cloth, &material);
    EXPECT_EQ(dataPiece.GetRenderKind(), 6u);  // both count as cloth pieces
    EXPECT_EQ(clothPiece.GetRenderKind(), 6u);
    dataPiece.Reset();
    clothPiece.Reset();  // deletes the cloth: the sanitizer build reports a leak otherwise
    EXPECT_EQ(data_->GetMeshType(), 3u);  // still alive, still the geometry's
    EXPECT_EQ(dataPiece.GetMesh(), nullptr);
}

}  // namespace
