// Morph and cloth geometry: the ".an3" with its morph meshes and keys (baked to 30 keys a second
// for small meshes), nesting limits, the binary cloth file with its cloth mesh data, bounds and
// points, and the XML cloth description over an ASE scene (welding, weights, attachments,
// spheres, parameters).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/BoundCapsule.h"
#include "Math/MathUtil.h"
#include "Math/BoundSphere.h"
#include "Physics/PhxBodyDesc.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Render/RenderCodes.h"
#include "modelgen/AseFile.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

class MorphClothTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
        // Descriptions are read as named unless a test asks for their binary siblings.
        G()->GetConfigManager()->SetPreferBinaryFiles(false);
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }

    template <class T>
    T* LoadAs(const std::string& path, std::uint32_t kind) {
        return dynamic_cast<T*>(Manager().GetOrLoadByKind(path, path, kind));
    }

    static void SaveRecipe(const char* recipe, const std::string& folder) {
        for (const mg::RecipeFile& f : mg::MakeRecipe(recipe))
            ASSERT_TRUE(f.file.Save(folder + "/" + f.name));
    }

    static float X(const Mesh& mesh, std::uint32_t v) {
        return mesh.GetVertexData()->FindComponent(VF_POSITION)->GetFloats()[3 * v];
    }
};

