// A material of an ASE scene (MATERIAL or SUBMATERIAL block) with its sub-materials and maps.
// Faces select sub-materials through FindSubMaterial (AseReader.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/Ase/AseMap.h"

namespace Zel {

struct AseMaterial {
    AseMaterial() = default;
    AseMaterial(const AseMaterial&) = delete;
    AseMaterial& operator=(const AseMaterial&) = delete;

    using MapList = std::vector<std::unique_ptr<AseMap>>;

    std::string name;       // MATERIAL_NAME without quotes
    std::string className;  // MATERIAL_CLASS with quotes
    float ambient[3] = {0.0f, 0.0f, 0.0f};
    // Alphas are set when the block ends: diffuse 1 - transparency, specular 1.
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float shine = 0.0f, shineStrength = 0.0f, transparency = 0.0f, wireSize = 0.0f;
    std::string shading;  // value word
    float xpFalloff = 0.0f, selfIllum = 0.0f;
    std::uint8_t twoSided = 0;
    std::uint8_t falloffIn = 0;  // 1 when MATERIAL_FALLOFF is "In"
    std::string xpType;          // value word
    std::vector<std::unique_ptr<AseMaterial>> subMaterials;
    MapList ambientMaps, genericMaps, diffuseMaps, specularMaps, bumpMaps, selfIllumMaps,
        reflectMaps, shineMaps, shineStrengthMaps, opacityMaps, refractMaps, filterColorMaps;
};

}  // namespace Zel
