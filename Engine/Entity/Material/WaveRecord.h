// One wave of a texture stage: a texture-coordinate modifier (the modes and wave kinds of the two
// axes) or the colour and alpha generation of a stage. Kept as the 44 bytes the binary material
// library stores: four 8-bit codes, then five floats per axis. The shader constant filler gives
// the codes and floats their meaning.
#pragma once

#include <cstdint>

namespace Zel {

struct WaveRecord {
    static constexpr std::uint32_t kBytes = 44;

    // Mode of axis 0 and 1, then wave kind of axis 0 and 1.
    std::uint8_t codes[4] = {0, 0, 0, 0};
    float first[5] = {1.0f, 1.0f, 0.0f, 0.0f, 0.5f};
    float second[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.5f};

    // Fills the record from 44 little-endian bytes.
    void FromBytes(const std::uint8_t* bytes);
};

}  // namespace Zel
