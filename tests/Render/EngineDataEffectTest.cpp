// Every effect the engine ships in its data folder stays real HLSL: each program entry point a
// technique compiles goes through glslang's HLSL front end after the effect-only syntax is taken
// out, and the engine's own effect compiler takes the whole file.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "demo/DemoDataTree.h"
#include "support/HlslGlslang.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(EngineDataEffectTest, EveryEntryPointIsValidHlsl) {
    if (!ZelTest::HaveGlslang())
        GTEST_SKIP() << "glslangValidator is not installed (tools/setup.sh installs it)";
    ZelTest::TempDir dir;
    std::vector<ZelTest::GlslangJob> jobs;
    const std::regex compile(R"(compile\s+(vs|ps)_\d_\d\s+(\w+)\s*\()");
    for (const auto& entry : fs::recursive_directory_iterator(ZelDemo::EngineDataDir())) {
        if (entry.path().extension() != ".fx")
            continue;
        const std::string text = ReadText(entry.path());
        const std::string stripped =
            dir.Write(fs::relative(entry.path(), ZelDemo::EngineDataDir()).string(),
                      ZelTest::StripEffectSyntax(text));
        std::set<std::pair<std::string, bool>> entries;
        for (std::sregex_iterator it(text.begin(), text.end(), compile), end; it != end; ++it)
            entries.insert({(*it)[2].str(), (*it)[1].str() == "vs"});
        EXPECT_FALSE(entries.empty()) << entry.path();
        for (const auto& [name, vertex] : entries) {
            ZelTest::GlslangJob job;
            job.path = stripped;
            job.entry = name;
            job.vertex = vertex;
            jobs.push_back(job);
        }
    }
    ASSERT_FALSE(jobs.empty());
    ZelTest::RunGlslangJobs(jobs);
    for (const auto& job : jobs)
        EXPECT_EQ(job.status, 0) << job.path << " " << job.entry << "\n" << job.output;
}

// A host in the demo tree's working directory reaches every engine library by the spelling the
// engine asks for ("../Data/Materials/"), and every effect those libraries name, while the tree
// check still finds them under "data".
TEST(EngineDataEffectTest, TheDemoTreeHoldsTheEngineDataUnderBothSpellings) {
    ZelTest::TempDir dir;
    std::string error;
    ASSERT_TRUE(ZelDemo::WriteDataTree(dir.Path(), &error)) << error;
    // Written again over itself (the link is already there).
    ASSERT_TRUE(ZelDemo::WriteDataTree(dir.Path(), &error)) << error;
    EXPECT_TRUE(fs::equivalent(dir.Path() / "data", dir.Path() / "Data"));
    const fs::path bin = ZelDemo::WorkingDirectoryOf(dir.Path());
    const std::regex effect(R"re(Path="([^"]+)")re");
    std::size_t libraries = 0;
    for (const auto& entry : fs::directory_iterator(ZelDemo::EngineDataDir() / "Materials")) {
        const fs::path asked = bin / ".." / "Data" / "Materials" / entry.path().filename();
        ASSERT_TRUE(fs::is_regular_file(asked)) << asked;
        EXPECT_TRUE(
            fs::is_regular_file(bin / ".." / "data" / "Materials" / entry.path().filename()));
        const std::string text = ReadText(asked);
        for (std::sregex_iterator it(text.begin(), text.end(), effect), end; it != end; ++it)
            EXPECT_TRUE(fs::is_regular_file(bin / (*it)[1].str())) << (*it)[1].str();
        ++libraries;
    }
    EXPECT_GE(libraries, 9u);
}

}  // namespace
