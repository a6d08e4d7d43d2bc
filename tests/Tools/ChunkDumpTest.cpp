// The dump walks what the writers wrote: every chunk the writer put down is found at the same
// offset with the same tag, size word and resource word, every byte is reached, and damaged or
// cut files are reported where they break without reading outside the bytes.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "ModelGenSamples.h"
#include "modelgen/ChunkDump.h"
#include "modelgen/Dm2File.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/ModelGenCommand.h"
#include "modelgen/Recipes.h"
#include "support/TempDir.h"

namespace {

using namespace ZelModelGen;
using ZelTest::Narrow;
using ZelTest::WithLength;
using Bytes = std::vector<std::uint8_t>;
using ChunkKey = std::tuple<std::size_t, std::uint32_t, std::uint32_t, std::uint32_t>;

std::set<ChunkKey> WrittenChunks(const WrittenFile& f) {
    std::set<ChunkKey> out;
    for (const Section& s : f.sections)
        if (s.kind == SectionKind::Chunk) out.insert({s.offset, s.tag, s.sizeWord, s.resourceWord});
    return out;
}

std::set<ChunkKey> DumpedChunks(const DumpResult& r, bool companion) {
    std::set<ChunkKey> out;
    for (const DumpNode* n : r.Chunks())
        if (n->companion == companion) out.insert({n->offset, n->tag, n->sizeWord, n->resourceWord});
    return out;
}

bool IsChunkStreamName(const std::string& name) {
    for (const char* ext : {".dm3", ".ch3", ".an3", ".bp3"})
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ext) == 0) return true;
    return false;
}

const RecipeFile& FileOf(const std::vector<RecipeFile>& files, const std::string& name) {
    for (const RecipeFile& f : files)
        if (f.name == name) return f;
    throw std::out_of_range(name);
}

struct ChunkFileCase {
    const char* recipe;
    const char* file;
    const char* companion;  // or null
};

class DumpRoundTrip : public ::testing::TestWithParam<ChunkFileCase> {};

TEST_P(DumpRoundTrip, FindsEveryWrittenChunkAndEveryByte) {
    RecipeOptions options;
    options.wide = false;
    std::vector<RecipeFile> files = MakeRecipe(GetParam().recipe, options);
    const WrittenFile& main = FileOf(files, GetParam().file).file;
    const WrittenFile* lod = GetParam().companion ? &FileOf(files, GetParam().companion).file : nullptr;
    DumpResult r = DumpChunkStream(main.bytes, lod ? &lod->bytes : nullptr);
    ASSERT_TRUE(r.ok) << FormatDump(r);
    EXPECT_TRUE(r.notes.empty()) << FormatDump(r);
    EXPECT_EQ(r.consumed, main.bytes.size());
    EXPECT_EQ(DumpedChunks(r, false), WrittenChunks(main));
    if (lod) {
        EXPECT_EQ(r.companionConsumed, lod->bytes.size());
        EXPECT_EQ(DumpedChunks(r, true), WrittenChunks(*lod));
    }
}

INSTANTIATE_TEST_SUITE_P(Recipes, DumpRoundTrip,
                         ::testing::Values(ChunkFileCase{"cube", "cube.dm3", nullptr},
                                           ChunkFileCase{"strip", "strip.dm3", nullptr},
                                           ChunkFileCase{"skinned", "skinned.ch3", nullptr},
                                           ChunkFileCase{"bodypart", "part.bp3", "part_lod.lod"},
                                           ChunkFileCase{"morph", "morph.an3", nullptr},
                                           ChunkFileCase{"cloth", "skirt.bp3", "skirt_lod.lod"}));

TEST(ChunkDump, FieldsMatchTheDescription) {
    GeometryDesc g = CubeGeometry({});
    DumpResult r = DumpChunkStream(WriteGeometryFile(g).bytes);
    ASSERT_TRUE(r.ok);
    const DumpNode& geometry = r.root.children.at(0);
    EXPECT_EQ(geometry.Field("partCount"), "2");
    const DumpNode& wide = geometry.children.at(1);
    const MeshDesc& mesh = std::get<MeshDesc>(g.parts[1]);
    EXPECT_EQ(wide.Field("vertexCount"), std::to_string(mesh.VertexCount()));
    EXPECT_EQ(wide.children.back().Field("indexCount"), std::to_string(mesh.indices.size()));
    EXPECT_EQ(wide.children.back().Field("largestIndex"), std::to_string(mesh.VertexCount() - 1));
    EXPECT_EQ(geometry.children.back().Field("value"), "\"cube_mat.xml\"");
}

TEST(ChunkDump, StdioChunkFileRoundTrip) {
    GeometryDesc g = CubeGeometry({});
    WrittenFile f = WriteDm2File(g);
    DumpResult r = DumpDm2(f.bytes);
    ASSERT_TRUE(r.ok) << FormatDump(r);
    EXPECT_TRUE(r.notes.empty()) << FormatDump(r);
    EXPECT_EQ(r.consumed, f.bytes.size());
    std::set<ChunkKey> written = WrittenChunks(f), dumped = DumpedChunks(r, false);
    EXPECT_EQ(dumped, written);
    EXPECT_EQ(r.root.children.back().Field("name"), "\"Cube1\"");
}

