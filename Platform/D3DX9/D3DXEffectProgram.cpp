#include "Platform/D3DX9/D3DXEffectProgram.h"

#include "Platform/D3DX9/Hlsl/ProgramContext.h"

static_assert(Hlsl::kLanes == kSoftLanes);

namespace {

// One thread's runner: the compiler's program context, sampling through the device's units.
class Runner final : public SoftProgramRunner, private Hlsl::ISampler {
public:
    Runner(const Hlsl::Program& program, const std::vector<std::uint32_t>& values)
        : context_(program), values_(values) {
        context_.SetSampler(this);
    }
    void BeginDraw() override { context_.BindConstants(values_.data(), values_.size()); }
    void ResetInputs() override { context_.ResetInputs(); }
    float* Input(std::size_t input, unsigned c) override { return context_.Input(input, c); }
    void Run(const SoftTextureUnits& units) override {
        units_ = &units;
        context_.Run();
    }
    const float* Output(std::size_t output, unsigned c) const override {
        return context_.Output(output, c);
    }
    std::uint32_t DiscardedLanes() const override { return context_.DiscardedLanes(); }

private:
    void Sample(const Hlsl::SampleRequest& r) override {
        SoftSampleRequest s;
        s.stage = r.stage;
        s.dim = static_cast<SoftTextureDim>(r.dim);
        s.coordinates = r.coordinates;
        s.lod = static_cast<SoftLodMode>(r.lod);
        s.lodValue = r.lodValue;
        s.vertex = context_.GetProgram().kind == Hlsl::ProgramKind::Vertex;
        for (int k = 0; k < 3; ++k) {
            s.coord[k] = r.coord[k];
            s.ddx[k] = r.ddx[k];
            s.ddy[k] = r.ddy[k];
        }
        for (int k = 0; k < 4; ++k) s.out[k] = r.out[k];
        units_->Sample(s);
    }

    Hlsl::ProgramContext context_;
    const std::vector<std::uint32_t>& values_;
    const SoftTextureUnits* units_ = nullptr;
};

}  // namespace

D3DXEffectProgram::D3DXEffectProgram(std::shared_ptr<const Hlsl::Program> program,
                                     const std::vector<std::uint32_t>& values)
    : program_(std::move(program)), values_(values) {
    for (const Hlsl::ProgramInput& in : program_->inputs)
        inputs_.push_back({static_cast<BYTE>(in.usage), in.usageIndex});
    for (const Hlsl::ProgramOutput& out : program_->outputs)
        outputs_.push_back({static_cast<BYTE>(out.usage), out.usageIndex});
}

std::unique_ptr<SoftProgramRunner> D3DXEffectProgram::NewRunner() const {
    return std::make_unique<Runner>(*program_, values_);
}
