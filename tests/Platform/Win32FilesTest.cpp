#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "Platform/Win32/Win32.h"
#include "support/TempDir.h"

namespace {

std::set<std::string> Find(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(h);
    return names;
}

TEST(PathResolver, MixedCaseBackslashedNamesOpenLowerCaseFilesOnDisk) {
    ZelTest::TempDir dir(true);
    dir.Write("resources/media/a.dds", "DDS");
    std::filesystem::create_directory("run");
    ASSERT_TRUE(SetCurrentDirectoryA("run"));

    struct Case {
        const char* asked;
        bool opens;
    } cases[] = {
        {"..\\Resources\\Media\\A.DDS", true},
        {"../resources/media/a.dds", true},
        {"..\\RESOURCES/media\\a.Dds", true},
        {"..\\Resources\\Media\\B.DDS", false},
        {"..\\Missing\\Media\\A.DDS", false},
    };
    for (const auto& c : cases) {
        FILE* f = fopen_resolved(c.asked, "rb");
        EXPECT_EQ(f != nullptr, c.opens) << c.asked;
        if (f) {
            char buf[4] = {};
            EXPECT_EQ(std::fread(buf, 1, 3, f), 3u);
            EXPECT_STREQ(buf, "DDS");
            std::fclose(f);
        }
        EXPECT_EQ(_access(c.asked, 0) == 0, c.opens) << c.asked;
    }
}

TEST(PathResolver, ExactNameWinsAndNewFilesAreSeenAfterTheListingWasCached) {
    ZelTest::TempDir dir(true);
    dir.Write("Data/x.txt", "1");
    EXPECT_EQ(Win32Path::Resolve("data\\X.TXT"), "Data/x.txt");
    dir.Write("Data/Y.txt", "2");  // the directory changed after its listing was cached
    EXPECT_EQ(Win32Path::Resolve("DATA/y.TXT"), "Data/Y.txt");
    // A path for a new file keeps the missing component as written under the matched directory.
    EXPECT_EQ(Win32Path::Resolve("data\\New.txt"), "Data/New.txt");
}

TEST(Win32Files, FindFirstFileMatchesGlobsIgnoringCase) {
    ZelTest::TempDir dir(true);
    dir.Write("logs/A.LOG", "");
    dir.Write("logs/b.log", "");
    dir.Write("logs/c.dmp", "");
    dir.Write("logs/noext", "");
    std::filesystem::create_directory(dir.Path() / "logs/sub");

    EXPECT_EQ(Find("logs\\*.log"), (std::set<std::string>{"A.LOG", "b.log"}));
    EXPECT_EQ(Find("LOGS/*.*"),
              (std::set<std::string>{".", "..", "A.LOG", "b.log", "c.dmp", "noext", "sub"}));
    EXPECT_EQ(Find("logs\\*"), Find("logs/*.*"));
    EXPECT_TRUE(Find("logs/*.txt").empty());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Find("nowhere/*.*").empty());

    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("logs/sub", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
}

TEST(Win32Files, ReadOnlyFilesRefuseDeletionUntilTheAttributeIsCleared) {
    ZelTest::TempDir dir(true);
    dir.Write("ro.txt", "x");
    ASSERT_TRUE(SetFileAttributesA("RO.TXT", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA("ro.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileA("ro.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributesA("ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("ro.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileA("ro.txt"));
    EXPECT_EQ(GetFileAttributesA("ro.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(DeleteFileA("ro.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Win32Files, CreatingAnExistingDirectoryIsNotAnError) {
    ZelTest::TempDir dir(true);
    EXPECT_TRUE(CreateDirectoryA("EngineLog", nullptr));
    EXPECT_TRUE(CreateDirectoryA("enginelog", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileAttributesA("ENGINELOG"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Win32Files, CurrentDirectoryRoundTripsAndFileTimesCompare) {
    ZelTest::TempDir dir(true);
    char before[512];
    ASSERT_GT(GetCurrentDirectoryA(sizeof before, before), 0u);
    std::filesystem::create_directory("Inner");
    ASSERT_TRUE(SetCurrentDirectoryA("inner"));
    char inside[512];
    GetCurrentDirectoryA(sizeof inside, inside);
    EXPECT_EQ(std::string(inside), std::string(before) + "/Inner");
    ASSERT_TRUE(SetCurrentDirectoryA(before));

    dir.Write("old.txt", "a");
    dir.Write("new.txt", "b");
    std::filesystem::last_write_time(
        "old.txt", std::filesystem::last_write_time("new.txt") - std::chrono::hours(1));
    FILETIME a, b;
    ASSERT_TRUE(GetFileTime("old.txt", nullptr, nullptr, &a));
    ASSERT_TRUE(GetFileTime("new.txt", nullptr, nullptr, &b));
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &b), 0);
}

TEST(Win32Time, FileTimeEpochAndCounterFrequency) {
    // 1970-01-01 in file time units.
    const std::uint64_t ticks = 116444736000000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, 1970);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);

    LARGE_INTEGER f, c1, c2;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_GT(f.QuadPart, 0);
    QueryPerformanceCounter(&c1);
    QueryPerformanceCounter(&c2);
    EXPECT_LE(c1.QuadPart, c2.QuadPart);

    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_GE(local.wYear, 2024);
    EXPECT_LT(local.wMilliseconds, 1000);
}

}  // namespace
