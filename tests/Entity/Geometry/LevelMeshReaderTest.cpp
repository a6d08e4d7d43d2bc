// The binary level mesh reader against files the model writer makes: the grid level, the
// occluder winding, scene counts, and the refused files (cut short, faces past the vertices,
// oversized names and colour counts).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/LevelMeshReader.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

bool Read(const std::vector<std::uint8_t>& bytes, LevelMeshData& out, bool occluders = true) {
    IZelFileStream* s = CreateMemoryFileStream("level.mesh", std::uint32_t(bytes.size()));
    if (!bytes.empty())
        std::memcpy(s->GetData(), bytes.data(), bytes.size());
    const bool ok = ReadLevelMesh(*s, out, occluders);
    s->Release();
    return ok;
}

std::vector<float> Flat(const std::vector<mg::Vec3>& v) {
    std::vector<float> out;
    for (const mg::Vec3& p : v) out.insert(out.end(), {p.x, p.y, p.z});
    return out;
}

std::vector<float> Flat(const std::vector<mg::Vec2>& v) {
    std::vector<float> out;
    for (const mg::Vec2& p : v) out.insert(out.end(), {p.x, p.y});
    return out;
}

// A triangle with five colours for its three vertices and a 300-byte material name, then an
// ordinary triangle.
mg::LevelMeshDesc OddLevel() {
    mg::LevelMeshDesc level;
    level.fileName = std::string(400, 'f');
    level.sceneName = "odd";
    for (int i = 0; i < 2; ++i) {
        mg::MeshDesc m;
        m.material = i == 0 ? std::string(255, 'm') + std::string(45, 'x') : "plain";
        m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, float(i)}};
        m.indices = {0, 1, 2};
        m.colours = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
        if (i == 0)
            m.colours.insert(m.colours.end(), {{9, 9, 9, 1}, {8, 8, 8, 1}});
        m.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
        level.meshes.push_back(m);
    }
    return level;
}

