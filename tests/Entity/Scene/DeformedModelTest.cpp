// Morph animation: the keys a deformed mesh keeps or bakes to 30 a second, the key a switching
// blend shows, the shape a deformed model's piece draws at its time, the model's clock, and the
// morph models a deformed skeleton model carries on its bones.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/SubEntity.h"
#include "Render/RenderCodes.h"
#include "Render/RenderOperation.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

class DeformedModelTest : public ZelTest::SceneTest {
protected:
    void SetUp() override {
        ZelTest::SceneTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
        G()->GetConfigManager()->SetPreferBinaryFiles(false);
    }

    // The morph model of MorphModelOf, written under a fresh name and loaded.
    GeometryDeformed* LoadMorph(const std::vector<float>& times, std::uint32_t cells, bool blend,
                                bool loop = true) {
        mg::MorphGeometryDesc desc = mg::MorphModelOf(times, cells, blend);
        desc.morphFlag = loop ? 1 : 0;
        const std::string path = "m/morph" + std::to_string(files_++) + ".an3";
        EXPECT_TRUE(mg::WriteMorphGeometryFile(desc).Save(path));
        auto* geometry = dynamic_cast<GeometryDeformed*>(
            G()->GetGeometryManager()->GetOrLoadByKind(path, path, GEOMETRY_KIND_DEFORMED));
        EXPECT_NE(geometry, nullptr);
        EXPECT_TRUE(geometry && geometry->IsLoadSucceeded());
        return geometry;
    }

    DeformedModel* MakeModel(const std::vector<float>& times, std::uint32_t cells, bool blend,
                             bool loop) {
        GeometryDeformed* geometry = LoadMorph(times, cells, blend, loop);
        DeformedModel* model = Scene().CreateDeformedModel();
        EXPECT_NE(model, nullptr);
        EXPECT_TRUE(model->LoadGeometry(geometry->GetName()));
        EXPECT_TRUE(model->BuildFromGeometry());
        return model;
    }

    // The x of the grid vertex at (size, 0): vertex `cells` of a grid of that many squares.
    static float EdgeX(const Mesh& mesh, std::uint32_t cells) {
        return mesh.GetVertexData()->FindComponent(VF_POSITION)->GetFloats()[3 * cells];
    }

    // The grid size MorphModelOf gives at time t when its keys blend: key k has size 1 + 0.5 k.
    static float SizeAt(const std::vector<float>& times, float t) {
        if (t <= times.front())
            return 1.0f;
        for (std::size_t k = 1; k < times.size(); ++k)
            if (t < times[k]) {
                const float w = (times[k] - t) / (times[k] - times[k - 1]);
                return (1.0f + 0.5f * float(k - 1)) * w + (1.0f + 0.5f * float(k)) * (1 - w);
            }
        return 1.0f + 0.5f * float(times.size() - 1);
    }

    int files_ = 0;
};

