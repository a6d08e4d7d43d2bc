#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "Core/IZelFileStream.h"
#include "Core/IZelStdFileStream.h"
#include "Core/IZelVfsFileStream.h"
#include "Core/StreamFactory.h"
#include "Core/ChunkStream.h"
#include "Platform/Vfs/Vfs.h"
#include "fixtures/ByteWriter.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using ZelFixtures::ByteWriter;

struct StreamDeleter {
    void operator()(Zel::IZelStream* s) const { s->Release(); }
};
using StreamPtr = std::unique_ptr<Zel::IZelStream, StreamDeleter>;

const std::string kTen = "0123456789";

StreamPtr MemoryStream(const std::string& name, const std::string& bytes) {
    Zel::IZelFileStream* s =
        Zel::CreateMemoryFileStream(name, static_cast<std::uint32_t>(bytes.size()));
    if (s && !bytes.empty())
        std::memcpy(s->GetData(), bytes.data(), bytes.size());
    return StreamPtr(s);
}

enum class Kind { Memory, Disk, Vfs };
std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
    return info.param == Kind::Memory ? "Memory" : info.param == Kind::Disk ? "Disk" : "Vfs";
}

// The same ten bytes behind each kind of stream.
class TenByteStream : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        switch (GetParam()) {
            case Kind::Memory:
                stream_ = MemoryStream("ten.bin", kTen);
                break;
            case Kind::Disk:
                dir_.Write("ten.bin", kTen);
                stream_.reset(Zel::OpenFileStream((dir_.Path() / "TEN.BIN").string()));
                break;
            case Kind::Vfs:
                VFS::MountMemoryFile("pack/ten.bin", kTen.data(), kTen.size());
                stream_.reset(Zel::OpenFileStream("pack\\ten.bin"));
                break;
        }
        ASSERT_NE(stream_, nullptr);
    }
    void TearDown() override { VFS::UnmountAll(); }

    ZelTest::TempDir dir_;
    StreamPtr stream_;
};

TEST_P(TenByteStream, SeeksInsideAndUpToTheEndButRefusesBeyondIt) {
    ZelTest::LogCapture log;
    Zel::IZelStream& s = *stream_;
    EXPECT_EQ(s.GetSize(), 10u);
    const struct {
        std::int64_t offset;
        int origin;
        bool ok;
        std::uint32_t position;
    } steps[] = {{4, Zel::STREAM_SEEK_END, true, 6},    {3, Zel::STREAM_SEEK_CUR, true, 9},
                 {0, Zel::STREAM_SEEK_SET, true, 0},    {10, Zel::STREAM_SEEK_SET, true, 10},
                 {11, Zel::STREAM_SEEK_SET, false, 10}, {-11, Zel::STREAM_SEEK_CUR, false, 10},
                 {-1, Zel::STREAM_SEEK_END, false, 10}, {2, 3, false, 10}};
    for (const auto& step : steps) {
        EXPECT_EQ(s.Seek(step.offset, step.origin), step.ok) << step.offset << "," << step.origin;
        EXPECT_EQ(s.Tell(), step.position) << step.offset << "," << step.origin;
    }
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "ZelFileStream 越界,filename=" + s.GetName()), 3);
    EXPECT_EQ(log.Records().size(), 3u);
}

TEST_P(TenByteStream, ReadPastTheEndDeliversOnlyTheBytesInRangeAndZeroFills) {
    ZelTest::LogCapture log;
    Zel::IZelStream& s = *stream_;
    char buf[8];
    ASSERT_TRUE(s.Seek(2, Zel::STREAM_SEEK_SET));
    EXPECT_EQ(s.Read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "234");
    EXPECT_EQ(log.Records().size(), 0u);

    ASSERT_TRUE(s.Seek(8, Zel::STREAM_SEEK_SET));
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(s.Read(buf, 1, 5), 2u);
    EXPECT_EQ(std::string(buf, 6), std::string("89\0\0\0x", 6));
    EXPECT_EQ(s.Tell(), 13u);  // the position moved by the whole request
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "ZelFileStream 越界,filename=" + s.GetName()), 1);

    // Back inside: the source follows the position again.
    ASSERT_TRUE(s.Seek(-7, Zel::STREAM_SEEK_CUR));
    EXPECT_EQ(s.Read(buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "6789");
    // A byte count that does not fit in 32 bits is refused whole.
    EXPECT_EQ(s.Read(buf, 0x10000u, 0x10000u), 0u);
    EXPECT_EQ(s.Tell(), 10u);
}

