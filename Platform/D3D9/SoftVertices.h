// The vertices of one draw after the vertex stage: a position and attribute slots of four floats
// each, labelled by semantic (COLOR 0 and 1, TEXCOORD n, FOG, PSIZE, or whatever a vertex program
// writes). Positions are clip space (x, y, z, w; z from 0 to w), or for pretransformed vertices
// screen space (x, y in pixels, z in [0, 1], then 1/w).
#pragma once

#include <vector>

#include "Platform/D3D9/SoftProgram.h"

struct SoftVertices {
    std::vector<SoftSemantic> slots;
    bool screenSpace = false;
    // Stream vertex number of row 0 (indices name rows as baseVertex + index - first).
    long long first = 0;
    UINT count = 0;
    // Floats per vertex: 4 for the position, then 4 per slot.
    UINT stride = 4;
    std::vector<float> data;

    // The slot holding a semantic, or -1.
    int Find(SoftSemantic semantic) const {
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (slots[i] == semantic)
                return static_cast<int>(i);
        return -1;
    }
    float* Row(UINT row) { return data.data() + static_cast<std::size_t>(row) * stride; }
    const float* Row(UINT row) const {
        return data.data() + static_cast<std::size_t>(row) * stride;
    }
};
