// The software Direct3D 9 device's fixed-function rasteriser against Mesa's llvmpipe (through
// OSMesa) on the same scenes in the same iterations: depth-tested, alpha-blended triangles with
// Gouraud-shaded vertex colours filling a 1024×768 target, eight layers drawn back to front, each
// a grid of 96 triangles; the textured scene modulates a 256×256 texture (bilinear with nearest
// mip), the untextured one draws the vertex colours alone. The device runs on one thread and on
// one per processor (threads:0); llvmpipe on its own default (one per processor).
//
// Each iteration draws one frame on each side, in alternating order, timed by the wall clock;
// the counters give both medians, the speed ratio (llvmpipe's time over the device's: above 1 the
// device is faster) and the mean absolute difference of the two frames per colour channel (0 to
// 255), which shows that both drew the same picture.
//
// Run: build/rel/bench/RasterBench [--benchmark_repetitions=N]. Without OSMesa at build time
// the rows are skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "PairedTiming.h"
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

// Triangle-list vertices of every layer, back (z near 1) to front; colours change across each
// layer so that both sides interpolate them.
std::vector<Vertex> Scene() {
    std::vector<Vertex> out;
    for (int layer = 0; layer < kLayers; ++layer) {
        float z = 0.9f - 0.1f * static_cast<float>(layer);
        auto color = [layer](int cx, int cy) {
            DWORD r = static_cast<DWORD>((layer * 37 + cx * 29) % 256);
            DWORD g = static_cast<DWORD>(255 - cy * 40), b = static_cast<DWORD>(255 - layer * 29);
            DWORD a = static_cast<DWORD>(0x60 + (cx + cy) * 8);
            return a << 24 | r << 16 | g << 8 | b;
        };
        for (int cy = 0; cy < kCellsY; ++cy) {
            for (int cx = 0; cx < kCellsX; ++cx) {
                float x0 = -1.0f + 2.0f * static_cast<float>(cx) / kCellsX;
                float x1 = -1.0f + 2.0f * static_cast<float>(cx + 1) / kCellsX;
                float y0 = 1.0f - 2.0f * static_cast<float>(cy) / kCellsY;
                float y1 = 1.0f - 2.0f * static_cast<float>(cy + 1) / kCellsY;
                float u0 = static_cast<float>(cx) * 0.5f + 0.1f * layer, u1 = u0 + 0.5f;
                float v0 = static_cast<float>(cy) * 0.5f, v1 = v0 + 0.5f;
                Vertex a{x0, y0, z, color(cx, cy), u0, v0}, b{x1, y0, z, color(cx + 1, cy), u1, v0};
                Vertex c{x0, y1, z, color(cx, cy + 1), u0, v1};
                Vertex d{x1, y1, z, color(cx + 1, cy + 1), u1, v1};
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

constexpr DWORD kClear = 0xFF204060u;

double PixelsPerFrame() {
    return static_cast<double>(kLayers) * kWidth * kHeight;
}

// A frame as R, G, B bytes, top row first.
using Rgb = std::vector<unsigned char>;

Rgb FromBgra(const unsigned char* bits, std::size_t pitch) {
    Rgb out;
    out.reserve(static_cast<std::size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        const unsigned char* row = bits + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < kWidth; ++x)
            out.insert(out.end(), {row[4 * x + 2], row[4 * x + 1], row[4 * x]});
    }
    return out;
}

// The software device with the scene's state set; threads: its rendering threads (0: one per
// processor).
class DeviceSide {
public:
    bool Make(bool textured, unsigned threads) {
        window_ = Win32Window::Create(kWidth, kHeight);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = window_;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (!d3d_ ||
            d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                               D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_) != D3D_OK)
            return false;
        SoftDevice9::From(device_)->Pipeline().SetThreads(threads);
        if (textured) {
            device_->CreateTexture(kTexture, kTexture, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                   &texture_, nullptr);
            for (int level = 0; level < static_cast<int>(texture_->GetLevelCount()); ++level) {
                int size = kTexture >> level;
                std::vector<DWORD> texels = TextureLevel(size, level);
                D3DLOCKED_RECT locked;
                texture_->LockRect(static_cast<UINT>(level), &locked, nullptr, 0);
                for (int y = 0; y < size; ++y)
                    std::memcpy(static_cast<BYTE*>(locked.pBits) +
                                    static_cast<std::size_t>(y) * locked.Pitch,
                                texels.data() + static_cast<std::size_t>(y) * size, size * 4u);
                texture_->UnlockRect(static_cast<UINT>(level));
            }
            device_->SetTexture(0, texture_);
            device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
            device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
            device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        } else {
            device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        }
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back_);
        return back_ != nullptr;
    }
    void Frame() {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        device_->BeginScene();
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(scene_.size() / 3),
                                 scene_.data(), sizeof(Vertex));
        device_->EndScene();
    }
    Rgb Pixels() const {
        const SoftSurface9* s = SoftSurface9::From(back_);
        return FromBgra(s->Bits(), s->Pitch());
    }
    unsigned Threads() const { return SoftDevice9::From(device_)->Pipeline().Threads(); }
    ~DeviceSide() {
        if (back_)
            back_->Release();
        if (texture_)
            texture_->Release();
        if (device_)
            device_->Release();
        if (d3d_)
            d3d_->Release();
        if (window_)
            DestroyWindow(window_);
    }

private:
    HWND window_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DSurface9* back_ = nullptr;
    std::vector<Vertex> scene_ = Scene();
};

