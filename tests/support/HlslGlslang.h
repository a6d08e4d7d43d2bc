// Checks that effect text stays real HLSL: the effect-only syntax (techniques, texture
// declarations, sampler_state blocks) is taken out and glslang's HLSL front end compiles each
// program entry point of the stripped file. With glslang's library (Debian's glslang-dev) the
// front end runs in this process; without it, one glslangValidator process per entry point.
#pragma once

#include <string>
#include <vector>

namespace ZelTest {

// Whether glslang can be run: its library was built in, or glslangValidator is on the PATH
// (tools/setup.sh installs both).
bool HaveGlslang();

// Drops technique blocks and texture declarations and turns "= sampler_state { ... }" into a
// plain declaration.
std::string StripEffectSyntax(const std::string& text);

// Runs glslang on the (already stripped) file at path for one entry point, as
// "glslangValidator -V -D -S <stage> -e <entry>" would, quoted includes resolved beside the file;
// vertex selects the stage. Answers 0 when it compiled and fills output with glslang's messages.
int RunGlslang(const std::string& path, const std::string& entry, bool vertex, std::string& output);

// One entry point to check and what glslang answered for it.
struct GlslangJob {
    std::string path;
    std::string entry;
    bool vertex = false;
    int status = 0;
    std::string output;
};

// RunGlslang for every job, spread over the machine's cores; fills each job's status and output.
void RunGlslangJobs(std::vector<GlslangJob>& jobs);

}  // namespace ZelTest
