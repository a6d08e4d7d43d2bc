// libFuzzer target over the effect compiler and the compiled-effect reader; the first byte picks
// which, by its value modulo 4:
//   0  the rest is a compiled-effect file, loaded whole
//   1  the rest is effect text, with the engine's include files available
//   2  the rest is a compiled-effect file whose header alone is read (the staleness check)
//   3  the rest is a line of caller macros ("NAME=VALUE" separated by ';', as D3DXMACRO gives
//      them) and then effect text
// Nothing may crash, hang or read outside its input; whatever loads must validate and run.
//
//   HlslEffectFuzz --write-seeds=DIR   writes the seed corpus (the fixture effects, as text and
//                                      compiled)
//   HlslEffectFuzz [libFuzzer flags] CORPUS...
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"
#include "fuzz/FixtureIncludes.h"
#include "fuzz/FuzzSeeds.h"
#include "fixtures/EffectFixtures.h"

namespace {

using ZelFuzz::FixtureIncludes;

enum Mode : std::uint8_t { kCompiled, kText, kHeader, kMacrosAndText, kModeCount };

Hlsl::CompileOutput Compile(const std::string& text,
                            const std::vector<Hlsl::MacroDefinition>& macros = {}) {
    FixtureIncludes includes;
    return Hlsl::EffectCompiler::Compile("fuzz.fx", text, macros, &includes);
}

// The first line as "NAME=VALUE;..." (a name without '=' gets the value "1"), the rest as text.
Hlsl::CompileOutput CompileWithMacros(const std::string& input) {
    const std::size_t lineEnd = std::min(input.find('\n'), input.size());
    const std::string line = input.substr(0, lineEnd);
    std::vector<Hlsl::MacroDefinition> macros;
    for (std::size_t start = 0; start <= line.size();) {
        std::size_t end = std::min(line.find(';', start), line.size());
        const std::string item = line.substr(start, end - start);
        const std::size_t equals = item.find('=');
        if (!item.empty())
            macros.push_back(
                equals == std::string::npos
                    ? Hlsl::MacroDefinition{item, "1"}
                    : Hlsl::MacroDefinition{item.substr(0, equals), item.substr(equals + 1)});
        start = end + 1;
    }
    return Compile(lineEnd < input.size() ? input.substr(lineEnd + 1) : std::string(), macros);
}

void RunAll(const Hlsl::EffectDescription& fx) {
    for (const auto& p : fx.programs) {
        if (!p->Validate(static_cast<std::uint32_t>(fx.values.size()),
                         static_cast<std::uint32_t>(fx.parameters.size())))
            std::abort();
        Hlsl::ProgramContext context(*p);
        context.BindConstants(fx.values.data(), fx.values.size());
        context.Run();
    }
}

// A seed is the selector byte followed by the input.
void Save(const std::filesystem::path& dir, const std::string& name, std::uint8_t tag,
          const std::string& bytes) {
    std::vector<std::uint8_t> seed{tag};
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    ZelFuzz::SaveSeed(dir, name, seed);
}

void WriteSeeds(const std::filesystem::path& dir) {
    const std::map<std::string, std::string> effects = {
        {"generated", ZelFixtures::GeneratedEffect()},
        {"staticcast", ZelFixtures::StaticShadowCastEffect()},
        {"skeletalcast", ZelFixtures::SkeletalShadowCastEffect()},
        {"receiver", ZelFixtures::ProjectiveShadowReceiverEffect()},
    };
    for (const auto& [name, text] : effects) {
        Save(dir, name + ".fx", kText, text);
        Hlsl::CompileOutput out = Compile(text);
        if (out.effect == nullptr)
            continue;
        std::vector<std::uint8_t> bytes =
            Hlsl::EffectSerializer::Save(*out.effect, out.sourceHash, {});
        Save(dir, name + ".fxo", kCompiled, std::string(bytes.begin(), bytes.end()));
        std::vector<std::string> includes;
        for (const Hlsl::IncludedFile& file : out.includes) includes.push_back(file.name);
        bytes = Hlsl::EffectSerializer::Save(*out.effect, out.sourceHash, includes);
        Save(dir, name + ".fxh", kHeader, std::string(bytes.begin(), bytes.end()));
    }
    // Conditions the preprocessor evaluates: every operator of #if and #elif, defined(), caller
    // macros, nesting, and a branch that picks which function the technique compiles.
    const std::string conditions =
        "#define QUALITY 2\n"
        "#if defined(QUALITY) && QUALITY * 3 - 1 >= 5 || !defined SKIN\n"
        "#define LEVEL ((1 << 4) | 0x3) ^ ~0 & 077\n"
        "#elif (QUALITY % 2 == 0) ? -QUALITY < +1 : QUALITY / 2 != 1\n"
        "#define LEVEL 2\n"
        "#else\n"
        "#define LEVEL 0\n"
        "#endif\n"
        "#if LEVEL > 1 && (SKIN > 0 || LEVEL >> 1 <= 8)\n"
        "#ifdef SKIN\n"
        "float4 Colour() { return float4(1, 0, 0, 1); }\n"
        "#else\n"
        "float4 Colour() { return float4(0, 1, 0, 1); }\n"
        "#endif\n"
        "#elif 1.5e1 == 15\n"
        "float4 Colour() { return float4(0, 0, 1, 1); }\n"
        "#endif\n";
    const std::string shader =
        "float4 PS() : COLOR { return Colour(); }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";
    Save(dir, "conditions.fx", kText, conditions + shader);
    Save(dir, "macros.fx", kMacrosAndText, "SKIN=1;QUALITY=3;FLAG\n" + conditions + shader);
    Save(dir, "generated_macros.fx", kMacrosAndText,
         "MAX_BONE=60;USE_SHADOW\n" + ZelFixtures::GeneratedEffect());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    Hlsl::CompiledEffectHeader header;
    std::string error;
    switch (data[0] % kModeCount) {
        case kText:
        case kMacrosAndText: {
            Hlsl::CompileOutput out =
                data[0] % kModeCount == kText ? Compile(text) : CompileWithMacros(text);
            if (out.effect != nullptr)
                RunAll(*out.effect);
            break;
        }
        case kHeader:
            if (Hlsl::EffectSerializer::ReadHeader(data + 1, size - 1, header, error)) {
                volatile std::size_t sum = header.sourceHash;
                for (const std::string& name : header.includes) sum = sum + name.size();
            }
            break;
        default:
            if (auto fx = Hlsl::EffectSerializer::Load(data + 1, size - 1, header, error))
                RunAll(*fx);
            break;
    }
    return 0;
}
