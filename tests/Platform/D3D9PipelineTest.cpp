// The software device's draw pipeline as a whole: every way of feeding vertices draws the same
// picture, tiled multi-threaded rendering equals single-threaded rendering bit for bit, and
// vertex and pixel programs plug in through the program seam.
#include <functional>
#include <random>

#include "tests/Platform/RasterFixture.h"

// The ThreadSanitizer run builds this file a second time; its tests take another suite name there
// so that the two programs' tests stay apart.
#ifdef ZEL_RASTER_THREADS_SUITE
#define DrawPipeline DrawPipelineThreads
#endif

namespace {

class DrawPipeline : public RasterFixture {
protected:
    static TLVertex V(float x, float y, DWORD color, float u = 0, float v = 0) {
        return {x, y, 0.5f, 1.0f, color, u, v};
    }
    template <class T>
    void Buffer(ComRef<IDirect3DVertexBuffer9>* vb, const std::vector<T>& data, UINT offset = 0) {
        ASSERT_EQ(device_->CreateVertexBuffer(static_cast<UINT>(offset + data.size() * sizeof(T)),
                                              0, 0, D3DPOOL_MANAGED, vb->Out(), nullptr),
                  D3D_OK);
        void* p = nullptr;
        ASSERT_EQ((*vb)->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(static_cast<BYTE*>(p) + offset, data.data(), data.size() * sizeof(T));
        ASSERT_EQ((*vb)->Unlock(), D3D_OK);
    }
    template <class T>
    void Indices(ComRef<IDirect3DIndexBuffer9>* ib, const std::vector<T>& data) {
        ASSERT_EQ(device_->CreateIndexBuffer(static_cast<UINT>(data.size() * sizeof(T)), 0,
                                             sizeof(T) == 2 ? D3DFMT_INDEX16 : D3DFMT_INDEX32,
                                             D3DPOOL_MANAGED, ib->Out(), nullptr),
                  D3D_OK);
        void* p = nullptr;
        ASSERT_EQ((*ib)->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, data.data(), data.size() * sizeof(T));
        ASSERT_EQ((*ib)->Unlock(), D3D_OK);
    }
    void Reset() {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    }
};

TEST_F(DrawPipeline, EveryVertexSourceDrawsTheSamePicture) {
    // A quad of two gouraud triangles: corners 0 1 2 3 (top-left, top-right, bottom-left,
    // bottom-right).
    const std::vector<TLVertex> corners = {V(6.3f, 5.5f, 0xFFFF0000u), V(57.1f, 9.0f, 0xFF00FF00u),
                                           V(3.0f, 60.2f, 0xFF0000FFu),
                                           V(55.5f, 51.7f, 0xFFFFFFFFu)};
    const std::vector<TLVertex> list = {corners[0], corners[1], corners[2],
                                        corners[2], corners[1], corners[3]};
    ASSERT_EQ(device_->SetFVF(kTLFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, list.data(), sizeof(TLVertex)),
              D3D_OK);
    const std::vector<DWORD> reference = Frame();
    EXPECT_EQ(reference[32 * kSide + 32] != 0xFF000000u, true);

    std::vector<std::pair<const char*, std::function<void()>>> ways;
    ways.emplace_back("strip", [&] {
        ASSERT_EQ(
            device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners.data(), sizeof(TLVertex)),
            D3D_OK);
    });
    ways.emplace_back("fan", [&] {
        const std::vector<TLVertex> fan = {corners[1], corners[3], corners[2], corners[0]};
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan.data(), sizeof(TLVertex)),
                  D3D_OK);
    });
    ways.emplace_back("indexed from user memory, 32-bit", [&] {
        const DWORD indices[6] = {0, 1, 2, 2, 1, 3};
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices,
                                                  D3DFMT_INDEX32, corners.data(), sizeof(TLVertex)),
                  D3D_OK);
    });
    ComRef<IDirect3DVertexBuffer9> vb;
    ComRef<IDirect3DIndexBuffer9> ib16, ib32;
    // Padded records (40 bytes apart) after a 40-byte offset, and three unused vertices first.
    struct Padded {
        TLVertex v;
        float pad[2];
    };
    std::vector<Padded> padded(3, Padded{V(0, 0, 0), {9, 9}});
    for (const TLVertex& c : corners) padded.push_back({c, {7, 7}});
    Buffer(&vb, padded, 40);
    Indices(&ib16, std::vector<WORD>{0, 1, 2, 2, 1, 3});
    Indices(&ib32, std::vector<DWORD>{7, 7, 0, 1, 2, 2, 1, 3});
    ways.emplace_back("buffer with offset and stride", [&] {
        ASSERT_EQ(device_->SetStreamSource(0, vb.Get(), 40 + 3 * sizeof(Padded), sizeof(Padded)),
                  D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    });
    ways.emplace_back("indexed buffers, 16-bit with a base vertex", [&] {
        ASSERT_EQ(device_->SetStreamSource(0, vb.Get(), 40, sizeof(Padded)), D3D_OK);
        ASSERT_EQ(device_->SetIndices(ib16.Get()), D3D_OK);
        ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 3, 0, 4, 0, 2), D3D_OK);
    });
    ways.emplace_back("indexed buffers, 32-bit from a start index", [&] {
        ASSERT_EQ(device_->SetStreamSource(0, vb.Get(), 40, sizeof(Padded)), D3D_OK);
        ASSERT_EQ(device_->SetIndices(ib32.Get()), D3D_OK);
        ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 3, 0, 4, 2, 2), D3D_OK);
    });
    // A declaration over two streams, the colour as a COLOR-usage UBYTE4 (read as D3DCOLOR).
    ComRef<IDirect3DVertexBuffer9> positions, colours;
    std::vector<float> xyzw;
    std::vector<DWORD> bgra;
    for (const TLVertex& c : corners) {
        xyzw.insert(xyzw.end(), {c.x, c.y, c.z, c.rhw});
        bgra.push_back(c.color);
    }
    Buffer(&positions, xyzw);
    Buffer(&colours, bgra);
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {1, 0, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    ComRef<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device_->CreateVertexDeclaration(elements, declaration.Out()), D3D_OK);
    ways.emplace_back("declaration over two streams", [&] {
        ASSERT_EQ(device_->SetVertexDeclaration(declaration.Get()), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, positions.Get(), 0, 16), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(1, colours.Get(), 0, 4), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->SetFVF(kTLFvf), D3D_OK);
    });
    for (auto& [name, draw] : ways) {
        Reset();
        draw();
        EXPECT_TRUE(Frame() == reference) << name;
    }
}

