// The software device's rasteriser through Direct3D 9 calls: coverage and the fill rule, depth,
// stencil, blending, alpha test, culling, scissor, fog, primitive types and vertex input,
// occlusion counts and tiled rendering.
#include <algorithm>
#include <cmath>
#include <random>

#include "tests/Platform/RasterFixture.h"

namespace {

class Raster : public RasterFixture {
protected:
    SoftSurface9* DepthStencil() {
        ComRef<IDirect3DSurface9> surface;
        EXPECT_EQ(device_->GetDepthStencilSurface(surface.Out()), D3D_OK);
        return SoftSurface9::From(surface.Get());
    }
    float Depth(UINT x, UINT y) { return DepthStencil()->Depth()[y * kSide + x]; }
    BYTE Stencil(UINT x, UINT y) { return DepthStencil()->Stencil()[y * kSide + x]; }
    void Additive() {
        SetRS(D3DRS_ALPHABLENDENABLE, TRUE);
        SetRS(D3DRS_SRCBLEND, D3DBLEND_ONE);
        SetRS(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
    static TLVertex V(float x, float y, DWORD color, float z = 0.5f) {
        return {x, y, z, 1.0f, color, 0.0f, 0.0f};
    }
    // Draws a rectangle as a triangle list of two triangles with the given winding.
    void Triangle(float x0, float y0, float x1, float y1, float x2, float y2, DWORD color) {
        DrawTL(D3DPT_TRIANGLELIST, {V(x0, y0, color), V(x1, y1, color), V(x2, y2, color)}, 1);
    }
};

TEST_F(Raster, PixelCentresAreAtIntegerCoordinates) {
    // Rectangle [x0, x1) covers the pixels whose centre (an integer) lies in it.
    struct Case {
        float x0, x1;
        int first, last;  // covered pixel columns
    };
    const Case cases[] = {{0.0f, 4.0f, 0, 3},   {0.5f, 4.5f, 1, 4},  {0.49f, 4.51f, 1, 4},
                          {0.51f, 4.49f, 1, 4}, {1.0f, 1.99f, 1, 1}, {1.01f, 2.0f, 2, 1}};
    for (const Case& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        Rect(c.x0, 10.0f, c.x1, 12.0f, 0.5f, 0xFFFFFFFFu);
        for (int x = 0; x < 8; ++x) {
            bool covered = x >= c.first && x <= c.last;
            EXPECT_EQ(Pixel(static_cast<UINT>(x), 10) != 0xFF000000u, covered)
                << "rect " << c.x0 << "-" << c.x1 << " pixel " << x;
        }
        EXPECT_EQ(Pixel(2, 9), 0xFF000000u);
        EXPECT_EQ(Pixel(2, 12), 0xFF000000u);
    }
}

TEST_F(Raster, TrianglesSharingEdgesCoverEachPixelOnce) {
    // A jittered grid over [8, 56) × [8, 56): inner vertices on pixel centres, on half pixels and
    // in between. Additive blending shows any pixel drawn twice or missed.
    Additive();
    const int n = 6;
    float px[n + 1][n + 1], py[n + 1][n + 1];
    const float jitter[] = {0.0f, 0.5f, 0.25f, -0.5f, 0.37f, -0.13f, 1.0f};
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            bool inner = i > 0 && i < n && j > 0 && j < n;
            px[j][i] = 8.0f + 8.0f * i + (inner ? jitter[(i + 2 * j) % 7] : 0.0f);
            py[j][i] = 8.0f + 8.0f * j + (inner ? jitter[(3 * i + j) % 7] : 0.0f);
        }
    }
    std::vector<TLVertex> v;
    const DWORD c = 0xFF202020u;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            TLVertex a = V(px[j][i], py[j][i], c), b = V(px[j][i + 1], py[j][i + 1], c);
            TLVertex d = V(px[j + 1][i], py[j + 1][i], c),
                     e = V(px[j + 1][i + 1], py[j + 1][i + 1], c);
            if ((i + j) % 2)
                v.insert(v.end(), {a, b, e, a, e, d});
            else
                v.insert(v.end(), {a, b, d, d, b, e});
        }
    }
    // And a fan of eight triangles around a pixel centre inside the grid's hole-free area.
    DrawTL(D3DPT_TRIANGLELIST, v, static_cast<UINT>(v.size() / 3));
    for (UINT y = 0; y < kSide; ++y) {
        for (UINT x = 0; x < kSide; ++x) {
            bool inside = x >= 8 && x < 56 && y >= 8 && y < 56;
            ASSERT_EQ(Pixel(x, y), inside ? 0xFF202020u : 0xFF000000u) << x << "," << y;
        }
    }
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    std::vector<TLVertex> fan = {V(32, 32, c)};
    for (int k = 0; k <= 8; ++k) {
        float angle = static_cast<float>(k) * 3.14159265f / 4.0f;
        fan.push_back(V(32.0f + 20.0f * std::cos(angle), 32.0f + 20.0f * std::sin(angle), c));
    }
    DrawTL(D3DPT_TRIANGLEFAN, fan, 8);
    for (UINT y = 0; y < kSide; ++y)
        for (UINT x = 0; x < kSide; ++x) ASSERT_NE(Pixel(x, y), 0xFF404040u) << x << "," << y;
    EXPECT_EQ(Pixel(32, 32), 0xFF202020u);
    EXPECT_EQ(Pixel(40, 32), 0xFF202020u);
    EXPECT_EQ(Pixel(32, 26), 0xFF202020u);
}