TEST_F(MorphClothTest, MorphFileBakesSparseKeysOfASmallMesh) {
    SaveRecipe("morph", "m");
    auto* geometry = LoadAs<GeometryDeformed>("m/morph.an3", 7);
    ASSERT_NE(geometry, nullptr);
    ASSERT_TRUE(geometry->IsLoadSucceeded());
    EXPECT_FLOAT_EQ(geometry->GetMorphValue(), 0.5f);
    EXPECT_TRUE(geometry->GetMorphFlag());
    ASSERT_EQ(geometry->GetMorphTargetCount(), 1u);
    EXPECT_EQ(geometry->GetMorphTarget(1), nullptr);

    const DeformedMesh& morph = *geometry->GetMorphTarget(0);
    EXPECT_EQ(morph.GetMeshType(), 2u);
    EXPECT_EQ(morph.GetMorphWord(), 1u);
    // Two keys a second apart on a four-vertex grid of size 1 and 1.5: baked every 1/30 second
    // from the first key through the last, switched when drawn; each baked shape lies between
    // the two.
    EXPECT_EQ(morph.GetModeFlags() & DeformedMesh::MODE_BLEND, 0u);
    const auto& keys = morph.GetKeys();
    ASSERT_EQ(keys.size(), 31u);
    EXPECT_FLOAT_EQ(keys[0]->time, 0.0f);
    EXPECT_FLOAT_EQ(X(*keys[0]->mesh, 1), 1.0f);
    EXPECT_NEAR(keys[15]->time, 0.5f, 1e-5f);
    EXPECT_NEAR(X(*keys[15]->mesh, 1), 1.25f, 1e-4f);
    EXPECT_NEAR(keys[30]->time, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(X(*keys[30]->mesh, 1), 1.5f) << "the last key's shape is kept";
    EXPECT_FLOAT_EQ(X(morph, 1), 1.0f) << "the mesh's own data is the first key's";
}

TEST_F(MorphClothTest, MorphMeshesNestAtMostSixteenDeep) {
    const auto nested = [](int depth) {
        mg::MorphGeometryDesc m = mg::MorphModel();
        mg::MorphMeshDesc leaf;
        leaf.mesh = mg::MakeGridMesh(1, 1, "morph_mat");
        mg::MorphMeshDesc mesh = leaf;
        for (int d = 0; d < depth; ++d) {
            mg::MorphMeshDesc outer = leaf;
            mg::MorphKey key;
            key.target = mesh;
            outer.keys.push_back(key);
            mesh = outer;
        }
        m.morphMeshes = {mesh};
        return m;
    };
    struct Case {
        int depth;
        bool loads;
    };
    for (const Case c : {Case{0, true}, Case{16, true}, Case{17, false}}) {
        ZelTest::LogCapture log;
        const std::string path = "m/nested" + std::to_string(c.depth) + ".an3";
        ASSERT_TRUE(mg::WriteMorphGeometryFile(nested(c.depth)).Save(path));
        auto* geometry = LoadAs<GeometryDeformed>(path, 7);
        ASSERT_NE(geometry, nullptr);
        EXPECT_EQ(geometry->IsLoadSucceeded(), c.loads) << c.depth;
        EXPECT_EQ(log.Count("nest deeper than 16"), c.loads ? 0 : 1) << c.depth;
        if (c.loads && c.depth == 0) {
            EXPECT_TRUE(geometry->GetMorphTarget(0)->GetKeys().empty()) << "a plain mesh";
        }
        if (!c.loads) {
            EXPECT_EQ(geometry->GetMeshCount(), 0u) << "nothing stays of a refused file";
        }
    }
}

TEST_F(MorphClothTest, DescriptionNameLoadsTheBinarySiblingWhenPreferred) {
    SaveRecipe("morph", "m");
    ASSERT_TRUE(mg::MakeRecipe("morph")[0].file.Save("m/b.an3"));
    G()->GetConfigManager()->SetPreferBinaryFiles(true);
    auto* preferred = LoadAs<GeometryDeformed>("m/b.anm", 7);
    ASSERT_NE(preferred, nullptr);
    EXPECT_TRUE(preferred->IsLoadSucceeded());
    EXPECT_EQ(preferred->GetLoadPath(), "m/b.anm");
    G()->GetConfigManager()->SetPreferBinaryFiles(false);
    auto* text = LoadAs<GeometryDeformed>("m/c.anm", 7);
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(text->IsLoadSucceeded());
}

TEST_F(MorphClothTest, BinaryClothFileReadsItsClothMeshBoundsAndPoints) {
    SaveRecipe("cloth", "c");
    const mg::ClothGeometryDesc desc = mg::ClothModel();
    auto* cloth = LoadAs<GeometryCloth>("c/skirt.bp3", 13);
    ASSERT_NE(cloth, nullptr);
    ASSERT_TRUE(cloth->IsLoadSucceeded());
    EXPECT_EQ(cloth->GetResourceWord(), 13u);
    EXPECT_TRUE(cloth->IsClothMarked());
    ASSERT_EQ(cloth->GetBoneBounds().size(), 2u);
    EXPECT_FLOAT_EQ(static_cast<BoundSphere*>(cloth->GetBoneBounds()[0])->GetRadius(), 0.5f);
    EXPECT_FLOAT_EQ(static_cast<BoundCapsule*>(cloth->GetBoneBounds()[1])->GetHeight(), 1.0f);
    ASSERT_EQ(cloth->GetAttachmentPoints().size(), 2u);
    EXPECT_EQ(cloth->GetAttachmentPoints()[1], (ClothMeshData::Float3{1, 0, 1}));

    auto* data = dynamic_cast<ClothMeshData*>(cloth->GetMesh(0));
    ASSERT_NE(data, nullptr);
    const auto& part = std::get<mg::ClothMeshDesc>(desc.geometry.parts[0]);
    for (int p = ClothMeshData::BENDING; p <= ClothMeshData::THICKNESS; ++p)
        EXPECT_EQ(data->GetParam(ClothMeshData::Param(p)), part.params[p]) << p;
    EXPECT_EQ(data->GetWeldedPositions().size(), part.pointsA.size());
    EXPECT_EQ(data->GetPhysicsTriangles(), part.indicesA);
    EXPECT_EQ(data->GetSecondPoints().size(), 2u);
    EXPECT_EQ(data->GetSortKey(), part.sortKey);
    ASSERT_EQ(data->GetRecords().size(), 1u);
    EXPECT_EQ(data->GetRecords()[0][151], 151u);
    ASSERT_EQ(data->GetSubMeshCount(), 1u);
    EXPECT_EQ(data->GetSubMesh(1), nullptr);
    EXPECT_EQ(data->GetRenderVertexCount(), data->GetSubMesh(0)->GetVertexCount());
    // The companion's extra LOD strips reach the cloth mesh's own mesh.
    EXPECT_EQ(data->GetRenderGroups().size(), part.mesh.groups.size() + part.mesh.lodGroups.size());
}

TEST_F(MorphClothTest, BinaryClothFaults) {
    struct Case {
        const char* what;
        mg::FaultPlan faults;
        const char* log;
    };
    const Case cases[] = {
        {"a bound of kind 2", mg::FaultPlan().Field("clothGeometry/bound0", "kind", 2),
         "unknown shape kind 2"},
        {"points past the end", mg::FaultPlan().Field("clothGeometry", "pointCount", 1000),
         "points run past the end"},
        {"a triangle past the points",
         mg::FaultPlan().Element("clothGeometry/geometry/part0#indicesA", 2, 50),
         "triangle index 50"},
    };
    int n = 0;
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        const std::string path = "c/fault" + std::to_string(n++) + ".bp3";
        ASSERT_TRUE(mg::WriteClothGeometryFile(mg::ClothModel(), c.faults).Save(path)) << c.what;
        auto* cloth = LoadAs<GeometryCloth>(path, 13);
        ASSERT_NE(cloth, nullptr);
        EXPECT_FALSE(cloth->IsLoadSucceeded()) << c.what;
        EXPECT_EQ(cloth->GetMeshCount(), 0u) << c.what;
        EXPECT_TRUE(cloth->GetBoneBounds().empty()) << c.what;
        EXPECT_GE(log.Count(c.log), 1) << c.what;
    }
}

