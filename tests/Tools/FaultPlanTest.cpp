// Each fault knob changes exactly what it names: the same description written with and without the
// knob differs only in the bytes the knob is about.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "GoldenBytes.h"
#include "ModelGenSamples.h"
#include "modelgen/AseFile.h"
#include "modelgen/Dm2File.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace {

using namespace ZelModelGen;
using ZelTest::Narrow;
using ZelTest::HeadOnlyNull;
using ZelTest::WithLength;
using ZelTest::WithNullFlag;
using ZelTest::WithoutNul;
using ZelTest::WithReserved;
using Bytes = std::vector<std::uint8_t>;

GeometryDesc SmallCubes() { return CubeGeometry(Narrow()); }

std::uint32_t WordAt(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// The offsets at which two equally long byte strings differ.
std::vector<std::size_t> Differences(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

// True when the two byte strings differ at most in the four bytes from `at`.
bool OnlyWordDiffers(const Bytes& a, const Bytes& b, std::size_t at) {
    if (a.size() != b.size()) return false;
    for (std::size_t d : Differences(a, b))
        if (d < at || d >= at + 4) return false;
    return true;
}

struct WordCase {
    const char* label;
    std::function<void(FaultPlan&)> knob;
    std::function<std::size_t(const WrittenFile&)> offset;  // the word the knob changes
    std::uint32_t value;
};

TEST(FaultPlan, EachWordKnobChangesOnlyItsWord) {
    GeometryDesc g = SmallCubes();
    WrittenFile clean = WriteGeometryFile(g);
    const std::string mesh = "geometry/part1";
    const std::string pool = mesh + "/vertexBuffer/pool0";
    const std::string material = mesh + "/material";
    const WordCase cases[] = {
        {"tag", [&](FaultPlan& f) { f.Tag(mesh, 99); },
         [&](const WrittenFile& w) { return w.Offset(mesh); }, 99},
        {"size word", [&](FaultPlan& f) { f.SizeWord(pool, 24); },
         [&](const WrittenFile& w) { return w.Offset(pool) + 4; }, 24},
        {"resource word", [&](FaultPlan& f) { f.ResourceWord("geometry", 5); },
         [&](const WrittenFile&) { return std::size_t(8); }, 5},
        {"count field", [&](FaultPlan& f) { f.Field(mesh, "vertexCount", 23); },
         [&](const WrittenFile& w) { return w.Offset(mesh) + 12 + 44; }, 23},
        {"part count", [&](FaultPlan& f) { f.Field("geometry", "partCount", 3); },
         [&](const WrittenFile&) { return std::size_t(12); }, 3},
        {"entry field", [&](FaultPlan& f) { f.Field(mesh + "/lod0/entry0", "drawCount", 0); },
         [&](const WrittenFile& w) { return w.Offset(mesh + "/lod0/entry0") + 8; }, 0},
        {"index beyond the vertices",
         [&](FaultPlan& f) { f.Element(mesh + "/indexBuffer#indices", 5, 1000); },
         [&](const WrittenFile& w) { return w.Offset(mesh + "/indexBuffer#indices") + 20; }, 1000},
        {"string null flag", [&](FaultPlan& f) { f.String(material, WithNullFlag(1)); },
         [&](const WrittenFile& w) { return w.Offset(material); }, 1},
        {"string length", [&](FaultPlan& f) { f.String(material, WithLength(300)); },
         [&](const WrittenFile& w) { return w.Offset(material) + 4; }, 300},
        {"string reserved word", [&](FaultPlan& f) { f.String(material, WithReserved(7)); },
         [&](const WrittenFile& w) { return w.Offset(material) + 8; }, 7},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.label);
        FaultPlan plan;
        c.knob(plan);
        WrittenFile faulted = WriteGeometryFile(g, plan);
        std::size_t at = c.offset(clean);
        EXPECT_EQ(WordAt(faulted.bytes, at), c.value);
        EXPECT_TRUE(OnlyWordDiffers(clean.bytes, faulted.bytes, at));
    }
}

TEST(FaultPlan, StringWithoutNulLosesOneByteAndCountsOnlyTheLetters) {
    GeometryDesc g = SmallCubes();
    WrittenFile clean = WriteGeometryFile(g);
    FaultPlan plan;
    plan.String("geometry/materialFile0", WithoutNul());
    WrittenFile faulted = WriteGeometryFile(g, plan);
    std::size_t at = clean.Offset("geometry/materialFile0");
    ASSERT_EQ(faulted.bytes.size() + 1, clean.bytes.size());
    EXPECT_EQ(WordAt(faulted.bytes, at + 4), WordAt(clean.bytes, at + 4) - 1);
    Bytes expected = clean.bytes;
    expected.pop_back();  // the material file is the last item, so its NUL is the last byte
    std::memcpy(expected.data() + at + 4, faulted.bytes.data() + at + 4, 4);
    EXPECT_EQ(faulted.bytes, expected);
}

TEST(FaultPlan, StringWithoutCharactersKeepsTheHeadOnly) {
    GeometryDesc g = SmallCubes();
    WrittenFile clean = WriteGeometryFile(g);
    FaultPlan plan;
    plan.String("geometry/part0/material", HeadOnlyNull());
    WrittenFile faulted = WriteGeometryFile(g, plan);
    std::size_t at = clean.Offset("geometry/part0/material");
    std::size_t characters = WordAt(clean.bytes, at + 4);
    ASSERT_EQ(faulted.bytes.size() + characters, clean.bytes.size());
    EXPECT_EQ(Bytes(faulted.bytes.begin() + at, faulted.bytes.begin() + at + 12),
              ZelTest::Hex("01000000 00000000 00000000"));
    EXPECT_TRUE(std::equal(faulted.bytes.begin() + at + 12, faulted.bytes.end(),
                           clean.bytes.begin() + at + 12 + characters));
}

TEST(FaultPlan, CutsAndAppendedBytes) {
    GeometryDesc g = SmallCubes();
    WrittenFile clean = WriteGeometryFile(g);
    auto prefix = [&](std::size_t n) { return Bytes(clean.bytes.begin(), clean.bytes.begin() + n); };

    EXPECT_EQ(WriteGeometryFile(g, FaultPlan().TruncateAt(100)).bytes, prefix(100));
    std::size_t part1 = clean.Offset("geometry/part1");
    EXPECT_EQ(WriteGeometryFile(g, FaultPlan().TruncateAtSection("geometry/part1", 6)).bytes,
              prefix(part1 + 6));
    EXPECT_EQ(WriteGeometryFile(g, FaultPlan().TruncateAtSection("geometry/part1#record")).bytes,
              prefix(part1 + 12));
    EXPECT_EQ(WriteGeometryFile(g, FaultPlan().TruncateAt(1u << 30)).bytes, clean.bytes);

    Bytes tail = {1, 2, 3};
    Bytes appended = clean.bytes;
    appended.insert(appended.end(), tail.begin(), tail.end());
    EXPECT_EQ(WriteGeometryFile(g, FaultPlan().Append(tail)).bytes, appended);
}

TEST(FaultPlan, KnobsThatNameNothingAreRefused) {
    GeometryDesc g = SmallCubes();
    EXPECT_THROW(WriteGeometryFile(g, FaultPlan().Tag("geometry/part9", 1)), std::invalid_argument);
    EXPECT_THROW(WriteGeometryFile(g, FaultPlan().Field("geometry", "partCuont", 1)),
                 std::invalid_argument);
    EXPECT_THROW(WriteGeometryFile(g, FaultPlan().TruncateAtSection("nowhere")),
                 std::invalid_argument);
    EXPECT_THROW(WriteGeometryFile(g, FaultPlan().Element("geometry/part0/indexBuffer#indices", 36, 0)),
                 std::invalid_argument);
}

TEST(FaultPlan, OutOfRangeIndicesInTheDescriptionAreWrittenAsTheyAre) {
    GeometryDesc g = SmallCubes();
    std::get<MeshDesc>(g.parts[0]).indices[3] = 70000;
    std::get<MeshDesc>(g.parts[0]).groups[0].entries[0].startByte = 4000;
    WrittenFile f = WriteGeometryFile(g);
    EXPECT_EQ(WordAt(f.bytes, f.Offset("geometry/part0/indexBuffer#indices") + 12), 70000u);
    EXPECT_EQ(WordAt(f.bytes, f.Offset("geometry/part0/lod0/entry0") + 12), 4000u);
}

TEST(FaultPlan, AppliesToEveryWriter) {
    GeometryDesc g = SmallCubes();
    // The stdio chunk file: a mesh chunk's tag and a header field patched after the fact.
    WrittenFile dm2 = WriteDm2File(g);
    WrittenFile dm2Tag = WriteDm2File(g, {}, FaultPlan().Tag("mesh1", 5));
    EXPECT_EQ(WordAt(dm2Tag.bytes, dm2.Offset("mesh1")), 5u);
    EXPECT_TRUE(OnlyWordDiffers(dm2.bytes, dm2Tag.bytes, dm2.Offset("mesh1")));
    WrittenFile dm2Offset = WriteDm2File(g, {}, FaultPlan().Field("header", "geometryOffset", 0));
    EXPECT_EQ(WordAt(dm2Offset.bytes, 12), 0u);
    EXPECT_TRUE(OnlyWordDiffers(dm2.bytes, dm2Offset.bytes, 12));

    // The level mesh: a count and a name length.
    LevelMeshDesc level = LevelGrid({});
    WrittenFile lvl = WriteLevelMeshFile(level);
    WrittenFile lvlCount = WriteLevelMeshFile(level, FaultPlan().Field("mesh1", "colourCount", 9));
    std::size_t name = lvl.Offset("mesh1/material");
    std::size_t colourCount = name + 4 + WordAt(lvl.bytes, name) + 12;
    EXPECT_EQ(WordAt(lvlCount.bytes, colourCount), 9u);
    EXPECT_TRUE(OnlyWordDiffers(lvl.bytes, lvlCount.bytes, colourCount));
    WrittenFile lvlName = WriteLevelMeshFile(level, FaultPlan().String("file", WithLength(300)));
    EXPECT_EQ(WordAt(lvlName.bytes, 0), 300u);
    WrittenFile lvlFace = WriteLevelMeshFile(level, FaultPlan().Element("mesh0#faces", 2, 77));
    EXPECT_EQ(WordAt(lvlFace.bytes, lvl.Offset("mesh0#faces") + 16), 77u);
    EXPECT_TRUE(OnlyWordDiffers(lvl.bytes, lvlFace.bytes, lvl.Offset("mesh0#faces") + 16));

    // The companion and the plain action file.
    BodyPartDesc part = BodyPartModel();
    WrittenFile lod = WriteLodCompanion(CompanionMeshes(part));
    WrittenFile lodTotal =
        WriteLodCompanion(CompanionMeshes(part), FaultPlan().Field("mesh0", "stripTotal", 1));
    EXPECT_EQ(WordAt(lodTotal.bytes, 0), 1u);
    EXPECT_TRUE(OnlyWordDiffers(lod.bytes, lodTotal.bytes, 0));
    PlainActionDesc action = PlainActionOf(WalkAction());
    WrittenFile at6 = WritePlainActionFile(action);
    WrittenFile at6Offset =
        WritePlainActionFile(action, FaultPlan().Field("action/entry1", "offset", 1u << 20));
    EXPECT_EQ(WordAt(at6Offset.bytes, 24 + 72 + 4), 1u << 20);
    EXPECT_TRUE(OnlyWordDiffers(at6.bytes, at6Offset.bytes, 24 + 72 + 4));
    WrittenFile at6Length = WritePlainActionFile(action, FaultPlan().FieldF("action", "length", 2.5f));
    EXPECT_EQ(WordAt(at6Length.bytes, at6.Offset("action#action")), 0x40200000u);
    EXPECT_TRUE(OnlyWordDiffers(at6.bytes, at6Length.bytes, at6.Offset("action#action")));

    // ASE: a count line and a cut at a block.
    AseSceneDesc scene = CubeAseScene(g);
    WrittenFile ase = WriteAseFile(scene);
    WrittenFile aseCount = WriteAseFile(scene, {}, FaultPlan().Field("object0/mesh", "MESH_NUMVERTEX", 99));
    std::string a = ase.Text(), b = aseCount.Text();
    std::size_t line = a.find("*MESH_NUMVERTEX 24");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(b, a.substr(0, line) + "*MESH_NUMVERTEX 99" + a.substr(line + 18));
    WrittenFile aseCut = WriteAseFile(scene, {}, FaultPlan().TruncateAtSection("object1/mesh"));
    EXPECT_EQ(aseCut.Text(), a.substr(0, ase.Offset("object1/mesh")));
}

}  // namespace
