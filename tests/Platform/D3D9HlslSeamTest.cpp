// Programs from the effect compiler drawn by the software device: a thin adapter from the
// compiler's program runner and sampler interface to the device's program seam, as the effect
// framework binds them.
#include <bit>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"
#include "tests/Platform/RasterFixture.h"

namespace {

static_assert(Hlsl::kLanes == kSoftLanes);

// Runs a compiled program on the device's batches; constants come from an effect's value store.
class HlslRunner final : public SoftProgramRunner, private Hlsl::ISampler {
public:
    HlslRunner(const Hlsl::Program& program, const std::vector<std::uint32_t>& values)
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

class HlslProgram final : public SoftProgram {
public:
    HlslProgram(std::shared_ptr<const Hlsl::Program> program,
                const std::vector<std::uint32_t>& values)
        : program_(std::move(program)), values_(values) {
        for (const Hlsl::ProgramInput& in : program_->inputs)
            inputs_.push_back({static_cast<BYTE>(in.usage), in.usageIndex});
        for (const Hlsl::ProgramOutput& out : program_->outputs)
            outputs_.push_back({static_cast<BYTE>(out.usage), out.usageIndex});
    }
    const std::vector<SoftSemantic>& Inputs() const override { return inputs_; }
    const std::vector<SoftSemantic>& Outputs() const override { return outputs_; }
    bool MayDiscard() const override { return program_->usesKill; }
    std::unique_ptr<SoftProgramRunner> NewRunner() const override {
        return std::make_unique<HlslRunner>(*program_, values_);
    }

private:
    std::shared_ptr<const Hlsl::Program> program_;
    const std::vector<std::uint32_t>& values_;
    std::vector<SoftSemantic> inputs_, outputs_;
};

const char* const kEffect = R"(
float4x4 g_Transform;
float4 g_Tint;
texture g_Texture;
sampler2D g_Sampler = sampler_state { Texture = <g_Texture>; };
struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : COLOR0;
};
VsOut MainVs(float4 position : POSITION, float2 uv : TEXCOORD0, float4 colour : COLOR0) {
    VsOut o;
    o.position = mul(position, g_Transform);
    o.uv = uv;
    o.colour = colour * g_Tint;
    return o;
}
float4 MainPs(float2 uv : TEXCOORD0, float4 colour : COLOR0) : COLOR0 {
    float4 t = tex2D(g_Sampler, uv);
    clip(t.a - 0.5);
    return t * colour;
}
technique Draw {
    pass P0 {
        VertexShader = compile vs_2_0 MainVs();
        PixelShader = compile ps_2_0 MainPs();
    }
}
)";

class HlslSeam : public RasterFixture {};

TEST_F(HlslSeam, CompiledProgramsDrawThroughTheDevice) {
    Hlsl::CompileOutput compiled = Hlsl::EffectCompiler::Compile("seam.fx", kEffect, {}, nullptr);
    ASSERT_NE(compiled.effect, nullptr) << compiled.messages;
    const Hlsl::EffectDescription& fx = *compiled.effect;
    std::vector<std::uint32_t> values = fx.values;
    auto set = [&](const char* name, std::vector<float> v) {
        const Hlsl::Parameter* p = fx.FindParameter(name);
        ASSERT_NE(p, nullptr) << name;
        for (std::size_t i = 0; i < v.size(); ++i)
            values[p->offset + i] = std::bit_cast<std::uint32_t>(v[i]);
    };
    // Halve x and y: the quad covers the middle of the screen.
    set("g_Transform", {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    set("g_Tint", {1, 0.5f, 1, 1});
    std::shared_ptr<const Hlsl::Program> vs, ps;
    for (const Hlsl::StateAssignment& s : fx.FindTechnique("Draw")->passes[0].states) {
        if (s.kind == Hlsl::StateKind::VertexShader)
            vs = fx.programs[s.value.program];
        if (s.kind == Hlsl::StateKind::PixelShader)
            ps = fx.programs[s.value.program];
    }
    ASSERT_TRUE(vs && ps);

    // Left texel opaque yellow, right texel transparent: the right half is clipped.
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 2, 1, {{0xFFFFFF00u, 0x10FF00FFu}});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Pipeline().SetPrograms(std::make_shared<HlslProgram>(vs, values),
                           std::make_shared<HlslProgram>(ps, values));
    ClipQuad();
    EXPECT_EQ(Pixel(20, 30), 0xFFFF8000u);  // yellow tinted by (1, 0.5, 1)
    EXPECT_EQ(Pixel(40, 30), 0xFF000000u);  // clipped
    EXPECT_EQ(Pixel(10, 30), 0xFF000000u);  // outside the halved quad
    Pipeline().SetPrograms(nullptr, nullptr);
}

}  // namespace