TEST_F(DrawPipeline, LinesKeepTheirFirstPixelAndLastPixelIsOptional) {
    const std::vector<TLVertex> strip = {V(2, 2, ~0u), V(20, 7, ~0u), V(4, 30, ~0u), V(4, 40, ~0u)};
    ASSERT_EQ(device_->SetFVF(kTLFvf), D3D_OK);
    SetRS(D3DRS_LASTPIXEL, FALSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINESTRIP, 3, strip.data(), sizeof(TLVertex)), D3D_OK);
    const std::vector<DWORD> reference = Frame();
    EXPECT_EQ(Pixel(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(4, 40), 0xFF000000u);  // the last pixel
    EXPECT_EQ(Pixel(4, 39), 0xFFFFFFFFu);
    Reset();
    const std::vector<TLVertex> list = {strip[0], strip[1], strip[1], strip[2], strip[2], strip[3]};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 3, list.data(), sizeof(TLVertex)), D3D_OK);
    EXPECT_TRUE(Frame() == reference);
    // Drawn backwards, a line still covers its start and not its end.
    Reset();
    const std::vector<TLVertex> back = {V(20, 50, ~0u), V(2, 50, ~0u)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, back.data(), sizeof(TLVertex)), D3D_OK);
    EXPECT_EQ(Pixel(20, 50), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(2, 50), 0xFF000000u);
    EXPECT_EQ(Pixel(3, 50), 0xFFFFFFFFu);
    SetRS(D3DRS_LASTPIXEL, TRUE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, back.data(), sizeof(TLVertex)), D3D_OK);
    EXPECT_EQ(Pixel(2, 50), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(1, 50), 0xFF000000u);
}

// Draws a busy scene into a 256×256 target: hundreds of textured, blended, depth- and
// stencil-tested triangles of random shapes and depths, lines and points, with fog and two
// texture stages. Answers the colour, depth and stencil planes.
struct Planes {
    std::vector<BYTE> color;
    std::vector<float> depth;
    std::vector<BYTE> stencil;
};

