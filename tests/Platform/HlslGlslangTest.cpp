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
#include "support/HlslGlslang.h"
#include "support/TempDir.h"

namespace {

using ZelTest::HaveGlslang;
using ZelTest::RunGlslang;
constexpr auto Strip = &ZelTest::StripEffectSyntax;

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
            std::string output;
            int rc = RunGlslang(path, program->entry, program->kind == Hlsl::ProgramKind::Vertex,
                                output);
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