TEST_F(MorphClothTest, ClothDescriptionOverAnAseScene) {
    SaveRecipe("cloth", "x");
    SaveRecipe("skinned", "x");
    SkeletonManager& skeletons = *G()->GetSkeletonManager();
    Skeleton* skeleton = skeletons.GetOrLoad("x/skinned_skeleton.ase");
    ASSERT_NE(skeleton, nullptr);
    auto* cloth = dynamic_cast<GeometryCloth*>(Manager().Create("x/skirt.xml", "x/skirt.xml"));
    ASSERT_NE(cloth, nullptr);
    EXPECT_EQ(cloth->GetKind(), 13u);
    cloth->SetSkeletonName("x/skinned_skeleton.ase");
    cloth->Load("x/skirt.xml");
    ASSERT_TRUE(cloth->IsLoadSucceeded());
    ASSERT_EQ(cloth->GetMeshCount(), 1u);
    auto* data = dynamic_cast<ClothMeshData*>(cloth->GetMesh(0));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetSortKey(), 12u);
    EXPECT_EQ(data->GetMaterialName(), "skirt_mat");
    EXPECT_FLOAT_EQ(data->GetParam(ClothMeshData::DAMPING), 0.3f);
    EXPECT_FLOAT_EQ(data->GetParam(ClothMeshData::BENDING), 1.0f);
    EXPECT_FLOAT_EQ(data->GetParam(ClothMeshData::WEIGHT_SCALE), 2.0f);

    // Six physics vertices: the copy 2e-5 away welds, the one 3e-5 away stays.
    EXPECT_EQ(data->GetWeldedPositions().size(), 5u);
    const std::vector<std::uint32_t> triangles = data->GetPhysicsTriangles();
    ASSERT_EQ(triangles.size(), 9u);
    EXPECT_EQ(triangles[7], 4u) << "the far copy renumbered after the welded one went";
    EXPECT_EQ(triangles[8], 3u) << "the near copy became vertex 3";

    // Four render vertices, weights from red times the scale of 2.
    ASSERT_EQ(data->GetRenderVertexCount(), 4u);
    const float weights[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    for (std::uint32_t v = 0; v < 4; ++v) {
        EXPECT_NEAR(data->GetWeight(v), weights[v], 1e-5f) << v;
        EXPECT_EQ(data->GetPhysicsIndex(v), v);
    }
    // The box's vertex nearest its pivot pins welded vertex 0, render vertex 0 with it; vertex 0
    // is told from an unpinned vertex by its flag, not by its index.
    ASSERT_EQ(cloth->GetAttachmentPoints().size(), 1u);
    ASSERT_EQ(data->GetAttachments().size(), 1u);
    EXPECT_EQ(data->GetAttachments()[0].renderVertex, 0u);
    EXPECT_EQ(data->GetAttachments()[0].weldedIndex, 0u);
    EXPECT_TRUE(data->IsPinned(0));
    EXPECT_FALSE(data->IsPinned(1));

    // The sphere under "Bip01 Spine": radius 0.5, half a unit above its bone.
    ASSERT_EQ(cloth->GetBoneBounds().size(), 1u);
    auto* sphere = dynamic_cast<BoundSphere*>(cloth->GetBoneBounds()[0]);
    ASSERT_NE(sphere, nullptr);
    EXPECT_NEAR(sphere->GetRadius(), 0.5f, 1e-4f);
    ASSERT_NE(sphere->GetParentBone(), nullptr);
    EXPECT_STREQ(sphere->GetParentBone()->GetName(), "Bip01 Spine");
    EXPECT_NEAR(sphere->GetLocalTransform()[14], 0.5f, 1e-5f);

    // The physics scene builds the cloth from the welded vertices: one particle each.
    const Zel::PhxClothSource source = data->GetPhysicsSource();
    EXPECT_EQ(source.vertexCount, 5);
    EXPECT_EQ(source.triangleCount, 3);
    EXPECT_FLOAT_EQ(source.damping, 0.3f);
    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    {
        Zel::PhysicsWorld world;
        Zel::PhxBodyDesc desc = {};
        desc.scalar = 1.0f;
        std::copy(Zel::IdentityMatrix(), Zel::IdentityMatrix() + 16, desc.pose);
        desc.shapeKind = Zel::PHX_SHAPE_CLOTH_ALT;
        desc.extra = &source;
        auto* physical = dynamic_cast<Zel::PhxCloth*>(world.GetScene()->CreateEntity(&desc));
        ASSERT_NE(physical, nullptr);
        EXPECT_EQ(physical->GetVertexCount(), 5);
        EXPECT_EQ(physical->GetTriangleCount(), 3);
        world.Shutdown();
    }
    cloth->SetSkeletonName("");
}

