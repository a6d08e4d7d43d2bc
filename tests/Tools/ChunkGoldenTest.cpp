// Hand-typed bytes, one golden per chunk kind, checking the chunk writers against the record
// tables: field order, fixed sizes, size words, column-major matrices, strings and child order.
#include <gtest/gtest.h>

#include "GoldenBytes.h"
#include "ModelGenSamples.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/ModelMath.h"

namespace {

using namespace ZelModelGen;
using ZelTest::Golden;
using ZelTest::Hex;
using ZelTest::Join;
using ZelTest::SampleTrack;
using ZelTest::Zeros;
using Bytes = std::vector<std::uint8_t>;

template <typename F>
Bytes Written(F write) {
    FaultPlan none;
    ChunkStreamWriter w(none);
    write(w);
    return w.Finish().bytes;
}

// A mesh with no vertex or index buffer and no vertices: a header, 60 zero bytes and the empty
// material string.
MeshDesc MinimalMesh() {
    MeshDesc m;
    m.writeVertexBuffer = false;
    m.writeIndexBuffer = false;
    return m;
}
const std::string kMinimalMesh =
    "04000000 3C000000 00000000" + Zeros(60) + "00000000 01000000 00000000 00";

const char kOne[] = "0000803F";
const std::string kIdentity =
    "0000803F 00000000 00000000 00000000 00000000 0000803F 00000000 00000000"
    "00000000 00000000 0000803F 00000000 00000000 00000000 00000000 0000803F";

TEST(ChunkGolden, StringRecordHoldsFlagLengthReservedAndTerminatedCharacters) {
    EXPECT_EQ(Written([](ChunkStreamWriter& w) { w.String("s", "abc"); }),
              Hex("00000000 04000000 00000000 61626300"));
    EXPECT_EQ(Written([](ChunkStreamWriter& w) { w.String("s", ""); }),
              Hex("00000000 01000000 00000000 00"));
}

TEST(ChunkGolden, LodStrip) {
    LodGroup g;
    g.entries.push_back({3, 36, 36, 0, 0});
    g.entries.push_back({4, 4, 2, 144, 9});
    g.primitiveCount = 12;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteLodStripChunk(w, g, "lod"); }),
              Hex("0E000000 08000000 00000000 02000000 0C000000"
                  "03000000 24000000 24000000 00000000 00000000"
                  "04000000 04000000 02000000 90000000 09000000"));
}

TEST(ChunkGolden, VertexBufferWithOnePool) {
    MeshDesc m;
    m.positions = {{1, 2, 3}};
    m.vertexKind = 2;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteVertexBufferChunk(w, m, "vb"); }),
              Hex("0F000000 0C000000 00000000 01000000 01000000 02000000"
                  "11000000 14000000 00000000 01000000 0C000000 01000000 02000000 00000000"
                  "0000803F 00000040 00004040"));
}

TEST(ChunkGolden, PackedColourPoolIsArgb) {
    MeshDesc m;
    // Each channel times 255, truncated: 0.5 packs to 0x7F and 0.999 to 0xFE, never rounded up.
    m.colours = {{1, 0.5f, 0.999f, 1}};
    m.packedColours = true;
    PoolDesc pool = PoolsOf(m).at(0);
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteVertexPoolChunk(w, pool, "pool"); }),
              Hex("11000000 14000000 00000000 01000000 04000000 00000100 09000000 00000000"
                  "FE7FFFFF"));
}

TEST(ChunkGolden, IndexBuffer) {
    MeshDesc m;
    m.indices = {0, 1, 2};
    m.indexBufferOffset = 8;
    m.indexUsage = 5;
    m.indexFlags = 1;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteIndexBufferChunk(w, m, "ib"); }),
              Hex("10000000 14000000 00000000 03000000 08000000 00000000 05000000 01000000"
                  "00000000 01000000 02000000"));
}

TEST(ChunkGolden, MeshRecordThenMaterial) {
    MeshDesc m = MinimalMesh();
    m.material = "m";
    m.positions = {{0, 0, 0}};
    m.boxMin = Vec3{0, 0, 0};
    m.boxMax = Vec3{1, 1, 1};
    m.wordB = 2;
    m.wordC = 3;
    m.groupWord = 4;
    m.faceCount = 5;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteMeshChunk(w, m, "mesh"); }),
              Hex("04000000 3C000000 00000000"
                  "00000000 00000000 00000000 0000803F 0000803F 0000803F"
                  "00000000 02000000 03000000 00000000 04000000 01000000 05000000"
                  "00000000 00000000"
                  "00000000 02000000 00000000 6D00"));
}

