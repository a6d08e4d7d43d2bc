// Runs a Program over kLanes vertices or pixels at once: the rasteriser's program seam.
//
// Use: make one context per program and thread; BindConstants with the effect's value store
// whenever parameters changed (once per draw, typically); set a sampler when the program reads
// textures; then per batch write the inputs, Run, and read the outputs and the discarded lanes.
// Lanes past the batch's real count may hold anything; they are computed and ignored.
#pragma once

#include <cstdint>
#include <vector>

#include "Platform/D3DX9/Hlsl/Program.h"

namespace Hlsl {

// One texture fetch for every lane of a batch. The program has already divided projected
// coordinates; for an implicit level in a pixel program the coordinate derivatives of each
// lane's quad are given (across x and y, per coordinate), from which the sampler picks the mip
// level with the texture's size. Vertex programs pass no derivatives (level 0 unless explicit).
struct SampleRequest {
    std::uint32_t stage = 0;  // the sampler number (ProgramSampler::stage)
    TextureDim dim = TextureDim::Tex2D;
    unsigned coordinates = 2;    // 1 (1D), 2 (2D), 3 (3D and cube)
    const float* coord[3] = {};  // u, v, w per lane
    const float* ddx[3] = {};    // null unless lod is Implicit in a pixel program
    const float* ddy[3] = {};
    LodMode lod = LodMode::Implicit;
    const float* lodValue = nullptr;  // bias or level per lane; null for Implicit
    float* out[4] = {};               // r, g, b, a per lane, to be written
};

class ISampler {
public:
    virtual ~ISampler() = default;
    virtual void Sample(const SampleRequest& request) = 0;
};

class ProgramContext {
public:
    // The program must outlive the context.
    explicit ProgramContext(const Program& program);
    ProgramContext(const ProgramContext&) = delete;
    ProgramContext& operator=(const ProgramContext&) = delete;

    const Program& GetProgram() const { return program_; }

    // Copies the parameter components the program reads from the value store (one word per
    // component, as EffectDescription lays it out). Words past count read as 0.
    void BindConstants(const std::uint32_t* values, std::size_t count);
    // Not owned; null makes every fetch answer (0, 0, 0, 1).
    void SetSampler(ISampler* sampler) { sampler_ = sampler; }

    // kLanes floats of one component of an input (Program::inputs index).
    float* Input(std::size_t input, unsigned component) {
        return Reg(program_.inputs[input].firstRegister + component);
    }
    // Fills every input of every lane with (0, 0, 0, 1), the value of a missing vertex element.
    void ResetInputs();

    void Run();

    // kLanes floats of one component of an output (Program::outputs index).
    const float* Output(std::size_t output, unsigned component) const {
        return Reg(program_.outputs[output].registers[component]);
    }
    // Bit i set: lane i was discarded by the last Run.
    std::uint32_t DiscardedLanes() const { return killed_; }

private:
    float* Reg(std::uint32_t r) { return registers_.data() + static_cast<std::size_t>(r) * kLanes; }
    const float* Reg(std::uint32_t r) const {
        return registers_.data() + static_cast<std::size_t>(r) * kLanes;
    }
    void DoSample(const SampleOp& op);

    const Program& program_;
    std::vector<float> registers_;
    std::vector<float> arrays_;
    ISampler* sampler_ = nullptr;
    std::uint32_t killed_ = 0;
    float scratch_[3][kLanes] = {};
    float ddx_[3][kLanes] = {};
    float ddy_[3][kLanes] = {};
};

}  // namespace Hlsl
