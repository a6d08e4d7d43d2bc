// Entities: animation time, the part tree of a geometry of several parts, the sub-entity lists and
// their cache, bounds, the pool reset, cloning, and models made from files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "Core/QueueMode.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/Animation.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Material/MaterialManager.h"
#include "modelgen/AseFile.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

// A track of a given length that samples nothing.
class FixedLengthAnimation final : public Animation {
public:
    explicit FixedLengthAnimation(float length)
        : Animation(nullptr, "fixed", "Animation", 0), length_(length) {}
    float GetLength() const override { return length_; }
    std::uint32_t GetPositionKeyCount() const override { return 0; }
    std::uint32_t GetRotationKeyCount() const override { return 0; }
    void FillConstants(AnimationState&) const override {}
    void GetFirstPosition(float* out) const override { out[0] = out[1] = out[2] = 0.0f; }
    void GetLastPosition(float* out) const override { out[0] = out[1] = out[2] = 0.0f; }
    bool IsConstant() const override { return false; }
    bool KeepsPosition() const override { return false; }
    bool KeepsRotation() const override { return false; }
    void Evaluate(float&, AnimationState&) override {}
    std::uint32_t GetSize() override { return 0; }

protected:
    bool LoadImpl() override { return true; }
    void UnloadImpl() override {}

private:
    float length_;
};

class EntityTest : public ZelTest::SceneTest {};

TEST_F(EntityTest, AnimationTimeAdvancesStopsOrWraps) {
    struct Case {
        const char* name;
        float length;
        bool loops;
        std::vector<float> steps;
        float time;
        bool stillEnabled;
    };
    const Case cases[] = {
        {"negative dt counts as 0", 2.0f, true, {-1.0f}, 0.0f, true},
        {"non-looping stops past the end", 2.0f, false, {1.5f, 1.5f}, 3.0f, false},
        {"looping wraps", 2.0f, true, {5.0f}, 1.0f, true},
        {"looping without length wraps to 0", 0.0f, true, {5.0f}, 0.0f, true},
        {"looping with negative length wraps to 0", -1.0f, true, {0.5f}, 0.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixedLengthAnimation animation(c.length);
        Entity& entity = MakeEntity({}, nullptr);
        entity.SetupFromMeshes({}, &animation);
        entity.GetAnimationState()->SetLoop(c.loops);
        std::uint32_t frame = 100;
        for (float dt : c.steps) entity.Update(nullptr, dt, ++frame);
        EXPECT_FLOAT_EQ(entity.GetAnimationTime(), c.time);
        EXPECT_EQ(entity.IsAnimationEnabled(), c.stillEnabled);
        Scene().ReleaseEntity(&entity);
    }
}

// An ASE object holding one triangle at x, hanging from parent (none when empty).
mg::AseObjectDesc Part(const std::string& name, const std::string& parent, float x) {
    mg::AseObjectDesc object;
    object.name = name;
    object.parent = parent;
    object.node.translation = {x, 0, 0};
    mg::AseMeshDesc mesh;
    mesh.vertices = {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}};
    mesh.faces = {{0, 1, 2, 1, 0}};
    object.mesh = mesh;
    return object;
}

class ModelFileTest : public EntityTest {
protected:
    void SetUp() override {
        EntityTest::SetUp();
        G()->GetGeometryManager()->SetBasePath("");
    }
    // Writes d/<name>.ase with the objects and d/<name>.dml naming it; answers the ".dml" path.
    std::string WriteModel(const std::vector<mg::AseObjectDesc>& objects,
                           const std::string& name = "m") {
        mg::AseSceneDesc scene;
        scene.scene = mg::AseSceneInfo();
        scene.objects = objects;
        EXPECT_TRUE(mg::WriteAseFile(scene).Save("d/" + name + ".ase"));
        mg::DmlDesc dml;
        dml.meshFile = name + ".ase";
        // A description names at least one material library; this one does not exist, which
        // leaves each piece on a fallback material.
        dml.materialFiles = {"lib.xml"};
        EXPECT_TRUE(mg::WriteDmlFile(dml).Save("d/" + name + ".dml"));
        return "d/" + name + ".dml";
    }
};

TEST_F(ModelFileTest, AGeometryOfThreePartsBuildsItsPartTree) {
    Entity* model = Scene().CreateModelByFile(
        WriteModel({Part("A", "", 0.0f), Part("B", "A", 2.0f), Part("C", "A", 4.0f)}));
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->GetAnimationFlags() & ENTITY_BUILT);
    EXPECT_TRUE(model->GetSubEntities().empty());
    ASSERT_EQ(model->GetChildEntityCount(), 1u);
    Entity* a = model->GetChildEntityAt(0);
    ASSERT_EQ(a->GetChildEntityCount(), 2u);
    EXPECT_EQ(a->GetParent(), model);
    for (std::uint32_t i = 0; i < 2; ++i) {
        Entity* part = a->GetChildEntityAt(i);
        EXPECT_EQ(part->GetParent(), a);
        EXPECT_EQ(part->GetSubEntities().size(), 1u);
        // Attached entities follow their parent without being in its child table.
        EXPECT_EQ(a->GetChildCount(), 0u);
    }
    EXPECT_EQ(a->GetSubEntities().size(), 1u);
    // The own pieces and one level of attached entities.
    EXPECT_EQ(a->GetAllSubEntityCount(), 3u);
}

