// The same lit scene at 1024×768 drawn by the software device through the "PixelLighting"
// technique of an effect written the way the engine's effect generator writes it (the lit
// material of the effect fixtures with the engine's include files: lighting in the vertex
// program, the diffuse stage, the colour shift and the closing lines in the pixel program) and,
// as the anchor, through the fixed-function stages with the same directional light. The scene is
// a screen-filling grid of 48×36 cells (3,456 triangles) with normals bent across it and one
// directional light; textured, it samples a 256×256 mipmapped texture; untextured, the
// fixed-function stages draw the lit colour alone and the effect (which always samples) a 1×1
// white texture, so that both draw the same picture. Goal: the effect path within 3× the
// fixed-function time (ratio at least 0.33). Each runs on one tile thread and on one per core
// (threads:0).
//
// Each iteration draws one frame on each path, in alternating order, timed by the wall clock; the
// counters give both medians, the ratio (fixed-function time over effect time) and the mean
// absolute difference of the two frames per colour channel (0 to 255).
//
// Run: build/rel/bench/EffectBench [--benchmark_repetitions=N].
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/D3D9/SoftPipeline.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/D3DX9/D3DX9Effect.h"
#include "Platform/Win32/Win32Window.h"
#include "PairedTiming.h"
#include "fixtures/EffectFixtures.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kCellsX = 48, kCellsY = 36, kTexture = 256;

// The fixture's include files, handed out by name (the generated effect names them
// "../include/<file>").
class FixtureIncludes final : public ID3DXInclude {
public:
    HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
        const auto found = files_.find(name);
        if (found == files_.end())
            return E_FAIL;
        *data = found->second.data();
        *bytes = static_cast<UINT>(found->second.size());
        return S_OK;
    }
    HRESULT Close(LPCVOID) override { return S_OK; }

private:
    std::map<std::string, std::string> files_ = ZelFixtures::EffectIncludeFiles();
};

// One directional light, as the fixed-function light takes it (the direction it shines in).
constexpr float kLightDirection[3] = {0.3f, -0.4f, 0.866f};
constexpr float kLightDiffuse[4] = {1.0f, 0.95f, 0.9f, 1.0f};

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

    // threads: the rasteriser's tile threads (0: one per core); textured: the checker texture,
    // or else a 1×1 white one.
    bool Make(unsigned threads, bool textured) {
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
        const int side = textured ? kTexture : 1;
        device->CreateTexture(side, side, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                              nullptr);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            int size = side >> level;
            D3DLOCKED_RECT locked;
            texture->LockRect(level, &locked, nullptr, 0);
            for (int y = 0; y < size; ++y) {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) +
                                                      static_cast<std::size_t>(y) * locked.Pitch);
                for (int x = 0; x < size; ++x)
                    row[x] = !textured ? 0xFFFFFFFFu
                             : ((x * (1 << level) / 16 + y * (1 << level) / 16) % 2 != 0)
                                 ? 0xFFE0C080u
                                 : 0xFF406080u;
            }
            texture->UnlockRect(level);
        }
        SoftDevice9::From(device)->Pipeline().SetThreads(threads);
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        return true;
    }
    void Draw() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060u, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(scene.size() / 3),
                                scene.data(), sizeof(Vertex));
        device->EndScene();
    }
    // The back buffer's bytes.
    std::vector<unsigned char> Pixels() const {
        const SoftSurface9* surface = SoftSurface9::From(back);
        std::vector<unsigned char> out;
        for (int y = 0; y < kHeight; ++y) {
            const BYTE* row = surface->Bits() + static_cast<std::size_t>(y) * surface->Pitch();
            for (int x = 0; x < kWidth; ++x) out.insert(out.end(), row + 4 * x, row + 4 * x + 3);
        }
        return out;
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

// The fixed-function stages with the light, and the texture when textured.
void MakeFixedFunction(Setup& s, bool textured) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {kLightDiffuse[0], kLightDiffuse[1], kLightDiffuse[2], kLightDiffuse[3]};
    light.Direction = {kLightDirection[0], kLightDirection[1], kLightDirection[2]};
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    s.device->SetLight(0, &light);
    s.device->LightEnable(0, TRUE);
    s.device->SetMaterial(&material);
    s.device->SetRenderState(D3DRS_LIGHTING, TRUE);
    s.device->SetRenderState(D3DRS_AMBIENT, 0);
    s.device->SetTexture(0, textured ? s.texture : nullptr);
    s.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    s.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    s.device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
}