TEST_F(MorphClothTest, ClothDescriptionsThatLoadEmptyOrFail) {
    struct Case {
        const char* what;
        mg::ClothXmlDesc xml;
        bool loads;
    };
    mg::ClothXmlDesc noShader = mg::ClothXml();
    noShader.shader.reset();
    mg::ClothXmlDesc noScene = mg::ClothXml();
    noScene.meshFile = "missing.ase";
    const Case cases[] = {
        {"no SHADER: empty and loaded", noShader, true},
        {"a scene that cannot be read", noScene, false},
    };
    SaveRecipe("cloth", "e");
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = "e/d" + std::to_string(n++) + ".xml";
        ASSERT_TRUE(mg::WriteClothXmlFile(c.xml).Save(path));
        auto* cloth = LoadAs<GeometryCloth>(path, 13);
        ASSERT_NE(cloth, nullptr);
        EXPECT_EQ(cloth->IsLoadSucceeded(), c.loads) << c.what;
        EXPECT_EQ(cloth->GetMeshCount(), 0u) << c.what;
    }
    auto* cl3 = LoadAs<GeometryCloth>("e/skirt.cl3", 14);
    ASSERT_NE(cl3, nullptr);
    EXPECT_FALSE(cl3->IsLoadSucceeded()) << "a .cl3 name is reached through its .xml";
}

TEST_F(MorphClothTest, WeldingAndTheAtlasRectangle) {
    struct Case {
        float apart;
        std::size_t kept;
    };
    for (const Case c : {Case{2e-5f, 1}, Case{3e-5f, 2}, Case{0, 1}}) {
        ClothMeshData data(nullptr, "w");
        data.GetWeldedPositions() = {{1, 1, 1}, {1 + c.apart, 1, 1 - c.apart}};
        data.GetPhysicsTriangles() = {0, 1, 1};
        data.WeldVertices();
        EXPECT_EQ(data.GetWeldedPositions().size(), c.kept) << c.apart;
        EXPECT_EQ(data.GetPhysicsTriangles()[1], c.kept - 1) << c.apart;
    }
    // v = 1 maps to 1 - y, v = 0 to 1 - (h + y); rows off the table use row 0.
    GeometryCloth cloth(nullptr, "c", "", 0);
    GeometryNewCloth newCloth(nullptr, "n", "", 0);
    EXPECT_EQ(cloth.GetTextureRect(3).atlas[1], 0.25f);
    EXPECT_EQ(cloth.GetTextureRect(-1).atlas[2], 1.0f);
    EXPECT_EQ(newCloth.GetTextureRect(3).atlas[1], 0.75f);
    EXPECT_EQ(newCloth.GetTextureRect(9).atlas[2], 1.0f);
}

}  // namespace
