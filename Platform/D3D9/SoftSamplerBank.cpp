#include "Platform/D3D9/SoftSamplerBank.h"

#include "Platform/D3D9/SoftDeviceState.h"

void SoftSamplerBank::Prepare(const SoftDeviceState& state) {
    for (UINT s = 0; s < units_.size(); ++s)
        units_[s].Prepare(state.textures[s].Get(), state.samplerStates[s].data());
}

void SoftSamplerBank::Sample(const SoftSampleRequest& request) const {
    static const SoftSampler unbound;
    const SoftSampler& unit = request.stage < units_.size() ? units_[request.stage] : unbound;
    unit.Sample(request);
}