TEST(LevelMesh, GridLevelReadsBackWhatTheWriterDescribed) {
    mg::RecipeOptions options;
    options.tiles = 2;
    const mg::LevelMeshDesc desc = mg::LevelGrid(options);
    ZelTest::TempDir dir;
    const std::string path = dir.Write("levels/grid.mesh", [&] {
        const auto bytes = mg::WriteLevelMeshFile(desc).bytes;
        return std::string(bytes.begin(), bytes.end());
    }());
    LevelMeshData level;
    ZelTest::LogCapture log;
    ASSERT_TRUE(LoadLevelMesh(path, level, true));
    EXPECT_TRUE(log.Records().empty());
    ASSERT_EQ(level.meshes.size(), desc.meshes.size());
    std::uint64_t faces = 0, vertices = 0;
    for (std::size_t i = 0; i < desc.meshes.size(); ++i) {
        SCOPED_TRACE(i);
        const mg::MeshDesc& want = desc.meshes[i];
        const LevelMeshBlock& got = level.meshes[i];
        EXPECT_EQ(got.material, want.material);
        EXPECT_EQ(got.faceCount, want.indices.size() / 3);
        EXPECT_EQ(got.vertexCount, want.positions.size());
        EXPECT_EQ(got.triangles, want.indices);
        EXPECT_EQ(got.positions, Flat(want.positions));
        EXPECT_EQ(got.normals, Flat(want.normals));
        EXPECT_EQ(got.faceVectors, Flat(want.faceVectors));
        // The file holds 1 - v; the reader turns it back.
        EXPECT_EQ(got.texCoords0, Flat(want.uv0));
        EXPECT_EQ(got.texCoords1, Flat(want.uv1));
        ASSERT_EQ(got.colours.size(), 3 * want.colours.size());
        EXPECT_EQ(got.colours[0], want.colours[0].x);
        EXPECT_EQ(got.colours[4], want.colours[1].y);
        faces += got.faceCount;
        vertices += got.vertexCount;
    }
    EXPECT_EQ(level.faceTotal, faces);
    EXPECT_EQ(level.vertexTotal, vertices);
    EXPECT_EQ(level.bounds.GetMin()[0], 0.0f);
    EXPECT_EQ(level.bounds.GetMax()[2], 2.0f);
    ASSERT_EQ(level.occluders.size(), 2u);
    // The first quad winds the other way and has corners 2 and 3 exchanged; the second is kept.
    const float turned[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    const float kept[4][3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    EXPECT_EQ(0, std::memcmp(level.occluders[0].corners, turned, sizeof turned));
    EXPECT_EQ(0, std::memcmp(level.occluders[1].corners, kept, sizeof kept));
    EXPECT_EQ(level.occluders[1].normal[2], 1.0f);

    LevelMeshData simplified;
    ASSERT_TRUE(LoadLevelMesh(path, simplified, false));
    EXPECT_EQ(simplified.meshes.size(), level.meshes.size());
    EXPECT_TRUE(simplified.occluders.empty());
}

TEST(LevelMesh, SceneCountsOtherThanOne) {
    mg::LevelMeshDesc desc = mg::LevelGrid({});
    struct Case {
        std::uint32_t sceneCount;
        std::size_t meshes;
        std::size_t occluders;
        int reports;
    };
    const Case cases[] = {
        {1, desc.meshes.size(), 2, 0}, {2, desc.meshes.size(), 2, 1}, {0, 0, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sceneCount);
        desc.sceneCount = c.sceneCount;
        ZelTest::LogCapture log;
        LevelMeshData level;
        ASSERT_TRUE(Read(mg::WriteLevelMeshFile(desc).bytes, level));
        EXPECT_EQ(level.meshes.size(), c.meshes);
        EXPECT_EQ(level.occluders.size(), c.occluders);
        EXPECT_EQ(log.Count("Exp Failed!"), c.reports);
    }
}

TEST(LevelMesh, IndexWordsFollowOnlyWhenThereArePoints) {
    mg::LevelMeshDesc desc = mg::LevelGrid({});
    desc.points.clear();
    desc.indexWords = {7, 8, 9};  // the count is written, the words are not
    LevelMeshData level;
    ASSERT_TRUE(Read(mg::WriteLevelMeshFile(desc).bytes, level));
    EXPECT_EQ(level.occluders.size(), 2u);
    EXPECT_EQ(level.occluders[1].corners[3][2], 1.0f);
}

TEST(LevelMesh, LongNamesKeepTheirFirst255BytesAndSurplusColoursArePassedOver) {
    LevelMeshData level;
    ZelTest::LogCapture log;
    ASSERT_TRUE(Read(mg::WriteLevelMeshFile(OddLevel()).bytes, level));
    ASSERT_EQ(level.meshes.size(), 2u);
    EXPECT_EQ(level.meshes[0].material, std::string(255, 'm'));
    EXPECT_EQ(level.meshes[0].colourCount, 5u);
    EXPECT_EQ(level.meshes[0].colours, (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(level.meshes[0].normals.size(), 9u);
    EXPECT_EQ(level.meshes[0].normals[2], 1.0f);
    // The mesh after it is read from the right place.
    EXPECT_EQ(level.meshes[1].material, "plain");
    EXPECT_EQ(level.meshes[1].positions[8], 1.0f);
    EXPECT_TRUE(log.Records().empty());
}

TEST(LevelMesh, AFaceNamingAVertexPastTheCountFails) {
    const mg::LevelMeshDesc desc = mg::LevelGrid({});
    for (std::uint32_t bad : {4u, 0xFFFFFFFFu}) {
        ZelTest::LogCapture log;
        LevelMeshData level;
        EXPECT_FALSE(
            Read(mg::WriteLevelMeshFile(desc, mg::FaultPlan().Element("mesh1#faces", 4, bad)).bytes,
                 level));
        EXPECT_EQ(log.Count("face 1 of mesh 1 names vertex"), 1);
    }
}

TEST(LevelMesh, EveryFileCutShortFailsWithoutReadingPastItsEnd) {
    const std::vector<std::uint8_t> whole = mg::WriteLevelMeshFile(OddLevel()).bytes;
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        ZelTest::LogCapture log;
        LevelMeshData level;
        EXPECT_FALSE(Read(std::vector<std::uint8_t>(whole.begin(), whole.begin() + size), level));
        EXPECT_EQ(log.Count("ends early"), 1);
        EXPECT_EQ(log.Records().size(), 1u);  // nothing read past the end
    }
}

TEST(LevelMesh, HugeCountsFailBeforeAllocating) {
    const mg::LevelMeshDesc desc = mg::LevelGrid({});
    const std::pair<const char*, const char*> fields[] = {
        {"meshes", "meshCount"},  {"mesh0", "faceCount"},       {"mesh0", "vertexCount"},
        {"mesh0", "colourCount"}, {"mesh0", "faceVectorCount"}, {"head", "skipCount"},
        {"points", "pointCount"}, {"meshes", "occluderCount"}};
    for (const auto& [path, field] : fields) {
        SCOPED_TRACE(field);
        LevelMeshData level;
        ZelTest::LogCapture log;
        EXPECT_FALSE(Read(
            mg::WriteLevelMeshFile(desc, mg::FaultPlan().Field(path, field, 0xFFFFFFF0u)).bytes,
            level));
        EXPECT_EQ(log.Records().size(), 1u);
    }
}

TEST(LevelMesh, AMissingFileFails) {
    ZelTest::LogCapture log;
    LevelMeshData level;
    EXPECT_FALSE(LoadLevelMesh("no/such/level.mesh", level, true));
    EXPECT_EQ(log.Count("cannot be opened"), 1);
}

}  // namespace
