// libFuzzer target over the engine's effect-file loading on a software render device
// (RenderEffectD3D::Load): the choice between the source and its compiled cache, the cache's
// staleness check (header, recorded includes read again through EffectInclude::ReadFile and
// EffectInclude::Open, source hash), the compile that writes the cache, and the effect's handle
// look-up. The engine's include files lie under the include root. The first input byte picks what
// the rest is:
//   0  the effect source, with cache compiling on (compiled, cached, the cache loaded)
//   1  the effect source, with cache compiling off (loaded as it stands)
//   2  a compiled cache beside the source it was made from: the rest is split (4-byte length,
//      then the parts) into the cache and the source
//   3  a compiled cache alone
//
//   EffectFileFuzz --write-seeds=DIR   writes the seed corpus (the fixture effects, as text and
//                                      compiled)
//   EffectFileFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "fixtures/EffectFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FixtureIncludes.h"
#include "fuzz/FuzzSeeds.h"

namespace {

enum Mode : std::uint8_t {
    kSourceCompiled,
    kSourcePlain,
    kCacheWithSource,
    kCacheAlone,
    kModeCount
};

using ZelFuzz::FixtureIncludes;

// The compiled cache of a source as the engine writes it (with the includes it read).
std::string CompiledCache(const std::string& source) {
    FixtureIncludes includes;
    Hlsl::CompileOutput out = Hlsl::EffectCompiler::Compile("material.fx", source, {}, &includes);
    if (out.effect == nullptr)
        return {};
    std::vector<std::string> names;
    for (const Hlsl::IncludedFile& file : out.includes) names.push_back(file.name);
    const std::vector<std::uint8_t> bytes =
        Hlsl::EffectSerializer::Save(*out.effect, out.sourceHash, names);
    return std::string(bytes.begin(), bytes.end());
}

void WriteSeeds(const std::filesystem::path& dir) {
    const std::map<std::string, std::string> effects = {
        {"generated", ZelFixtures::GeneratedEffect()},
        {"staticcast", ZelFixtures::StaticShadowCastEffect()},
        {"receiver", ZelFixtures::ProjectiveShadowReceiverEffect()},
    };
    for (const auto& [name, text] : effects) {
        ZelFuzz::SaveSeed(dir, name + "_compiled", ZelFuzz::WithSelector(kSourceCompiled, text));
        ZelFuzz::SaveSeed(dir, name + "_plain", ZelFuzz::WithSelector(kSourcePlain, text));
        const std::string cache = CompiledCache(text);
        if (cache.empty())
            continue;
        ZelFuzz::SaveSeed(dir, name + "_cache", ZelFuzz::JoinParts(kCacheWithSource, cache, text));
        ZelFuzz::SaveSeed(dir, name + "_stale",
                          ZelFuzz::JoinParts(kCacheWithSource, cache, text + "\n// edited\n"));
        ZelFuzz::SaveSeed(dir, name + "_alone", ZelFuzz::WithSelector(kCacheAlone, cache));
    }
}

void Remove(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Uses what loaded: every technique slot and sampler record, a few parameters by slot.
void Exercise(Zel::RenderEffectD3D& effect) {
    for (std::uint32_t slot = 0; slot < Zel::RenderEffectD3D::kTechniqueSlots; ++slot)
        effect.SetTechnique(slot);
    for (std::uint32_t k = 0; k < Zel::RenderEffectD3D::kSamplerKinds; ++k)
        effect.GetSamplerRecord(k);
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    effect.SetMatrix(0, m, 0);
    effect.SetMatrixArray(23, m, 1);
    effect.SetFloat(0, 0.5f);
    effect.SetInt(0, 1);
    effect.SetVector(0, m, 16);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::SoftwareDevice();
    // "../include/<file>" is not found from the working directory, so every include comes from
    // the include root's "include/" directory.
    Zel::SetEffectIncludeRoot(ZelFuzz::ScratchPath("root") + "/");
    for (const auto& [name, text] : ZelFixtures::EffectIncludeFiles())
        ZelFuzz::WriteScratchFile("root/include/" + std::filesystem::path(name).filename().string(),
                                  text);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    const Mode mode = static_cast<Mode>(data[0] % kModeCount);
    const std::string source = ZelFuzz::ScratchPath("fx/material.fx");
    const std::string cache = source + "o";
    Remove(source);
    Remove(cache);
    switch (mode) {
        case kSourceCompiled:
        case kSourcePlain:
            ZelFuzz::WriteScratchFile("fx/material.fx", data + 1, size - 1);
            break;
        case kCacheWithSource: {
            const ZelFuzz::TwoParts parts = ZelFuzz::SplitInput(data + 1, size - 1);
            ZelFuzz::WriteScratchFile("fx/material.fxo", parts.first);
            ZelFuzz::WriteScratchFile("fx/material.fx", parts.second);
            break;
        }
        default:
            ZelFuzz::WriteScratchFile("fx/material.fxo", data + 1, size - 1);
            break;
    }
    g->GetConfigManager()->SetValue(Zel::RenderEffectD3D::kCompileEffectsSwitch,
                                    mode == kSourcePlain ? 0 : 1);
    {
        Zel::RenderEffectD3D effect(ZelFuzz::SoftwareDevice(), nullptr, "fx/material.fx", "", 1);
        effect.Load(source);
        if (effect.GetEffect() != nullptr)
            Exercise(effect);
    }
    return 0;
}