TEST_F(Raster, OcclusionQueryCountsTheCoveredPixels) {
    ComRef<IDirect3DQuery9> query;
    ASSERT_EQ(device_->CreateQuery(D3DQUERYTYPE_OCCLUSION, query.Out()), D3D_OK);
    ASSERT_EQ(query->Issue(D3DISSUE_BEGIN), D3D_OK);
    // Centres with x, y >= 0 and x + y < 16: the hypotenuse is a bottom-right edge.
    Triangle(0, 0, 16, 0, 0, 16, 0xFFFFFFFFu);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    DWORD samples = 0;
    ASSERT_EQ(query->GetData(&samples, sizeof(samples), D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(samples, 136u);
    UINT drawn = 0;
    for (UINT y = 0; y < kSide; ++y)
        for (UINT x = 0; x < kSide; ++x) drawn += Pixel(x, y) != 0xFF000000u;
    EXPECT_EQ(drawn, 136u);

    // Behind what is there: nothing passes; a colour write mask of 0 still counts.
    ASSERT_EQ(query->Issue(D3DISSUE_BEGIN), D3D_OK);
    DrawTL(D3DPT_TRIANGLELIST,
           {V(0, 0, 0xFF00FF00u, 0.9f), V(16, 0, 0xFF00FF00u, 0.9f), V(0, 16, 0xFF00FF00u, 0.9f)},
           1);
    SetRS(D3DRS_COLORWRITEENABLE, 0);
    Rect(20, 20, 30, 30, 0.2f, 0xFFFFFFFFu);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    ASSERT_EQ(query->GetData(&samples, sizeof(samples), D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(samples, 100u);
    EXPECT_EQ(Pixel(25, 25), 0xFF000000u);
}

TEST_F(Raster, DepthCompareFunctionsAndWriteMask) {
    struct Case {
        DWORD func;
        bool less, equal, greater;  // drawn when the incoming depth is below, at, above 0.5
    };
    const Case cases[] = {
        {D3DCMP_NEVER, false, false, false},      {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},       {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true},     {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true},
    };
    const float depths[3] = {0.25f, 0.5f, 0.75f};
    for (const Case& c : cases) {
        for (int k = 0; k < 3; ++k) {
            for (DWORD write : {FALSE, TRUE}) {
                ASSERT_EQ(
                    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 0.5f, 0),
                    D3D_OK);
                SetRS(D3DRS_ZFUNC, c.func);
                SetRS(D3DRS_ZWRITEENABLE, write);
                Rect(4, 4, 8, 8, depths[k], 0xFFFFFFFFu);
                bool drawn = k == 0 ? c.less : k == 1 ? c.equal : c.greater;
                EXPECT_EQ(Pixel(5, 5) == 0xFFFFFFFFu, drawn) << c.func << " depth " << depths[k];
                EXPECT_EQ(Depth(5, 5), drawn && write ? depths[k] : 0.5f) << c.func;
            }
        }
    }
    // Depth disabled: drawn, depth untouched.
    SetRS(D3DRS_ZENABLE, D3DZB_FALSE);
    SetRS(D3DRS_ZFUNC, D3DCMP_NEVER);
    Rect(10, 10, 12, 12, 0.1f, 0xFF00FF00u);
    EXPECT_EQ(Pixel(10, 10), 0xFF00FF00u);
    EXPECT_EQ(Depth(10, 10), 0.5f);
}

TEST_F(Raster, ViewportDepthRangeAndDepthBias) {
    D3DVIEWPORT9 vp{0, 0, kSide, kSide, 0.25f, 0.75f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    // An untransformed quad at z = 0.5 (identity matrices) lands at 0.25 + 0.5 * 0.5.
    ClipQuad();
    EXPECT_FLOAT_EQ(Depth(10, 10), 0.5f);
    vp.MinZ = 0.0f;
    vp.MaxZ = 1.0f;
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);

    // A coplanar quad fails LESS unless biased towards the viewer.
    SetRS(D3DRS_ZFUNC, D3DCMP_LESS);
    Rect(0, 0, 8, 8, 0.5f, 0xFF0000FFu);
    EXPECT_EQ(Pixel(4, 4), 0xFFFFFFFFu);
    SetRS(D3DRS_DEPTHBIAS, F2D(-0.001f));
    Rect(0, 0, 8, 8, 0.5f, 0xFF0000FFu);
    EXPECT_EQ(Pixel(4, 4), 0xFF0000FFu);
    EXPECT_NEAR(Depth(4, 4), 0.499f, 1e-6f);
    // Slope-scaled bias follows the depth gradient (here 0.01 per pixel).
    SetRS(D3DRS_DEPTHBIAS, 0);
    SetRS(D3DRS_SLOPESCALEDEPTHBIAS, F2D(-2.0f));
    SetRS(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    DrawTL(
        D3DPT_TRIANGLELIST,
        {V(20, 20, 0xFFFFFFFFu, 0.2f), V(40, 20, 0xFFFFFFFFu, 0.4f), V(20, 40, 0xFFFFFFFFu, 0.2f)},
        1);
    EXPECT_NEAR(Depth(20, 20), 0.2f - 2.0f * 0.01f, 1e-5f);
}

TEST_F(Raster, StencilTestsAndOperations) {
    struct Case {
        DWORD func, fail, zfail, pass;
        BYTE ref, mask, writeMask, start;
        float z;  // against depth 0.5
        BYTE expected;
        bool drawn;
    };
    const Case cases[] = {
        {D3DCMP_EQUAL, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_INCR, 3, 0xFF, 0xFF, 3,
         0.2f, 4, true},
        {D3DCMP_EQUAL, D3DSTENCILOP_ZERO, D3DSTENCILOP_KEEP, D3DSTENCILOP_INCR, 3, 0xFF, 0xFF, 4,
         0.2f, 0, false},
        {D3DCMP_EQUAL, D3DSTENCILOP_ZERO, D3DSTENCILOP_KEEP, D3DSTENCILOP_INCR, 0x13, 0x0F, 0xFF,
         0x23, 0.2f, 0x24, true},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_REPLACE, D3DSTENCILOP_KEEP, 9, 0xFF, 0xFF,
         1, 0.8f, 9, false},
        {D3DCMP_LESS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_REPLACE, 2, 0xFF, 0xFF, 5,
         0.2f, 2, true},
        {D3DCMP_GREATER, D3DSTENCILOP_INVERT, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, 2, 0xFF, 0xFF,
         5, 0.2f, 0xFA, false},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_INCRSAT, 0, 0xFF, 0xFF,
         0xFF, 0.2f, 0xFF, true},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_INCR, 0, 0xFF, 0xFF,
         0xFF, 0.2f, 0, true},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECRSAT, 0, 0xFF, 0xFF,
         0, 0.2f, 0, true},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR, 0, 0xFF, 0xFF, 0,
         0.2f, 0xFF, true},
        {D3DCMP_ALWAYS, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_REPLACE, 0xAB, 0xFF,
         0x0F, 0x50, 0.2f, 0x5B, true},
        {D3DCMP_NEVER, D3DSTENCILOP_REPLACE, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, 7, 0xFF, 0xFF, 1,
         0.2f, 7, false},
    };
    SetRS(D3DRS_STENCILENABLE, TRUE);
    for (const Case& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                 0, 0.5f, c.start),
                  D3D_OK);
        SetRS(D3DRS_STENCILFUNC, c.func);
        SetRS(D3DRS_STENCILFAIL, c.fail);
        SetRS(D3DRS_STENCILZFAIL, c.zfail);
        SetRS(D3DRS_STENCILPASS, c.pass);
        SetRS(D3DRS_STENCILREF, c.ref);
        SetRS(D3DRS_STENCILMASK, c.mask);
        SetRS(D3DRS_STENCILWRITEMASK, c.writeMask);
        Rect(2, 2, 6, 6, c.z, 0xFFFFFFFFu);
        EXPECT_EQ(Stencil(3, 3), c.expected) << "func " << c.func << " start " << int(c.start);
        EXPECT_EQ(Pixel(3, 3) == 0xFFFFFFFFu, c.drawn) << "func " << c.func;
        EXPECT_EQ(Stencil(10, 10), c.start);
    }

    // Two-sided: counter-clockwise triangles take the CCW operations.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3D_OK);
    SetRS(D3DRS_STENCILWRITEMASK, 0xFF);
    SetRS(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    SetRS(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    SetRS(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
    SetRS(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);
    SetRS(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
    Triangle(20, 20, 40, 20, 20, 40, 0xFFFFFFFFu);  // clockwise on screen
    Triangle(20, 50, 40, 50, 20, 30, 0xFFFFFFFFu);  // counter-clockwise
    EXPECT_EQ(Stencil(22, 22), 1);
    EXPECT_EQ(Stencil(22, 48), 0xFF);
    EXPECT_EQ(Stencil(22, 35), 0);  // both
}

TEST_F(Raster, AlphaTestComparesTheEightBitAlpha) {
    SetRS(D3DRS_ALPHATESTENABLE, TRUE);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE), D3D_OK);
    struct Case {
        DWORD func, ref, alpha;
        bool drawn;
    };
    const Case cases[] = {
        {D3DCMP_GREATER, 0x80, 0x81, true},      {D3DCMP_GREATER, 0x80, 0x80, false},
        {D3DCMP_GREATEREQUAL, 0x80, 0x80, true}, {D3DCMP_LESS, 0x80, 0x7F, true},
        {D3DCMP_LESS, 0x80, 0x80, false},        {D3DCMP_EQUAL, 0x40, 0x40, true},
        {D3DCMP_NOTEQUAL, 0x40, 0x40, false},    {D3DCMP_NEVER, 0, 0xFF, false},
        {D3DCMP_ALWAYS, 0xFF, 0, true},          {D3DCMP_LESSEQUAL, 0x10, 0x10, true}};
    for (const Case& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0),
                  D3D_OK);
        SetRS(D3DRS_ALPHAFUNC, c.func);
        SetRS(D3DRS_ALPHAREF, c.ref);
        Rect(0, 0, 4, 4, 0.5f, (c.alpha << 24) | 0x00FFFFFFu);
        EXPECT_EQ(Pixel(1, 1) == 0xFFFFFFFFu, c.drawn) << c.func << " " << c.ref << " " << c.alpha;
        EXPECT_EQ(Depth(1, 1), c.drawn ? 0.5f : 1.0f);  // a dropped pixel writes no depth
    }
}