// The effect's "PixelLighting" technique, begun with its first pass (null when it did not
// compile).
ID3DXEffect* MakeEffect(Setup& s, benchmark::State& state) {
    std::string path = "EffectBench.fx";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fputs(ZelFixtures::GeneratedEffect().c_str(), f);
        std::fclose(f);
    }
    FixtureIncludes includes;
    ID3DXEffect* effect = nullptr;
    LPD3DXBUFFER messages = nullptr;
    HRESULT hr = D3DXCreateEffectFromFileA(s.device, path.c_str(), nullptr, &includes, 0, nullptr,
                                           &effect, &messages);
    std::remove(path.c_str());
    if (hr != D3D_OK) {
        std::fprintf(stderr, "%s\n",
                     messages ? static_cast<const char*>(messages->GetBufferPointer()) : "");
        if (messages)
            messages->Release();
        state.SkipWithError("effect did not compile");
        return nullptr;
    }
    auto set = [&](const char* name, const void* value, UINT bytes) {
        if (effect->SetValue(effect->GetParameterByName(nullptr, name), value, bytes) != D3D_OK)
            state.SkipWithError(name);
    };
    // The grid is given in clip space: world and view-projection are identity.
    D3DMATRIX identity{};
    for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
    set("g_MatWorld", &identity, sizeof identity);
    set("g_MatViewProjection", &identity, sizeof identity);
    // A directional light is a position with w = 0 pointing towards the light.
    const float towardsLight[4] = {-kLightDirection[0], -kLightDirection[1], -kLightDirection[2],
                                   0.0f};
    const float black[4] = {0, 0, 0, 0}, white[4] = {1, 1, 1, 1};
    const float camera[4] = {0, 0, -10, 1}, specular[4] = {16, 0, 0, 0};
    set("g_vecLightPosition", towardsLight, sizeof towardsLight);
    set("g_vecLightColorDiffuse", kLightDiffuse, sizeof kLightDiffuse);
    set("g_vecLightColorSpecular", black, sizeof black);
    set("g_vecLightSpecularParam", specular, sizeof specular);
    set("g_vecCameraPosition", camera, sizeof camera);
    set("g_ConstColor0", white, sizeof white);
    set("g_editorcolorfactor1", black, sizeof black);
    effect->SetFloat(effect->GetParameterByName(nullptr, "g_fTransparencyTune"), 1.0f);
    effect->SetFloat(effect->GetParameterByName(nullptr, "g_fShiftColRatio"), 0.0f);
    // The diffuse sampler as the fixed-function stage samples: linear, point mips, wrap.
    D3DXHANDLE sampler = effect->GetParameterByName(nullptr, "g_DiffuseSamplerState");
    const std::pair<const char*, INT> samplerState[] = {
        {"MinFilter", D3DTEXF_LINEAR},  {"MagFilter", D3DTEXF_LINEAR},
        {"MipFilter", D3DTEXF_POINT},   {"AddressU", D3DTADDRESS_WRAP},
        {"AddressV", D3DTADDRESS_WRAP}, {"AddressW", D3DTADDRESS_WRAP}};
    for (const auto& [member, value] : samplerState)
        effect->SetInt(effect->GetParameterByName(sampler, member), value);
    effect->SetTexture(effect->GetParameterByName(nullptr, "g_texDiffuse"), s.texture);
    effect->SetTechnique(effect->GetTechniqueByName("PixelLighting"));
    UINT passes = 0;
    effect->Begin(&passes, D3DXFX_DONOTSAVESTATE);
    effect->BeginPass(0);
    return effect;
}

// Arguments: textured (1) or not (0), the tile threads (0: one per core).
void Effect(benchmark::State& state) {
    const bool textured = state.range(0) != 0;
    const auto threads = static_cast<unsigned>(state.range(1));
    Setup fixed, shaded;
    if (!fixed.Make(threads, textured) || !shaded.Make(threads, textured)) {
        state.SkipWithError("no device");
        return;
    }
    MakeFixedFunction(fixed, textured);
    ID3DXEffect* effect = MakeEffect(shaded, state);
    if (!effect)
        return;
    BenchPair::Times times;
    for (auto _ : state)
        times.Run(
            state, [&] { shaded.Draw(); }, [&] { fixed.Draw(); });
    effect->EndPass();
    effect->End();
    effect->Release();
    times.Report(state, "fixed_ms");
    state.counters["mad"] = BenchPair::MeanAbsoluteDifference(shaded.Pixels(), fixed.Pixels());
    state.counters["threads"] = SoftDevice9::From(shaded.device)->Pipeline().Threads();
    state.counters["Mpix/s"] =
        benchmark::Counter(kWidth * kHeight * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(Effect)
    ->ArgNames({"textured", "threads"})
    ->ArgsProduct({{1, 0}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
