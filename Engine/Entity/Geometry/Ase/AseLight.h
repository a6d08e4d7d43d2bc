// A light of an ASE scene (LIGHTOBJECT). Read but not used by the engine.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

struct AseLight {
    std::string name;       // quotes kept
    std::int32_t type = 0;  // 0 "Omni", 1 "Target"
    // From the NODE_TM block whose node name does not contain ".Target" (row vectors; row 3 the
    // translation times the scale).
    float nodeMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float position[3] = {0.0f, 0.0f, 0.0f};
    float rotationAxis[3] = {0.0f, 0.0f, 0.0f};
    float rotationAngle = 0.0f;
    std::int32_t spotCircle = 0;
    float color[3] = {1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;
    float attenuationStart = 200.0f;
    float attenuationEnd = 800.0f;
    float mapBias = 0.0f;
    float hotspot = 45.0f;
    float falloff = 45.0f;
    float aspect = 0.0f;
    std::string projectorMap;  // quotes kept, at most 254 characters
    std::int32_t hasProjectorMap = 0;
};

}  // namespace Zel
