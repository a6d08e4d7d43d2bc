// The texture units of the software device for one draw: the sixteen pixel samplers, prepared
// from the bound textures and sampler states. Vertex-program fetches (stages from
// kSoftVertexSamplerBase) find no texture and answer (0, 0, 0, 1).
#pragma once

#include <array>

#include "Platform/D3D9/SoftProgram.h"
#include "Platform/D3D9/SoftSampler.h"

struct SoftDeviceState;

class SoftSamplerBank final : public SoftTextureUnits {
public:
    // Host thread, before the draw.
    void Prepare(const SoftDeviceState& state);
    void Sample(const SoftSampleRequest& request) const override;
    const SoftSampler& Unit(UINT stage) const { return units_[stage]; }

private:
    std::array<SoftSampler, 16> units_;
};