TEST_F(ModelFileTest, AOnePartGeometryIsOneEntityAndBadFilesMakeNothing) {
    // A name that holds its own place is taken as it is, not joined to the model directory.
    const std::string path = std::filesystem::absolute(WriteModel({Part("A", "", 3.0f)})).string();
    Entity* model = Scene().CreateModel(path);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetChildEntityCount(), 0u);
    EXPECT_EQ(model->GetSubEntities().size(), 1u);

    const std::size_t entities = Scene().GetEntityCount();
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing file", "d/none.dml"},
        {"unknown extension", "d/m.foo"},
        {"actor file", "d/m.act"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Scene().CreateModelByFile(c.path), nullptr);
        EXPECT_EQ(Scene().GetEntityCount(), entities);
    }
}

TEST_F(ModelFileTest, AQueuedReleaseDropsThePiecesBeforeTheGeometryTheyPointInto) {
    const std::string path = WriteModel({Part("A", "", 3.0f)});
    Entity* model = Scene().CreateModelByFile(path);
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->GetSubEntities().size(), 1u);
    GeometryManager* geometries = G()->GetGeometryManager();
    const std::uint32_t held = geometries->GetTotalCount();
    // In queued mode a geometry only its manager still holds leaves it with the model; the
    // model's piece, which points into the geometry's mesh, must be gone by then.
    Zel::SetQueueMode(1);
    Scene().ReleaseEntity(model);
    Zel::SetQueueMode(0);
    EXPECT_EQ(geometries->GetTotalCount(), held - 1);
}

// Every skinned spelling becomes a skeletal model that read its file as a skin: a plain
// geometry would leave it without skeleton and walk.
TEST_F(ModelFileTest, ASkinnedFileBecomesASkeletalModelWithItsSkeletonAndAction) {
    std::vector<mg::RecipeFile> files;
    std::string error;
    ASSERT_TRUE(mg::SaveRecipe("skinned", "d", {}, files, error)) << error;
    for (const char* path : {"d/skinned.chr", "d/skinned.ch3"}) {
        SCOPED_TRACE(path);
        auto* model = dynamic_cast<SkeletonModel*>(Scene().CreateModelByFile(path));
        ASSERT_NE(model, nullptr);
        EXPECT_NE(dynamic_cast<GeometrySkin*>(model->GetGeometry()), nullptr);
        EXPECT_NE(model->GetSkeleton(), nullptr);
        ASSERT_NE(model->GetMainAction(), nullptr);
        EXPECT_EQ(model->GetAnimation("walk"), model->GetMainAction());
        Scene().ReleaseEntity(model);
    }
    // A skinned name without its file still makes nothing and keeps no object.
    const std::size_t entities = Scene().GetEntityCount();
    EXPECT_EQ(Scene().CreateModelByFile("d/none.ch3"), nullptr);
    EXPECT_EQ(Scene().GetEntityCount(), entities);
}

TEST_F(ModelFileTest, ModelKindsFollowTheFileName) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"a.dml", 0}, {"a.dm2", 1}, {"a.dm3", 1}, {"a.chr", 2}, {"a.ch3", 3},  {"a.act", 6},
        {"a.ac2", 7}, {"a.anm", 4}, {"a.an3", 5}, {"a.xml", 8}, {"a.DML", -1}, {"a.obj", -1},
    };
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(SceneManager::GetModelFileKind(name), kind) << name;
}

TEST_F(EntityTest, TheSubEntityCacheFollowsEveryChange) {
    Mesh& mesh = MakeMesh();
    Entity& parent = MakeEntity({&mesh}, nullptr);
    Entity& child = MakeEntity({&mesh}, nullptr);
    parent.AddChildEntity(&child);
    EXPECT_EQ(parent.GetAllSubEntityCount(), 2u);
    AddPiece(child, mesh, nullptr);
    EXPECT_EQ(parent.GetAllSubEntityCount(), 3u);
    child.RemoveSubEntity(child.GetSubEntity(0));
    EXPECT_EQ(parent.GetAllSubEntityCount(), 2u);
    AddPiece(parent, mesh, nullptr);
    EXPECT_EQ(parent.GetAllSubEntityCount(), 3u);
    Scene().ReleaseEntity(&child);  // leaves the parent it was attached to
    EXPECT_EQ(parent.GetChildEntityCount(), 0u);
    EXPECT_EQ(parent.GetAllSubEntityCount(), 2u);
    EXPECT_EQ(parent.GetSubEntity(1), parent.GetSubEntities()[1]);
    EXPECT_EQ(parent.GetSubEntity(2), nullptr);
    EXPECT_EQ(parent.GetSubEntityMaterial(2), nullptr);
    EXPECT_EQ(parent.GetSubEntityMeshName(2), nullptr);
}

