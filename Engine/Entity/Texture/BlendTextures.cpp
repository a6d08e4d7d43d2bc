#include "Entity/Texture/BlendTextures.h"

#include <cmath>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {
namespace {

bool IsValid(const BlendTexturesDesc& d) {
    if (!d.destination || !d.source || d.x < 0 || d.y < 0 || d.destinationWidth <= 0 ||
        d.destinationHeight <= 0 || d.copyWidth <= 0 || d.copyHeight <= 0)
        return false;
    if (std::int64_t(d.sourcePitch) < std::int64_t(d.copyWidth) * 4)
        return false;
    if (std::int64_t(d.x) + d.copyWidth > d.destinationWidth ||
        std::int64_t(d.y) + d.copyHeight > d.destinationHeight)
        return false;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    const std::uint64_t room = textures ? textures->GetScratchBufferRoom(d.destination) : 0;
    return std::uint64_t(d.destinationWidth) * std::uint64_t(d.destinationHeight) * 4 <= room;
}

std::uint8_t RoundByte(float value) {
    const float rounded = std::nearbyint(value);
    return static_cast<std::uint8_t>(rounded < 0.0f ? 0.0f : rounded > 255.0f ? 255.0f : rounded);
}

void BlendPixel(std::uint8_t* d, const std::uint8_t* s) {
    const float ad = d[3] / 255.0f;
    const float as = s[3] / 255.0f;
    if (ad < 0.001f) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = s[3];
        return;
    }
    const float ao = 1.0f - (1.0f - ad) * (1.0f - as);
    for (int c = 0; c < 3; ++c) d[c] = RoundByte(s[c] * as / ao + d[c] * (1.0f - as) * ad / ao);
    d[3] = RoundByte(ao * 255.0f);
}

}  // namespace

bool BlendTextures(const BlendTexturesDesc& desc, bool flip) {
    if (!IsValid(desc)) {
        LogTyped(LOG_ENGINE_INIT, " Blend Texture Failed, %d,%d,%d,%d,%d,%d", desc.destinationWidth,
                 desc.destinationHeight, desc.copyWidth, desc.copyHeight, desc.x, desc.y);
        return false;
    }
    const std::size_t destinationPitch = std::size_t(desc.destinationWidth) * 4;
    for (std::int32_t i = 0; i < desc.copyHeight; ++i) {
        const std::int32_t row = flip ? desc.destinationHeight - desc.y - 1 - i : desc.y + i;
        std::uint8_t* d =
            desc.destination + destinationPitch * std::size_t(row) + std::size_t(desc.x) * 4;
        const std::uint8_t* s =
            desc.source + std::size_t(desc.sourcePitch) * std::size_t(desc.copyHeight - 1 - i);
        for (std::int32_t x = 0; x < desc.copyWidth; ++x) BlendPixel(d + x * 4, s + x * 4);
    }
    return true;
}

}  // namespace Zel
