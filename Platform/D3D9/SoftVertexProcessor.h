// The vertex stage of the software device: reads the vertices a draw uses from its streams (or
// the caller's memory) through the vertex layout, and transforms them, either with the fixed
// function (world, view and projection; lighting with the material and the enabled lights;
// vertex fog; texture-coordinate generation and texture transforms per stage) or with a bound
// vertex program. Pretransformed positions (POSITIONT) pass through in screen space.
//
// Host thread; one per device, reused across draws.
#pragma once

#include "Platform/D3D9/SoftDrawCall.h"
#include "Platform/D3D9/SoftProgram.h"
#include "Platform/D3D9/SoftVertices.h"

struct SoftDeviceState;

class SoftVertexProcessor {
public:
    // The number of fixed-function texture stages that produce coordinates.
    static constexpr UINT kStages = 8;

    // Decodes one vertex element of a declaration type into four floats, missing components
    // reading as (0, 0, 0, 1). A COLOR-usage UBYTE4 reads as a D3DCOLOR.
    static void DecodeElement(BYTE type, BYTE usage, const BYTE* bytes, float out[4]);

    // Fills out with the vertices the draw reads. program: the bound vertex program (null for
    // the fixed function), with runner made from it and units for its texture fetches.
    // pixelProgram: a pixel program reads the result, so the fixed function hands on the
    // coordinates of all eight stages (TEXCOORD n for stage n), not only of the textured ones.
    void Process(const SoftDrawCall& call, const SoftDeviceState& state, const SoftProgram* program,
                 SoftProgramRunner* runner, const SoftTextureUnits& units, bool pixelProgram,
                 SoftVertices* out);

private:
    void FixedFunction(const SoftDrawCall& call, const SoftDeviceState& state, bool pixelProgram,
                       SoftVertices* out);
    void Programmed(const SoftDrawCall& call, const SoftDeviceState& state,
                    const SoftProgram& program, SoftProgramRunner& runner,
                    const SoftTextureUnits& units, SoftVertices* out);
};
