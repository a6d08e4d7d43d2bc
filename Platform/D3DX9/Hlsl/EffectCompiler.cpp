#include "Platform/D3DX9/Hlsl/EffectCompiler.h"

#include "Platform/D3DX9/Hlsl/CodeGenerator.h"
#include "Platform/D3DX9/Hlsl/Diagnostics.h"
#include "Platform/D3DX9/Hlsl/Parser.h"
#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

namespace {

void HashBytes(std::uint64_t& h, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 0x100000001B3ull;
    }
}

void HashString(std::uint64_t& h, const std::string& s) {
    std::uint64_t n = s.size();
    unsigned char len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<unsigned char>(n >> (8 * i));
    HashBytes(h, len, 8);
    HashBytes(h, s.data(), s.size());
}

}  // namespace

std::uint64_t EffectCompiler::SourceHash(const std::string& source,
                                         const std::vector<IncludedFile>& includes) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    HashString(h, source);
    for (const IncludedFile& f : includes) {
        HashString(h, f.name);
        HashString(h, f.content);
    }
    return h;
}

CompileOutput EffectCompiler::Compile(const std::string& fileName, const std::string& source,
                                      const std::vector<MacroDefinition>& defines,
                                      IIncludeHandler* includes) {
    CompileOutput out;
    Diagnostics diagnostics;
    Preprocessor pre(diagnostics, includes);
    for (const MacroDefinition& d : defines) pre.Define(d);
    std::vector<Token> tokens = pre.Run(fileName, source);
    out.includes = pre.Includes();
    out.sourceHash = SourceHash(source, out.includes);
    if (diagnostics.HasErrors()) {
        out.messages = diagnostics.Text();
        return out;
    }
    Parser parser(std::move(tokens), diagnostics);
    parser.Run();
    if (diagnostics.HasErrors()) {
        out.messages = diagnostics.Text();
        return out;
    }
    auto effect = std::make_shared<EffectDescription>(std::move(parser.Description()));
    CodeGenerator generator(diagnostics);
    for (const ProgramRequest& r : parser.Requests()) {
        std::shared_ptr<Program> p = generator.Generate(r);
        if (p == nullptr)
            break;
        effect->programs.push_back(std::move(p));
    }
    out.messages = diagnostics.Text();
    if (diagnostics.HasErrors() || effect->programs.size() != parser.Requests().size()) {
        if (!diagnostics.HasErrors())
            out.messages += "error X3000: compilation failed\n";
        return out;
    }
    out.effect = std::move(effect);
    return out;
}

}  // namespace Hlsl
