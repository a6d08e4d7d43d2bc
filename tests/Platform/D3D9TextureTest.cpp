// Texture sampling and the fixed-function texture stages of the software device: formats, DXT
// blocks, filters, address modes, mip selection, cube maps, render targets read as textures,
// stage operations and texture-coordinate processing.
#include <cmath>

#include "fixtures/DxtReference.h"
#include "tests/Platform/RasterFixture.h"

namespace {

class Texturing : public RasterFixture {
protected:
    static TLVertex V(float x, float y, float u, float v, DWORD color = 0xFFFFFFFFu) {
        return {x, y, 0.5f, 1.0f, color, u, v};
    }
    // A textured rectangle with the texture coordinates at its corners.
    void Quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1) {
        DrawTL(D3DPT_TRIANGLESTRIP,
               {V(x0, y0, u0, v0), V(x1, y0, u1, v0), V(x0, y1, u0, v1), V(x1, y1, u1, v1)}, 2);
    }
    void Sampler(D3DSAMPLERSTATETYPE type, DWORD value, DWORD stage = 0) {
        ASSERT_EQ(device_->SetSamplerState(stage, type, value), D3D_OK);
    }
    void Stage(D3DTEXTURESTAGESTATETYPE type, DWORD value, DWORD stage = 0) {
        ASSERT_EQ(device_->SetTextureStageState(stage, type, value), D3D_OK);
    }
    void Filters(DWORD filter, DWORD mip) {
        Sampler(D3DSAMP_MAGFILTER, filter);
        Sampler(D3DSAMP_MINFILTER, filter);
        Sampler(D3DSAMP_MIPFILTER, mip);
    }
    // A render target of the back buffer's size in the given format, bound as target 0.
    SoftSurface9* Target(D3DFORMAT format, ComRef<IDirect3DSurface9>* target) {
        EXPECT_EQ(device_->CreateRenderTarget(kSide, kSide, format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                              target->Out(), nullptr),
                  D3D_OK);
        EXPECT_EQ(device_->SetRenderTarget(0, target->Get()), D3D_OK);
        return SoftSurface9::From(target->Get());
    }
    // Blocks of a DXT texture, written straight into its level 0.
    void DxtTexture(ComRef<IDirect3DTexture9>* texture, D3DFORMAT format, UINT size,
                    const std::vector<BYTE>& blocks) {
        ASSERT_EQ(device_->CreateTexture(size, size, 1, 0, format, D3DPOOL_MANAGED, texture->Out(),
                                         nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ((*texture)->LockRect(0, &locked, nullptr, 0), D3D_OK);
        std::memcpy(locked.pBits, blocks.data(), blocks.size());
        ASSERT_EQ((*texture)->UnlockRect(0), D3D_OK);
    }
};

// Four 4×4-pixel blocks per format, each with distinct end points; DXT1 gets one block in
// three-colour mode (colour 0 <= colour 1) using the transparent index.
std::vector<BYTE> DxtBlocks(D3DFORMAT format) {
    std::vector<BYTE> out;
    const WORD colours[4][2] = {
        {0xF800, 0x001F}, {0x07E0, 0xFFE0}, {0x001F, 0xF81F}, {0x8410, 0xFFFF}};
    for (int b = 0; b < 4; ++b) {
        if (format == D3DFMT_DXT3) {
            for (int i = 0; i < 8; ++i) out.push_back(static_cast<BYTE>(0x10 * i + 0x0F - b));
        } else if (format == D3DFMT_DXT5) {
            out.push_back(static_cast<BYTE>(b == 2 ? 0x20 : 0xF0));  // b == 2: six-value mode
            out.push_back(static_cast<BYTE>(b == 2 ? 0xE0 : 0x10));
            for (int i = 0; i < 6; ++i) out.push_back(static_cast<BYTE>(0x39 * (i + 1) + b * 17));
        }
        WORD c0 = colours[b][0], c1 = colours[b][1];
        if (format == D3DFMT_DXT1 && b == 1)
            std::swap(c0, c1);  // 0x07E0 <= 0xFFE0: three colours and transparent black
        out.insert(out.end(), {static_cast<BYTE>(c0), static_cast<BYTE>(c0 >> 8),
                               static_cast<BYTE>(c1), static_cast<BYTE>(c1 >> 8), 0xE4,
                               static_cast<BYTE>(0x1B + b), 0x93, static_cast<BYTE>(0xC6 - b)});
    }
    return out;
}

TEST_F(Texturing, DxtBlocksDecodeAsTheReference) {
    ComRef<IDirect3DSurface9> target;
    SoftSurface9* rt = Target(D3DFMT_A8R8G8B8, &target);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    struct Case {
        D3DFORMAT format;
        int version;
    };
    for (Case c : {Case{D3DFMT_DXT1, 1}, Case{D3DFMT_DXT3, 3}, Case{D3DFMT_DXT5, 5}}) {
        std::vector<BYTE> blocks = DxtBlocks(c.format);
        ComRef<IDirect3DTexture9> texture;
        DxtTexture(&texture, c.format, 8, blocks);
        ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
        Quad(0, 0, 8, 8, 0, 0, 1, 1);
        UINT blockBytes = c.version == 1 ? 8 : 16;
        for (UINT b = 0; b < 4; ++b) {
            std::uint8_t rgba[64];
            ZelFixtures::DecodeDxtBlock(c.version, blocks.data() + b * blockBytes, rgba);
            for (UINT i = 0; i < 16; ++i) {
                UINT x = (b % 2) * 4 + i % 4, y = (b / 2) * 4 + i / 4;
                DWORD expected = (DWORD(rgba[4 * i + 3]) << 24) | (DWORD(rgba[4 * i]) << 16) |
                                 (DWORD(rgba[4 * i + 1]) << 8) | rgba[4 * i + 2];
                DWORD got = PixelCodec::ToColor(rt->ReadPixel(x, y));
                for (int shift = 0; shift < 32; shift += 8)
                    ASSERT_NEAR(int((got >> shift) & 0xFF), int((expected >> shift) & 0xFF), 1)
                        << "DXT" << c.version << " texel " << x << "," << y;
            }
        }
    }
}

TEST_F(Texturing, EveryFormatSamplesAsItDecodes) {
    ComRef<IDirect3DSurface9> target;
    SoftSurface9* rt = Target(D3DFMT_A32B32G32R32F, &target);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    const D3DFORMAT formats[] = {
        D3DFMT_A8R8G8B8,     D3DFMT_X8R8G8B8,      D3DFMT_R5G6B5,       D3DFMT_X1R5G5B5,
        D3DFMT_A1R5G5B5,     D3DFMT_A4R4G4B4,      D3DFMT_A8,           D3DFMT_L8,
        D3DFMT_A8L8,         D3DFMT_G16R16,        D3DFMT_A16B16G16R16, D3DFMT_R16F,
        D3DFMT_G16R16F,      D3DFMT_A16B16G16R16F, D3DFMT_R32F,         D3DFMT_G32R32F,
        D3DFMT_A32B32G32R32F};
    const PixelCodec::Rgba texels[4] = {{0.2f, 0.4f, 0.6f, 0.8f},
                                        {1.0f, 0.0f, 0.5f, 0.25f},
                                        {0.1f, 0.9f, 0.3f, 1.0f},
                                        {0.7f, 0.7f, 0.2f, 0.0f}};
    for (D3DFORMAT format : formats) {
        ComRef<IDirect3DTexture9> texture;
        ASSERT_EQ(
            device_->CreateTexture(2, 2, 1, 0, format, D3DPOOL_MANAGED, texture.Out(), nullptr),
            D3D_OK)
            << format;
        ComRef<IDirect3DSurface9> level;
        ASSERT_EQ(texture->GetSurfaceLevel(0, level.Out()), D3D_OK);
        SoftSurface9* s = SoftSurface9::From(level.Get());
        for (UINT i = 0; i < 4; ++i) s->WritePixel(i % 2, i / 2, texels[i]);
        ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
        Quad(0, 0, 2, 2, 0, 0, 1, 1);
        for (UINT i = 0; i < 4; ++i) {
            PixelCodec::Rgba want = s->ReadPixel(i % 2, i / 2), got = rt->ReadPixel(i % 2, i / 2);
            EXPECT_NEAR(got.r, want.r, 1e-3f) << "format " << format << " texel " << i;
            EXPECT_NEAR(got.g, want.g, 1e-3f) << "format " << format << " texel " << i;
            EXPECT_NEAR(got.b, want.b, 1e-3f) << "format " << format << " texel " << i;
            EXPECT_NEAR(got.a, want.a, 1e-3f) << "format " << format << " texel " << i;
        }
    }
}

TEST_F(Texturing, ClipSpaceQuadMapsTexelsOneToOne) {
    // The classic half-pixel shift: a quad in clip space moved by half a pixel up and left
    // puts every texel centre on a pixel centre, so bilinear filtering returns the texels.
    std::vector<DWORD> texels(kSide * kSide);
    for (UINT i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | ((i * 2654435761u) & 0x00FFFFFFu);
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, kSide, kSide, {texels});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Filters(D3DTEXF_LINEAR, D3DTEXF_NONE);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    const float h = 1.0f / kSide;  // half a pixel in clip units
    std::vector<LVertex> quad = {{-1 - h, 1 + h, 0.5f, ~0u, 0, 0},
                                 {1 - h, 1 + h, 0.5f, ~0u, 1, 0},
                                 {-1 - h, -1 + h, 0.5f, ~0u, 0, 1},
                                 {1 - h, -1 + h, 0.5f, ~0u, 1, 1}};
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(LVertex)),
              D3D_OK);
    for (UINT y = 0; y < kSide; ++y)
        for (UINT x = 0; x < kSide; ++x)
            ASSERT_EQ(Pixel(x, y), texels[y * kSide + x]) << x << "," << y;
}

