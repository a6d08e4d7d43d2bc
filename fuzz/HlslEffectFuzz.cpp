// libFuzzer target over the effect compiler and the compiled-effect reader; the first byte picks
// which (odd: the rest is effect text, with the engine's include files available; even: the rest
// is a compiled-effect file). Neither may crash, hang or read outside its input; whatever loads
// must validate and run.
//
//   HlslEffectFuzz --write-seeds=DIR   writes the seed corpus (the fixture effects, as text and
//                                      compiled)
//   HlslEffectFuzz [libFuzzer flags] CORPUS...
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
#include "fuzz/FuzzSeeds.h"
#include "fixtures/EffectFixtures.h"

namespace {

class FixtureIncludes : public Hlsl::IIncludeHandler {
public:
    bool Open(Hlsl::IncludeType, const std::string& name, const void*, const void** data,
              std::uint32_t* bytes) override {
        auto f = files_.find(name);
        if (f == files_.end())
            return false;
        *data = f->second.data();
        *bytes = static_cast<std::uint32_t>(f->second.size());
        return true;
    }
    void Close(const void*) override {}

private:
    std::map<std::string, std::string> files_ = ZelFixtures::EffectIncludeFiles();
};

Hlsl::CompileOutput Compile(const std::string& text) {
    FixtureIncludes includes;
    return Hlsl::EffectCompiler::Compile("fuzz.fx", text, {}, &includes);
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
        Save(dir, name + ".fx", 1, text);
        Hlsl::CompileOutput out = Compile(text);
        if (out.effect == nullptr)
            continue;
        std::vector<std::uint8_t> bytes =
            Hlsl::EffectSerializer::Save(*out.effect, out.sourceHash, {});
        Save(dir, name + ".fxo", 0, std::string(bytes.begin(), bytes.end()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if ((data[0] & 1) != 0) {
        Hlsl::CompileOutput out =
            Compile(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
        if (out.effect != nullptr)
            RunAll(*out.effect);
    } else {
        Hlsl::CompiledEffectHeader header;
        std::string error;
        auto fx = Hlsl::EffectSerializer::Load(data + 1, size - 1, header, error);
        if (fx != nullptr)
            RunAll(*fx);
    }
    return 0;
}