TEST(ChunkDump, ReportsFaultsWhereTheyAre) {
    GeometryDesc g = CubeGeometry(Narrow());
    WrittenFile clean = WriteGeometryFile(g);

    DumpResult tag = DumpChunkStream(WriteGeometryFile(g, FaultPlan().Tag("geometry/part1/lod1", 4)).bytes);
    EXPECT_FALSE(tag.ok);
    EXPECT_EQ(tag.errorOffset, clean.Offset("geometry/part1/lod1"));
    EXPECT_NE(tag.error.find("expected tag 14"), std::string::npos) << tag.error;

    // A checked tag's size word only draws a note; the fixed size is read all the same.
    DumpResult size = DumpChunkStream(
        WriteGeometryFile(g, FaultPlan().SizeWord("geometry/part0/vertexBuffer", 16)).bytes);
    EXPECT_TRUE(size.ok);
    ASSERT_EQ(size.notes.size(), 1u);
    EXPECT_NE(size.notes[0].find("size word 16, record 12"), std::string::npos) << size.notes[0];

    DumpResult count = DumpChunkStream(WriteGeometryFile(g, FaultPlan().Field("geometry", "partCount", 1000)).bytes);
    EXPECT_FALSE(count.ok);
    EXPECT_NE(count.error.find("count 1000 of parts"), std::string::npos) << count.error;

    DumpResult name = DumpChunkStream(
        WriteGeometryFile(g, FaultPlan().String("geometry/part0/material", WithLength(257))).bytes);
    EXPECT_FALSE(name.ok);
    ASSERT_FALSE(name.notes.empty());
    EXPECT_NE(name.notes[0].find("over 256"), std::string::npos);

    DumpResult dm2 = DumpDm2(WriteDm2File(g, {}, FaultPlan().Tag("mesh0", 7)).bytes);
    EXPECT_FALSE(dm2.ok);
    EXPECT_NE(dm2.error.find("mesh chunk tag 7"), std::string::npos) << dm2.error;
}

TEST(ChunkDump, EveryCutOfEveryChunkFileFailsCleanly) {
    for (const char* recipe : {"strip", "skinned", "bodypart", "morph", "cloth"}) {
        for (const RecipeFile& f : MakeRecipe(recipe)) {
            if (!IsChunkStreamName(f.name)) continue;
            for (std::size_t n = 0; n < f.file.bytes.size(); ++n) {
                Bytes cut(f.file.bytes.begin(), f.file.bytes.begin() + n);
                DumpResult r = DumpChunkStream(cut);
                ASSERT_FALSE(r.ok) << f.name << " cut at " << n;
                ASSERT_LE(r.consumed, n);
            }
        }
    }
    GeometryDesc g = CubeGeometry(Narrow());
    Bytes dm2 = WriteDm2File(g).bytes;
    for (std::size_t n = 0; n < dm2.size(); n += 7) {
        DumpResult r = DumpDm2(Bytes(dm2.begin(), dm2.begin() + n));
        ASSERT_FALSE(r.ok) << "dm2 cut at " << n;
    }
}

TEST(ChunkDump, SurvivesRandomDamage) {
    std::mt19937 random(12345);
    BodyPartDesc part = BodyPartModel();
    Bytes main = WriteBodyPartFile(part).bytes;
    Bytes lod = WriteLodCompanion(CompanionMeshes(part)).bytes;
    Bytes dm2 = WriteDm2File(CubeGeometry(Narrow())).bytes;
    for (int round = 0; round < 2000; ++round) {
        Bytes a = main, b = lod, c = dm2;
        for (Bytes* bytes : {&a, &b, &c}) {
            int flips = 1 + static_cast<int>(random() % 4);
            for (int k = 0; k < flips; ++k) {
                std::size_t at = random() % bytes->size();
                (*bytes)[at] = static_cast<std::uint8_t>(random() % 3 == 0 ? 0xFF : random());
            }
        }
        DumpResult r = DumpChunkStream(a, &b);
        EXPECT_LE(r.consumed, a.size());
        EXPECT_LE(r.companionConsumed, b.size());
        DumpResult s = DumpDm2(c);
        EXPECT_LE(s.consumed, c.size());
    }
}

TEST(ChunkDump, DeepMorphNestingStops) {
    MorphGeometryDesc m;
    MorphMeshDesc mesh;
    mesh.mesh.writeVertexBuffer = mesh.mesh.writeIndexBuffer = false;
    for (int depth = 0; depth < 80; ++depth) {
        MorphKey key;
        key.target = mesh;
        mesh.keys = {key};
    }
    m.morphMeshes = {mesh};
    DumpResult r = DumpChunkStream(WriteMorphGeometryFile(m).bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("deeper than 64"), std::string::npos);
}

TEST(ChunkDump, CommandLineDumpsChunkAndStdioFiles) {
    ZelTest::TempDir dir;
    std::ostringstream out, err;
    std::string folder = dir.Path().string();
    ASSERT_EQ(RunModelGen({"write", "bodypart", folder}, out, err), 0) << err.str();
    out.str("");
    EXPECT_EQ(RunModelGen({"dump", folder + "/part.bp3", folder + "/part_lod.lod"}, out, err), 0);
    EXPECT_NE(out.str().find("lod@0 stripTotal total=3"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("ok 4367 bytes"), std::string::npos) << out.str();

    ASSERT_EQ(RunModelGen({"write", "cube", folder, "--narrow", "--meshes", "1"}, out, err), 0);
    out.str("");
    EXPECT_EQ(RunModelGen({"dump", folder + "/cube.dm2"}, out, err), 0);
    EXPECT_NE(out.str().find("mesh tag=4 size=412"), std::string::npos) << out.str();

    // A damaged file still dumps, with exit code 1; a missing one is an error.
    WriteGeometryFile(CubeGeometry(Narrow()), FaultPlan().TruncateAt(2000))
        .Save(folder + "/cut.dm3");
    out.str("");
    EXPECT_EQ(RunModelGen({"dump", folder + "/cut.dm3"}, out, err), 1);
    EXPECT_NE(out.str().find("error @"), std::string::npos);
    EXPECT_EQ(RunModelGen({"dump", folder + "/absent.dm3"}, out, err), 2);
}

}  // namespace
