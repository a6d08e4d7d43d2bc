// Level geometry from an XML description and its binary level mesh: meshes with their index
// buffers, the geometry-wide triangle arrays and ranges, triangle lookup, occluders, packed
// colours, the simplified twin, the switches and the refused descriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/SimpStaticGeometry.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

class LevelGeometryTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
        std::vector<mg::RecipeFile> files;
        std::string error;
        ASSERT_TRUE(mg::SaveRecipe("level", "d", mg::RecipeOptions(), files, error)) << error;
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }
    StaticGeometry* LoadLevel(const std::string& path = "d/grid.xml") {
        return dynamic_cast<StaticGeometry*>(
            Manager().GetOrLoadByKind(path, path, GEOMETRY_KIND_STATIC));
    }
    // A level description naming d/<mesh>.
    static void SaveXml(const std::string& path, const std::string& mesh) {
        mg::LevelXmlDesc xml;
        xml.meshFile = mesh;
        xml.materialFile = "grid_mat.xml";
        ASSERT_TRUE(mg::WriteLevelXmlFile(xml).Save(path));
    }
};

TEST_F(LevelGeometryTest, GridLevelHasRangesTrianglesAndOccluders) {
    Scene().SetDX7Mode(true);
    StaticGeometry* level = LoadLevel();
    ASSERT_NE(level, nullptr);
    ASSERT_TRUE(level->IsLoadSucceeded());
    EXPECT_EQ(level->GetKind(), 3u);
    EXPECT_EQ(level->GetMaterialFiles(), (std::vector<std::string>{"d/grid_mat.xml"}));
    ASSERT_EQ(level->GetMeshCount(), 4u);
    EXPECT_EQ(level->GetFaceTotal(), 8u);
    EXPECT_EQ(level->GetVertexTotal(), 16u);

    ASSERT_EQ(level->GetTriangleRangeCount(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        const TriangleRange& r = level->GetTriangleRange(i);
        EXPECT_EQ(r.meshIndex, i);
        EXPECT_EQ(r.firstVertex, 4 * i);
        EXPECT_EQ(r.firstFace, 2 * i);
        EXPECT_EQ(r.vertexCount, 4u);
        EXPECT_EQ(r.faceCount, 2u);
        Mesh& mesh = *level->GetMesh(i);
        EXPECT_EQ(mesh.GetName(), "Mesh" + std::to_string(i));
        EXPECT_EQ(mesh.GetWord(0), 2 * i);
        EXPECT_EQ(mesh.GetWord(1), 4 * i);
        EXPECT_EQ(mesh.GetWord(2), i);
        EXPECT_TRUE(mesh.GetFaceExtraData().empty()) << "moved into the level's face data";
    }
    EXPECT_EQ(level->GetTriangleRange(4).faceCount, 0u) << "past the last range: zeros";

    const std::pair<std::uint32_t, std::int32_t> lookups[] = {
        {0, 0}, {1, 0}, {2, 1}, {5, 2}, {7, 3}, {8, -1}, {0xFFFFFFFFu, -1}};
    for (const auto& [face, mesh] : lookups)
        EXPECT_EQ(level->FindMeshOfTriangle(face), mesh) << face;

    // Triangles index the level-wide positions: mesh 1's first triangle starts at vertex 4.
    const mg::LevelMeshDesc grid = mg::LevelGrid(mg::RecipeOptions());
    ASSERT_EQ(level->GetTriangles().size(), 24u);
    EXPECT_EQ(level->GetTriangles()[6], grid.meshes[1].indices[0] + 4);
    EXPECT_EQ(level->GetPositions().size(), 48u);
    EXPECT_EQ(level->GetPositions()[3 * 4], grid.meshes[1].positions[0].x);
    EXPECT_EQ(level->GetFaceData().size(), 32u);
    EXPECT_EQ(level->GetFaceData()[1], 1.0f) << "face vector (0, 1, 0)";
    EXPECT_EQ(level->GetFaceWords(), std::vector<std::uint32_t>(8, 0));

    // The first occluder's corners 2 and 3 change places; the second is kept.
    ASSERT_EQ(level->GetOccluders().size(), 2u);
    EXPECT_EQ(level->GetOccluders()[0].corners[2][0], 0.0f);
    EXPECT_EQ(level->GetOccluders()[0].corners[2][1], 1.0f);
    EXPECT_EQ(level->GetOccluders()[0].corners[3][0], 1.0f);
    EXPECT_EQ(level->GetOccluders()[1].corners[2][0], 0.0f);
    EXPECT_EQ(level->GetOccluders()[1].corners[3][0], 1.0f);

    // Packed colours on the fixed-function path, alpha 255.
    const VertexComponentDataPool* colours =
        level->GetMesh(0)->GetVertexData()->FindComponent(VF_DIFFUSE);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(std::vector<std::uint32_t>(colours->GetWords(), colours->GetWords() + 4),
              (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u}));
    const VertexComponentDataPool* uv =
        level->GetMesh(0)->GetVertexData()->FindComponent(VF_TEXCOORD0);
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(uv->GetFloats()[5], grid.meshes[0].uv0[2].y) << "the file's 1 - v turned back";
    EXPECT_NE(level->GetMesh(0)->GetVertexData()->FindComponent(VF_TEXCOORD1), nullptr);
    EXPECT_NE(level->GetMesh(0)->GetVertexData()->FindComponent(VF_NORMAL), nullptr);

    const RenderGroupEntry& entry = level->GetMesh(0)->GetCurrentGroup()->entries[0];
    EXPECT_EQ(entry.drawCount, 6u);
    level->HideMesh(0);
    EXPECT_EQ(entry.drawCount, 0u);
    level->SetMeshDrawCount(0, 3);
    EXPECT_EQ(entry.drawCount, 3u);
    EXPECT_EQ(Manager().CountStaticGeometries(), 1u);
    EXPECT_GT(level->GetSizeField(), Geometry::kBaseSize + 8 * 44 + 16 * 12);

    // Unloading frees everything; a reload gathers the same ranges again.
    level->Unload();
    EXPECT_EQ(level->GetTriangleRangeCount(), 0u);
    EXPECT_TRUE(level->GetOccluders().empty());
    level->Load("d/grid.xml");
    EXPECT_EQ(level->GetTriangleRangeCount(), 4u);
    EXPECT_EQ(level->GetOccluders().size(), 2u);
}