TEST_F(Texturing, MipSelectionBiasAndLargestLevel) {
    // Three levels in three colours; a 16×16 texture drawn on 4×4 pixels reads level 2.
    std::vector<std::vector<DWORD>> levels = {std::vector<DWORD>(256, 0xFFFF0000u),
                                              std::vector<DWORD>(64, 0xFF00FF00u),
                                              std::vector<DWORD>(16, 0xFF0000FFu)};
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 16, 16, levels);
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    struct Case {
        float size;  // pixels the texture covers
        DWORD mip;
        float bias;
        DWORD maxLevel;
        DWORD expected;
    };
    const Case cases[] = {
        {4, D3DTEXF_POINT, 0, 0, 0xFF0000FFu},  {8, D3DTEXF_POINT, 0, 0, 0xFF00FF00u},
        {16, D3DTEXF_POINT, 0, 0, 0xFFFF0000u}, {32, D3DTEXF_POINT, 0, 0, 0xFFFF0000u},
        {4, D3DTEXF_POINT, -1, 0, 0xFF00FF00u}, {16, D3DTEXF_POINT, 1, 0, 0xFF00FF00u},
        {32, D3DTEXF_POINT, 0, 1, 0xFF00FF00u}, {4, D3DTEXF_NONE, 0, 0, 0xFFFF0000u},
        {4, D3DTEXF_NONE, 0, 2, 0xFF0000FFu},   {8, D3DTEXF_LINEAR, 0.5f, 0, 0xFF008080u},
    };
    for (const Case& c : cases) {
        Filters(D3DTEXF_POINT, c.mip);
        Sampler(D3DSAMP_MIPMAPLODBIAS, F2D(c.bias));
        Sampler(D3DSAMP_MAXMIPLEVEL, c.maxLevel);
        Quad(0, 0, c.size, c.size, 0, 0, 1, 1);
        DWORD got = Pixel(1, 1);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((c.expected >> shift) & 0xFF), 2)
                << "size " << c.size << " mip " << c.mip << " bias " << c.bias << " max "
                << c.maxLevel;
    }
}