TEST(ChunkGolden, MeshChildrenComeAfterTheMaterialInOrderLodVertexIndex) {
    MeshDesc m;
    m.positions = {{1, 2, 3}};
    m.indices = {0, 0, 0};
    m.groups = {TriangleListGroup(0, 3)};
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteMeshChunk(w, m, "mesh"); });
    // Mesh record 72 bytes, empty material 13, LOD strip 12 + 8 + 20, vertex buffer 24 + pool 44.
    EXPECT_EQ(Bytes(b.begin() + 48, b.begin() + 52), Hex("01000000"));           // LOD strip count
    EXPECT_EQ(Bytes(b.begin() + 64, b.begin() + 72), Hex("01000000 01000000"));  // both flags
    EXPECT_EQ(Bytes(b.begin() + 85, b.begin() + 89), Hex("0E000000"));
    EXPECT_EQ(Bytes(b.begin() + 125, b.begin() + 129), Hex("0F000000"));
    EXPECT_EQ(Bytes(b.begin() + 193, b.begin() + 197), Hex("10000000"));
    EXPECT_EQ(b.size(), 193u + 32 + 12);
}

TEST(ChunkGolden, GeometryRecordMatricesAreStoredColumnByColumn) {
    GeometryDesc g;
    g.resourceWord = 42;
    g.boxMin = Vec3{-1, -1, -1};
    g.boxMax = Vec3{1, 1, 1};
    g.headerWords = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    g.matrices = {TranslationMatrix({5, 6, 7})};
    g.extraWords = {9};
    g.scales = {{1, 1, 1}};
    g.materialFiles = {"a"};
    Golden want(1162);
    want.At(0, "01000000 60040000 2A000000")
        .At(16, "000080BF 000080BF 000080BF 0000803F 0000803F 0000803F")
        .At(40,
            "01000000 02000000 03000000 04000000 05000000 06000000 07000000 08000000"
            "09000000 0A000000");
    for (int slot = 0; slot < 16; ++slot)
        for (int diagonal : {0, 20, 40, 60}) want.At(80 + 64 * slot + diagonal, kOne);
    // Row 3 (the translation) of slot 0 lands in the fourth element of each stored column.
    want.At(80 + 12, "0000A040").At(80 + 28, "0000C040").At(80 + 44, "0000E040");
    want.At(1104, "01000000 01000000 01000000 00000000 00000000 00000000 01000000")
        .At(1132, "09000000 0000803F 0000803F 0000803F 00000000 02000000 00000000 6100");
    EXPECT_EQ(WriteGeometryFile(g).bytes, want.Bytes());
}

TEST(ChunkGolden, AnimationTrackAndKeysWithFrameTablesPerPresentKind) {
    AnimTrackDesc t = SampleTrack();
    Golden want(716);
    want.At(0, "07000000 50010000 00000000")
        .At(12,
            "01000000 00000040 00000000 00004040 00000000 04000000 05000000 06000000"
            "0000E040 00000041 00001041 00000000"
            "00002041 00003041 00004041 00005041 00006041 00007041 10000000 02000000")
        .At(348, "08000000 30010000 00000000")
        .At(360,
            "01000000 02000000 03000000 04000000 05000000 06000000 07000000 08000000"
            "09000000 01000000 01000000 00000000")
        .At(664,
            "0000803F 00000040 00004040 0000003F"
            "00000000 00000000 00000000 0000803F 0000803E"
            "00000000 01000000 01000000 00000000");
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteAnimationTrackChunk(w, t, "t"); }),
              want.Bytes());
}

TEST(ChunkGolden, KeysWithoutFramesHaveNoTables) {
    AnimKeysDesc k = SampleTrack().keys;
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteAnimationKeysChunk(w, k, 0, "k"); });
    EXPECT_EQ(b.size(), 12u + 304 + 16 + 20);
}

TEST(ChunkGolden, ActionNamesBoneIndicesThenTracks) {
    ActionDesc a;
    a.name = "w";
    a.fileName = "f";
    a.length = 1;
    a.boneIndices = {3};
    a.resourceWord = 11;
    Golden want(316);
    want.At(0, "06000000 10010000 0B000000 0000803F 00000000 01000000 00000000")
        .At(284, "00000000 02000000 00000000 7700 00000000 02000000 00000000 6600 03000000");
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteActionChunk(w, a, "a"); }), want.Bytes());
}

