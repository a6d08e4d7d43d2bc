// Hand-typed bytes of the files that are not chunk streams: the stdio chunk file, the level mesh
// and the plain action file.
#include <gtest/gtest.h>

#include "GoldenBytes.h"
#include "ModelGenSamples.h"
#include "modelgen/Dm2File.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/ModelFiles.h"

namespace {

using namespace ZelModelGen;
using ZelTest::Golden;
using ZelTest::Hex;
using ZelTest::Zeros;

const char kOne[] = "0000803F";

TEST(FileGolden, Dm2HeaderLibraryGeometryMeshGroupsAndBlocks) {
    MeshDesc m;
    m.name = "m";
    m.positions = {{1, 2, 3}};
    m.indices = {0, 0, 0};
    LodGroup list = TriangleListGroup(0, 3);
    LodGroup strip;
    strip.entries.push_back({4, 3, 3, 0, 7});
    strip.primitiveCount = 1;
    m.groups = {list, strip};
    GeometryDesc g;
    g.parts = {m};
    g.materialFiles = {"a"};

    Golden want(1662);
    want.At(0, "01000000 40000000 00000000 52000000 00000000 00000000 00000000 01000000")
        .At(72, "02000000 02000000 6100")
        .At(82, "03000000 38040000")
        .At(90 + 44, "01000000");
    for (int slot = 0; slot < 16; ++slot)
        for (int diagonal : {0, 20, 40, 60}) want.At(90 + 52 + 64 * slot + diagonal, kOne);
    want.At(1170, "04000000 9C010000")
        .At(1178, "0C000000 0C000000 01000000 0000803F 00000040 00004040 0000803F 00000040 00004040")
        .At(1178 + 72, "02000000");
    for (int diagonal : {0, 20, 40, 60}) want.At(1178 + 84 + diagonal, kOne);
    want.At(1178 + 156, "6D")
        // Groups: a list entry is type 4, a strip entry type 5: {type, count, start, word}.
        .At(1590, "01000000 01000000 04000000 03000000 00000000 00000000"
                  "01000000 01000000 05000000 03000000 00000000 07000000")
        .At(1638, "0000803F 00000040 00004040 00000000 00000000 00000000");
    EXPECT_EQ(WriteDm2File(g).bytes, want.Bytes());
}

TEST(FileGolden, Dm2VertexBlockFlipsVAndPacksRedLow) {
    MeshDesc m;
    m.positions = {{0, 0, 0}};
    m.uv0 = {{0.5f, 0.25f}};
    m.colours = {{1, 0, 0, 0.2f}};
    GeometryDesc g;
    g.parts = {m};
    WrittenFile f = WriteDm2File(g);
    std::size_t block = f.Offset("mesh0#vertices");
    // position, uv (0.5, 0.75), colour red 255 in the low byte, alpha 51 on top
    EXPECT_EQ(std::vector<std::uint8_t>(f.bytes.begin() + block, f.bytes.begin() + block + 24),
              Hex("00000000 00000000 00000000 0000003F 0000403F FF000033"));
}

TEST(FileGolden, LevelMeshWithOneMeshAndOccluder) {
    LevelMeshDesc level;
    level.fileName = "f";
    level.skipBlocks = 1;
    level.sceneName = "s";
    MeshDesc m;
    m.material = "m";
    m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.indices = {0, 1, 2};
    m.colours = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    m.uv0 = {{0, 0.25f}, {1, 0.25f}, {0, 1}};
    level.meshes = {m};
    level.indexWords = {5};  // counted, but its words are left out without points
    level.occluders = {{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 0}, {1, 1, 0}}};
    EXPECT_EQ(WriteLevelMeshFile(level).bytes,
              Hex("01000000 66"
                  "01000000 00000000 01000000" + Zeros(56) +
                  "01000000 73"
                  "01000000 01000000"
                  "01000000 6D"
                  "01000000 00000000 03000000 03000000 00000000 01000000 00000000"
                  "00000000 00000000 00000000 01000000 02000000 00000000"
                  "00000000 00000000 00000000 0000803F 00000000 00000000 00000000 0000803F 00000000"
                  "0000803F 00000000 00000000 00000000 0000803F 00000000 00000000 00000000 0000803F"
                  "00000000 0000403F 0000803F 0000403F 00000000 00000000"
                  "00000000 01000000"
                  "00000000 00000000 00000000 0000803F 00000000 00000000"
                  "0000803F 0000803F 00000000 00000000 0000803F 00000000"
                  "00000000 00000000 00000000 0000803F 0000803F 00000000"));
}

TEST(FileGolden, LevelMeshWithoutSceneSkipsStraightToThePoints) {
    LevelMeshDesc level;
    level.sceneCount = 0;
    level.meshes = {MeshDesc{}};
    level.occluders.resize(1);
    level.points = {{1, 2, 3}};
    level.indexWords = {4};
    EXPECT_EQ(WriteLevelMeshFile(level).bytes,
              Hex("00000000 00000000 00000000 00000000"
                  "01000000 0000803F 00000040 00004040 01000000 04000000"));
}

TEST(FileGolden, PlainActionFile) {
    // The plain format has no place for word2; the frame count stands there.
    AnimTrackDesc t = ZelTest::SampleTrack();
    PlainActionDesc a;
    a.length = 1;
    a.boneIndices = {4};
    a.tracks = {t};
    Golden want(444);
    want.At(20, "01000000")
        .At(24, "00000000 B8000000")
        .At(96, "0000803F 00000000 01000000")
        .At(180, "04000000")
        .At(208, "01000000 00000040 00004040 04000000 02000000 06000000"
                 "0000E040 00000041 00001041"
                 "00002041 00003041 00004041 00005041 00006041 00007041"
                 "10000000 00000000 02000000"
                 "01000000 02000000 03000000 04000000 05000000 06000000 07000000 08000000 09000000"
                 "01000000 01000000")
        .At(392, "0000803F 00000040 00004040 0000003F"
                 "00000000 00000000 00000000 0000803F 0000803E"
                 "00000000 01000000 01000000 00000000");
    EXPECT_EQ(WritePlainActionFile(a).bytes, want.Bytes());
}

}  // namespace