void BusyScene(IDirect3DDevice9* device, Planes* out) {
    const UINT side = 256;
    ComRef<IDirect3DSurface9> target, depth;
    ASSERT_EQ(device->CreateRenderTarget(side, side, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         target.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateDepthStencilSurface(side, side, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                                FALSE, depth.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target.Get()), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(depth.Get()), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                            0xFF102030u, 1.0f, 0),
              D3D_OK);
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(device->CreateTexture(32, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(),
                                    nullptr),
              D3D_OK);
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        ComRef<IDirect3DSurface9> s;
        ASSERT_EQ(texture->GetSurfaceLevel(level, s.Out()), D3D_OK);
        SoftSurface9* soft = SoftSurface9::From(s.Get());
        for (UINT y = 0; y < soft->Height(); ++y)
            for (UINT x = 0; x < soft->Width(); ++x)
                soft->WritePixel(x, y,
                                 PixelCodec::FromColor(0x80000000u | ((x * 8) << 16) |
                                                       ((y * 8) << 8) | (level * 40)));
    }
    device->SetTexture(0, texture.Get());
    device->SetTexture(1, texture.Get());
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_POINTSIZE, 0x3F800000u);  // 1.0f
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGCOLOR, 0xFF808080u);
    device->SetFVF(kTLFvf);
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> position(-40.0f, 296.0f), unit(0.0f, 1.0f);
    std::vector<TLVertex> triangles;
    for (int i = 0; i < 900; ++i) {
        float cx = position(random), cy = position(random);
        for (int k = 0; k < 3; ++k) {
            float size = i % 10 == 0 ? 120.0f : 24.0f;
            triangles.push_back({cx + (unit(random) - 0.5f) * size,
                                 cy + (unit(random) - 0.5f) * size, unit(random),
                                 0.2f + unit(random), static_cast<DWORD>(random()),
                                 unit(random) * 4 - 2, unit(random) * 4 - 2});
        }
    }
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 900, triangles.data(), sizeof(TLVertex)),
              D3D_OK);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINESTRIP, 299, triangles.data(), sizeof(TLVertex)),
              D3D_OK);
    device->SetRenderState(D3DRS_POINTSIZE, 0x40400000u);  // 3.0f
    ASSERT_EQ(
        device->DrawPrimitiveUP(D3DPT_POINTLIST, 300, triangles.data() + 300, sizeof(TLVertex)),
        D3D_OK);
    SoftSurface9* rt = SoftSurface9::From(target.Get());
    SoftSurface9* ds = SoftSurface9::From(depth.Get());
    out->color.assign(rt->Bits(), rt->Bits() + rt->Pitch() * side);
    out->depth.assign(ds->Depth(), ds->Depth() + side * side);
    out->stencil.assign(ds->Stencil(), ds->Stencil() + side * side);
}

TEST_F(DrawPipeline, TiledThreadsDrawExactlyWhatOneThreadDraws) {
    struct Setting {
        unsigned threads;
        int tile;
    };
    Planes reference;
    Pipeline().SetThreads(1);
    Pipeline().SetTileSize(256);
    BusyScene(device_.Get(), &reference);
    UINT background = 0;
    for (std::size_t i = 0; i < reference.color.size(); i += 4)
        background += reference.color[i] == 0x30 && reference.color[i + 1] == 0x20;
    EXPECT_LT(background, 256u * 256u / 2) << "the scene should cover most of the target";
    for (Setting s : {Setting{1, 16}, Setting{8, 64}, Setting{8, 16}, Setting{3, 6}}) {
        Pipeline().SetThreads(s.threads);
        Pipeline().SetTileSize(s.tile);
        Planes planes;
        BusyScene(device_.Get(), &planes);
        EXPECT_TRUE(planes.color == reference.color) << s.threads << " threads, tile " << s.tile;
        EXPECT_TRUE(planes.depth == reference.depth) << s.threads << " threads, tile " << s.tile;
        EXPECT_TRUE(planes.stencil == reference.stencil)
            << s.threads << " threads, tile " << s.tile;
    }
}

