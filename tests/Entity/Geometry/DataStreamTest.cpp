// FileDataStream over disk files and files of the virtual file system.
#include <gtest/gtest.h>

#include <string>

#include "Entity/Geometry/FileDataStream.h"
#include "Platform/Vfs/Vfs.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

class DataStreamTest : public ::testing::Test {
protected:
    DataStreamTest() : dir_(true) {}
    ~DataStreamTest() override { VFS::UnmountAll(); }
    ZelTest::TempDir dir_;
};

TEST_F(DataStreamTest, ReadsWholeBlocksAndSkipsBothWays) {
    dir_.Write("m/ten.bin", "0123456789");
    Zel::FileDataStream s;
    EXPECT_EQ(s.GetName(), "UnNamedStream");
    EXPECT_EQ(s.GetPath(), "None");
    EXPECT_TRUE(s.IsClosed());
    ASSERT_TRUE(s.Open(Zel::DATASTREAM_READ, false, "m/ten.bin"));
    EXPECT_FALSE(s.IsFromVfs());
    EXPECT_EQ(s.GetSize(), 10u);
    char b[16] = {};
    ASSERT_EQ(s.Read(b, 4), 1u);
    s.Skip(2);
    ASSERT_EQ(s.Read(b, 1), 1u);
    EXPECT_EQ(b[0], '6');
    s.Skip(-4);
    ASSERT_EQ(s.Read(b, 1), 1u);
    EXPECT_EQ(b[0], '3') << "a negative skip moves backwards";
    EXPECT_EQ(s.Read(b, 16), 0u) << "16 bytes with 6 left is no whole block";
    s.Close();
    EXPECT_TRUE(s.IsClosed());
    EXPECT_EQ(s.GetSize(), 0u);
    s.Skip(3);  // nothing to move
}

TEST_F(DataStreamTest, VirtualFileSystemWinsAndIsReadOnly) {
    dir_.Write("pack/a.bin", "disk");
    VFS::MountMemoryFile("pack/a.bin", std::string("vfs!").data(), 4);
    ZelTest::LogCapture log;
    Zel::FileDataStream s;
    ASSERT_TRUE(s.Open(Zel::DATASTREAM_READ, false, "pack/a.bin"));
    EXPECT_TRUE(s.IsFromVfs());
    char b[4];
    ASSERT_EQ(s.Read(b, 4), 1u);
    EXPECT_EQ(std::string(b, 4), "vfs!");
    EXPECT_EQ(s.Write("x", 1), 0u);
    EXPECT_EQ(log.Count("pack/a.bin comes from the virtual file system and is read-only"), 1);
}

TEST_F(DataStreamTest, WritesDiskFilesAndReopens) {
    Zel::FileDataStream s;
    ASSERT_TRUE(s.Open(Zel::DATASTREAM_WRITE, false, "out.bin"));
    EXPECT_EQ(s.Write("abc", 3), 1u);
    ASSERT_TRUE(s.Open(Zel::DATASTREAM_APPEND, false, "out.bin")) << "closes the first file";
    EXPECT_EQ(s.Write("de", 2), 1u);
    ASSERT_TRUE(s.Open(Zel::DATASTREAM_READ, true, "out.bin"));
    char b[5];
    ASSERT_EQ(s.Read(b, 5), 1u);
    EXPECT_EQ(std::string(b, 5), "abcde");
    EXPECT_FALSE(s.Open(Zel::DATASTREAM_READ, false, "missing.bin"));
    EXPECT_TRUE(s.IsClosed());
    EXPECT_EQ(s.Read(b, 1), 0u);
}

}  // namespace
