// The mesh-level chunk readers: LOD strips with and without the LOD companion, vertex pools with
// data sizes that disagree, index buffers with the companion's indices, and the count checks a
// mesh must pass.
#include <gtest/gtest.h>

#include "tests/Entity/Geometry/ChunkStreamFixture.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/IOIndexBufferBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/IOVBBin.h"
#include "Entity/Geometry/LodCompanion.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelModelGen;

using ZelTest::StreamPtr;

StreamPtr StreamOf(const WrittenFile& file, const std::string& name = "main.bp3") {
    return ZelTest::MemoryStream(file.bytes, name);
}

std::uint32_t TypeSize(std::uint32_t type) {
    return ElementTypeSize(type);
}

// The chunks of a mesh that follow its record and name: strips, vertex buffer, index buffer.
WrittenFile MeshBody(const MeshDesc& mesh, const FaultPlan& faults = FaultPlan()) {
    ChunkStreamWriter w(faults);
    for (std::size_t i = 0; i < mesh.groups.size(); ++i)
        WriteLodStripChunk(w, mesh.groups[i], Indexed("lod", i));
    WriteVertexBufferChunk(w, mesh, "vb");
    WriteIndexBufferChunk(w, mesh, "ib");
    return w.Finish();
}

MeshDesc Cube() {
    return MakeCubeMesh(1, Vec3{0, 0, 0}, 1.0f, "stone");
}

std::vector<Zel::LodStripRecord::Entry> EntriesOf(const LodGroup& group) {
    std::vector<Zel::LodStripRecord::Entry> out;
    for (const LodEntry& e : group.entries)
        out.push_back({e.primitive, e.indexCount, e.drawCount, e.startByte, e.value});
    return out;
}

TEST(MeshChunkReaderTest, WholeMeshBodyReadsAndPassesTheChecks) {
    const MeshDesc mesh = Cube();
    StreamPtr s = StreamOf(MeshBody(mesh));
    ZelTest::LogCapture log;
    std::vector<Zel::LodStripRecord> groups;
    ASSERT_TRUE(Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].entries, EntriesOf(mesh.groups[1]));
    EXPECT_EQ(groups[1].primitiveCount, mesh.groups[1].primitiveCount);
    Zel::VertexBufferRecord vb;
    std::vector<Zel::VertexPoolRecord> pools;
    ASSERT_TRUE(Zel::IOVertexBufferBin::Read(vb, pools, s.get(), &TypeSize));
    EXPECT_EQ(vb.vertexCount, mesh.VertexCount());
    const std::vector<PoolDesc> written = PoolsOf(mesh);
    ASSERT_EQ(pools.size(), written.size());
    for (std::size_t i = 0; i < pools.size(); ++i) {
        EXPECT_EQ(pools[i].semantic, written[i].semantic);
        EXPECT_EQ(pools[i].data, written[i].data);
    }
    Zel::IndexBufferRecord ib;
    ASSERT_TRUE(Zel::IOIndexBufferBin::Read(ib, s.get()));
    EXPECT_EQ(ib.indices, mesh.indices);
    EXPECT_TRUE(
        Zel::IOMeshBin::CheckMeshCounts(mesh.VertexCount(), &vb, pools, &ib, groups, s->GetName()));
    EXPECT_EQ(s->Tell(), s->GetSize());
    EXPECT_FALSE(s->HasOverrun());
    EXPECT_EQ(log.Records().size(), 0u);
}

TEST(MeshChunkReaderTest, StripFaults) {
    struct Case {
        const char* what;
        FaultPlan faults;
        bool ok;
        const char* logged;
    };
    const Case cases[] = {
        {"wrong tag", FaultPlan().Tag("lod1", 15), false, "读取到tag不是ID_LODSTRIP"},
        {"size word 12", FaultPlan().SizeWord("lod0", 12), true, "Exp Failed!"},
        {"entry count past the end", FaultPlan().Field("lod0", "entryCount", 0x7FFFFFFF), false,
         "entries run past the end of main.bp3"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        StreamPtr s = StreamOf(MeshBody(Cube(), c.faults));
        std::vector<Zel::LodStripRecord> groups;
        EXPECT_EQ(Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups), c.ok) << c.what;
        EXPECT_EQ(log.Count(c.logged), 1) << c.what;
    }
}

