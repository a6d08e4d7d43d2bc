#include "support/HlslGlslang.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef ZEL_HAVE_GLSLANG_LIB
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <memory>
#include <vector>
#endif

namespace ZelTest {

namespace {

#ifdef ZEL_HAVE_GLSLANG_LIB
std::string ReadWhole(const std::filesystem::path& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = in.is_open();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Resolves "#include" names against the directory of the file that includes them, as the
// validator does for quoted names.
class DirectoryIncluder final : public glslang::TShader::Includer {
public:
    IncludeResult* includeLocal(const char* header, const char* includer, size_t) override {
        const std::filesystem::path path = std::filesystem::path(includer).parent_path() / header;
        bool found = false;
        auto text = std::make_unique<std::string>(ReadWhole(path, found));
        if (!found)
            return nullptr;
        const std::string* kept = text.get();
        texts_.push_back(std::move(text));
        return new IncludeResult(path.lexically_normal().string(), kept->data(), kept->size(),
                                 nullptr);
    }
    void releaseInclude(IncludeResult* result) override { delete result; }

private:
    std::vector<std::unique_ptr<std::string>> texts_;
};

// The validator's "-V -D -S <stage> -e <entry>": HLSL for Vulkan 1.0, linked and turned into
// SPIR-V with the legalisation passes HLSL gets.
int CompileInProcess(const std::string& path, const std::string& entry, bool vertex,
                     std::string& output) {
    static const bool initialised = glslang::InitializeProcess();
    (void)initialised;
    bool found = false;
    const std::string text = ReadWhole(path, found);
    if (!found) {
        output = "cannot read " + path;
        return 1;
    }
    const EShLanguage stage = vertex ? EShLangVertex : EShLangFragment;
    glslang::TShader shader(stage);
    const char* strings[] = {text.c_str()};
    const int lengths[] = {static_cast<int>(text.size())};
    const char* names[] = {path.c_str()};
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setEntryPoint(entry.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    const auto messages =
        static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl);
    DirectoryIncluder includer;
    if (!shader.parse(GetDefaultResources(), 100, false, messages, includer)) {
        output = shader.getInfoLog();
        return 1;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages) || program.getIntermediate(stage) == nullptr) {
        output = program.getInfoLog();
        return 1;
    }
    std::vector<unsigned int> spirv;
    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = false;
    glslang::GlslangToSpv(*program.getIntermediate(stage), spirv, &logger, &options);
    output = logger.getAllMessages();
    return spirv.empty() ? 1 : 0;
}
#endif

std::size_t MatchingBrace(const std::string& s, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < s.size(); ++i) {
        if (s[i] == '{')
            ++depth;
        if (s[i] == '}' && --depth == 0)
            return i;
    }
    return std::string::npos;
}

bool StartsWord(const std::string& s, std::size_t at, const std::string& word) {
    return s.compare(at, word.size(), word) == 0 && (at == 0 || s[at - 1] == '\n') &&
           (at + word.size() >= s.size() || s[at + word.size()] == ' ' ||
            s[at + word.size()] == '\t');
}

}  // namespace

bool HaveGlslang() {
#ifdef ZEL_HAVE_GLSLANG_LIB
    return true;
#else
    return std::system("glslangValidator --version > /dev/null 2>&1") == 0;
#endif
}

std::string StripEffectSyntax(const std::string& text) {
    std::string s = text;
    for (std::size_t at = 0; at < s.size();) {
        if (StartsWord(s, at, "technique")) {
            std::size_t open = s.find('{', at), close = MatchingBrace(s, open);
            s.erase(at, close + 1 - at);
            continue;
        }
        if (StartsWord(s, at, "texture")) {
            s.erase(at, s.find('\n', at) - at);
            continue;
        }
        ++at;
    }
    for (std::size_t at; (at = s.find("= sampler_state")) != std::string::npos;) {
        std::size_t close = MatchingBrace(s, s.find('{', at));
        s.erase(at, close + 1 - at);
    }
    return s;
}

int RunGlslang(const std::string& path, const std::string& entry, bool vertex,
               std::string& output) {
#ifdef ZEL_HAVE_GLSLANG_LIB
    return CompileInProcess(path, entry, vertex, output);
#else
    const std::string log = path + ".glslang.log";
    const std::string command = "glslangValidator -V -D -S " +
                                std::string(vertex ? "vert" : "frag") + " -e " + entry +
                                " -o /dev/null \"" + path + "\" > \"" + log + "\" 2>&1";
    const int rc = std::system(command.c_str());
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    std::filesystem::remove(log);
    return rc;
#endif
}

void RunGlslangJobs(std::vector<GlslangJob>& jobs) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
            GlslangJob& job = jobs[i];
            job.status = RunGlslang(job.path, job.entry, job.vertex, job.output);
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), jobs.size());
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < threads; ++i) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
}

}  // namespace ZelTest