// Random textured, depth-tested triangles with vertex colours of every alpha, blended source
// alpha over destination, into a 128×128 target; setup sets the stages and blend factors.
// Answers the colour plane.
std::vector<BYTE> OverBlendScene(IDirect3DDevice9* device,
                                 const std::function<void(IDirect3DDevice9*)>& setup) {
    const UINT side = 128;
    ComRef<IDirect3DSurface9> target, depth;
    std::vector<BYTE> out;
    if (device->CreateRenderTarget(side, side, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                   target.Out(), nullptr) != D3D_OK ||
        device->CreateDepthStencilSurface(side, side, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                          depth.Out(), nullptr) != D3D_OK)
        return out;
    device->SetRenderTarget(0, target.Get());
    device->SetDepthStencilSurface(depth.Get());
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80102030u, 1.0f, 0);
    ComRef<IDirect3DTexture9> texture;
    if (device->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(),
                              nullptr) != D3D_OK)
        return out;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        ComRef<IDirect3DSurface9> s;
        texture->GetSurfaceLevel(level, s.Out());
        SoftSurface9* soft = SoftSurface9::From(s.Get());
        for (UINT y = 0; y < soft->Height(); ++y)
            for (UINT x = 0; x < soft->Width(); ++x)
                soft->WritePixel(
                    x, y,
                    PixelCodec::FromColor(((x * 37 + y * 11) % 256) << 24 | ((x * 16) << 16) |
                                          ((y * 16) << 8) | (level * 50)));
    }
    device->SetTexture(0, texture.Get());
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetFVF(kTLFvf);
    setup(device);
    std::mt19937 random(777);
    std::uniform_real_distribution<float> position(-20.0f, 148.0f), unit(0.0f, 1.0f);
    std::vector<TLVertex> triangles;
    for (int i = 0; i < 300; ++i) {
        float cx = position(random), cy = position(random);
        for (int k = 0; k < 3; ++k)
            triangles.push_back({cx + (unit(random) - 0.5f) * 60.0f,
                                 cy + (unit(random) - 0.5f) * 60.0f, unit(random),
                                 0.2f + unit(random), static_cast<DWORD>(random()),
                                 unit(random) * 4 - 2, unit(random) * 4 - 2});
    }
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 300, triangles.data(), sizeof(TLVertex));
    SoftSurface9* rt = SoftSurface9::From(target.Get());
    out.assign(rt->Bits(), rt->Bits() + rt->Pitch() * side);
    return out;
}

// The one-stage draws and the transparency blend most draws use take shorter paths; the general
// stages and blend factors, given settings that mean the same, must draw the same bits.
TEST_F(DrawPipeline, TheUsualStagesAndBlendDrawWhatTheGeneralOnesDraw) {
    auto stage = [](IDirect3DDevice9* d, DWORD colorOp, DWORD colorArg, DWORD alphaOp,
                    DWORD alphaArg, DWORD arg2) {
        d->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, arg2);
    };
    auto over = [](IDirect3DDevice9* d) {
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    };
    // BOTHSRCALPHA is source alpha with its complement on the destination, by the general path.
    auto both = [](IDirect3DDevice9* d) {
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
    };
    auto passOn = [](IDirect3DDevice9* d) {
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
        d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    };
    struct Case {
        const char* name;
        std::function<void(IDirect3DDevice9*)> usual, general;
    };
    const Case cases[] = {
        {"diffuse",
         [&](IDirect3DDevice9* d) {
             stage(d, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
                   D3DTA_CURRENT);
             over(d);
         },
         [&](IDirect3DDevice9* d) {
             stage(d, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTOP_SELECTARG2, D3DTA_TEXTURE,
                   D3DTA_DIFFUSE);
             both(d);
         }},
        {"texture times diffuse",
         [&](IDirect3DDevice9* d) {
             stage(d, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, D3DTA_TEXTURE,
                   D3DTA_DIFFUSE);
             over(d);
         },
         [&](IDirect3DDevice9* d) {
             stage(d, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, D3DTA_TEXTURE,
                   D3DTA_DIFFUSE);
             passOn(d);
             both(d);
         }},
    };
    for (const Case& c : cases) {
        const std::vector<BYTE> usual = OverBlendScene(device_.Get(), c.usual);
        ASSERT_FALSE(usual.empty());
        device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        const std::vector<BYTE> general = OverBlendScene(device_.Get(), c.general);
        device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        EXPECT_TRUE(usual == general) << c.name;
        std::size_t distinct = 0;
        for (std::size_t i = 4; i < usual.size(); i += 4) distinct += usual[i] != usual[i - 4];
        EXPECT_GT(distinct, usual.size() / 16) << c.name << ": the scene should vary";
    }
}

