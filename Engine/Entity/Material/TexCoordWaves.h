// The wave functions that animate texture stages: texture-coordinate modifiers (scroll, scale,
// rotate) as 4x4 matrices, and the generated constant colour and alpha of a stage. Matrices are
// 16 floats, row-major: element [i][j] is m[i * 4 + j], row i and column j of the matrix handed to
// the program. Times are in seconds. Any thread; no shared state.
#pragma once

#include <cstdint>

namespace Zel {

class TextureStage;
struct WaveRecord;

// Wave kinds of EvaluateWave.
enum WaveKind : std::uint32_t {
    WAVE_RAMP = 0,
    WAVE_SINE = 1,
    WAVE_TRIANGLE = 2,
    WAVE_SQUARE = 3,
    WAVE_SAWTOOTH = 4,
    WAVE_INVERSE_SAWTOOTH = 5,
    WAVE_SINE_COSINE = 6,
};

// The value at time t of the wave of the given kind with frequency f, amplitude A, phase φ and
// base B (params[0..3]; params[4], the centre, is not read). The periodic kinds (triangle,
// square, sawtooth, inverse sawtooth) give B when f is 0, as does an unknown kind.
float EvaluateWave(std::uint32_t kind, const float* params, float t);

// The matrix of one texture-coordinate modifier at time t: code 0 = 2 rotates about the first
// axis's centre and the second axis's centre; otherwise each axis scrolls (mode 0) or scales about
// its centre (mode 1).
void TexCoordModMatrix(const WaveRecord& record, float* matrix, float t);

// The product of the stage's modifiers in list order (each new one on the left); the identity
// for a stage without modifiers.
void BuildTexCoordMatrix(const TextureStage& stage, float* matrix, float t);

// The stage's generated alpha (flags: alpha generation and constant alpha) and colour (colour
// generation and constant colour) at time t, stored in its constant colour.
void UpdateGeneratedColor(TextureStage& stage, float t);

}  // namespace Zel