TEST_F(LevelGeometryTest, TrianglesAbove65535SurviveSixteenBitBuffers) {
    std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
    flags &= ~std::uint32_t(DEVICE_INDEX_32);
    mg::LevelMeshDesc big;
    mg::MeshDesc mesh;
    mesh.positions.resize(65540);
    mesh.indices = {0, 65537, 65539};
    big.meshes.push_back(mesh);
    ASSERT_TRUE(mg::WriteLevelMeshFile(big).Save("d/big.mesh"));
    SaveXml("d/big.xml", "big.mesh");
    StaticGeometry* level = LoadLevel("d/big.xml");
    ASSERT_TRUE(level && level->IsLoadSucceeded());
    EXPECT_EQ(level->GetTriangles(), (std::vector<std::uint32_t>{0, 65537, 65539}));
    EXPECT_FALSE(level->GetMesh(0)->GetIndexData()->GetBuffer()->Is32Bit());
}

TEST_F(LevelGeometryTest, SimplifiedLevelReadsMeshesOnly) {
    auto* simple = dynamic_cast<SimpStaticGeometry*>(
        Manager().GetOrLoadByKind("d/grid.xml", "d/grid.xml", GEOMETRY_KIND_SIMP_STATIC));
    ASSERT_NE(simple, nullptr);
    ASSERT_TRUE(simple->IsLoadSucceeded());
    EXPECT_EQ(simple->GetKind(), 19u);
    EXPECT_EQ(simple->GetMeshCount(), 4u);
    EXPECT_EQ(simple->GetFaceTotal(), 8u);
    EXPECT_EQ(simple->GetMaterialFiles(), (std::vector<std::string>{"d/grid_mat.xml"}));
    EXPECT_EQ(Manager().CountStaticGeometries(), 0u);
}

TEST_F(LevelGeometryTest, SwitchesAndRefusedDescriptions) {
    G()->GetConfigManager()->SetValue(StaticGeometry::kSkipMeshSwitch, 1);
    StaticGeometry* skipped = LoadLevel();
    ASSERT_TRUE(skipped && skipped->IsLoadSucceeded());
    EXPECT_EQ(skipped->GetMeshCount(), 0u);
    EXPECT_EQ(skipped->GetMaterialFiles(), (std::vector<std::string>{"d/grid_mat.xml"}));
    G()->GetConfigManager()->SetValue(StaticGeometry::kSkipMeshSwitch, 0);

    // A truncated mesh file and a face past the vertices.
    mg::FaultPlan cut;
    cut.TruncateAtSection("mesh1#positions", 5);
    ASSERT_TRUE(mg::WriteLevelMeshFile(mg::LevelGrid(mg::RecipeOptions()), cut).Save("d/cut.mesh"));
    SaveXml("d/cut.xml", "cut.mesh");
    SaveXml("d/none.xml", "none.mesh");
    ASSERT_TRUE(mg::WriteLevelXmlFile(mg::LevelXmlDesc()).Save("d/grid.lvl"));
    for (const char* path : {"d/cut.xml", "d/none.xml", "d/grid.lvl", "d/absent.xml"}) {
        StaticGeometry* level = LoadLevel(path);
        ASSERT_NE(level, nullptr) << path;
        EXPECT_FALSE(level->IsLoadSucceeded()) << path;
        EXPECT_EQ(level->GetMeshCount(), 0u) << path;
        EXPECT_EQ(level->GetTriangleRangeCount(), 0u) << path;
        EXPECT_NE(LogText().find(std::string("StaticGeometry 资源文件格式错误！") + path),
                  std::string::npos)
            << path;
    }
}

}  // namespace
