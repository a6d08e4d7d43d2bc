// What the XML material parser remembers of one texture stage when the stage's texture is to be
// made later (the split road of library loading): the stage, the kind of texture it asks for and,
// for animated textures, the frequency and the frames. Blocks of records, one record per stage
// slot, make up a material's texture requests (MaterialTextureRequests).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Entity/Material/TextureStage.h"

namespace Zel {

struct LegacyStageAnimRecord {
    // Animation kinds; every other stage keeps kOther.
    static constexpr std::uint32_t kOther = 2;
    static constexpr std::uint32_t kAnimated = 5;
    static constexpr std::uint32_t kBlendAnimated = 6;

    // The stage of the slot (owned by its pass); null when the pass has no stage in the slot.
    TextureStage* stage = nullptr;
    std::uint32_t kind = kOther;
    // Frames per second of an animated texture ("ANIM_FREQ"); 0: the frames do not advance.
    float frequency = 0.0f;
    // The image paths of the frames of an animated texture.
    std::vector<std::string> frames;
    // The image paths of a blended animated texture's frames, each with its blend time (s).
    std::vector<std::pair<std::string, float>> blendFrames;
};

// One record per stage slot of one pass.
using LegacyStageAnimBlock = std::array<LegacyStageAnimRecord, TextureStage::kSlotCount>;

}  // namespace Zel
