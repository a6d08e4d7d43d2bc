// Shared set-up for the rasteriser tests: a 64×64 device, vertex records for pretransformed and
// untransformed draws, back-buffer reads, small textures, and golden-image checks.
//
// Golden images live in tests/golden/<name>.png (64×64, written from the window's frame buffer
// after Present). A frame matches when every channel is within kGoldenTolerance levels.
// Regenerate them with
//   ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/test -L raster
// and look at every changed image before committing it.
#pragma once

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/D3D9/SoftPipeline.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "tests/Platform/D3D9Fixture.h"

struct TLVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
constexpr DWORD kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z;
    DWORD color;
    float u, v;
};
constexpr DWORD kLFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class RasterFixture : public D3D9Fixture {
protected:
    static constexpr UINT kSide = 64;
    static constexpr int kGoldenTolerance = 3;

    void SetUp() override {
        D3D9Fixture::SetUp();
        ASSERT_TRUE(Window()->SetClientSize(kSide, kSide));
        D3DPRESENT_PARAMETERS p = Parameters();
        ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
        ASSERT_TRUE(d3d);
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device_.Out()),
                  D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                 0xFF000000u, 1.0f, 0),
                  D3D_OK);
        SetRS(D3DRS_LIGHTING, FALSE);
        SetRS(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    void TearDown() override {
        device_.Reset();
        D3D9Fixture::TearDown();
    }

    void SetRS(D3DRENDERSTATETYPE state, DWORD value) {
        ASSERT_EQ(device_->SetRenderState(state, value), D3D_OK);
    }
    static DWORD F2D(float f) {
        DWORD d;
        std::memcpy(&d, &f, 4);
        return d;
    }

    SoftPipeline& Pipeline() { return Soft(device_)->Pipeline(); }

    // Pretransformed triangles from user memory.
    void DrawTL(D3DPRIMITIVETYPE type, const std::vector<TLVertex>& v, UINT count) {
        ASSERT_EQ(device_->SetFVF(kTLFvf), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitiveUP(type, count, v.data(), sizeof(TLVertex)), D3D_OK);
    }
    // An axis-aligned rectangle [x0, x1) × [y0, y1) at depth z, texture coordinates 0-1.
    void Rect(float x0, float y0, float x1, float y1, float z, DWORD color) {
        std::vector<TLVertex> v = {{x0, y0, z, 1, color, 0, 0},
                                   {x1, y0, z, 1, color, 1, 0},
                                   {x0, y1, z, 1, color, 0, 1},
                                   {x1, y1, z, 1, color, 1, 1}};
        DrawTL(D3DPT_TRIANGLESTRIP, v, 2);
    }

    // The untransformed quad covering clip space, z = 0.5, texture coordinates 0-1.
    void ClipQuad(DWORD color = 0xFFFFFFFFu) {
        std::vector<LVertex> quad = {{-1, 1, 0.5f, color, 0, 0},
                                     {1, 1, 0.5f, color, 1, 0},
                                     {-1, -1, 0.5f, color, 0, 1},
                                     {1, -1, 0.5f, color, 1, 1}};
        ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
                  D3D_OK);
    }

    SoftSurface9* BackBuffer() {
        ComRef<IDirect3DSurface9> surface;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface.Out()), D3D_OK);
        return SoftSurface9::From(surface.Get());
    }
    // The back buffer's pixel as A8R8G8B8.
    DWORD Pixel(UINT x, UINT y) { return PixelCodec::ToColor(BackBuffer()->ReadPixel(x, y)); }
    std::vector<DWORD> Frame() {
        std::vector<DWORD> out;
        SoftSurface9* bb = BackBuffer();
        for (UINT y = 0; y < bb->Height(); ++y)
            for (UINT x = 0; x < bb->Width(); ++x)
                out.push_back(PixelCodec::ToColor(bb->ReadPixel(x, y)));
        return out;
    }

    // A managed A8R8G8B8 texture (or another format) with one level per entry of texels (each a
    // width × height row-major list, halving per level).
    void MakeTexture(ComRef<IDirect3DTexture9>* texture, UINT width, UINT height,
                     const std::vector<std::vector<DWORD>>& levels,
                     D3DFORMAT format = D3DFMT_A8R8G8B8) {
        ASSERT_EQ(device_->CreateTexture(width, height, static_cast<UINT>(levels.size()), 0, format,
                                         D3DPOOL_MANAGED, texture->Out(), nullptr),
                  D3D_OK);
        for (UINT l = 0; l < levels.size(); ++l) {
            ComRef<IDirect3DSurface9> surface;
            ASSERT_EQ((*texture)->GetSurfaceLevel(l, surface.Out()), D3D_OK);
            SoftSurface9* s = SoftSurface9::From(surface.Get());
            for (UINT y = 0; y < s->Height(); ++y)
                for (UINT x = 0; x < s->Width(); ++x)
                    s->WritePixel(x, y, PixelCodec::FromColor(levels[l][y * s->Width() + x]));
            s->NoteWritten();
        }
    }

    // Presents and compares the window's frame with tests/golden/<name>.png.
    void ExpectGolden(const std::string& name);

    ComRef<IDirect3DDevice9> device_;
};
