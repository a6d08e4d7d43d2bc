// The shared rules of the chunk readers: header and record, the size-word report, zero-filled
// short reads with the sticky overrun flag, and counts checked against the bytes left. Chunks
// come from the model fixture writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/Entity/Geometry/ChunkStreamFixture.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelModelGen;

using ZelTest::StreamPtr;

StreamPtr StreamOf(const std::vector<std::uint8_t>& bytes) {
    return ZelTest::MemoryStream(bytes, "mem.dm3");
}

MeshDesc SmallMesh() {
    MeshDesc mesh = MakeCubeMesh(1, Vec3{0, 0, 0}, 1.0f, "stone");
    mesh.wordB = 7;
    mesh.wordC = 9;
    mesh.groupWord = 3;
    return mesh;
}

template <class Write>
WrittenFile OneChunk(Write write, const FaultPlan& faults = FaultPlan()) {
    ChunkStreamWriter w(faults);
    write(w);
    return w.Finish();
}

const Zel::ChunkSite kSite = ZEL_CHUNK_SITE("ChunkStreamTest");

TEST(ChunkStreamTest, OverrunFlagIsStickyUntilCleared) {
    ZelTest::LogCapture log;
    StreamPtr s = StreamOf({1, 2, 3, 4, 5, 6});
    std::uint8_t b[4];
    EXPECT_EQ(s->Read(b, 4), 4u);
    EXPECT_FALSE(s->HasOverrun());
    EXPECT_EQ(s->Read(b, 4), 2u);
    EXPECT_EQ(b[2], 0) << "missing bytes read as zero";
    EXPECT_TRUE(s->HasOverrun());
    ASSERT_TRUE(s->Seek(0, Zel::STREAM_SEEK_SET));
    EXPECT_EQ(s->Read(b, 4), 4u);
    EXPECT_TRUE(s->HasOverrun()) << "a later good read does not clear it";
    s->ClearOverrun();
    EXPECT_FALSE(s->Seek(7, Zel::STREAM_SEEK_SET));
    EXPECT_TRUE(s->HasOverrun()) << "a seek past the end is an overrun too";
    EXPECT_EQ(log.Count("ZelFileStream 越界,filename=mem.dm3"), 2);
}

// A stream whose source stops giving bytes after `available` of them, as a file cut while it is
// read does; its size still counts the bytes it no longer has.
class CutSourceStream : public Zel::IZelStream {
public:
    CutSourceStream(std::vector<std::uint8_t> bytes, std::uint32_t available)
        : Zel::IZelStream("cut.dm3"), bytes_(std::move(bytes)), available_(available) {}
    std::uint32_t GetSize() const override { return static_cast<std::uint32_t>(bytes_.size()); }

protected:
    std::uint32_t ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) override {
        const std::uint32_t given = position < available_ ? std::min(n, available_ - position) : 0;
        std::memcpy(buffer, bytes_.data() + position, given);
        return given;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t available_;
};

TEST(ChunkStreamTest, ASourceThatGivesLessThanItHoldsFailsTheRead) {
    ZelTest::LogCapture log;
    MeshDesc mesh = SmallMesh();
    mesh.writeIndexBuffer = false;
    const WrittenFile file = OneChunk([&](ChunkStreamWriter& w) { WriteMeshChunk(w, mesh, "m"); });
    // Cut inside the last pool's elements: the pool reader takes what the stream gives, and
    // nothing is read after them.
    std::size_t lastPool = 0;
    for (const Section& section : file.sections)
        if (section.path.ends_with("#elements"))
            lastPool = section.offset;
    ASSERT_NE(lastPool, 0u);
    StreamPtr s(new CutSourceStream(file.bytes, static_cast<std::uint32_t>(lastPool + 4)));
    Zel::MeshChunk read;
    const bool ok = Zel::IOMeshBin::ReadChunk(read, s.get(), &ElementTypeSize);
    EXPECT_TRUE(s->HasOverrun());
    EXPECT_FALSE(Zel::FinishChunkRead(s.get(), ok));
    EXPECT_EQ(log.Count("ZelFileStream 越界,filename=cut.dm3"), 1);
}

TEST(ChunkStreamTest, MeshRecordFieldsLieWhereTheTableSays) {
    const MeshDesc mesh = SmallMesh();
    const WrittenFile file =
        OneChunk([&](ChunkStreamWriter& w) { WriteMeshChunk(w, mesh, "mesh"); });
    StreamPtr s = StreamOf(file.bytes);
    Zel::ChunkRecord chunk;
    chunk.ReadHeader(s.get());
    ASSERT_EQ(chunk.GetTag(), Zel::ID_MESH);
    EXPECT_EQ(chunk.GetSizeWord(), Zel::ChunkRecordSize::kMesh);
    chunk.ReadRecord(s.get(), Zel::ChunkRecordSize::kMesh, false, kSite);
    EXPECT_FLOAT_EQ(chunk.F32(0), mesh.BoxMin().x);
    EXPECT_FLOAT_EQ(chunk.F32(20), mesh.BoxMax().z);
    EXPECT_EQ(chunk.U32(28), 7u);
    EXPECT_EQ(chunk.U32(32), 9u);
    EXPECT_EQ(chunk.U32(36), mesh.groups.size());
    EXPECT_EQ(chunk.U32(40), 3u);
    EXPECT_EQ(chunk.U32(44), mesh.VertexCount());
    EXPECT_EQ(chunk.U32(48), mesh.FaceCount());
    EXPECT_EQ(chunk.U32(52), 1u);
    EXPECT_EQ(chunk.U32(56), 1u);
    EXPECT_EQ(chunk.U32(60), 0u) << "a field outside the record reads as 0";
    std::string material;
    EXPECT_TRUE(Zel::ReadShortString(s.get(), material));
    EXPECT_EQ(material, "stone");
    EXPECT_TRUE(Zel::FinishChunkRead(s.get(), true));
}

