// The software Direct3D 9 device's fixed-function rasteriser against Mesa's llvmpipe (through
// OSMesa) on the same scene: textured (256×256, bilinear with nearest mip), depth-tested,
// alpha-blended triangles filling a 1024×768 target, eight layers drawn back to front, each a
// grid of 96 triangles. The device runs on 1, 2, 4 and all processors (argument 0); llvmpipe
// on all. The rate counter is megapixels per second of covered pixels; each run folds a checksum
// of the frame into its counters.
//
// Run: build/<dir>/bench/RasterBench [--benchmark_repetitions=N]. With no OSMesa at build time the
// Mesa row is left out.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/D3D9/SoftPipeline.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/Win32/Win32Window.h"

#if ZEL_HAVE_OSMESA
#include <GL/gl.h>
#include <GL/osmesa.h>
#endif

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kLayers = 8;
constexpr int kCellsX = 8;
constexpr int kCellsY = 6;
constexpr int kTexture = 256;

struct Vertex {  // position in normalised device units, D3DCOLOR, texture coordinates
    float x, y, z;
    DWORD color;
    float u, v;
};

// Triangle-list vertices of every layer, back (z near 1) to front.
std::vector<Vertex> Scene() {
    std::vector<Vertex> out;
    for (int layer = 0; layer < kLayers; ++layer) {
        float z = 0.9f - 0.1f * static_cast<float>(layer);
        DWORD color = 0x80000000u | ((layer * 37 % 256) << 16) | (0xFFu << 8) | (255 - layer * 29);
        for (int cy = 0; cy < kCellsY; ++cy) {
            for (int cx = 0; cx < kCellsX; ++cx) {
                float x0 = -1.0f + 2.0f * static_cast<float>(cx) / kCellsX;
                float x1 = -1.0f + 2.0f * static_cast<float>(cx + 1) / kCellsX;
                float y0 = 1.0f - 2.0f * static_cast<float>(cy) / kCellsY;
                float y1 = 1.0f - 2.0f * static_cast<float>(cy + 1) / kCellsY;
                float u0 = static_cast<float>(cx) * 0.5f + 0.1f * layer, u1 = u0 + 0.5f;
                float v0 = static_cast<float>(cy) * 0.5f, v1 = v0 + 0.5f;
                Vertex a{x0, y0, z, color, u0, v0}, b{x1, y0, z, color, u1, v0};
                Vertex c{x0, y1, z, color, u0, v1}, d{x1, y1, z, color, u1, v1};
                out.insert(out.end(), {a, b, c, c, b, d});
            }
        }
    }
    return out;
}

// Level l of the texture: a checker of two colours with a gradient, as A8R8G8B8 words.
std::vector<DWORD> TextureLevel(int size, int level) {
    std::vector<DWORD> t(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool check = ((x * (1 << level) / 16) + (y * (1 << level) / 16)) % 2 != 0;
            DWORD r = static_cast<DWORD>(x * 255 / size), g = check ? 200u : 40u;
            DWORD b = static_cast<DWORD>(y * 255 / size);
            t[static_cast<std::size_t>(y) * size + x] = 0xE0000000u | (r << 16) | (g << 8) | b;
        }
    return t;
}

double PixelsPerFrame() {
    return static_cast<double>(kLayers) * kWidth * kHeight;
}

void SoftDevice(benchmark::State& state) {
    unsigned threads = static_cast<unsigned>(state.range(0));
    HWND window = Win32Window::Create(kWidth, kHeight);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* device = nullptr;
    if (!d3d || d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                  D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device) != D3D_OK) {
        state.SkipWithError("no device");
        return;
    }
    SoftDevice9::From(device)->Pipeline().SetThreads(threads);

    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(kTexture, kTexture, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                          nullptr);
    for (int level = 0; level < static_cast<int>(texture->GetLevelCount()); ++level) {
        int size = kTexture >> level;
        std::vector<DWORD> texels = TextureLevel(size, level);
        D3DLOCKED_RECT locked;
        texture->LockRect(static_cast<UINT>(level), &locked, nullptr, 0);
        for (int y = 0; y < size; ++y)
            std::memcpy(
                static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch,
                texels.data() + static_cast<std::size_t>(y) * size, size * 4u);
        texture->UnlockRect(static_cast<UINT>(level));
    }
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    std::vector<Vertex> scene = Scene();
    UINT triangles = static_cast<UINT>(scene.size() / 3);

    IDirect3DSurface9* back = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    SoftSurface9* backBuffer = SoftSurface9::From(back);
    double checksum = 0.0;
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060u, 1.0f, 0);
        device->BeginScene();
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, scene.data(), sizeof(Vertex));
        device->EndScene();
        checksum += backBuffer->ReadPixel(kWidth / 3, kHeight / 3).g;
    }
    state.counters["Mpix/s"] =
        benchmark::Counter(PixelsPerFrame() * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["threads"] = SoftDevice9::From(device)->Pipeline().Threads();
    state.counters["checksum"] = checksum;
    back->Release();
    texture->Release();
    device->Release();
    d3d->Release();
    DestroyWindow(window);
}
BENCHMARK(SoftDevice)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

#if ZEL_HAVE_OSMESA
void Llvmpipe(benchmark::State& state) {
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_BGRA, 24, 0, 0, nullptr);
    std::vector<DWORD> frame(static_cast<std::size_t>(kWidth) * kHeight);
    if (!context || !OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, kWidth, kHeight)) {
        state.SkipWithError("no OSMesa context");
        return;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (int level = 0, size = kTexture; size >= 1; ++level, size /= 2) {
        std::vector<DWORD> texels = TextureLevel(size, level);
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     texels.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDepthRange(0.0, 1.0);

    // The same vertices: GL's depth runs from -1 to 1 and its colours are RGBA bytes.
    std::vector<Vertex> scene = Scene();
    std::vector<float> positions, coords;
    std::vector<unsigned char> colors;
    for (const Vertex& v : scene) {
        positions.insert(positions.end(), {v.x, v.y, v.z * 2.0f - 1.0f});
        coords.insert(coords.end(), {v.u, v.v});
        colors.insert(
            colors.end(),
            {static_cast<unsigned char>(v.color >> 16), static_cast<unsigned char>(v.color >> 8),
             static_cast<unsigned char>(v.color), static_cast<unsigned char>(v.color >> 24)});
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors.data());
    glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
    glClearColor(0.25f, 0.125f, 0.375f, 1.0f);
    glClearDepth(1.0);

    double checksum = 0.0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(scene.size()));
        glFinish();
        checksum += static_cast<double>(
            (frame[static_cast<std::size_t>(kHeight / 3) * kWidth + kWidth / 3] >> 8) & 0xFF);
    }
    state.counters["Mpix/s"] =
        benchmark::Counter(PixelsPerFrame() * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["checksum"] = checksum;
    glDeleteTextures(1, &texture);
    OSMesaDestroyContext(context);
}
BENCHMARK(Llvmpipe)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
