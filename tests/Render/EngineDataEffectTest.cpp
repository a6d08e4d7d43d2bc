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

}  // namespace
