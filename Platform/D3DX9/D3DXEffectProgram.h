// A vertex or pixel program of a compiled effect in the form the software device runs: the
// device's program seam over the effect compiler's program runner. Constants are read, at the
// start of every draw, from a value store the effect keeps (its committed parameter values).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/D3D9/SoftProgram.h"
#include "Platform/D3DX9/Hlsl/Program.h"

class D3DXEffectProgram final : public SoftProgram {
public:
    // values is not owned: it must outlive the program and every runner made from it, and keep
    // its size (the device reads it from its rendering threads during draws only).
    D3DXEffectProgram(std::shared_ptr<const Hlsl::Program> program,
                      const std::vector<std::uint32_t>& values);

    const std::vector<SoftSemantic>& Inputs() const override { return inputs_; }
    const std::vector<SoftSemantic>& Outputs() const override { return outputs_; }
    bool MayDiscard() const override { return program_->usesKill; }
    std::unique_ptr<SoftProgramRunner> NewRunner() const override;

    // The samplers the program reads, with their sampler numbers.
    const std::vector<Hlsl::ProgramSampler>& Samplers() const { return program_->samplers; }

private:
    std::shared_ptr<const Hlsl::Program> program_;
    const std::vector<std::uint32_t>& values_;
    std::vector<SoftSemantic> inputs_, outputs_;
};