TEST_F(DeformedModelTest, KeysAreKeptOrBakedEveryThirtiethOfASecond) {
    struct Case {
        const char* what;
        std::vector<float> times;
        std::uint32_t cells;
        bool baked;
        bool blendMode;  // when kept
        std::uint32_t count;
    };
    const Case cases[] = {
        {"sparse keys of a small mesh", {0.0f, 1.0f}, 1, true, false, 31},
        {"a sample on every key boundary", {0.0f, 0.5f, 1.0f}, 1, true, false, 31},
        {"a last key off the grid gets its own key", {0.0f, 0.5f, 1.05f}, 1, true, false, 33},
        {"the grid starts at the first key", {0.2f, 1.2f}, 1, true, false, 31},
        {"20 or more vertices keep their keys and blend", {0.0f, 1.0f}, 4, false, true, 2},
        {"dense keys are switched", {0.0f, 0.02f, 0.04f}, 1, false, false, 3},
        {"a single key blends", {0.5f}, 1, false, true, 1},
        {"decreasing times stay as they are", {0.0f, 1.0f, 0.5f}, 1, false, false, 3},
        {"repeated times stay as they are", {0.0f, 0.5f, 0.5f, 1.0f}, 1, false, false, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeometryDeformed* geometry = LoadMorph(c.times, c.cells, true);
        ASSERT_NE(geometry, nullptr);
        const DeformedMesh& mesh = *geometry->GetMorphTarget(0);
        const auto& keys = mesh.GetKeys();
        ASSERT_EQ(keys.size(), c.count);
        if (!c.baked) {
            EXPECT_EQ((mesh.GetModeFlags() & DeformedMesh::MODE_BLEND) != 0, c.blendMode);
            for (std::size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(keys[k]->time, c.times[k]);
            continue;
        }
        EXPECT_EQ(mesh.GetModeFlags() & DeformedMesh::MODE_BLEND, 0u);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const float want =
                i + 1 == keys.size() ? c.times.back() : c.times.front() + float(i) / 30.0f;
            EXPECT_NEAR(keys[i]->time, want, 1e-5f) << "key " << i;
            EXPECT_FALSE(keys[i]->blend);
            EXPECT_NEAR(EdgeX(*keys[i]->mesh, c.cells), SizeAt(c.times, keys[i]->time), 1e-4f)
                << "key " << i;
        }
    }
}

// A switching key shows the earlier shape until 90% of the way: the earlier key's weight w
// must fall to 0.1 before the later one is copied.
TEST_F(DeformedModelTest, ASwitchingKeyShowsLate) {
    Mesh& a = MakeMesh(1.0f);
    Mesh& b = MakeMesh(5.0f);
    Mesh& out = MakeMesh(0.0f);
    DeformedMesh::Key ka{0.0f, &a, false}, kb{1.0f, &b, false}, ko{0.0f, &out, false};
    struct Case {
        float w;
        float x;
    };
    for (const Case& c : {Case{1.0f, 1.0f}, Case{0.5f, 1.0f}, Case{0.11f, 1.0f}, Case{0.1f, 5.0f},
                          Case{0.05f, 5.0f}, Case{0.0f, 5.0f}}) {
        ASSERT_TRUE(DeformedMesh::MorphBlend(ka, kb, c.w, ko, 0));
        EXPECT_EQ(EdgeX(out, 0), c.x) << "w " << c.w;
    }
    kb.blend = true;
    ASSERT_TRUE(DeformedMesh::MorphBlend(ka, kb, 0.25f, ko, 0));
    EXPECT_FLOAT_EQ(EdgeX(out, 0), 0.25f * 1.0f + 0.75f * 5.0f);
}

TEST_F(DeformedModelTest, ABlendingMeshShowsItsKeysAtTheirTimes) {
    constexpr std::uint32_t kCells = 4;
    GeometryDeformed* geometry = LoadMorph({0.0f, 1.0f, 2.0f}, kCells, true);
    ASSERT_NE(geometry, nullptr);
    DeformedMesh& mesh = *geometry->GetMorphTarget(0);
    ASSERT_NE(mesh.GetModeFlags() & DeformedMesh::MODE_BLEND, 0u);
    struct Case {
        std::uint32_t key;
        float time;
        float size;
    };
    const Case cases[] = {
        {0, 0.0f, 1.0f},  {1, 1.0f, 1.5f},  {2, 2.0f, 2.0f},  // each key at its own time
        {0, 0.5f, 1.25f}, {1, 1.5f, 1.75f},                   // halfway between keys
        {3, 0.0f, 1.75f},                                     // no such key: unchanged
    };
    for (const Case& c : cases) {
        mesh.GetVertexData()->SetDirty(false);
        mesh.ShowKey(c.key, c.time, VF_POSITION | VF_NORMAL);
        EXPECT_EQ(mesh.GetVertexData(), mesh.Mesh::GetVertexData())
            << "blending draws its own data";
        EXPECT_NEAR(EdgeX(mesh, kCells), c.size, 1e-5f) << "key " << c.key << " at " << c.time;
        EXPECT_EQ(mesh.GetVertexData()->IsDirty(), c.key < 3) << "the buffer is rewritten";
    }
}

TEST_F(DeformedModelTest, TheModelsClockStopsOrRestarts) {
    struct Step {
        float dt;
        float time;
        bool playing;
    };
    struct Case {
        const char* what;
        bool loop;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"a looping animation restarts at 0 whatever the overshoot",
         true,
         {{0.6f, 0.6f, true}, {-1.0f, 0.6f, true}, {0.7f, 0.0f, true}, {0.25f, 0.25f, true}}},
        {"another stops at exactly its length and stays there",
         false,
         {{0.6f, 0.6f, true}, {0.7f, 1.0f, false}, {0.25f, 1.0f, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeformedModel* model = MakeModel({0.0f, 1.0f}, 1, true, c.loop);
        std::uint32_t counter = 0, frame = 1;
        for (const Step& s : c.steps) {
            model->Update(&counter, s.dt, frame++);
            EXPECT_FLOAT_EQ(model->GetTime(), s.time) << "after " << s.dt;
            EXPECT_EQ(model->IsPlaying(), s.playing) << "after " << s.dt;
        }
        Scene().ReleaseEntity(model);
    }
}

TEST_F(DeformedModelTest, SetTimeWrapsOnlyPastTheLength) {
    DeformedModel* model = MakeModel({0.0f, 1.0f}, 1, true, false);
    std::uint32_t counter = 0;
    model->Update(&counter, 2.0f, 1);
    ASSERT_FALSE(model->IsPlaying());
    for (const auto& [given, kept] : {std::pair{1.0f, 1.0f}, {2.5f, 0.5f}, {0.25f, 0.25f}}) {
        model->SetTime(given);
        EXPECT_FLOAT_EQ(model->GetTime(), kept) << given;
        EXPECT_EQ(model->GetKeyIndex(), 0u);
        EXPECT_TRUE(model->IsPlaying());
    }
}

// A small mesh's baked keys are switched: the piece draws the key of the model's time.
TEST_F(DeformedModelTest, APieceDrawsTheKeyOfItsModelsTime) {
    DeformedModel* model = MakeModel({0.0f, 1.0f}, 1, true, true);
    ASSERT_EQ(model->GetSubEntities().size(), 1u);
    SubEntity& piece = *model->GetSubEntity(0);
    Material& material = MakeMaterial({{}});
    piece.SetMaterial(&material);
    const auto& keys =
        dynamic_cast<GeometryDeformed*>(model->GetGeometry())->GetMorphTarget(0)->GetKeys();
    std::uint32_t counter = 0;
    model->Update(&counter, 0.51f, 1);
    ASSERT_EQ(model->GetKeyIndex(), 15u) << "the last key before the time";
    ASSERT_EQ(piece.FillRenderOperation(material.GetPass(0), 0), 1u);
    EXPECT_EQ(piece.GetRenderOperationRecord()->vertexData, keys[15]->mesh->GetVertexData());
    EXPECT_NEAR(EdgeX(*keys[15]->mesh, 1), SizeAt({0.0f, 1.0f}, 0.5f), 1e-5f);
}

class DeformedSkeletonModelTest : public DeformedModelTest {
protected:
    void SetUp() override {
        DeformedModelTest::SetUp();
        G()->GetConfigManager()->SetPreferBinaryFiles(true);
        G()->GetConfigManager()->SetValue(SkeletonModel::kUpdateActionsSwitch, 1);
        G()->GetConfigManager()->SetValue(AnimationTrack::kUpdateTrackAnimationsSwitch, 1);
        for (const mg::RecipeFile& f : mg::MakeRecipe("skinned"))
            ASSERT_TRUE(f.file.Save("d/" + f.name));
        // The walk's morph model lies beside it under the walk's name.
        ASSERT_TRUE(mg::MakeRecipe("morph")[0].file.Save("d/skinned_walk.an3"));
    }

    DeformedSkeletonModel* MakeModel() {
        DeformedSkeletonModel* model = Scene().CreateDeformedSkeletonModel();
        EXPECT_NE(model, nullptr);
        EXPECT_TRUE(model->LoadGeometry("d/skinned.ch3"));
        EXPECT_TRUE(model->BuildFromGeometry());
        return model;
    }
};

TEST_F(DeformedSkeletonModelTest, AMorphModelFollowsItsBoneAndTheAnimationsTime) {
    ASSERT_TRUE(mg::MakeRecipe("morph")[1].file.Save("d/AnmConfig.xml"));
    DeformedSkeletonModel* model = MakeModel();
    ASSERT_EQ(model->GetMorpherCount(), 1u);
    const auto* morphers = model->FindMorphers("walk");
    ASSERT_NE(morphers, nullptr);
    ASSERT_EQ(morphers->size(), 1u);
    EXPECT_EQ((*morphers)[0].bone, "Bip01 Spine");
    DeformedModel* morph = (*morphers)[0].model;
    ASSERT_NE(morph, nullptr);

    const float at[3] = {2.0f, -1.0f, 0.5f};
    model->SetPosition(at);
    std::uint32_t counter = 0;
    for (std::uint32_t frame = 1; frame <= 3; ++frame) {
        model->Update(&counter, 0.125f, frame);
        ASSERT_EQ(model->GetChildEntityCount(), 1u);
        EXPECT_EQ(model->GetChildEntityAt(0), morph);
        EXPECT_FLOAT_EQ(morph->GetTime(), model->GetMainTime());
        const std::int32_t spine = model->GetSkeleton()->GetBoneIndex("Bip01 Spine");
        float bone[16];
        model->GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(spine), bone);
        const float* placed = morph->GetWorldMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(placed[i], bone[i], 1e-5f) << "element " << i;
    }
    // Back to the pool: the morph model goes back to the scene with it.
    const std::size_t entities = Scene().GetEntityCount();
    Scene().ReleaseEntity(model);
    EXPECT_EQ(Scene().GetEntityCount(), entities - 2);
}

TEST_F(DeformedSkeletonModelTest, WithoutAConfigurationTheAnimationHasNoMorphModel) {
    DeformedSkeletonModel* model = MakeModel();
    EXPECT_EQ(model->GetMorpherCount(), 0u);
    std::uint32_t counter = 0;
    model->Update(&counter, 0.1f, 1);
    EXPECT_EQ(model->GetChildEntityCount(), 0u);
}

// An animation without "AnmConfig.xml" beside it is skipped; the animations after it still get
// their morph models.
TEST_F(DeformedSkeletonModelTest, AMissingConfigurationSkipsOnlyItsAnimation) {
    mg::ChrDesc chr;
    chr.skeletonFile = "skinned_skeleton.ase";
    chr.skinFile = "skinned_skin.ase";
    chr.materialFiles = {"skinned_mat.xml"};
    // Listed in name order: "jump" comes first and has no configuration.
    chr.animations = {{"jump", "j/jump.ase"}, {"walk", "w/walk.ase"}};
    ASSERT_TRUE(mg::WriteChrFile(chr).Save("d/two.chr"));
    const auto skinned = mg::MakeRecipe("skinned");
    const auto morph = mg::MakeRecipe("morph");
    for (const char* name : {"j/jump", "w/walk"}) {
        ASSERT_TRUE(skinned[5].file.Save(std::string("d/") + name + ".ase"));
        ASSERT_TRUE(morph[0].file.Save(std::string("d/") + name + ".an3"));
    }
    ASSERT_EQ(skinned[5].name, "skinned_walk.ase");
    ASSERT_TRUE(morph[1].file.Save("d/w/AnmConfig.xml"));

    DeformedSkeletonModel* model = Scene().CreateDeformedSkeletonModel();
    ASSERT_TRUE(model->LoadGeometry("d/two.chr"));
    ASSERT_TRUE(model->BuildFromGeometry());
    EXPECT_EQ(model->FindMorphers("jump"), nullptr);
    ASSERT_NE(model->FindMorphers("walk"), nullptr);
    EXPECT_EQ(model->GetMorpherCount(), 1u);
}

TEST_F(DeformedSkeletonModelTest, AttachingAgainReleasesTheFormerModel) {
    DeformedSkeletonModel* model = MakeModel();
    const std::size_t entities = Scene().GetEntityCount();
    struct Case {
        const char* what;
        const char* file;
        const char* bone;
        bool attached;
        std::size_t morphers;
        int logged;
    };
    const Case cases[] = {
        {"first", "d/skinned_walk.anm", "Bip01 Spine", true, 1, 0},
        {"again: the former model goes back", "d/skinned_walk.anm", "Bip01", true, 1, 0},
        {"a bone the skeleton lacks", "d/skinned_walk.anm", "Tail", false, 0, 1},
        {"a morph file that does not load", "d/none.anm", "Bip01", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZelTest::LogCapture log;
        EXPECT_EQ(model->AttachMorpher(c.file, "walk", c.bone), c.attached);
        const auto* morphers = model->FindMorphers("walk");
        EXPECT_EQ(morphers ? morphers->size() : 0u, c.morphers);
        EXPECT_EQ(Scene().GetEntityCount(), entities + c.morphers);
        EXPECT_EQ(log.Count("morpher"), c.logged);
    }
    ASSERT_TRUE(model->AttachMorpher("d/skinned_walk.anm", "walk", "Bip01"));
    // A morph model released on its own is forgotten by its carrier: releasing the carrier
    // afterwards gives nothing back a second time.
    ZelTest::LogCapture log;
    Scene().ReleaseEntity((*model->FindMorphers("walk"))[0].model);
    EXPECT_EQ(model->FindMorphers("walk"), nullptr);
    Scene().ReleaseEntity(model);
    EXPECT_EQ(Scene().GetEntityCount(), entities - 1);
    EXPECT_EQ(log.Count("Release Unknown Entity"), 0);
}

}  // namespace

namespace {

// The text form: every morph frame of the scene's object is a key of one deformed mesh per strip
// set; a frame that keeps the index count of the frame before blends from it.
TEST_F(DeformedModelTest, AnAseSceneGivesAMorphModelKeyedByItsFrames) {
    for (const mg::RecipeFile& f : mg::MakeRecipe("morph")) ASSERT_TRUE(f.file.Save("t/" + f.name));
    auto* geometry = dynamic_cast<GeometryDeformed*>(G()->GetGeometryManager()->GetOrLoadByKind(
        "t/flag.anm", "t/flag.anm", GEOMETRY_KIND_DEFORMED));
    ASSERT_NE(geometry, nullptr);
    ASSERT_TRUE(geometry->IsLoadSucceeded());
    EXPECT_FLOAT_EQ(geometry->GetMorphValue(), 2.0f) << "60 frames at 30 a second";
    ASSERT_EQ(geometry->GetMorphTargetCount(), 1u);
    EXPECT_FALSE(geometry->GetMaterialFiles().empty());
    const DeformedMesh& mesh = *geometry->GetMorphTarget(0);
    // 25 vertices: the keys stay and blend when drawn.
    EXPECT_NE(mesh.GetModeFlags() & DeformedMesh::MODE_BLEND, 0u);
    const auto& keys = mesh.GetKeys();
    ASSERT_EQ(keys.size(), 3u);
    const bool blends[3] = {false, true, false};
    for (std::uint32_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_FLOAT_EQ(keys[k]->time, float(k));
        EXPECT_EQ(keys[k]->blend, blends[k]);
        EXPECT_FLOAT_EQ(EdgeX(*keys[k]->mesh, 4), 1.0f + 0.5f * float(k));
    }
    EXPECT_FLOAT_EQ(EdgeX(mesh, 4), 1.0f) << "the mesh starts as its first key";
}

TEST_F(DeformedSkeletonModelTest, SeamsWeldOnlyVerticesThatCoincide) {
    ASSERT_TRUE(mg::MakeRecipe("skinned")[0].file.Save("d/b.ch3"));
    auto load = [&](const char* file) {
        DeformedSkeletonModel* model = Scene().CreateDeformedSkeletonModel();
        EXPECT_TRUE(model->LoadGeometry(file));
        auto* skin = dynamic_cast<Skin*>(model->GetGeometry()->GetMesh(0));
        EXPECT_NE(skin, nullptr);
        skin->BuildOpenEdgeVertices();
        return std::pair{model, skin};
    };
    auto [a, skinA] = load("d/skinned.ch3");
    auto [b, skinB] = load("d/b.ch3");
    ASSERT_NE(skinA, skinB);
    ASSERT_GT(skinB->GetOpenEdgeVertexCount(), 2u);
    const std::uint32_t seam0 = skinB->GetOpenEdgeVertices()[0];
    const std::uint32_t seam1 = skinB->GetOpenEdgeVertices()[1];
    // b's seam vertices move 0.01 away, all but seam0; every record of b names bone 2 alone.
    float* pb = skinB->GetVertexData()->FindComponent(VF_POSITION)->GetFloats();
    for (std::uint32_t v = 0; v < skinB->GetVertexCount(); ++v)
        if (v != seam0)
            pb[3 * v] += 0.01f;
    for (SkinBlendRecord& r : skinB->GetBlendRecords())
        r = SkinBlendRecord{1, {2, 0, 0, 0}, {1, 0, 0, 0}};
    const SkinBlendRecord moved = skinB->GetBlendRecords()[seam1];
    const float before1 = pb[3 * seam1];
    skinB->GetVertexData()->SetDirty(false);

    EXPECT_FALSE(WeldDeformedSeams(a, nullptr));
    ASSERT_TRUE(WeldDeformedSeams(a, b));
    // seam0 coincides with a's vertex of the same place: it takes that vertex's influences.
    const SkinBlendRecord& welded = skinB->GetBlendRecords()[seam0];
    const SkinBlendRecord& source = skinA->GetBlendRecords()[seam0];
    EXPECT_EQ(welded.count, source.count);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(welded.bones[k], source.bones[k]);
        EXPECT_EQ(welded.weights[k], source.weights[k]);
        EXPECT_EQ(
            skinB->GetVertexData()->FindComponent(VF_BLEND_WEIGHTS)->GetFloats()[4 * seam0 + k],
            source.weights[k]);
    }
    EXPECT_EQ(skinB->GetBlendRecords()[seam1].count, moved.count) << "0.01 apart: not welded";
    EXPECT_EQ(skinB->GetBlendRecords()[seam1].bones[0], moved.bones[0]);
    EXPECT_EQ(pb[3 * seam1], before1);
    EXPECT_TRUE(skinB->GetVertexData()->IsDirty());
}

}  // namespace
