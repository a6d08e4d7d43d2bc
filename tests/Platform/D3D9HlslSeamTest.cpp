// Programs from the effect compiler drawn by the software device through the effect layer's
// program adapter, bound directly on the device's program seam.
#include <bit>
#include <memory>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/D3DXEffectProgram.h"
#include "tests/Platform/RasterFixture.h"

namespace {

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
    Pipeline().SetPrograms(std::make_shared<D3DXEffectProgram>(vs, values),
                           std::make_shared<D3DXEffectProgram>(ps, values));
    ClipQuad();
    EXPECT_EQ(Pixel(20, 30), 0xFFFF8000u);  // yellow tinted by (1, 0.5, 1)
    EXPECT_EQ(Pixel(40, 30), 0xFF000000u);  // clipped
    EXPECT_EQ(Pixel(10, 30), 0xFF000000u);  // outside the halved quad
    Pipeline().SetPrograms(nullptr, nullptr);
}

}  // namespace