TEST_F(Texturing, FiltersAndAddressModes) {
    // Rows: wrap, mirror, clamp, border (then mirror once on the last column); columns: point,
    // linear, point with point mips shrunk, linear with linear mips shrunk.
    std::vector<DWORD> checker(16), half(4), quarter(1, 0xFF808080u);
    const DWORD palette[4] = {0xFFE04020u, 0xFF20C040u, 0xFF2040E0u, 0xFFF0F0F0u};
    for (UINT i = 0; i < 16; ++i) checker[i] = palette[(i % 4 + i / 4) % 4];
    for (UINT i = 0; i < 4; ++i) half[i] = palette[3 - i];
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 4, 4, {checker, half, quarter});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_BORDERCOLOR, 0xFFFF00FFu);
    const DWORD modes[4] = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRROR, D3DTADDRESS_CLAMP,
                            D3DTADDRESS_BORDER};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            Sampler(D3DSAMP_ADDRESSU, col == 3 && row == 3 ? D3DTADDRESS_MIRRORONCE : modes[row]);
            Sampler(D3DSAMP_ADDRESSV, modes[row]);
            bool linear = col % 2 == 1;
            Filters(linear ? D3DTEXF_LINEAR : D3DTEXF_POINT,
                    col < 2 ? D3DTEXF_NONE : (linear ? D3DTEXF_LINEAR : D3DTEXF_POINT));
            float range = col < 2 ? 1.0f : 2.5f;
            Quad(col * 16.0f, row * 16.0f, col * 16.0f + 16, row * 16.0f + 16, -range, -range,
                 range + 1, range + 1);
        }
    }
    ExpectGolden("texture_filters");
}

