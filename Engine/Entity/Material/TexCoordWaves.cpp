#include "Entity/Material/TexCoordWaves.h"

#include <cmath>
#include <cstring>

#include "Entity/Material/TextureStage.h"
#include "Entity/Material/WaveRecord.h"

namespace Zel {

namespace {

void Identity(float* m) {
    std::memset(m, 0, 16 * sizeof(float));
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

float& At(float* m, int row, int column) {
    return m[row * 4 + column];
}

}  // namespace

float EvaluateWave(std::uint32_t kind, const float* params, float t) {
    const float f = params[0], a = params[1], phase = params[2], base = params[3];
    switch (kind) {
        case WAVE_RAMP:
            return (t + phase) * a * f + base;
        case WAVE_SINE:
            return std::sin(f * t + phase) * a + base;
        case WAVE_SINE_COSINE:
            return (std::sin(f * t + phase) + std::cos(f * t + phase)) * a + base;
        case WAVE_TRIANGLE:
        case WAVE_SQUARE:
        case WAVE_SAWTOOTH:
        case WAVE_INVERSE_SAWTOOTH:
            break;
        default:
            return base;
    }
    // A wave without a period stays at its base.
    if (f == 0.0f)
        return base;
    const float x = t + phase;
    const float p = x - std::floor(x * f) / f;  // seconds into the period, 0 <= p < 1/f
    const bool firstHalf = 0.5f / f > p;
    switch (kind) {
        case WAVE_TRIANGLE:
            return (firstHalf ? 2.0f * p * f : 2.0f * (1.0f - p * f)) * a + base;
        case WAVE_SQUARE:
            return firstHalf ? a + base : -a + base;
        case WAVE_SAWTOOTH:
            return a * p + base;
        default:
            return (1.0f - p) * a + base;
    }
}

void TexCoordModMatrix(const WaveRecord& record, float* m, float t) {
    Identity(m);
    if (record.codes[0] == 2) {
        const float theta = EvaluateWave(record.codes[2], record.first, t);
        const float c = std::cos(theta), s = std::sin(theta);
        const float cx = record.first[4], cy = record.second[4];
        At(m, 0, 0) = c;
        At(m, 0, 1) = -s;
        At(m, 0, 3) = cx * (1.0f - c) + cy * s;
        At(m, 1, 0) = s;
        At(m, 1, 1) = c;
        At(m, 1, 3) = cy * (1.0f - c) - cx * s;
        return;
    }
    const float* axes[2] = {record.first, record.second};
    for (int axis = 0; axis < 2; ++axis) {
        const float* params = axes[axis];
        const std::uint8_t mode = record.codes[axis];
        if (mode > 1)
            continue;
        const float v = EvaluateWave(record.codes[2 + axis], params, t);
        if (mode == 0) {
            At(m, axis, 3) = axis == 0 ? v : -v;
        } else {
            At(m, axis, axis) = v;
            At(m, axis, 3) += (1.0f - v) * params[4];
        }
    }
}

void BuildTexCoordMatrix(const TextureStage& stage, float* result, float t) {
    Identity(result);
    float m[16], product[16];
    for (const WaveRecord& record : stage.texCoordMods) {
        TexCoordModMatrix(record, m, t);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) sum += m[i * 4 + k] * result[k * 4 + j];
                product[i * 4 + j] = sum;
            }
        std::memcpy(result, product, sizeof product);
    }
}

void UpdateGeneratedColor(TextureStage& stage, float t) {
    if ((stage.flags & TSF_ALPHA_GEN) && (stage.flags & TSF_CONST_ALPHA)) {
        const WaveRecord& wave = stage.alphaGen;
        const float w = EvaluateWave(wave.codes[2], wave.first, t);
        stage.constantColour[3] = w * wave.second[0] + (1.0f - w) * wave.second[1];
    }
    if ((stage.flags & TSF_COLOUR_GEN) && (stage.flags & TSF_CONST_COLOUR)) {
        const WaveRecord& wave = stage.colourGen;
        const float w = EvaluateWave(wave.codes[2], wave.first, t);
        const float start[3] = {wave.first[4], wave.second[0], wave.second[1]};
        const float end[3] = {wave.second[2], wave.second[3], wave.second[4]};
        for (int c = 0; c < 3; ++c) stage.constantColour[c] = start[c] * w + end[c] * (1.0f - w);
    }
}

}  // namespace Zel
