#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/EnginePaths.h"
#include "Core/PathUtils.h"
#include "Platform/Win32/Win32.h"
#include "support/TempDir.h"

namespace {

using namespace Zel;

TEST(PathUtils, StringFunctions) {
    const struct {
        const char* what;
        std::string got;
        std::string expected;
    } cases[] = {
        {"normalise", NormalizePath("a/B.TGA"), "a\\b.tga"},
        {"normalise resources", NormalizePath("x\\Resources\\t.dds"), "..\\resources\\t.dds"},
        {"normalise drive", NormalizePath("D:/Game/Resources/Media/a.DDS"),
         "..\\resources\\media\\a.dds"},
        {"join absolute drive", JoinPath("dir/", "c:\\x.dds"), "c:\\x.dds"},
        {"join", JoinPath("dir/", "x.dds"), "dir/x.dds"},
        {"join parent", JoinPath("dir/", "../x.dds"), "../x.dds"},
        {"join rooted", JoinPath("dir/", "/abs/x.dds"), "/abs/x.dds"},
        {"join backslash-rooted", JoinPath("dir/", "\\x.dds"), "\\x.dds"},
        {"join slash", JoinPathWithSlash("dir", "x.dds"), "dir/x.dds"},
        {"join slash rooted", JoinPathWithSlash("dir", "/x.dds"), "/x.dds"},
        // A name beside its referring file (no directory) stays relative: a slash in front
        // would send the lookup to the root of the file system.
        {"join slash no directory", JoinPathWithSlash("", "x.dds"), "x.dds"},
        {"extension replaced", ReplaceExtension("../a/b.chr", ".xml"), "../a/b.xml"},
        {"extension added", ReplaceExtension("../a/b", ".xml"), "../a/b.xml"},
        {"last dot only", ReplaceExtension("a.b.c", ".d"), "a.b.d"},
        {"dotted directory", ReplaceExtension("../v1.2/mesh", ".dds"), "../v1.2/mesh.dds"},
        {"leading dot", ReplaceExtension(".hidden", ".xml"), ".hidden.xml"},
        {"leading dot with extension", ReplaceExtension(".hidden.chr", ".xml"), ".hidden.xml"},
        {"file name", GetFileName("a/b\\c.dds"), "c.dds"},
        {"file name mixed", GetFileName("a\\b/c.dds"), "c.dds"},
        {"file name bare", GetFileName("abc"), "abc"},
        {"directory", GetDirectory("a/b/c.dds"), "a/b"},
        {"directory doubled separator", GetDirectory("a/b//c"), "a/b"},
        {"directory backslashes", GetDirectory("a\\b\\\\c"), "a\\b"},
        {"directory none", GetDirectory("abc"), ""},
        {"extension", GetExtension("a.b.c"), ".c"},
        {"extension none", GetExtension("abc"), ""},
        {"extension not in a parent", GetExtension("../a/b"), ""},
        {"indexed", MakeIndexedName("a.xml", 3), "a.xml_3"},
        {"indexed zero", MakeIndexedName("a", 0), "a"},
        {"indexed empty", MakeIndexedName("", 5), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(PathUtils, PredicatesAndImageKinds) {
    const struct {
        const char* path;
        int kind;
    } kinds[] = {{"X.PNG", 3},   {"a.jpeg", 6}, {"a.bmp.dds", 0}, {"b.JPG", 1},
                 {"t/c.tga", 2}, {"d.dds", 4},  {"e", 6}};
    for (const auto& k : kinds) EXPECT_EQ(ImageKindFromPath(k.path), k.kind) << k.path;
    EXPECT_TRUE(PathHasParentOrColon("c:x"));
    EXPECT_FALSE(PathHasParentOrColon("a/b"));
    EXPECT_TRUE(PathHasParentOrSlash("a/b"));
    EXPECT_TRUE(PathHasParentOrSlash("..\\b"));
    EXPECT_FALSE(PathHasParentOrSlash("a\\b"));
    EXPECT_TRUE(StringContains("abc", "bc"));
    EXPECT_FALSE(StringEquals("abc", "ab"));
}

TEST(EnginePaths, RootsAndDefaults) {
    EXPECT_EQ(GetEngineEffectRoot(), "../Data/Effects/Legacy5/");
    EXPECT_EQ(GetEngineDataRoot(), "");
    SetResourcesRoot("/game/resources/");
    EXPECT_EQ(MakePathString("role/a.chr"), "/game/resources/role/a.chr");
    SetResourcesRoot("");
    EXPECT_STREQ(GetDefaultChrPath(),
                 "..\\resources\\media\\shaders\\role\\pet\\2031100\\2031100.chr");
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class PathFiles : public ::testing::Test {
protected:
    std::string Dir() const { return dir_.Path().string(); }
    ZelTest::TempDir dir_;
};

TEST_F(PathFiles, DeleteFileIfExistsRemovesReadOnlyFiles) {
    const std::string file = dir_.Write("ro.txt", "x");
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DeleteFileIfExists(file.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(DeleteFileIfExists(file.c_str()), 1);
    EXPECT_EQ(DeleteFileIfExists(nullptr), 0);
    EXPECT_FALSE(ClearReadOnly(Dir().c_str()));
    EXPECT_FALSE(ClearReadOnly(nullptr));
}

TEST_F(PathFiles, CollectingKeepsEveryMatchAndSkipsExcludedDirectories) {
    for (const char* f : {"ab", "c.d", "long.txt", "Sub/e.txt", "Sub/Deep/f.txt", "skip/g.txt"})
        dir_.Write(f, "x");
    std::vector<std::string> found;
    CollectFiles(Dir(), "*.*", found);
    EXPECT_EQ(Sorted(found), Sorted({Dir() + "/ab", Dir() + "/c.d", Dir() + "/long.txt"}));

    found.clear();
    const std::vector<std::string> exclusions = {"skip"};
    EXPECT_EQ(FindFilesRecursive(&found, Dir().c_str(), "*.TXT", &exclusions), 1);
    std::vector<std::string> names;
    for (const auto& f : found) names.push_back(GetFileName(f));
    EXPECT_EQ(Sorted(names), Sorted({"long.txt", "e.txt", "f.txt"}));
    EXPECT_EQ(FindFilesRecursive(&found, Dir().c_str(), nullptr, nullptr), -1);

    std::vector<std::string> flat, deep, filtered;
    ListDirectory(Dir() + "/", flat, false);
    EXPECT_EQ(flat.size(), 5u);  // three files, two directories
    ListDirectory(Dir() + "/", deep, true);
    EXPECT_EQ(deep.size(), 6u);
    EXPECT_NE(std::find(deep.begin(), deep.end(), Dir() + "/Sub/Deep/f.txt"), deep.end());
    ListDirectoryFiltered(Dir() + "/", filtered, ".txt", true);
    EXPECT_EQ(filtered.size(), 4u);
}

TEST_F(PathFiles, CurrentDirectoryStackRestoresThePreviousDirectory) {
    const std::string before = std::filesystem::current_path().string();
    char saved[kDirectoryBufferSize];
    ASSERT_TRUE(PushCurrentDirectory(saved, Dir().c_str()));
    EXPECT_EQ(std::filesystem::current_path(), dir_.Path());
    PopCurrentDirectory(saved);
    EXPECT_EQ(std::filesystem::current_path().string(), before);

    SetEngineDataRoot(Dir() + "/");
    ASSERT_TRUE(PushCurrentDirectory(saved));
    EXPECT_EQ(std::filesystem::current_path(), dir_.Path());
    PopCurrentDirectory(saved);
    SetEngineDataRoot("");
    EXPECT_FALSE(PushCurrentDirectory(saved, (Dir() + "/missing").c_str()));
    EXPECT_EQ(std::filesystem::current_path().string(), before);
}

TEST(PathUtils, PreVistaTestAsksTheSystemsVersion) {
    EXPECT_FALSE(IsPreVistaWindows());  // the platform answers a current version
    RegisterModuleProc("ntdll.dll", "RtlGetNtVersionNumbers",
                       reinterpret_cast<FARPROC>(+[](DWORD* major, DWORD* minor, DWORD* build) {
                           *major = 5;
                           *minor = 1;
                           *build = 2600;
                       }));
    EXPECT_TRUE(IsPreVistaWindows());
    ClearModuleProcs();
    EXPECT_FALSE(IsPreVistaWindows());
}

}  // namespace