TEST_F(Texturing, DxtFrame) {
    // Each format stretched over a quarter, alpha-blended over a gradient; DXT1's transparent
    // texels show the gradient.
    std::vector<TLVertex> bg = {V(0, 0, 0, 0, 0xFF406080u), V(64, 0, 0, 0, 0xFFC0C040u),
                                V(0, 64, 0, 0, 0xFF208040u), V(64, 64, 0, 0, 0xFF802020u)};
    DrawTL(D3DPT_TRIANGLESTRIP, bg, 2);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    SetRS(D3DRS_ALPHABLENDENABLE, TRUE);
    SetRS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    SetRS(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const D3DFORMAT formats[4] = {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5, D3DFMT_DXT1};
    for (int k = 0; k < 4; ++k) {
        ComRef<IDirect3DTexture9> texture;
        DxtTexture(&texture, formats[k], 8, DxtBlocks(formats[k]));
        ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
        Filters(k == 3 ? D3DTEXF_LINEAR : D3DTEXF_POINT, D3DTEXF_NONE);
        float x = (k % 2) * 32.0f, y = (k / 2) * 32.0f;
        Quad(x, y, x + 32, y + 32, 0, 0, 1, 1);
    }
    ExpectGolden("dxt");
}

TEST_F(Texturing, CubeMapFaces) {
    // Six faces in six colours, each with a darker quadrant so that orientation shows.
    ComRef<IDirect3DCubeTexture9> cube;
    ASSERT_EQ(
        device_->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.Out(), nullptr),
        D3D_OK);
    const DWORD faceColours[6] = {0xFFFF4040u, 0xFF40FFFFu, 0xFF40FF40u,
                                  0xFFFF40FFu, 0xFF4040FFu, 0xFFFFFF40u};
    for (UINT f = 0; f < 6; ++f) {
        ComRef<IDirect3DSurface9> face;
        ASSERT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(f), 0, face.Out()), D3D_OK);
        SoftSurface9* s = SoftSurface9::From(face.Get());
        for (UINT y = 0; y < 8; ++y)
            for (UINT x = 0; x < 8; ++x)
                s->WritePixel(x, y,
                              PixelCodec::FromColor(x < 4 && y < 4 ? faceColours[f] & 0xFF7F7F7Fu
                                                                   : faceColours[f]));
    }
    ASSERT_EQ(device_->SetTexture(0, cube.Get()), D3D_OK);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    // Direction per pixel through three-component texture coordinates: a cross of the faces.
    struct CubeVertex {
        float x, y, z, rhw;
        float u, v, w;
    };
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0)), D3D_OK);
    auto face = [&](float x0, float y0, const float* c00, const float* c10, const float* c01,
                    const float* c11) {
        CubeVertex v[4] = {{x0, y0, 0.5f, 1, c00[0], c00[1], c00[2]},
                           {x0 + 16, y0, 0.5f, 1, c10[0], c10[1], c10[2]},
                           {x0, y0 + 16, 0.5f, 1, c01[0], c01[1], c01[2]},
                           {x0 + 16, y0 + 16, 0.5f, 1, c11[0], c11[1], c11[2]}};
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(CubeVertex)), D3D_OK);
    };
    // The corners of each face as seen from inside, laid out as an unfolded cube.
    const float a[3] = {-1, 1, 1}, b[3] = {1, 1, 1}, c[3] = {-1, -1, 1}, d[3] = {1, -1, 1};
    const float e[3] = {-1, 1, -1}, f[3] = {1, 1, -1}, g[3] = {-1, -1, -1}, h[3] = {1, -1, -1};
    face(16, 24, a, b, c, d);  // +z
    face(32, 24, b, f, d, h);  // +x
    face(0, 24, e, a, g, c);   // -x
    face(48, 24, f, e, h, g);  // -z
    face(16, 8, e, f, a, b);   // +y
    face(16, 40, c, d, g, h);  // -y
    ExpectGolden("cube_map");
    EXPECT_EQ(Pixel(40, 36), faceColours[0]);  // lower right of +x: undarkened
    EXPECT_EQ(Pixel(24, 36), faceColours[4]);
}

