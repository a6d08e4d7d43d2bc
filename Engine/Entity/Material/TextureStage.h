// One of the twelve texture stages of a render state: how a texture is addressed, filtered and
// combined, which texture (by name until it is loaded, then by reference) and the waves that move
// its coordinates and generate its colour and alpha.
//
// A value type: assignment copies every field and moves the texture reference (the old texture
// loses one, the new one gains one). Used by the thread that loads or draws the material.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Material/WaveRecord.h"

namespace Zel {

class TextureBase;

// Bits of TextureStage::flags.
enum TextureStageFlag : std::uint32_t {
    TSF_TEXTURE_PENDING = 0x1,  // named, not yet loaded; the texture manager clears it
    TSF_CONST_COLOUR = 0x2,
    TSF_CONST_ALPHA = 0x4,
    TSF_ALPHA_GEN = 0x8,
    TSF_COLOUR_GEN = 0x10,
};

// Texture-coordinate generation codes.
enum TexCoordGen : std::uint32_t { TCG_NONE = 0, TCG_CUBE_REFLECTION = 1, TCG_SPHERE_MAP = 2 };

class TextureStage {
public:
    static constexpr std::uint32_t kSlotCount = 12;
    // The slot cube maps bind to.
    static constexpr std::uint32_t kCubeSlot = 5;

    // Default waves, then Reset.
    TextureStage();
    ~TextureStage();
    TextureStage(const TextureStage& other);
    TextureStage& operator=(const TextureStage& other);

    // Address modes 1, generation 0, both colours (0, 0, 0, 1), filter 1, no name, no texture,
    // slot 0, environment mode 1, flag bits 0-4 clear, colour channel 0, alpha channel 1. The
    // modifier list and the wave records keep what they hold.
    void Reset();

    bool HasTexCoordMods() const { return !texCoordMods.empty(); }
    TextureBase* GetTexture() const { return texture.Get(); }
    // Holds the texture (null drops it); the old one loses its reference.
    void SetTexture(TextureBase* newTexture);

    std::uint32_t addressU = 1, addressV = 1, addressW = 1;
    std::uint32_t texCoordGen = TCG_NONE;
    float colourParam[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float constantColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::uint32_t filter = 1;
    SharedPtr<TextureBase> texture;
    // A cube map's six face names each followed by "*".
    std::string textureName;
    std::uint32_t stageSlot = 0;  // 0..11
    std::uint32_t envMode = 1;    // index of the texture-environment name table
    std::uint32_t flags = 0;      // TextureStageFlag
    std::vector<WaveRecord> texCoordMods;
    std::uint32_t colourGenChannel = 0;
    WaveRecord colourGen;
    std::uint32_t alphaGenChannel = 1;
    WaveRecord alphaGen;
};

}  // namespace Zel
