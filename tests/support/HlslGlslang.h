// Checks that effect text stays real HLSL: the effect-only syntax (techniques, texture
// declarations, sampler_state blocks) is taken out and glslang's HLSL front end compiles each
// program entry point of the stripped file.
#pragma once

#include <string>

namespace ZelTest {

// Whether glslangValidator is on the PATH (tools/setup.sh installs it).
bool HaveGlslang();

// Drops technique blocks and texture declarations and turns "= sampler_state { ... }" into a
// plain declaration.
std::string StripEffectSyntax(const std::string& text);

// Runs glslang on the (already stripped) file at path for one entry point; vertex selects the
// stage. Answers the exit status and fills output with glslang's messages.
int RunGlslang(const std::string& path, const std::string& entry, bool vertex, std::string& output);

}  // namespace ZelTest
