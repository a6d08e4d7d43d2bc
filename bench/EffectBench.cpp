// The same lit, textured scene at 1024×768 drawn by the software device twice in one run:
// through a pixel-lighting effect (compiled vertex and pixel programs) and through the
// fixed-function stages with vertex lighting. The scene is a screen-filling grid of 48×36 cells
// (3,456 triangles) with normals bent across it, a 256×256 mipmapped texture and one directional
// light. Goal: the effect path within 3× the fixed-function time. Each run folds a checksum of
// the frame into its counters.
//
// Run: build/<dir>/bench/EffectBench [--benchmark_repetitions=N].
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/D3DX9/D3DX9Effect.h"
#include "Platform/Win32/Win32Window.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kCellsX = 48, kCellsY = 36, kTexture = 256;

const char* const kEffect = R"(
float4x4 g_MatWorldViewProjection;
float4 g_vecLightDirection = {0.3, -0.4, 0.866, 0};
float4 g_vecLightColorDiffuse = {1, 0.95, 0.9, 1};
float4 g_vecLightColorAmbient = {0.2, 0.2, 0.25, 1};
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state {
    Texture = <g_texDiffuse>;
    MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = POINT;
};
struct VsOut { float4 P : POSITION; float2 T : TEXCOORD0; float3 N : TEXCOORD1; };
VsOut VSLighting(float3 p : POSITION, float3 n : NORMAL, float2 t : TEXCOORD0) {
    VsOut o;
    o.P = mul(float4(p, 1), g_MatWorldViewProjection);
    o.T = t;
    o.N = n;
    return o;
}
float4 PSLighting(float2 t : TEXCOORD0, float3 n : TEXCOORD1) : COLOR0 {
    float d = saturate(dot(normalize(n), -g_vecLightDirection.xyz));
    float4 c = tex2D(g_DiffuseSampler, t) * (g_vecLightColorDiffuse * d + g_vecLightColorAmbient);
    c.a = 1;
    return c;
}
technique PixelLighting {
    pass P0 {
        VertexShader = compile vs_2_0 VSLighting();
        PixelShader = compile ps_2_0 PSLighting();
    }
}
)";

struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};

std::vector<Vertex> Scene() {
    auto at = [](int cx, int cy) {
        float x = -1.0f + 2.0f * cx / kCellsX, y = 1.0f - 2.0f * cy / kCellsY;
        float nx = 0.5f * std::sin(3.0f * x), ny = 0.5f * std::cos(2.0f * y);
        float len = std::sqrt(nx * nx + ny * ny + 1.0f);
        return Vertex{x, y, 0.5f, nx / len, ny / len, -1.0f / len, cx / 8.0f, cy / 8.0f};
    };
    std::vector<Vertex> out;
    for (int cy = 0; cy < kCellsY; ++cy)
        for (int cx = 0; cx < kCellsX; ++cx) {
            Vertex a = at(cx, cy), b = at(cx + 1, cy), c = at(cx, cy + 1), d = at(cx + 1, cy + 1);
            out.insert(out.end(), {a, b, c, c, b, d});
        }
    return out;
}

// The device, the texture and the scene, shared by both paths.
struct Setup {
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* back = nullptr;
    std::vector<Vertex> scene = Scene();

    bool Make() {
        window = Win32Window::Create(kWidth, kHeight);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = window;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (!d3d || d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device) != D3D_OK)
            return false;
        device->CreateTexture(kTexture, kTexture, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                              nullptr);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            int size = kTexture >> level;
            D3DLOCKED_RECT locked;
            texture->LockRect(level, &locked, nullptr, 0);
            for (int y = 0; y < size; ++y) {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) +
                                                      static_cast<std::size_t>(y) * locked.Pitch);
                for (int x = 0; x < size; ++x)
                    row[x] = ((x * (1 << level) / 16 + y * (1 << level) / 16) % 2 != 0)
                                 ? 0xFFE0C080u
                                 : 0xFF406080u;
            }
            texture->UnlockRect(level);
        }
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        return true;
    }
    double Draw() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060u, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(scene.size() / 3),
                                scene.data(), sizeof(Vertex));
        device->EndScene();
        return SoftSurface9::From(back)->ReadPixel(kWidth / 3, kHeight / 3).g;
    }
    ~Setup() {
        if (back)
            back->Release();
        if (texture)
            texture->Release();
        if (device)
            device->Release();
        if (d3d)
            d3d->Release();
        if (window)
            DestroyWindow(window);
    }
};

void Report(benchmark::State& state, double checksum) {
    state.counters["Mpix/s"] =
        benchmark::Counter(kWidth * kHeight * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["checksum"] = checksum;
}

void FixedFunction(benchmark::State& state) {
    Setup s;
    if (!s.Make()) {
        state.SkipWithError("no device");
        return;
    }
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 0.95f, 0.9f, 1};
    light.Direction = {0.3f, -0.4f, 0.866f};
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    material.Ambient = {1, 1, 1, 1};
    s.device->SetLight(0, &light);
    s.device->LightEnable(0, TRUE);
    s.device->SetMaterial(&material);
    s.device->SetRenderState(D3DRS_LIGHTING, TRUE);
    s.device->SetRenderState(D3DRS_AMBIENT, 0xFF333340u);
    s.device->SetTexture(0, s.texture);
    s.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    s.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    s.device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    double checksum = 0;
    for (auto _ : state) checksum += s.Draw();
    Report(state, checksum);
}
BENCHMARK(FixedFunction)->Unit(benchmark::kMillisecond)->UseRealTime();

void PixelLightingEffect(benchmark::State& state) {
    Setup s;
    if (!s.Make()) {
        state.SkipWithError("no device");
        return;
    }
    std::string path = "EffectBench.fx";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fputs(kEffect, f);
        std::fclose(f);
    }
    ID3DXEffect* effect = nullptr;
    HRESULT hr = D3DXCreateEffectFromFileA(s.device, path.c_str(), nullptr, nullptr, 0, nullptr,
                                           &effect, nullptr);
    std::remove(path.c_str());
    if (hr != D3D_OK) {
        state.SkipWithError("effect did not compile");
        return;
    }
    D3DMATRIX identity{};
    for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
    effect->SetMatrix(effect->GetParameterByName(nullptr, "g_MatWorldViewProjection"), &identity);
    effect->SetTexture(effect->GetParameterByName(nullptr, "g_texDiffuse"), s.texture);
    UINT passes = 0;
    effect->Begin(&passes, D3DXFX_DONOTSAVESTATE);
    effect->BeginPass(0);
    double checksum = 0;
    for (auto _ : state) checksum += s.Draw();
    effect->EndPass();
    effect->End();
    effect->Release();
    Report(state, checksum);
}
BENCHMARK(PixelLightingEffect)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