TEST_F(Raster, BlendFactorsAndOperations) {
    // An A8R8G8B8 target so that destination alpha is real.
    ComRef<IDirect3DSurface9> target;
    ASSERT_EQ(device_->CreateRenderTarget(kSide, kSide, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                          FALSE, target.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, target.Get()), D3D_OK);
    SoftSurface9* rt = SoftSurface9::From(target.Get());
    const float s[4] = {0.8f, 0.4f, 0.2f, 0.6f}, d[4] = {0.2f, 0.6f, 1.0f, 0.4f};
    const float k[4] = {0.4f, 0.2f, 0.8f, 1.0f};  // blend factor
    auto colour = [](const float* c) { return PixelCodec::ToColor({c[0], c[1], c[2], c[3]}); };
    auto factor = [&](DWORD f, int c, const float* src, const float* dst) -> float {
        switch (f) {
            case D3DBLEND_ZERO:
                return 0;
            case D3DBLEND_ONE:
                return 1;
            case D3DBLEND_SRCCOLOR:
                return src[c];
            case D3DBLEND_INVSRCCOLOR:
                return 1 - src[c];
            case D3DBLEND_SRCALPHA:
                return src[3];
            case D3DBLEND_INVSRCALPHA:
                return 1 - src[3];
            case D3DBLEND_DESTALPHA:
                return dst[3];
            case D3DBLEND_INVDESTALPHA:
                return 1 - dst[3];
            case D3DBLEND_DESTCOLOR:
                return dst[c];
            case D3DBLEND_INVDESTCOLOR:
                return 1 - dst[c];
            case D3DBLEND_SRCALPHASAT:
                return c == 3 ? 1 : std::min(src[3], 1 - dst[3]);
            case D3DBLEND_BLENDFACTOR:
                return k[c];
            default:
                return 1 - k[c];  // INVBLENDFACTOR
        }
    };
    // The decoded 8-bit inputs, as the device sees them.
    PixelCodec::Rgba sq = PixelCodec::FromColor(colour(s)), dq = PixelCodec::FromColor(colour(d));
    const float src[4] = {sq.r, sq.g, sq.b, sq.a}, dst[4] = {dq.r, dq.g, dq.b, dq.a};
    SetRS(D3DRS_ALPHABLENDENABLE, TRUE);
    SetRS(D3DRS_BLENDFACTOR, colour(k));
    auto check = [&](DWORD sf, DWORD df, DWORD op, const char* what) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour(d), 1.0f, 0), D3D_OK);
        SetRS(D3DRS_SRCBLEND, sf);
        SetRS(D3DRS_DESTBLEND, df);
        SetRS(D3DRS_BLENDOP, op);
        Rect(0, 0, 2, 2, 0.5f, colour(s));
        PixelCodec::Rgba got = rt->ReadPixel(0, 0);
        const float g[4] = {got.r, got.g, got.b, got.a};
        for (int c = 0; c < 4; ++c) {
            float fs = factor(sf, c, src, dst), fd = factor(df, c, src, dst);
            float e;
            switch (op) {
                case D3DBLENDOP_SUBTRACT:
                    e = src[c] * fs - dst[c] * fd;
                    break;
                case D3DBLENDOP_REVSUBTRACT:
                    e = dst[c] * fd - src[c] * fs;
                    break;
                case D3DBLENDOP_MIN:
                    e = std::min(src[c], dst[c]);
                    break;
                case D3DBLENDOP_MAX:
                    e = std::max(src[c], dst[c]);
                    break;
                default:
                    e = src[c] * fs + dst[c] * fd;
                    break;
            }
            EXPECT_NEAR(g[c], std::clamp(e, 0.0f, 1.0f), 1.0f / 255.0f)
                << what << " src " << sf << " dest " << df << " op " << op << " channel " << c;
        }
    };
    for (DWORD f = D3DBLEND_ZERO; f <= D3DBLEND_INVBLENDFACTOR; ++f) {
        if (f == D3DBLEND_BOTHSRCALPHA || f == D3DBLEND_BOTHINVSRCALPHA)
            continue;
        check(f, D3DBLEND_ZERO, D3DBLENDOP_ADD, "as source");
        check(D3DBLEND_ZERO, f, D3DBLENDOP_ADD, "as destination");
    }
    for (DWORD op = D3DBLENDOP_ADD; op <= D3DBLENDOP_MAX; ++op)
        check(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, op, "operation");
    // BOTHSRCALPHA: source × As + dest × (1 - As), whatever DESTBLEND says.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour(d), 1.0f, 0), D3D_OK);
    SetRS(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    SetRS(D3DRS_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
    SetRS(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    Rect(0, 0, 2, 2, 0.5f, colour(s));
    EXPECT_NEAR(rt->ReadPixel(0, 0).r, src[0] * src[3] + dst[0] * (1 - src[3]), 1.0f / 255.0f);

    // Separate alpha: colour one way, alpha another.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour(d), 1.0f, 0), D3D_OK);
    SetRS(D3DRS_SRCBLEND, D3DBLEND_ONE);
    SetRS(D3DRS_DESTBLEND, D3DBLEND_ONE);
    SetRS(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
    SetRS(D3DRS_SRCBLENDALPHA, D3DBLEND_ZERO);
    SetRS(D3DRS_DESTBLENDALPHA, D3DBLEND_ONE);
    SetRS(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
    Rect(0, 0, 2, 2, 0.5f, colour(s));
    PixelCodec::Rgba got = rt->ReadPixel(0, 0);
    EXPECT_NEAR(got.g, std::min(1.0f, src[1] + dst[1]), 1.0f / 255.0f);
    EXPECT_NEAR(got.a, dst[3], 1.0f / 255.0f);

    // Colour write mask: only green and alpha change.
    SetRS(D3DRS_ALPHABLENDENABLE, FALSE);
    SetRS(D3DRS_COLORWRITEENABLE, 0x2 | 0x8);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x10203040u, 1.0f, 0), D3D_OK);
    Rect(0, 0, 2, 2, 0.5f, 0xAABBCCDDu);
    EXPECT_EQ(PixelCodec::ToColor(rt->ReadPixel(0, 0)), 0xAA20CC40u);
}

TEST_F(Raster, CullingFollowsScreenWinding) {
    struct Case {
        DWORD cull;
        bool clockwise, counterClockwise;
    };
    const Case cases[] = {
        {D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
    for (const Case& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        SetRS(D3DRS_CULLMODE, c.cull);
        Triangle(0, 0, 20, 0, 0, 20, 0xFFFF0000u);    // clockwise with y down
        Triangle(30, 0, 30, 20, 50, 0, 0xFF00FF00u);  // counter-clockwise
        EXPECT_EQ(Pixel(2, 2) == 0xFFFF0000u, c.clockwise) << c.cull;
        EXPECT_EQ(Pixel(32, 2) == 0xFF00FF00u, c.counterClockwise) << c.cull;
    }
    // Strips alternate their order so that every triangle keeps the strip's winding.
    SetRS(D3DRS_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(0, 30, ~0u), V(10, 30, ~0u), V(0, 40, ~0u), V(10, 40, ~0u), V(0, 50, ~0u),
            V(10, 50, ~0u)},
           4);
    for (UINT y = 30; y < 50; ++y) EXPECT_EQ(Pixel(5, y), 0xFFFFFFFFu) << y;
    // A camera-facing untransformed quad; the default CCW culls the mirrored one.
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    std::vector<LVertex> front = {
        {-1, 1, 0.5f, ~0u, 0, 0}, {1, 1, 0.5f, ~0u, 0, 0}, {-1, -1, 0.5f, ~0u, 0, 0}};
    std::vector<LVertex> back = {{-1, 1, 0.5f, 0xFFFF0000u, 0, 0},
                                 {-1, -1, 0.5f, 0xFFFF0000u, 0, 0},
                                 {1, 1, 0.5f, 0xFFFF0000u, 0, 0}};
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, back.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFF000000u);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, front.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(4, 4), 0xFFFFFFFFu);
}

TEST_F(Raster, ScissorAndViewportLimitThePixels) {
    RECT scissor{10, 12, 20, 30};
    ASSERT_EQ(device_->SetScissorRect(&scissor), D3D_OK);
    SetRS(D3DRS_SCISSORTESTENABLE, TRUE);
    Rect(0, 0, 64, 64, 0.5f, 0xFFFFFFFFu);
    for (UINT y = 0; y < kSide; ++y)
        for (UINT x = 0; x < kSide; ++x)
            ASSERT_EQ(Pixel(x, y) == 0xFFFFFFFFu, x >= 10 && x < 20 && y >= 12 && y < 30)
                << x << "," << y;
    SetRS(D3DRS_SCISSORTESTENABLE, FALSE);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    D3DVIEWPORT9 vp{16, 8, 32, 16, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    Rect(0, 0, 64, 64, 0.5f, 0xFFFFFFFFu);
    for (UINT y = 0; y < kSide; ++y)
        for (UINT x = 0; x < kSide; ++x)
            ASSERT_EQ(Pixel(x, y) == 0xFFFFFFFFu, x >= 16 && x < 48 && y >= 8 && y < 24)
                << x << "," << y;
}

TEST_F(Raster, NearAndFarPlanesClip) {
    // Untransformed, identity matrices: clip space is the vertex. A triangle crossing z = 0 keeps
    // only its part in front; one beyond w is dropped.
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    std::vector<LVertex> crossing = {{-1, 1, -1.0f, ~0u, 0, 0},
                                     {1, 1, -1.0f, ~0u, 0, 0},
                                     {-1, -1, 1.0f, ~0u, 0, 0},
                                     {1, -1, 1.0f, ~0u, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, crossing.data(), sizeof(LVertex)),
              D3D_OK);
    // z runs from -1 at the top row to 1 at the bottom: only the lower half (z >= 0) remains.
    EXPECT_EQ(Pixel(10, 10), 0xFF000000u);
    EXPECT_EQ(Pixel(10, 40), 0xFFFFFFFFu);
    EXPECT_GE(Depth(10, 63), 0.9f);
    std::vector<LVertex> far = {{-1, 1, 1.5f, 0xFFFF0000u, 0, 0},
                                {1, 1, 1.5f, 0xFFFF0000u, 0, 0},
                                {-1, -1, 1.5f, 0xFFFF0000u, 0, 0}};
    SetRS(D3DRS_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, far.data(), sizeof(LVertex)), D3D_OK);
    EXPECT_EQ(Pixel(2, 40), 0xFFFFFFFFu);
    // A huge triangle is clipped to the guard band and still fills the screen.
    std::vector<LVertex> huge = {{-1e6f, -1e6f, 0.5f, 0xFF00FF00u, 0, 0},
                                 {0.0f, 1e6f, 0.5f, 0xFF00FF00u, 0, 0},
                                 {1e6f, -1e6f, 0.5f, 0xFF00FF00u, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, huge.data(), sizeof(LVertex)),
              D3D_OK);
    EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(63, 63), 0xFF00FF00u);
}

}  // namespace
