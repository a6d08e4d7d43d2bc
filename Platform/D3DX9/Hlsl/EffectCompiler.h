// Compiles effect text into an EffectDescription: preprocessing, parsing and type checking, then
// code generation for every program a pass compiles. An effect that fails anywhere yields
// nothing; the messages (errors and warnings, one a line, "file(line,col): error X3000: ...")
// are handed back either way. Thread-safe: each call works on its own state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Platform/D3DX9/Hlsl/Preprocessor.h"

namespace Hlsl {

struct CompileOutput {
    std::shared_ptr<const EffectDescription> effect;  // null on failure
    std::string messages;
    std::vector<IncludedFile> includes;  // every file #include read, in order
    std::uint64_t sourceHash = 0;        // SourceHash of the source and those includes
};

class EffectCompiler {
public:
    // fileName names the main file in messages; includes may be null (then #include fails).
    static CompileOutput Compile(const std::string& fileName, const std::string& source,
                                 const std::vector<MacroDefinition>& defines,
                                 IIncludeHandler* includes);

    // A 64-bit hash of the source and of each include's name and bytes, in order: what a
    // compiled-effect file records to tell whether it is stale.
    static std::uint64_t SourceHash(const std::string& source,
                                    const std::vector<IncludedFile>& includes);
};

}  // namespace Hlsl