TEST_P(TenByteStream, OnlyTheMemoryKindHandsOutPointersUpToItsEnd) {
    Zel::IZelStream& s = *stream_;
    ASSERT_TRUE(s.Seek(7, Zel::STREAM_SEEK_SET));
    const std::uint8_t* p = s.GetCurrentPointer();
    if (GetParam() == Kind::Memory) {
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(*p, '7');
    } else {
        EXPECT_EQ(p, nullptr);
    }
    // At the end the pointer is the one past the last byte, so a reader can measure what it
    // consumed; no position lies further (Seek refuses it).
    ASSERT_TRUE(s.Seek(10, Zel::STREAM_SEEK_SET));
    EXPECT_EQ(s.GetCurrentPointer(), GetParam() == Kind::Memory ? p + 3 : nullptr);
    EXPECT_FALSE(s.Seek(11, Zel::STREAM_SEEK_SET));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TenByteStream,
                         ::testing::Values(Kind::Memory, Kind::Disk, Kind::Vfs), KindName);

class StreamFactoryTest : public ::testing::Test {
protected:
    void TearDown() override { VFS::UnmountAll(); }
    ZelTest::TempDir dir_{true};
};

TEST_F(StreamFactoryTest, VfsWinsOverDiskAndMissingFilesGiveNull) {
    dir_.Write("Models/a.bin", "disk");
    VFS::MountMemoryFile("models/A.BIN", std::string("vfs!").data(), 4);
    dir_.Write("Models/b.bin", "only");

    StreamPtr a(Zel::OpenFileStream("models\\a.bin"));
    ASSERT_NE(dynamic_cast<Zel::IZelVfsFileStream*>(a.get()), nullptr);
    StreamPtr b(Zel::OpenFileStream("MODELS\\B.BIN"));
    ASSERT_NE(dynamic_cast<Zel::IZelStdFileStream*>(b.get()), nullptr);
    EXPECT_EQ(Zel::OpenFileStream("models/none.bin"), nullptr);

    StreamPtr m(Zel::OpenMemoryStream("Models/A.bin"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->GetCurrentPointer()), 4), "vfs!");
    StreamPtr d(Zel::LoadFileToMemoryStream("models/b.bin"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->GetCurrentPointer()), 4), "only");
    EXPECT_EQ(Zel::LoadFileToMemoryStream("models/none.bin"), nullptr);

    EXPECT_TRUE(Zel::FileExists("models/a.bin"));
    EXPECT_TRUE(Zel::FileExistsOnDisk("models/a.bin"));
    VFS::MountMemoryFile("packed.bin", "x", 1);
    EXPECT_TRUE(Zel::FileExists("packed.bin"));
    EXPECT_FALSE(Zel::FileExistsOnDisk("packed.bin"));
    EXPECT_FALSE(Zel::FileExists("none.bin"));
}

TEST(ChunkReaders, ThreeIntsAreLittleEndianAndCountWhatArrived) {
    ByteWriter w;
    w.U32(0x11223344u).I32(-2).U32(7).U16(0xBEEF);
    StreamPtr s = MemoryStream("chunk", w.AsString());
    std::uint32_t a = 0, b = 0, c = 0;
    EXPECT_EQ(Zel::ReadThreeInts(a, b, c, s.get()), 12u);
    EXPECT_EQ(a, 0x11223344u);
    EXPECT_EQ(b, 0xFFFFFFFEu);
    EXPECT_EQ(c, 7u);
    ZelTest::LogCapture log;
    EXPECT_EQ(Zel::ReadThreeInts(a, b, c, s.get()), 2u);
    EXPECT_EQ(a, 0xBEEFu);
    EXPECT_EQ(b, 0u);
}

TEST(ChunkReaders, ShortStringRecords) {
    const struct {
        const char* what;
        std::uint32_t flag, length;
        std::string text;  // bytes written after the 12-byte header
        bool ok;
        std::string expected;
        std::uint32_t position;
    } cases[] = {
        {"nul-terminated", 0, 4, std::string("abc\0", 4), true, "abc", 16},
        {"stops at the first nul", 0, 8, std::string("ab\0junk!", 8), true, "ab", 20},
        {"no nul: all n bytes", 0, 3, "abc", true, "abc", 15},
        {"empty", 0, 0, "", true, "", 12},
        {"flag set", 1, 4, std::string("abc\0", 4), false, "", 12},
        {"longer than 256", 0, 257, std::string(257, 'a'), false, "", 12},
        {"exactly 256", 0, 256, std::string(256, 'b'), true, std::string(256, 'b'), 268},
        {"text runs past the end", 0, 10, "abc", false, "", 22},
    };
    for (const auto& c : cases) {
        ByteWriter w;
        w.U32(c.flag).U32(c.length).U32(0xDEADBEEFu).Text(c.text);
        StreamPtr s = MemoryStream("str", w.AsString());
        ZelTest::LogCapture log;
        std::string out = "stale";
        EXPECT_EQ(Zel::ReadShortString(s.get(), out), c.ok) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(s->Tell(), c.position) << c.what;
    }
    // A header that is cut short is refused.
    StreamPtr cut = MemoryStream("cut", ByteWriter().U32(0).U32(4).AsString());
    ZelTest::LogCapture log;
    std::string out;
    EXPECT_FALSE(Zel::ReadShortString(cut.get(), out));
}

}  // namespace