// Test programs: a vertex program that scales positions by a constant read at BeginDraw and
// passes its texture coordinates on, and a pixel program that samples stage 0, modulates by the
// interpolated colour and discards texels whose alpha is below one half.
struct ProgramSpec {
    std::vector<SoftSemantic> inputs, outputs;
    bool discards = false;
    // in[input][component][lane], out[output][component][lane]; answers the discarded lanes.
    std::function<std::uint32_t(const float (*in)[4][kSoftLanes], float (*out)[4][kSoftLanes],
                                const SoftTextureUnits&)>
        run;
    const float* constant = nullptr;  // read by BeginDraw into the runner
};

class TestRunner final : public SoftProgramRunner {
public:
    explicit TestRunner(const ProgramSpec& spec)
        : spec_(spec), in_(spec.inputs.size()), out_(spec.outputs.size()) {}
    void BeginDraw() override { ++beginDraws; }
    void ResetInputs() override {
        for (auto& input : in_)
            for (int c = 0; c < 4; ++c)
                std::fill(input[c], input[c] + kSoftLanes, c == 3 ? 1.0f : 0.0f);
    }
    float* Input(std::size_t i, unsigned c) override { return in_[i][c]; }
    void Run(const SoftTextureUnits& units) override {
        discarded_ = spec_.run(in_.data(), out_.data(), units);
    }
    const float* Output(std::size_t i, unsigned c) const override { return out_[i][c]; }
    std::uint32_t DiscardedLanes() const override { return discarded_; }

    int beginDraws = 0;

private:
    const ProgramSpec& spec_;
    std::vector<float[4][kSoftLanes]> in_, out_;
    std::uint32_t discarded_ = 0;
};

class TestProgram final : public SoftProgram {
public:
    explicit TestProgram(ProgramSpec spec) : spec_(std::move(spec)) {}
    const std::vector<SoftSemantic>& Inputs() const override { return spec_.inputs; }
    const std::vector<SoftSemantic>& Outputs() const override { return spec_.outputs; }
    bool MayDiscard() const override { return spec_.discards; }
    std::unique_ptr<SoftProgramRunner> NewRunner() const override {
        ++runners;
        return std::make_unique<TestRunner>(spec_);
    }
    mutable int runners = 0;

private:
    ProgramSpec spec_;
};

constexpr SoftSemantic kPosition{D3DDECLUSAGE_POSITION, 0};
constexpr SoftSemantic kTexCoord{D3DDECLUSAGE_TEXCOORD, 0};
constexpr SoftSemantic kColor{D3DDECLUSAGE_COLOR, 0};