TEST_F(Texturing, RenderTargetReadAsTexture) {
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, texture.Out(), nullptr),
              D3D_OK);
    ComRef<IDirect3DSurface9> surface, back;
    ASSERT_EQ(texture->GetSurfaceLevel(0, surface.Out()), D3D_OK);
    ASSERT_EQ(device_->GetRenderTarget(0, back.Out()), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, surface.Get()), D3D_OK);
    ASSERT_EQ(device_->SetDepthStencilSurface(nullptr), D3D_OK);
    SetRS(D3DRS_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030u, 1.0f, 0), D3D_OK);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(0, 0, 0, 0, 0xFFFF0000u), V(8, 0, 0, 0, 0xFFFF0000u), V(0, 16, 0, 0, 0xFFFF0000u),
            V(8, 16, 0, 0, 0xFFFF0000u)},
           2);
    ASSERT_EQ(device_->SetRenderTarget(0, back.Get()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Quad(0, 0, 32, 32, 0, 0, 1, 1);
    EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(20, 4), 0xFF102030u);
}

TEST_F(Texturing, StageOperations) {
    // One texel T, diffuse D, specular S and the factor F, through one stage.
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 1, 1, {{0x80C04020u}});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    const PixelCodec::Rgba T = PixelCodec::FromColor(0x80C04020u),
                           D = PixelCodec::FromColor(0x40306090u),
                           F = PixelCodec::FromColor(0xC0204080u),
                           S = PixelCodec::FromColor(0x00402010u);
    SetRS(D3DRS_TEXTUREFACTOR, 0xC0204080u);
    struct SVertex {
        float x, y, z, rhw;
        DWORD diffuse, specular;
        float u, v;
    };
    auto sat = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    struct Case {
        DWORD op, arg1, arg2, arg0;
        float (*expect)(float t, float d, float f, float s, float ta, float da, float fa);
    };
    const Case cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float, float, float, float, float, float) { return t; }},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float, float d, float, float, float, float, float) { return d; }},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float d, float, float, float, float, float) { return t * d; }},
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float d, float, float, float, float, float) { return t * d * 2; }},
        {D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float d, float, float, float, float, float) { return t * d * 4; }},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
         [](float t, float, float f, float, float, float, float) { return t + f; }},
        {D3DTOP_MULTIPLYADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_SPECULAR,
         [](float t, float d, float, float s, float, float, float) { return s + t * d; }},
        {D3DTOP_BLENDTEXTUREALPHA, D3DTA_DIFFUSE, D3DTA_TFACTOR, 0,
         [](float, float d, float f, float, float ta, float, float) {
             return d * ta + f * (1 - ta);
         }},
        {D3DTOP_BLENDCURRENTALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
         [](float t, float, float f, float, float, float da, float) {
             return t * da + f * (1 - da);
         }},
        {D3DTOP_BLENDFACTORALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float d, float, float, float, float, float fa) {
             return t * fa + d * (1 - fa);
         }},
        {D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, 0,
         [](float t, float, float f, float, float, float da, float) {
             return t * da + f * (1 - da);
         }},
        {D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0,
         [](float t, float d, float, float, float ta, float, float) { return t + ta * d; }},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0,
         [](float t, float, float, float, float, float, float) { return 1 - t; }},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE, 0,
         [](float, float, float, float, float, float, float fa) { return fa; }},
    };
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1),
              D3D_OK);
    SVertex quad[4] = {{0, 0, 0.5f, 1, 0x40306090u, 0x00402010u, 0, 0},
                       {4, 0, 0.5f, 1, 0x40306090u, 0x00402010u, 1, 0},
                       {0, 4, 0.5f, 1, 0x40306090u, 0x00402010u, 0, 1},
                       {4, 4, 0.5f, 1, 0x40306090u, 0x00402010u, 1, 1}};
    for (const Case& c : cases) {
        Stage(D3DTSS_COLOROP, c.op);
        Stage(D3DTSS_COLORARG1, c.arg1);
        Stage(D3DTSS_COLORARG2, c.arg2);
        Stage(D3DTSS_COLORARG0, c.arg0);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SVertex)), D3D_OK);
        PixelCodec::Rgba got = PixelCodec::FromColor(Pixel(1, 1));
        const float tc[3] = {T.r, T.g, T.b}, dc[3] = {D.r, D.g, D.b}, fc[3] = {F.r, F.g, F.b},
                    sc[3] = {S.r, S.g, S.b}, gc[3] = {got.r, got.g, got.b};
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(gc[k], sat(c.expect(tc[k], dc[k], fc[k], sc[k], T.a, D.a, F.a)), 1.5f / 255)
                << "op " << c.op << " channel " << k;
    }
    // DOTPRODUCT3 of texture and factor as signed vectors, in every channel.
    Stage(D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3);
    Stage(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Stage(D3DTSS_COLORARG2, D3DTA_TFACTOR);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SVertex)), D3D_OK);
    float dot = sat(
        4 * ((T.r - .5f) * (F.r - .5f) + (T.g - .5f) * (F.g - .5f) + (T.b - .5f) * (F.b - .5f)));
    EXPECT_NEAR(PixelCodec::FromColor(Pixel(1, 1)).r, dot, 1.5f / 255);
    // Two stages: stage 1 adds the factor to the first stage's result.
    Stage(D3DTSS_COLOROP, D3DTOP_MODULATE);
    Stage(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    Stage(D3DTSS_COLOROP, D3DTOP_ADD, 1);
    Stage(D3DTSS_COLORARG1, D3DTA_CURRENT, 1);
    Stage(D3DTSS_COLORARG2, D3DTA_TFACTOR, 1);
    Stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1, 1);
    Stage(D3DTSS_ALPHAARG1, D3DTA_CURRENT, 1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SVertex)), D3D_OK);
    EXPECT_NEAR(PixelCodec::FromColor(Pixel(1, 1)).b, sat(T.b * D.b + F.b), 1.5f / 255);
    // Specular is added after the stages when enabled.
    Stage(D3DTSS_COLOROP, D3DTOP_DISABLE, 1);
    SetRS(D3DRS_SPECULARENABLE, TRUE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SVertex)), D3D_OK);
    EXPECT_NEAR(PixelCodec::FromColor(Pixel(1, 1)).r, sat(T.r * D.r + S.r), 1.5f / 255);
}