TEST(MeshChunkReaderTest, CompanionAddsStripsAndIndices) {
    MeshDesc mesh = Cube();
    StreamPtr s = StreamOf(MeshBody(mesh));
    StreamPtr lod = StreamOf(WriteLodCompanion({&mesh}), "main_lod.lod");
    Zel::LodCompanion companion("main_lod.lod", lod.get());
    std::vector<Zel::LodStripRecord> groups;
    ASSERT_TRUE(Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups));
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[2].entries, EntriesOf(mesh.lodGroups[0]));
    Zel::VertexBufferRecord vb;
    std::vector<Zel::VertexPoolRecord> pools;
    ASSERT_TRUE(Zel::IOVertexBufferBin::Read(vb, pools, s.get(), &TypeSize));
    Zel::IndexBufferRecord ib;
    ASSERT_TRUE(Zel::IOIndexBufferBin::Read(ib, s.get(), lod.get()));
    std::vector<std::uint32_t> all = mesh.indices;
    all.insert(all.end(), mesh.lodIndices.begin(), mesh.lodIndices.end());
    EXPECT_EQ(ib.indices, all);
    EXPECT_FALSE(ib.lodMismatch);
    EXPECT_TRUE(
        Zel::IOMeshBin::CheckMeshCounts(mesh.VertexCount(), &vb, pools, &ib, groups, s->GetName()));
    EXPECT_EQ(lod->Tell(), lod->GetSize());
}

TEST(MeshChunkReaderTest, CompanionFaults) {
    MeshDesc noLodStrips = Cube();
    noLodStrips.lodGroups.clear();
    MeshDesc mismatch = Cube();
    mismatch.lodBaseIndexCount = static_cast<std::uint32_t>(mismatch.indices.size() - 1);
    mismatch.lodClearBytes = 10;
    struct Case {
        const char* what;
        MeshDesc mesh;
        FaultPlan mainFaults, lodFaults;
        bool stripsOk;
        std::size_t groups;
        const char* logged;
    };
    const Case cases[] = {
        {"strip total equal to the main count", noLodStrips, {}, {}, true, 2, nullptr},
        {"bad companion strip ends the strips",
         Cube(),
         {},
         FaultPlan().Tag("mesh0/lod2", 3),
         true,
         2,
         "读取Lod文件的LodStrip失败,文件名=main_lod.lod"},
        {"bad main strip names the companion",
         Cube(),
         FaultPlan().Tag("lod0", 3),
         {},
         false,
         0,
         "读取原始bp3文件内的Lod的Strip失败,文件名=main_lod.lod"},
        {"index mismatch", mismatch, {}, {}, true, 3, nullptr},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        StreamPtr s = StreamOf(MeshBody(c.mesh, c.mainFaults));
        StreamPtr lod = StreamOf(WriteLodCompanion({&c.mesh}, c.lodFaults), "main_lod.lod");
        Zel::LodCompanion companion("main_lod.lod", lod.get());
        std::vector<Zel::LodStripRecord> groups;
        EXPECT_EQ(Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups), c.stripsOk) << c.what;
        EXPECT_EQ(groups.size(), c.groups) << c.what;
        if (c.logged) {
            EXPECT_EQ(log.Count(c.logged), 1) << c.what;
        }
    }

    // The mismatch clears the bytes asked for (10: two indices and half of the third).
    StreamPtr s = StreamOf(MeshBody(mismatch));
    StreamPtr lod = StreamOf(WriteLodCompanion({&mismatch}), "main_lod.lod");
    Zel::LodCompanion companion("main_lod.lod", lod.get());
    std::vector<Zel::LodStripRecord> groups;
    Zel::VertexBufferRecord vb;
    std::vector<Zel::VertexPoolRecord> pools;
    ASSERT_TRUE(Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups));
    ASSERT_TRUE(Zel::IOVertexBufferBin::Read(vb, pools, s.get(), &TypeSize));
    ZelTest::LogCapture log;
    Zel::IndexBufferRecord ib;
    ASSERT_TRUE(Zel::IOIndexBufferBin::Read(ib, s.get(), lod.get()));
    EXPECT_TRUE(ib.lodMismatch);
    EXPECT_EQ(log.Count("发现LOD文件的Index数据和原始文件不匹配"), 1);
    const std::size_t base = mismatch.indices.size();
    ASSERT_EQ(ib.indices.size(), base + mismatch.lodIndices.size());
    EXPECT_EQ(ib.indices[base], 0u);
    EXPECT_EQ(ib.indices[base + 1], 0u);
    EXPECT_EQ(ib.indices[base + 2], mismatch.lodIndices[2] & 0xFFFF0000u);
    EXPECT_EQ(ib.indices[base + 3], mismatch.lodIndices[3]);
}