TEST_F(DrawPipeline, ProgramsReplaceTheFixedFunction) {
    float scale = 0.5f;
    ProgramSpec vertexSpec;
    vertexSpec.inputs = {kPosition, kTexCoord, {D3DDECLUSAGE_NORMAL, 0}};
    vertexSpec.outputs = {kTexCoord, kPosition, kColor};
    vertexSpec.run = [&scale](const float(*in)[4][kSoftLanes], float(*out)[4][kSoftLanes],
                              const SoftTextureUnits&) -> std::uint32_t {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            for (int c = 0; c < 4; ++c) out[0][c][i] = in[1][c][i];
            out[1][0][i] = in[0][0][i] * scale;
            out[1][1][i] = in[0][1][i] * scale;
            out[1][2][i] = in[0][2][i];
            out[1][3][i] = 1.0f;
            // The missing normal reads (0, 0, 0, 1): colour (1, 1, 1, 1).
            for (int c = 0; c < 4; ++c) out[2][c][i] = in[2][c][i] + in[2][3][i] * (c == 3 ? 0 : 1);
        }
        return 0;
    };
    ProgramSpec pixelSpec;
    pixelSpec.inputs = {kColor, kTexCoord, {D3DDECLUSAGE_TEXCOORD, 5}};
    pixelSpec.outputs = {kColor};
    pixelSpec.discards = true;
    pixelSpec.run = [](const float(*in)[4][kSoftLanes], float(*out)[4][kSoftLanes],
                       const SoftTextureUnits& units) -> std::uint32_t {
        alignas(64) float t[4][kSoftLanes];
        SoftSampleRequest request;
        request.coord[0] = in[1][0];
        request.coord[1] = in[1][1];
        for (int c = 0; c < 4; ++c) request.out[c] = t[c];
        units.Sample(request);
        std::uint32_t discard = 0;
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            for (int c = 0; c < 4; ++c) out[0][c][i] = t[c][i] * in[0][c][i] * in[2][3][i];
            if (t[3][i] < 0.5f)
                discard |= 1u << i;
        }
        return discard;
    };
    auto vertexProgram = std::make_shared<TestProgram>(vertexSpec);
    auto pixelProgram = std::make_shared<TestProgram>(pixelSpec);

    // Texture: left half opaque red, right half transparent green.
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 2, 1, {{0xFFFF0000u, 0x0000FF00u}});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Pipeline().SetPrograms(vertexProgram, pixelProgram);
    Pipeline().SetThreads(4);
    Pipeline().SetTileSize(16);
    // A full clip-space quad, scaled to the middle half of the screen by the vertex program.
    std::vector<LVertex> quad = {{-1, 1, 0.5f, 0, 0, 0},
                                 {1, 1, 0.5f, 0, 1, 0},
                                 {-1, -1, 0.5f, 0, 0, 1},
                                 {1, -1, 0.5f, 0, 1, 1}};
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(20, 32), 0xFFFF0000u);  // left half of the quad: the red texel
    EXPECT_EQ(Pixel(40, 32), 0xFF000000u);  // right half: discarded
    EXPECT_EQ(Pixel(8, 32), 0xFF000000u);   // outside the scaled quad
    SoftSurface9* ds = nullptr;
    {
        ComRef<IDirect3DSurface9> surface;
        ASSERT_EQ(device_->GetDepthStencilSurface(surface.Out()), D3D_OK);
        ds = SoftSurface9::From(surface.Get());
    }
    EXPECT_EQ(ds->Depth()[32 * kSide + 20], 0.5f);
    EXPECT_EQ(ds->Depth()[32 * kSide + 40], 1.0f);  // a discarded pixel writes no depth

    // Constants change between draws: the runners see them at BeginDraw.
    scale = 1.0f;
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(8, 32), 0xFFFF0000u);
    EXPECT_LE(pixelProgram->runners, 4);  // one per rendering thread at most, kept across draws
    EXPECT_EQ(vertexProgram->runners, 1);

    // The pixel program with the fixed-function vertex stage (whose diffuse is the vertex colour),
    // then the vertex program with the fixed-function stages.
    Pipeline().SetPrograms(nullptr, pixelProgram);
    for (LVertex& v : quad) v.color = 0xFF808080u;
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(8, 32), 0xFF800000u);
    Pipeline().SetPrograms(vertexProgram, nullptr);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(40, 32), 0xFF00FF00u);  // no discard without the pixel program
    Pipeline().SetPrograms(nullptr, nullptr);
}

TEST_F(DrawPipeline, PixelProgramsReadEveryStagesCoordinates) {
    // With the fixed-function vertex stage, TEXCOORD n is stage n's coordinates, whether or not
    // a texture is bound there.
    ProgramSpec spec;
    spec.inputs = {{D3DDECLUSAGE_TEXCOORD, 1}};
    spec.outputs = {kColor};
    spec.run = [](const float(*in)[4][kSoftLanes], float(*out)[4][kSoftLanes],
                  const SoftTextureUnits&) -> std::uint32_t {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            out[0][0][i] = in[0][0][i];
            out[0][1][i] = in[0][1][i];
            out[0][2][i] = 0.0f;
            out[0][3][i] = 1.0f;
        }
        return 0;
    };
    Pipeline().SetPrograms(nullptr, std::make_shared<TestProgram>(spec));
    struct TwoSets {
        float x, y, z, rhw;
        float u0, v0, u1, v1;
    };
    TwoSets quad[4] = {{0, 0, 0.5f, 1, 0, 0, 0.25f, 0.75f},
                       {8, 0, 0.5f, 1, 0, 0, 0.25f, 0.75f},
                       {0, 8, 0.5f, 1, 0, 0, 0.25f, 0.75f},
                       {8, 8, 0.5f, 1, 0, 0, 0.25f, 0.75f}};
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TwoSets)), D3D_OK);
    EXPECT_EQ(Pixel(2, 2), 0xFF40BF00u);
    Pipeline().SetPrograms(nullptr, nullptr);
}

}  // namespace
