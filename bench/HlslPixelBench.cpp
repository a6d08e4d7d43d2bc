// Per-pixel program throughput of the effect compiler's programs: a pixel-lighting program
// (a texture fetch and a Phong term per pixel) run over a 1024x768 frame's worth of pixels in
// batches of kLanes, the way the rasteriser runs it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/Program.h"
#include "Platform/D3DX9/Hlsl/ProgramContext.h"

namespace {

const char* const kEffect = R"(
float4 g_vecLightColorDiffuse = {1, 0.9, 0.8, 1};
float4 g_vecLightColorSpecular = {1, 1, 1, 1};
float4 g_vecLightSpecularParam = {16, 0, 0, 0};
float4 g_vecLightColorAmbient = {0.2, 0.2, 0.2, 1};
float g_fTransparencyTune = 1;
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state { Texture = <g_texDiffuse>; MinFilter = Linear; };
struct PSIn
{
	float4 C0 : COLOR0;
	float2 UV0 : TEXCOORD0;
	float3 N : TEXCOORD1;
	float3 L : TEXCOORD2;
	float3 V : TEXCOORD3;
};
struct PSOut
{
	float4 Color : COLOR0;
};
void phong_shading(float3 LightDiffuseColor, float3 LightSpecularColor, float3 Nn, float3 Ln, float3 Vn, out float3 DiffuseContrib, out float3 SpecularContrib)
{
	float3 Hn = normalize(Vn + Ln);
	float4 litV = saturate(lit(dot(Ln,Nn),dot(Hn,Nn),g_vecLightSpecularParam.x));
	DiffuseContrib = litV.y * LightDiffuseColor;
	SpecularContrib = litV.y * litV.z * LightSpecularColor;
}
PSOut PSLighting(PSIn psin)
{
	PSOut psout;
	float3 DiffuseContrib, SpecularContrib;
	phong_shading(g_vecLightColorDiffuse, g_vecLightColorSpecular, normalize(psin.N), normalize(psin.L), normalize(psin.V), DiffuseContrib, SpecularContrib);
	float4 t1 = tex2D(g_DiffuseSampler, psin.UV0);
	float4 t2 = t1 * psin.C0;
	t2.rgb = t2.rgb * saturate(DiffuseContrib + g_vecLightColorAmbient.rgb) + SpecularContrib;
	psout.Color.rgb = t2.rgb;
	psout.Color.a = t2.a * g_fTransparencyTune;
	return psout;
}
technique PixelLighting { pass P0 { PixelShader = compile ps_2_0 PSLighting(); } }
)";

// A 256x256 point-sampled, wrapped RGBA texture: enough work to stand for a real fetch.
class TextureSampler : public Hlsl::ISampler {
public:
    TextureSampler() : texels_(256 * 256 * 4) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                float* t = &texels_[static_cast<std::size_t>((y * 256 + x) * 4)];
                t[0] = static_cast<float>(x) / 255.0f;
                t[1] = static_cast<float>(y) / 255.0f;
                t[2] = static_cast<float>((x ^ y) & 255) / 255.0f;
                t[3] = 1.0f;
            }
    }
    void Sample(const Hlsl::SampleRequest& r) override {
        for (unsigned i = 0; i < Hlsl::kLanes; ++i) {
            int x = static_cast<int>(r.coord[0][i] * 256.0f) & 255;
            int y = static_cast<int>(r.coord[1][i] * 256.0f) & 255;
            const float* t = &texels_[static_cast<std::size_t>((y * 256 + x) * 4)];
            for (int c = 0; c < 4; ++c) r.out[c][i] = t[c];
        }
    }

private:
    std::vector<float> texels_;
};

void BM_PixelLightingProgram(benchmark::State& state) {
    Hlsl::CompileOutput out = Hlsl::EffectCompiler::Compile("bench.fx", kEffect, {}, nullptr);
    if (out.effect == nullptr) {
        state.SkipWithError(out.messages.c_str());
        return;
    }
    const Hlsl::Program& program = *out.effect->programs[0];
    Hlsl::ProgramContext context(program);
    TextureSampler sampler;
    context.SetSampler(&sampler);
    context.BindConstants(out.effect->values.data(), out.effect->values.size());
    int color = program.FindInput(Hlsl::Usage::Color, 0);
    int uv = program.FindInput(Hlsl::Usage::TexCoord, 0);
    int n = program.FindInput(Hlsl::Usage::TexCoord, 1);
    int l = program.FindInput(Hlsl::Usage::TexCoord, 2);
    int v = program.FindInput(Hlsl::Usage::TexCoord, 3);
    const int width = 1024, height = 768;
    const int batches = width * height / static_cast<int>(Hlsl::kLanes);
    double checksum = 0.0;
    for (auto _ : state) {
        for (int b = 0; b < batches; ++b) {
            // Interpolated inputs as a rasteriser would hand them over: 4x4 blocks of quads.
            float bx = static_cast<float>((b * 4) % width),
                  by = static_cast<float>(((b * 4) / width) * 4);
            for (unsigned i = 0; i < Hlsl::kLanes; ++i) {
                float x = bx + static_cast<float>((i / 4) * 2 + (i & 1)),
                      y = by + static_cast<float>((i >> 1) & 1);
                float u = x / static_cast<float>(width), w = y / static_cast<float>(height);
                for (int c = 0; c < 4; ++c)
                    context.Input(static_cast<std::size_t>(color), static_cast<unsigned>(c))[i] =
                        1.0f;
                context.Input(static_cast<std::size_t>(uv), 0)[i] = u;
                context.Input(static_cast<std::size_t>(uv), 1)[i] = w;
                context.Input(static_cast<std::size_t>(n), 0)[i] = u - 0.5f;
                context.Input(static_cast<std::size_t>(n), 1)[i] = w - 0.5f;
                context.Input(static_cast<std::size_t>(n), 2)[i] = 1.0f;
                context.Input(static_cast<std::size_t>(l), 0)[i] = 0.3f;
                context.Input(static_cast<std::size_t>(l), 1)[i] = 0.4f;
                context.Input(static_cast<std::size_t>(l), 2)[i] = 0.8f;
                context.Input(static_cast<std::size_t>(v), 0)[i] = 0.0f;
                context.Input(static_cast<std::size_t>(v), 1)[i] = 0.0f;
                context.Input(static_cast<std::size_t>(v), 2)[i] = 1.0f;
            }
            context.Run();
            checksum += context.Output(0, 0)[b & 15] + context.Output(0, 3)[(b + 7) & 15];
        }
        benchmark::DoNotOptimize(checksum);
    }
    state.counters["checksum"] = checksum / static_cast<double>(state.iterations());
    state.counters["instructions"] = static_cast<double>(program.code.size());
    state.counters["Mpixels/s"] = benchmark::Counter(
        static_cast<double>(width * height) * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PixelLightingProgram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
