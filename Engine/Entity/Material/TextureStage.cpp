#include "Entity/Material/TextureStage.h"

#include <algorithm>

#include "Entity/Texture/TextureBase.h"

namespace Zel {

TextureStage::TextureStage() {
    Reset();
}

TextureStage::~TextureStage() = default;

TextureStage::TextureStage(const TextureStage& other) {
    *this = other;
}

TextureStage& TextureStage::operator=(const TextureStage& other) {
    if (this == &other)
        return *this;
    addressU = other.addressU;
    addressV = other.addressV;
    addressW = other.addressW;
    texCoordGen = other.texCoordGen;
    std::copy_n(other.colourParam, 4, colourParam);
    std::copy_n(other.constantColour, 4, constantColour);
    filter = other.filter;
    texture.Assign(other.texture.Get());
    textureName = other.textureName;
    stageSlot = other.stageSlot;
    envMode = other.envMode;
    flags = other.flags;
    texCoordMods = other.texCoordMods;
    colourGenChannel = other.colourGenChannel;
    colourGen = other.colourGen;
    alphaGenChannel = other.alphaGenChannel;
    alphaGen = other.alphaGen;
    return *this;
}

void TextureStage::SetTexture(TextureBase* newTexture) {
    texture.Assign(newTexture);
}

void TextureStage::Reset() {
    addressU = addressV = addressW = 1;
    texCoordGen = TCG_NONE;
    static constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::copy_n(kBlack, 4, colourParam);
    std::copy_n(kBlack, 4, constantColour);
    filter = 1;
    textureName.clear();
    texture.Reset();
    stageSlot = 0;
    envMode = 1;
    flags &= ~std::uint32_t(TSF_TEXTURE_PENDING | TSF_CONST_COLOUR | TSF_CONST_ALPHA |
                            TSF_ALPHA_GEN | TSF_COLOUR_GEN);
    colourGenChannel = 0;
    alphaGenChannel = 1;
}

}  // namespace Zel
