// The geometry chunk's record, per-mesh lists and material-file strings.
#include <gtest/gtest.h>

#include "tests/Entity/Geometry/ChunkStreamFixture.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "modelgen/ModelFiles.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelModelGen;

using ZelTest::StreamPtr;

StreamPtr StreamOf(const WrittenFile& file) {
    return ZelTest::MemoryStream(file.bytes, "d/a.dm3");
}

GeometryDesc Lists() {
    GeometryDesc g;
    g.resourceWord = 0x5150;
    g.boxMin = Vec3{-1, -2, -3};
    g.boxMax = Vec3{1, 2, 3};
    for (std::uint32_t i = 0; i < 10; ++i) g.headerWords[i] = 100 + i;
    Matrix4 m;
    m.At(3, 0) = 7;  // a translation in the fourth row
    m.At(0, 1) = 2;
    g.matrices = {Matrix4{}, Matrix4{}, m};
    g.extraWords = {11, 12};
    g.scales = {Vec3{1, 1, 1}, Vec3{2, 2, 2}};
    g.translations = {Vec3{0, 5, 0}};
    g.rotations = {Vec4{0, 0, 0, 1}, Vec4{0.5f, 0.5f, 0.5f, 0.5f}};
    g.materialFiles = {"stone.xml", "../shared/wood.xml"};
    return g;
}

TEST(GeometryChunkTest, RecordListsAndMaterialFiles) {
    StreamPtr s = StreamOf(WriteGeometryFile(Lists()));
    Zel::GeometryChunkRecord g;
    ASSERT_TRUE(Zel::IOGeometryBin::ReadRecord(g, s.get()));
    EXPECT_EQ(g.resourceWord, 0x5150u);
    EXPECT_EQ(g.partCount, 0u);
    EXPECT_EQ(g.boxMin[2], -3.0f);
    EXPECT_EQ(g.boxMax[1], 2.0f);
    EXPECT_EQ(g.headerWords[9], 109u);
    EXPECT_EQ(g.matrixCount, 3u);
    EXPECT_EQ(g.matrices[2][4 * 3 + 0], 7.0f) << "row 3, column 0";
    EXPECT_EQ(g.matrices[2][4 * 0 + 1], 2.0f) << "row 0, column 1";
    EXPECT_EQ(g.matrices[5][4 * 2 + 2], 1.0f) << "unused slots are identity";
    EXPECT_EQ(g.extraWords, (std::vector<std::uint32_t>{11, 12}));
    ASSERT_EQ(g.scales.size(), 2u);
    EXPECT_EQ(g.scales[1][2], 2.0f);
    ASSERT_EQ(g.translations.size(), 1u);
    EXPECT_EQ(g.translations[0][1], 5.0f);
    ASSERT_EQ(g.rotations.size(), 2u);
    EXPECT_EQ(g.rotations[1][3], 0.5f);
    EXPECT_EQ(g.animationCount, 0u);
    std::vector<std::string> materials;
    ASSERT_TRUE(
        Zel::IOGeometryBin::ReadMaterialFiles(g.materialFileCount, s.get(), "d", materials));
    EXPECT_EQ(materials, (std::vector<std::string>{"d/stone.xml", "../shared/wood.xml"}));
    EXPECT_TRUE(Zel::FinishChunkRead(s.get(), true));
}

TEST(GeometryChunkTest, Faults) {
    StringFault nullName;
    nullName.nullFlag = 1;
    struct Case {
        const char* what;
        FaultPlan faults;
        bool recordOk;
        const char* logged;
    };
    const Case cases[] = {
        {"tag", FaultPlan().Tag("geometry", 4), false, "IOGeometryBin::Read时遇到未知的Tag"},
        {"scale count past the end", FaultPlan().Field("geometry", "scaleCount", 0x20000000), false,
         "run past the end of d/a.dm3"},
        {"rotation count past the end", FaultPlan().Field("geometry", "rotationCount", 300), false,
         "300 rotations run past the end"},
        {"lists cut", FaultPlan().TruncateAtSection("geometry#translations", 4), false,
         "run past the end"},
        {"material string", FaultPlan().String("geometry/materialFile1", nullName), true,
         "IOGeometryBin::Read时读取材质文件名字符串失败"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        StreamPtr s = StreamOf(WriteGeometryFile(Lists(), c.faults));
        Zel::GeometryChunkRecord g;
        EXPECT_EQ(Zel::IOGeometryBin::ReadRecord(g, s.get()), c.recordOk) << c.what;
        if (c.recordOk) {
            std::vector<std::string> materials;
            EXPECT_FALSE(
                Zel::IOGeometryBin::ReadMaterialFiles(g.materialFileCount, s.get(), "d", materials))
                << c.what;
            EXPECT_EQ(materials.size(), 1u) << c.what;
        }
        EXPECT_EQ(log.Count(c.logged), 1) << c.what;
    }
}

}  // namespace