TEST(ChunkGolden, SkeletonWithOneBone) {
    SkeletonDesc s;
    s.words[0] = 7;
    s.words[1] = 8;
    s.leftFootId = 1;
    s.rightFootId = -1;
    s.resourceWord = 4;
    BoneDesc b;
    b.id = 0;
    b.parentId = -1;
    b.value = 0.5f;
    b.vector1 = {1, 2, 3};
    b.vector2 = {0, 0, 0, 1};
    b.vector3 = {4, 5, 6};
    b.matrix2 = Transpose(TranslationMatrix({1, 2, 3}));  // translation in column 3
    b.name = "b";
    b.links = {9};
    s.bones = {b};
    Golden want(830);
    want.At(0,
            "09000000 1C010000 04000000 00000000 01000000 00000000 07000000 08000000"
            "01000000 FFFFFFFF")
        .At(296, "0A000000 F8010000 00000000")
        .At(308,
            "00000000 FFFFFFFF 01000000 0000003F 0000803F 00000040 00004040"
            "00000000 00000000 00000000 0000803F 00008040 0000A040 0000C040");
    for (int matrix = 0; matrix < 3; ++matrix)
        for (int diagonal : {0, 20, 40, 60}) want.At(364 + 64 * matrix + diagonal, kOne);
    // Column 3 of the second matrix is its fourth stored column.
    want.At(428 + 48, "0000803F 00000040 00004040");
    want.At(812, "00000000 02000000 00000000 6200 09000000");
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteSkeletonChunk(w, s, "s"); }), want.Bytes());
}

TEST(ChunkGolden, SkinRecordIs128BytesUpTo29PaletteEntries) {
    SkinDesc skin;
    skin.palette = {4, 5};
    skin.mesh = MinimalMesh();
    BlendRecord b;
    b.count = 1;
    b.bones[0] = 4;
    b.weights[0] = 1;
    skin.blend = {b};
    EXPECT_EQ(
        Written([&](ChunkStreamWriter& w) { WriteSkinChunk(w, skin, "skin"); }),
        Join({Hex("05000000 80000000 00000000 02000000 04000000 05000000" + Zeros(27 * 4 + 8)),
              Hex(kMinimalMesh),
              Hex("01000000 04000000 00000000 00000000 00000000"
                  "0000803F 00000000 00000000 00000000")}));
}

TEST(ChunkGolden, SkinRecordIs252BytesAbove29PaletteEntries) {
    SkinDesc skin;
    for (std::uint32_t i = 0; i < 30; ++i) skin.palette.push_back(i + 1);
    skin.mesh = MinimalMesh();
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteSkinChunk(w, skin, "skin"); });
    ASSERT_EQ(b.size(), 12u + 252 + 85);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 16), Hex("05000000 FC000000 00000000 1E000000"));
    EXPECT_EQ(Bytes(b.begin() + 12 + 4 + 29 * 4, b.begin() + 12 + 4 + 31 * 4),
              Hex("1E000000 00000000"));  // slot 29 holds the 30th entry, slot 30 is free
}

TEST(ChunkGolden, SkinnedGeometryFlagsThenGeometry) {
    SkinnedGeometryDesc s;
    s.resourceWord = 9;
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteSkinnedGeometryChunk(w, s, "s"); });
    ASSERT_EQ(b.size(), 20u + 1132);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 32),
              Hex("02000000 08000000 09000000 00000000 00000000 01000000 60040000 00000000"));
}

TEST(ChunkGolden, BoundKeepsItsMatrixAsItStandsAndNamesAfterTheShape) {
    BoundDesc sphere;
    sphere.local.m[1] = 2;  // row 0, column 1: written second, not transposed
    sphere.kind = 0;
    sphere.shapeWord = 3;
    sphere.radius = 0.5f;
    sphere.name = "s";
    std::string matrix = kIdentity;
    matrix.replace(9, 8, "00000040");
    EXPECT_EQ(
        Written([&](ChunkStreamWriter& w) { WriteBoundChunk(w, sphere, "b"); }),
        Hex("1D000000 88000000 00000000" + matrix + "00000000 03000000" + Zeros(64) +
            "1E000000 44000000 00000000 0000003F" + Zeros(64) + "00000000 02000000 00000000 7300"));

    BoundDesc capsule;
    capsule.kind = 1;
    capsule.radius = 0.5f;
    capsule.height = 1;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteBoundCapsuleChunk(w, capsule, "c"); }),
              Hex("1F000000 48000000 00000000 0000003F 0000803F" + Zeros(64)));

    BoundDesc other;
    other.kind = 2;
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteBoundChunk(w, other, "b"); });
    EXPECT_EQ(b.size(), 12u + 136 + 13);  // no shape chunk
}

