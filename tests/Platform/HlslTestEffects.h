// Effect texts written the way the engine's effect generator and its include files write them,
// and an include handler over a table of files, shared by the effect compiler's tests.
#pragma once

#include <map>
#include <string>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"

namespace HlslTest {

// Serves files from a name -> text table; names are matched exactly as written.
class TableIncludes : public Hlsl::IIncludeHandler {
public:
    explicit TableIncludes(std::map<std::string, std::string> files) : files_(std::move(files)) {}
    bool Open(Hlsl::IncludeType type, const std::string& name, const void* parentData,
              const void** data, std::uint32_t* bytes) override;
    void Close(const void* data) override;
    int OpenCount() const { return open_; }

private:
    std::map<std::string, std::string> files_;
    int open_ = 0;
};

// The five include files every generated effect starts with, under "../include/".
std::map<std::string, std::string> IncludeFiles();
// A lit material of lighting mode 1 with two passes: a static pass (position, normal, one
// texture coordinate, a modulated diffuse stage) and a skinned pass with a cube and a sphere
// environment stage; every shader and fixed-function technique the generator writes for it.
std::string GeneratedEffect();
// Compiles text named "effect.fx" with the include files of IncludeFiles().
Hlsl::CompileOutput CompileText(const std::string& text);

// The three generated shadow effects.
std::string StaticShadowCastEffect();
std::string SkeletalShadowCastEffect();
std::string ProjectiveShadowReceiverEffect();

}  // namespace HlslTest
