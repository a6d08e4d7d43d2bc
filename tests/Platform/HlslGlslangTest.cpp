// Effect text must stay real HLSL: the functions of every test effect and of the engine's default
// effect go through glslang's HLSL front end, once per program entry point, after the
// effect-only syntax (techniques, texture declarations, sampler_state blocks) is taken out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "Render/d3d9/DefaultEffectText.h"
#include "HlslTestEffects.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "support/TempDir.h"

namespace {

bool HaveGlslang() {
    return std::system("glslangValidator --version > /dev/null 2>&1") == 0;
}

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

// Drops technique blocks and texture declarations and turns "= sampler_state { ... }" into
// a plain declaration.
std::string Strip(const std::string& text) {
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

TEST(HlslGlslangTest, TestEffectsAreValidHlsl) {
    if (!HaveGlslang())
        GTEST_SKIP() << "glslangValidator is not installed (tools/setup.sh installs it)";
    ZelTest::TempDir dir;
    // The effects live in effects/Legacy/ and include "../include/...".
    for (const auto& [name, text] : HlslTest::IncludeFiles())
        dir.Write("effects/" + name.substr(3), Strip(text));
    const std::map<std::string, std::string> effects = {
        {"Generated.fx", HlslTest::GeneratedEffect()},
        {"StaticShadowCast.fx", HlslTest::StaticShadowCastEffect()},
        {"SkeletalShadowCast.fx", HlslTest::SkeletalShadowCastEffect()},
        {"ProjectiveShadowReceiver.fx", HlslTest::ProjectiveShadowReceiverEffect()},
        {"Default.fx", Zel::DefaultEffectText()},
    };
    int checked = 0;
    for (const auto& [name, text] : effects) {
        Hlsl::CompileOutput out = HlslTest::CompileText(text);
        ASSERT_NE(out.effect, nullptr) << name << "\n" << out.messages;
        std::string path = dir.Write("effects/Legacy/" + name, Strip(text));
        for (const auto& program : out.effect->programs) {
            std::string log = (dir.Path() / "glslang.log").string();
            std::string command =
                "glslangValidator -V -D -S " +
                std::string(program->kind == Hlsl::ProgramKind::Vertex ? "vert" : "frag") + " -e " +
                program->entry + " -o /dev/null \"" + path + "\" > \"" + log + "\" 2>&1";
            int rc = std::system(command.c_str());
            std::ifstream in(log);
            std::string output((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
            EXPECT_EQ(rc, 0) << name << " " << program->entry << ":\n" << output;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 8 + 2 + 2 + 2 + 4);
}

TEST(HlslGlslangTest, StripLeavesFunctionsAndParameters) {
    std::string s = Strip(
        "texture t;\nsampler2D s = sampler_state\n{\n\tTexture = <t>;\n};\nfloat4 f() { return 0; "
        "}\n"
        "technique T\n{\n\tpass P { VertexShader = compile vs_2_0 f(); }\n}\n");
    EXPECT_EQ(s, "\nsampler2D s ;\nfloat4 f() { return 0; }\n\n");
}

}  // namespace