TEST(ChunkStreamTest, SizeWordReportOnlyWhereChecked) {
    struct Case {
        const char* what;
        std::uint32_t sizeWord;
        std::uint32_t fixed;
        bool check;
        int reports;
    };
    const Case cases[] = {
        {"unchecked mesh size 64 reads 60", 64, 60, false, 0},
        {"checked bone size 500 reads 504", 500, 504, true, 1},
        {"checked and right", 504, 504, true, 0},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        std::vector<std::uint8_t> bytes(12 + 600, 0);
        std::memcpy(bytes.data() + 4, &c.sizeWord, 4);
        StreamPtr s = StreamOf(bytes);
        Zel::ChunkRecord chunk;
        chunk.ReadHeader(s.get());
        chunk.ReadRecord(s.get(), c.fixed, c.check, kSite);
        EXPECT_EQ(s->Tell(), 12 + c.fixed) << c.what;
        EXPECT_EQ(chunk.GetRecordSize(), c.fixed) << c.what;
        EXPECT_EQ(log.Count("Exp Failed!"), c.reports) << c.what;
        EXPECT_EQ(log.Count("Fun=ChunkStreamTest"), c.reports) << c.what;
    }
}

TEST(ChunkStreamTest, RecordCutShortReadsZerosAndFailsTheRead) {
    const MeshDesc mesh = SmallMesh();
    const WrittenFile file =
        OneChunk([&](ChunkStreamWriter& w) { WriteMeshChunk(w, mesh, "mesh"); },
                 FaultPlan().TruncateAtSection("mesh#record", 44));
    ZelTest::LogCapture log;
    StreamPtr s = StreamOf(file.bytes);
    Zel::ChunkRecord chunk;
    chunk.ReadHeader(s.get());
    chunk.ReadRecord(s.get(), Zel::ChunkRecordSize::kMesh, false, kSite);
    EXPECT_EQ(chunk.U32(40), 3u);
    EXPECT_EQ(chunk.U32(44), 0u) << "the vertex count lies past the cut";
    EXPECT_FALSE(Zel::FinishChunkRead(s.get(), true));
    EXPECT_EQ(log.Count("chunk stream ended early, filename=mem.dm3"), 1);
}

TEST(ChunkStreamTest, GeometryMatricesAreStoredColumnByColumn) {
    GeometryDesc g;
    Matrix4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.At(r, c) = float(10 * r + c);
    g.matrices = {Matrix4{}, m};
    const WrittenFile file =
        OneChunk([&](ChunkStreamWriter& w) { WriteGeometryChunk(w, g, "geometry"); });
    StreamPtr s = StreamOf(file.bytes);
    Zel::ChunkRecord chunk;
    chunk.ReadHeader(s.get());
    ASSERT_EQ(chunk.GetTag(), Zel::ID_GEOMETRY);
    chunk.ReadRecord(s.get(), Zel::ChunkRecordSize::kGeometry, false, kSite);
    float rows[16];
    chunk.ColumnMajorMatrix(68 + 64, rows);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(rows[4 * r + c], float(10 * r + c)) << r << c;
    EXPECT_EQ(chunk.U32(1092), 2u) << "matrix count";
}

TEST(ChunkStreamTest, CountsBeyondTheBytesLeftReadNothing) {
    StreamPtr s = StreamOf(std::vector<std::uint8_t>(20, 0xAB));
    ASSERT_TRUE(s->Seek(4, Zel::STREAM_SEEK_SET));
    EXPECT_EQ(Zel::BytesLeft(s.get()), 16u);
    EXPECT_TRUE(Zel::CountFits(s.get(), 4, 4));
    EXPECT_FALSE(Zel::CountFits(s.get(), 5, 4));
    EXPECT_FALSE(Zel::CountFits(s.get(), 0xFFFFFFFFull, 0xFFFFFFFFull));
    EXPECT_FALSE(Zel::CountFits(s.get(), ~0ull, 20)) << "no wrap of the product";

    std::vector<std::uint32_t> values;
    EXPECT_FALSE(Zel::ReadU32Array(s.get(), 5, values));
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(s->Tell(), 4u);
    EXPECT_FALSE(s->HasOverrun());
    ASSERT_TRUE(Zel::ReadU32Array(s.get(), 4, values));
    EXPECT_EQ(values, std::vector<std::uint32_t>(4, 0xABABABABu));

    std::uint32_t bytes = 1;
    EXPECT_TRUE(Zel::CheckedByteCount(12, 1000, bytes));
    EXPECT_EQ(bytes, 12000u);
    EXPECT_FALSE(Zel::CheckedByteCount(16, 0x10000000u, bytes));
}

}  // namespace
