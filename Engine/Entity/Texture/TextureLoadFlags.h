// The process-wide texture-loading flag word read by the texture, material and character loading
// code. Code that changes a bit for its own loads saves the word first and restores it after.
// Bit 0 is set whenever the global switches take their defaults.
#pragma once

#include <cstdint>

namespace Zel {

enum TextureLoadFlag : std::uint32_t {
    // A material stage's texture is resolved as soon as its name is read.
    TEXTURE_LOAD_IMMEDIATE = 0x1,
};

// Atomic reads and writes; any thread.
std::uint32_t GetTextureLoadFlags();
void SetTextureLoadFlags(std::uint32_t flags);

}  // namespace Zel