TEST(MeshChunkReaderTest, PoolDataSizes) {
    struct Case {
        const char* what;
        std::uint32_t elements;
        std::uint32_t type;
        std::size_t dataBytes;
        bool ok;
        int reports;
    };
    const Case cases[] = {
        {"96 bytes for 8 float3", 8, kFloat3, 96, true, 0},
        {"100 bytes: 96 read, 4 skipped", 8, kFloat3, 100, true, 1},
        {"92 bytes: the last 4 stay zero", 8, kFloat3, 92, true, 1},
        {"buffer size overflows 32 bits", 0x20000000, kFloat4, 16, false, 0},
        {"buffer past the end", 1000, kFloat3, 16, false, 0},
    };
    for (const Case& c : cases) {
        PoolDesc pool;
        pool.semantic = kPosition;
        pool.elementType = c.type;
        pool.elementCount = c.elements;
        for (std::size_t i = 0; i < c.dataBytes; ++i) pool.data.push_back(std::uint8_t(i + 1));
        const FaultPlan none;
        ChunkStreamWriter w(none);
        WriteVertexPoolChunk(w, pool, "pool");
        w.Raw32(0xC0FFEE);
        ZelTest::LogCapture log;
        StreamPtr s = StreamOf(w.Finish());
        Zel::VertexPoolRecord read;
        EXPECT_EQ(Zel::IOVertexBufferBin::ReadPool(read, s.get(), &TypeSize), c.ok) << c.what;
        EXPECT_EQ(log.Count("Exp Failed!"), c.reports) << c.what;
        if (!c.ok)
            continue;
        ASSERT_EQ(read.data.size(), 96u) << c.what;
        for (std::size_t i = 0; i < 96; ++i)
            ASSERT_EQ(read.data[i], i < c.dataBytes ? std::uint8_t(i + 1) : 0) << c.what << i;
        std::uint32_t next = 0;
        EXPECT_EQ(s->Read(&next, 4), 4u);
        EXPECT_EQ(next, 0xC0FFEEu) << c.what << ": the stream goes on after the data";
    }
}

TEST(MeshChunkReaderTest, CountFaults) {
    struct Case {
        const char* what;
        FaultPlan faults;
        const char* logged;
    };
    const Case cases[] = {
        {"pool count past the end", FaultPlan().Field("vb", "poolCount", 1000),
         "pools run past the end"},
        {"index count past the end", FaultPlan().Field("ib", "indexCount", 0x40000001),
         "indices run past the end of main.bp3"},
        {"vertex buffer and mesh disagree", FaultPlan().Field("vb", "vertexCount", 5),
         "vertex buffer holds 5 vertices"},
        {"pool and mesh disagree", FaultPlan().Field("vb/pool1", "elementCount", 7),
         "holds 7 elements"},
        {"index past the vertex count", FaultPlan().Element("ib#indices", 4, 24),
         "index 24 is not below the vertex count 24"},
        {"entry outside the indices", FaultPlan().Field("lod1/entry0", "start", 4 * 30),
         "group entry at byte 120"},
    };
    for (const Case& c : cases) {
        const MeshDesc mesh = Cube();
        ZelTest::LogCapture log;
        StreamPtr s = StreamOf(MeshBody(mesh, c.faults));
        std::vector<Zel::LodStripRecord> groups;
        Zel::VertexBufferRecord vb;
        std::vector<Zel::VertexPoolRecord> pools;
        Zel::IndexBufferRecord ib;
        const bool read = Zel::IOMeshBin::ReadLodStrips(2, s.get(), groups) &&
                          Zel::IOVertexBufferBin::Read(vb, pools, s.get(), &TypeSize) &&
                          Zel::IOIndexBufferBin::Read(ib, s.get()) &&
                          Zel::IOMeshBin::CheckMeshCounts(mesh.VertexCount(), &vb, pools, &ib,
                                                          groups, s->GetName());
        EXPECT_FALSE(read) << c.what;
        EXPECT_EQ(log.Count(c.logged), 1) << c.what;
    }
}

