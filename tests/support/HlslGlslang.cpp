#include "support/HlslGlslang.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ZelTest {

namespace {

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
    return std::system("glslangValidator --version > /dev/null 2>&1") == 0;
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
}

}  // namespace ZelTest
