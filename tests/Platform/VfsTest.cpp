#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Platform/Vfs/Vfs.h"
#include "support/TempDir.h"

namespace {

class VfsTest : public ::testing::Test {
protected:
    void TearDown() override { VFS::UnmountAll(); }
};

TEST_F(VfsTest, NullKindHasNothing) {
    EXPECT_FALSE(VFS::FileExist("a.txt"));
    EXPECT_EQ(VFS::Hfopen("a.txt", "rb", nullptr), nullptr);
    EXPECT_EQ(VFS::Hfread(nullptr, 1, 1, nullptr), 0u);
    VFS::Hfclose(nullptr);
}

TEST_F(VfsTest, MemoryKindServesMountedBytesUnderAnyCaseAndSeparator) {
    VFS::MountMemoryFile("../Data/Models/Box.dm3", std::string("0123456789").data(), 10);
    EXPECT_TRUE(VFS::FileExist("..\\data\\models\\BOX.DM3"));
    EXPECT_TRUE(VFS::FileExist("./../data/models/box.dm3"));
    EXPECT_EQ(VFS::Hfopen("../data/models/box.dm3", "wb", nullptr), nullptr);

    VFS::IFile* f = VFS::Hfopen("..\\Data\\Models\\Box.dm3", "rb", nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetSize(), 10u);
    char buf[8] = {};
    EXPECT_EQ(VFS::Hfread(buf, 4, 2, f), 2u);
    EXPECT_EQ(std::string(buf, 8), "01234567");
    EXPECT_EQ(VFS::Hfread(buf, 4, 1, f), 0u);  // only 2 bytes left: no whole item
    EXPECT_TRUE(f->Seek(10));
    EXPECT_FALSE(f->Seek(11));
    FILE* stream = f->GetFilePtr();
    ASSERT_NE(stream, nullptr);
    char all[11] = {};
    EXPECT_EQ(std::fread(all, 1, 10, stream), 10u);
    EXPECT_STREQ(all, "0123456789");
    VFS::Hfclose(f);

    VFS::UnmountMemoryFile("../data/models/box.dm3");
    EXPECT_FALSE(VFS::FileExist("../data/models/box.dm3"));
}

TEST_F(VfsTest, DirectoryKindServesFilesUnderItsPrefix) {
    ZelTest::TempDir dir;
    dir.Write("Media/Tex.TGA", "tga!");
    VFS::MountDirectory(dir.Path().string(), "pack");
    EXPECT_TRUE(VFS::FileExist("PACK\\media\\tex.tga"));
    EXPECT_FALSE(VFS::FileExist("media/tex.tga"));
    EXPECT_FALSE(VFS::FileExist("pack/media"));  // a directory is not a file
    VFS::IFile* f = VFS::Hfopen("pack/media/tex.tga", "rb", nullptr);
    ASSERT_NE(f, nullptr);
    char buf[4];
    EXPECT_EQ(f->Read(buf, 1, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "tga!");
    f->Close();
}

TEST_F(VfsTest, StartAndStopWriteTheLibrarysOwnLog) {
    ZelTest::TempDir dir;
    const std::string log = (dir.Path() / "EngineVFS.log").string();
    VFS::ShutdownVFS();
    EXPECT_TRUE(VFS::InitVFS(log.c_str()));
    EXPECT_TRUE(VFS::IsStarted());
    EXPECT_TRUE(VFS::InitVFS(log.c_str()));
    VFS::ShutdownVFS();
    EXPECT_FALSE(VFS::IsStarted());
    FILE* f = std::fopen(log.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

}  // namespace