#if ZEL_HAVE_OSMESA
// llvmpipe with the same scene and state.
class MesaSide {
public:
    bool Make(bool textured) {
        context_ = OSMesaCreateContextExt(OSMESA_BGRA, 24, 0, 0, nullptr);
        frame_.assign(static_cast<std::size_t>(kWidth) * kHeight, 0);
        if (!context_ ||
            !OSMesaMakeCurrent(context_, frame_.data(), GL_UNSIGNED_BYTE, kWidth, kHeight))
            return false;
        OSMesaPixelStore(OSMESA_Y_UP, 0);  // top row first, as the device stores it
        if (textured) {
            glGenTextures(1, &texture_);
            glBindTexture(GL_TEXTURE_2D, texture_);
            for (int level = 0, size = kTexture; size >= 1; ++level, size /= 2) {
                std::vector<DWORD> texels = TextureLevel(size, level);
                glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_BGRA,
                             GL_UNSIGNED_BYTE, texels.data());
            }
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            glEnable(GL_TEXTURE_2D);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        }
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        // Direct3D 9 puts pixel centres at integer screen coordinates, GL half a pixel further:
        // shifting by half a pixel makes both sample the same points.
        glTranslatef(1.0f / kWidth, -1.0f / kHeight, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDepthRange(0.0, 1.0);

        // The same vertices: GL's depth runs from -1 to 1 and its colours are RGBA bytes.
        for (const Vertex& v : scene_) {
            positions_.insert(positions_.end(), {v.x, v.y, v.z * 2.0f - 1.0f});
            coords_.insert(coords_.end(), {v.u, v.v});
            colors_.insert(colors_.end(), {static_cast<unsigned char>(v.color >> 16),
                                           static_cast<unsigned char>(v.color >> 8),
                                           static_cast<unsigned char>(v.color),
                                           static_cast<unsigned char>(v.color >> 24)});
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        if (textured)
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions_.data());
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors_.data());
        glTexCoordPointer(2, GL_FLOAT, 0, coords_.data());
        glClearColor(((kClear >> 16) & 0xFF) / 255.0f, ((kClear >> 8) & 0xFF) / 255.0f,
                     (kClear & 0xFF) / 255.0f, 1.0f);
        glClearDepth(1.0);
        return true;
    }
    void Frame() {
        OSMesaMakeCurrent(context_, frame_.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(scene_.size()));
        glFinish();
    }
    Rgb Pixels() const {
        return FromBgra(reinterpret_cast<const unsigned char*>(frame_.data()), kWidth * 4u);
    }
    ~MesaSide() {
        if (texture_)
            glDeleteTextures(1, &texture_);
        if (context_)
            OSMesaDestroyContext(context_);
    }

private:
    OSMesaContext context_ = nullptr;
    std::vector<DWORD> frame_;
    GLuint texture_ = 0;
    std::vector<Vertex> scene_ = Scene();
    std::vector<float> positions_, coords_;
    std::vector<unsigned char> colors_;
};
#endif

// Arguments: textured (1) or not (0), the device's threads (0: one per processor).
void Raster(benchmark::State& state) {
#if ZEL_HAVE_OSMESA
    const bool textured = state.range(0) != 0;
    DeviceSide device;
    MesaSide mesa;
    if (!device.Make(textured, static_cast<unsigned>(state.range(1))) || !mesa.Make(textured)) {
        state.SkipWithError("no device or no OSMesa context");
        return;
    }
    BenchPair::Times times;
    for (auto _ : state)
        times.Run(
            state, [&] { device.Frame(); }, [&] { mesa.Frame(); });
    times.Report(state, "llvmpipe_ms");
    state.counters["mad"] = BenchPair::MeanAbsoluteDifference(device.Pixels(), mesa.Pixels());
    state.counters["threads"] = device.Threads();
    state.counters["Mpix/s"] =
        benchmark::Counter(PixelsPerFrame() * 1e-6 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
#else
    for (auto _ : state) break;
    state.SkipWithError("built without OSMesa: no anchor");
#endif
}
BENCHMARK(Raster)
    ->ArgNames({"textured", "threads"})
    ->ArgsProduct({{1, 0}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