TEST(ChunkGolden, BodyPartWithTextureAndSelector) {
    BodyPartDesc p;
    p.resourceWord = 5;
    p.setting1 = 3;
    p.setting2 = 0x123;
    p.setting3 = 5;
    BodyTextureDesc t;
    t.name = "t";
    t.slot = 1;
    t.fileName = "f";
    t.image = {0xAA, 0xBB};
    t.resourceWord = 3;
    p.textures = {t};
    SelectorDesc s;
    s.words[0] = 1;
    s.words[1] = 2;
    s.words[2] = 3;
    s.words[3] = 4;
    s.skinName = "s";
    s.materialName = "m";
    p.selectors = {s};
    p.defaultMesh = "d";
    p.defaultTexture = "e";
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteBodyPartChunk(w, p, "p"); }),
              Hex("19000000 14000000 05000000 03003012 05000000 00000000 01000000 01000000"
                  "00000000 02000000 00000000 7400"
                  "1A000000 0C000000 03000000 01000000 00000000 02000000"
                  "00000000 02000000 00000000 6600 AABB"
                  "01000000 02000000 03000000 04000000" +
                  Zeros(256) +
                  "00000000 02000000 00000000 7300 00000000 02000000 00000000 6D00"
                  "00000000 02000000 00000000 6400 00000000 02000000 00000000 6500"));
}

TEST(ChunkGolden, MorphMeshKeysNestMorphMeshes) {
    MorphMeshDesc m;
    m.morphWord = 2;
    m.mesh = MinimalMesh();
    MorphKey key;
    key.value = 1;
    key.flag = 1;
    key.target.mesh = MinimalMesh();
    m.keys = {key};
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteMorphMeshChunk(w, m, "m"); }),
              Hex("1C000000 08010000 00000000 01000000 02000000" + Zeros(256) + kMinimalMesh +
                  "0000803F 00000000 01000000"
                  "1C000000 08010000 00000000 00000000 00000000" +
                  Zeros(256) + kMinimalMesh));
}

TEST(ChunkGolden, MorphGeometryRecordThenGeometry) {
    MorphGeometryDesc m;
    m.resourceWord = 6;
    m.morphValue = 0.5f;
    m.morphFlag = 1;
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteMorphGeometryChunk(w, m, "m"); });
    ASSERT_EQ(b.size(), 280u + 1132);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 24),
              Hex("1B000000 0C010000 06000000 0000003F 01000000 00000000"));
    EXPECT_EQ(Bytes(b.begin() + 280, b.begin() + 284), Hex("01000000"));
}

TEST(ChunkGolden, ClothGeometryRecordGeometryBoundsPoints) {
    ClothGeometryDesc c;
    c.resourceWord = 13;
    c.points = {{1, 2, 3}};
    Bytes b = Written([&](ChunkStreamWriter& w) { WriteClothGeometryChunk(w, c, "c"); });
    ASSERT_EQ(b.size(), 24u + 1132 + 12);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 28),
              Hex("17000000 0C000000 0D000000 00000000 00000000 01000000 01000000"));
    EXPECT_EQ(Bytes(b.end() - 12, b.end()), Hex("0000803F 00000040 00004040"));
}

TEST(ChunkGolden, ClothMeshData) {
    ClothMeshDesc c;
    c.params = {1, 2, 3, 4, 5, 6};
    c.mesh = MinimalMesh();
    ClothSubPart other;
    other.kind = 5;  // nothing follows its eight bytes
    c.subParts = {other};
    c.pointsA = {{1, 1, 1}};
    c.indicesA = {7};
    c.sortKey = 9;
    EXPECT_EQ(Written([&](ChunkStreamWriter& w) { WriteClothMeshDataChunk(w, c, "c"); }),
              Hex("18000000 48010000 00000000"
                  "0000803F 00000040 00004040 00008040 0000A040 0000C040"
                  "01000000 00000000 00000000 01000000 00000000 00000000 01000000 00000000"
                  "00000000 09000000 01000000 01000000" +
                  Zeros(256) + kMinimalMesh + "05000000 00000000" +
                  "0000803F 0000803F 0000803F 07000000"));
}

TEST(ChunkGolden, LodCompanionBlockPerMesh) {
    MeshDesc m;
    m.indices = {0, 1, 2};
    m.groups = {TriangleListGroup(0, 3)};
    LodGroup lod;
    lod.entries.push_back({3, 6, 6, 12, 0});
    lod.primitiveCount = 2;
    m.lodGroups = {lod};
    m.lodIndices = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(WriteLodCompanion({&m}).bytes,
              Hex("02000000"
                  "0E000000 08000000 00000000 01000000 02000000"
                  "03000000 06000000 06000000 0C000000 00000000"
                  "10000000 14000000 00000000 06000000 03000000 00000000 00000000 00000000"
                  "00000000 01000000 02000000 02000000 01000000 03000000"));
}

}  // namespace