TEST_F(Texturing, CoordinateIndicesAndTransforms) {
    // A 2×2 texture: red, green / blue, white.
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 2, 2, {{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}});
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    Stage(D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    struct TwoSets {
        float x, y, z, rhw;
        float u0, v0, u1, v1;
    };
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2), D3D_OK);
    // Set 0 reads the top-left texel, set 1 the bottom-right one.
    TwoSets quad[4] = {{0, 0, 0.5f, 1, 0.1f, 0.1f, 0.9f, 0.9f},
                       {4, 0, 0.5f, 1, 0.1f, 0.1f, 0.9f, 0.9f},
                       {0, 4, 0.5f, 1, 0.1f, 0.1f, 0.9f, 0.9f},
                       {4, 4, 0.5f, 1, 0.1f, 0.1f, 0.9f, 0.9f}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TwoSets)), D3D_OK);
    EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);
    Stage(D3DTSS_TEXCOORDINDEX, 1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TwoSets)), D3D_OK);
    EXPECT_EQ(Pixel(1, 1), 0xFFFFFFFFu);
    // A 2D transform keeps its translation in the third row: (u, v, 1) moves by (0.5, 0).
    Stage(D3DTSS_TEXCOORDINDEX, 0);
    Stage(D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._31 = 0.5f;
    ASSERT_EQ(device_->SetTransform(D3DTS_TEXTURE0, &m), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TwoSets)), D3D_OK);
    EXPECT_EQ(Pixel(1, 1), 0xFF00FF00u);
    // Projected: (u, v, q) with q = 4 scales (0.9, 0.9) × 1 ... through the matrix, divided by
    // the third component.
    Stage(D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED);
    m = D3DMATRIX{};
    m._11 = m._22 = m._44 = 1.0f;
    m._33 = 4.0f;  // q = 4 for every vertex
    ASSERT_EQ(device_->SetTransform(D3DTS_TEXTURE0, &m), D3D_OK);
    Stage(D3DTSS_TEXCOORDINDEX, 1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TwoSets)), D3D_OK);
    EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);  // (0.225, 0.225)

    // Camera-space position as coordinates: untransformed vertices at x in [-1, 1] read u = x
    // through a transform that maps [-1, 1] to [0, 1] (scale in the first row, offset in the
    // fourth: the generated vector is (x, y, z, 1)).
    Stage(D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    Stage(D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    m = D3DMATRIX{};
    m._11 = 0.5f;
    m._22 = -0.5f;
    m._41 = 0.5f;
    m._42 = 0.5f;
    m._44 = 1.0f;
    ASSERT_EQ(device_->SetTransform(D3DTS_TEXTURE0, &m), D3D_OK);
    std::vector<LVertex> full = {{-1, 1, 0.5f, ~0u, 0, 0},
                                 {1, 1, 0.5f, ~0u, 0, 0},
                                 {-1, -1, 0.5f, ~0u, 0, 0},
                                 {1, -1, 0.5f, ~0u, 0, 0}};
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, full.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(8, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(56, 8), 0xFF00FF00u);
    EXPECT_EQ(Pixel(8, 56), 0xFF0000FFu);
    EXPECT_EQ(Pixel(56, 56), 0xFFFFFFFFu);
}

}  // namespace
