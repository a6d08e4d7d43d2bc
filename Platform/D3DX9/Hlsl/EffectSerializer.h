// The compiled-effect file: our own format, little-endian, written field by field.
//
//   u32 magic "ZFXO" (0x4F58465A), u32 version (kVersion), u64 source hash,
//   u32 include count, then per include a string (u32 length, bytes);
//   the effect: u32 value count and the words; u32 parameter count and the parameters;
//   u32 program count and the programs; u32 technique count and the techniques.
//
// A reader checks every count and offset against the bytes that remain and every reference
// against what it points into; a file that fails any check yields nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectDescription.h"

namespace Hlsl {

struct CompiledEffectHeader {
    std::uint32_t version = 0;
    std::uint64_t sourceHash = 0;
    std::vector<std::string> includes;  // names as the source wrote them
};

class EffectSerializer {
public:
    static constexpr std::uint32_t kMagic = 0x4F58465Au;  // "ZFXO"
    static constexpr std::uint32_t kVersion = 1;

    static std::vector<std::uint8_t> Save(const EffectDescription& effect, std::uint64_t sourceHash,
                                          const std::vector<std::string>& includes);

    // Reads only the header (for the staleness check). False with a reason in error when the
    // bytes are not a compiled effect of this version.
    static bool ReadHeader(const void* data, std::size_t size, CompiledEffectHeader& header,
                           std::string& error);

    // The whole file; null with a reason in error on a wrong magic or version or damaged bytes.
    static std::shared_ptr<const EffectDescription> Load(const void* data, std::size_t size,
                                                         CompiledEffectHeader& header,
                                                         std::string& error);
};

}  // namespace Hlsl
