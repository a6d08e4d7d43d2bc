// Small numeric rules the software device's vertex and pixel stages share.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/D3D9/D3D9Types.h"

class SoftShading {
public:
    // Clamped to [0, 1], NaN reading as 0; written as max and min so that lane loops vectorise.
    static float Saturate(float v) { return std::min(std::max(0.0f, v), 1.0f); }

    // A float render or sampler state from its bits; a value that is not finite reads as 0.
    static float StateFloat(DWORD bits) {
        float f;
        std::memcpy(&f, &bits, 4);
        return std::isfinite(f) ? f : 0.0f;
    }

    // The fog factor (1: no fog, 0: all fog) at distance d for a D3DFOGMODE.
    static float Fog(DWORD mode, float d, float start, float end, float density) {
        switch (mode) {
            case D3DFOG_LINEAR:
                return end == start ? (d < end ? 1.0f : 0.0f) : Saturate((end - d) / (end - start));
            case D3DFOG_EXP:
                return Saturate(std::exp(-density * d));
            case D3DFOG_EXP2:
                return Saturate(std::exp(-(density * d) * (density * d)));
            default:
                return 1.0f;
        }
    }
};