TEST(MeshChunkReaderTest, WholeMeshChunk) {
    MeshDesc mesh = Cube();
    mesh.wordB = 5;
    mesh.groupWord = 2;
    const FaultPlan none;
    ChunkStreamWriter w(none);
    WriteMeshChunk(w, mesh, "mesh");
    StreamPtr s = StreamOf(w.Finish());
    Zel::MeshChunk read;
    ASSERT_TRUE(Zel::IOMeshBin::ReadChunk(read, s.get(), &TypeSize));
    EXPECT_TRUE(Zel::FinishChunkRead(s.get(), true));
    EXPECT_EQ(read.record.materialName, "stone");
    EXPECT_EQ(read.record.vertexCount, mesh.VertexCount());
    EXPECT_EQ(read.record.faceCount, mesh.FaceCount());
    EXPECT_EQ(read.record.wordB, 5u);
    EXPECT_EQ(read.record.groupWord, 2u);
    EXPECT_FLOAT_EQ(read.record.boxMax[1], mesh.BoxMax().y);
    EXPECT_EQ(read.groups.size(), 2u);
    EXPECT_EQ(read.indexBuffer.indices, mesh.indices);

    MeshDesc indexOnly = Cube();
    indexOnly.writeVertexBuffer = false;
    ChunkStreamWriter w2(none);
    WriteMeshChunk(w2, indexOnly, "mesh");
    StreamPtr s2 = StreamOf(w2.Finish());
    Zel::MeshChunk partial;
    ASSERT_TRUE(Zel::IOMeshBin::ReadChunk(partial, s2.get(), &TypeSize));
    EXPECT_TRUE(partial.pools.empty());
    EXPECT_EQ(partial.indexBuffer.indices.size(), indexOnly.indices.size());

    // Without a vertex buffer the indices still answer to the vertex count the mesh declares.
    MeshDesc farIndex = indexOnly;
    farIndex.indices[4] = farIndex.VertexCount();
    ChunkStreamWriter w3(none);
    WriteMeshChunk(w3, farIndex, "mesh");
    StreamPtr s3 = StreamOf(w3.Finish());
    Zel::MeshChunk refused;
    ZelTest::LogCapture log;
    EXPECT_FALSE(Zel::IOMeshBin::ReadChunk(refused, s3.get(), &TypeSize));
    EXPECT_EQ(log.Count("index 24 is not below the vertex count 24"), 1);
}

TEST(MeshChunkReaderTest, MeshChunkFaults) {
    StringFault nullName;
    nullName.nullFlag = 1;
    struct Case {
        const char* what;
        FaultPlan faults;
        const char* logged;
    };
    const Case cases[] = {
        {"mesh tag", FaultPlan().Tag("mesh", 5), "Fun=Zel::IOMeshBin::Read"},
        {"name string", FaultPlan().String("mesh/material", nullName),
         "BinaryIO Error : Zel::ZelString error"},
        {"strip tag", FaultPlan().Tag("mesh/lod0", 4), "tag不是ID_LODSTRIP"},
        {"vertex buffer tag", FaultPlan().Tag("mesh/vertexBuffer", 17),
         "IOVertexBufferBin::Read时Tag错误"},
        {"pool tag", FaultPlan().Tag("mesh/vertexBuffer/pool2", 15), "ReadPool 读取到的Tag错误"},
        {"index buffer tag", FaultPlan().Tag("mesh/indexBuffer", 15),
         "IOIndexBufferBin::Read读取到错误的Tag"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        ChunkStreamWriter w(c.faults);
        WriteMeshChunk(w, Cube(), "mesh");
        StreamPtr s = StreamOf(w.Finish());
        Zel::MeshChunk read;
        EXPECT_FALSE(Zel::IOMeshBin::ReadChunk(read, s.get(), &TypeSize)) << c.what;
        EXPECT_EQ(log.Count(c.logged), 1) << c.what;
    }
}

TEST(MeshChunkReaderTest, TruncationAtEverySectionFails) {
    const FaultPlan none;
    ChunkStreamWriter w(none);
    WriteMeshChunk(w, Cube(), "mesh");
    const WrittenFile whole = w.Finish();
    for (const Section& section : whole.sections) {
        for (std::int64_t delta : {0, 3}) {
            if (section.offset + delta >= whole.bytes.size())
                continue;
            WrittenFile cut = whole;
            cut.bytes.resize(section.offset + delta);
            ZelTest::LogCapture log;
            StreamPtr s = StreamOf(cut);
            Zel::MeshChunk read;
            const bool ok = Zel::IOMeshBin::ReadChunk(read, s.get(), &TypeSize);
            EXPECT_FALSE(Zel::FinishChunkRead(s.get(), ok)) << section.path << " + " << delta;
        }
    }
}

}  // namespace