TEST_F(EntityTest, TheBoxOfAnEntityWithoutGeometryFollowsItsPieces) {
    Mesh& mesh = MakeMesh();
    Entity& entity = MakeEntity({&mesh}, nullptr);
    // Moved away and back: the box comes back with it rather than keeping where it has been.
    for (float x : {10.0f, 0.0f}) {
        const float position[3] = {x, 0.0f, 0.0f};
        entity.SetPosition(position);
        entity.UpdatePlacement();
        EXPECT_FLOAT_EQ(entity.GetBoundingBox().GetMin()[0], x + mesh.GetBounds().GetMin()[0]);
        EXPECT_FLOAT_EQ(entity.GetBoundingBox().GetMax()[0], x + mesh.GetBounds().GetMax()[0]);
    }
}

TEST_F(EntityTest, ThePoolResetReturnsTheConstructedStateAndOneMaterialReference) {
    Material& material = MakeMaterial({{}});
    const std::int32_t references = material.GetRefCount();
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    EXPECT_EQ(material.GetRefCount(), references + 1);
    entity.SetTransparencyAlpha(0.7f);
    entity.SetTransparencyTune(0.5f);
    entity.SetExplicitLod(2);
    Scene().ReleaseEntity(&entity);
    EXPECT_EQ(material.GetRefCount(), references);
    Entity* again = Scene().CreateEntity();
    ASSERT_EQ(again, &entity);  // the pool hands the same object back
    EXPECT_FLOAT_EQ(again->GetTransparencyAlpha(), 0.1f);
    EXPECT_FLOAT_EQ(again->GetTransparencyTune(), 1.0f);
    EXPECT_EQ(again->GetExplicitLod(), 0u);
    EXPECT_TRUE(again->GetSubEntities().empty());
}

TEST_F(EntityTest, APieceHoldsExactlyOneReferenceOfTheMaterialItsMeshNames) {
    MaterialManager& materials = *G()->GetMaterialManager();
    Material* stone = materials.CreateMaterial("stone");
    ASSERT_NE(stone, nullptr);
    materials.Add(stone);
    const SharedPtr<Material> keep(stone);  // so that the release's collection leaves it be
    const std::int32_t references = stone->GetRefCount();
    Mesh& mesh = MakeMesh();
    mesh.SetMaterialName("stone");
    Entity& entity = MakeEntity({}, nullptr);
    entity.AddSubEntities({&mesh});
    ASSERT_EQ(entity.GetSubEntity(0)->GetOwnMaterial(), stone);
    EXPECT_EQ(stone->GetRefCount(), references + 1);
    Scene().ReleaseEntity(&entity);
    EXPECT_EQ(stone->GetRefCount(), references);
}

TEST_F(EntityTest, RenderGroupsByKind) {
    Entity& entity = MakeEntity({}, nullptr);
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {{0, 7}, {1, 9}, {2, 11}, {5, 9}};
    for (const auto& [kind, group] : cases) EXPECT_EQ(entity.GetRenderGroup(kind), group);
}

TEST_F(EntityTest, ACloneOwnsNewPiecesAndStatesOfTheSameMeshesAndMaterials) {
    Material& material = MakeMaterial({{}});
    FixedLengthAnimation animation(2.0f);
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    entity.SetupFromMeshes({}, &animation);
    auto* clone = dynamic_cast<Entity*>(entity.Clone(false));
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetSubEntities().size(), entity.GetSubEntities().size());
    for (std::size_t i = 0; i < clone->GetSubEntities().size(); ++i) {
        SubEntity* piece = clone->GetSubEntities()[i];
        EXPECT_NE(piece, entity.GetSubEntities()[i]);
        EXPECT_EQ(piece->GetOwner(), clone);
        EXPECT_EQ(piece->GetMesh(), entity.GetSubEntities()[i]->GetMesh());
        EXPECT_EQ(piece->GetOwnMaterial(), &material);
    }
    ASSERT_NE(clone->GetAnimationState(), nullptr);
    EXPECT_NE(clone->GetAnimationState(), entity.GetAnimationState());
    EXPECT_EQ(clone->GetAnimationState()->GetAnimation(), &animation);
    // The clone's states die with it, before the animation they point at.
    Scene().ReleaseEntity(clone);
    Scene().ReleaseEntity(&entity);
}

}  // namespace
