// A texture map of an ASE material (any MAP_* block), with its nested MAP_GENERIC maps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Zel {

struct AseMap {
    AseMap() = default;
    AseMap(const AseMap&) = delete;
    AseMap& operator=(const AseMap&) = delete;

    std::string name;       // MAP_NAME, quotes kept
    std::string className;  // MAP_CLASS, quotes kept
    std::int32_t subNo = 0;
    float amount = 0.0f;
    std::string bitmap;   // BITMAP, quotes kept
    std::string mapType;  // value word
    float uOffset = 0.0f, vOffset = 0.0f, uTiling = 0.0f, vTiling = 0.0f;
    std::int32_t uvwTile = 0;
    float angle = 0.0f;  // degrees
    float blur = 0.0f, blurOffset = 0.0f, noiseAmount = 0.0f, noiseSize = 0.0f;
    std::int32_t noiseLevel = 0;
    float noisePhase = 0.0f;
    std::string bitmapFilter;  // value word
    std::vector<std::unique_ptr<AseMap>> generics;
    // T x R x S for row vectors (u, v, 1), made when the block ends: translation by the offsets,
    // rotation by the angle, scale by the tilings. Element (r, c) at 3r + c.
    float uvMatrix[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    std::int32_t channel = 0;
    // 0 "Image", 1 "RGB", 2 "None" (the value word with its quotes).
    std::int32_t alphaSource = 0;
    std::int32_t monoChannel = 0;
    std::int32_t rgbChannel = 0;
    float playbackRate = 0.0f;
};

}  // namespace Zel
