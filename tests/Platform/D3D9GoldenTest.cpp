// Whole 64×64 frames of the software device compared with golden images (see RasterFixture.h
// for the tolerance and the regeneration command).
#include <cmath>

#include "tests/Platform/RasterFixture.h"

namespace {

constexpr float kPi = 3.14159265f;

struct NVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE
    float x, y, z;
    float nx, ny, nz;
    DWORD color;
};
constexpr DWORD kNFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Left-handed perspective: the camera at the origin looks along +z.
D3DMATRIX Perspective(float fovY, float aspect, float zn, float zf) {
    D3DMATRIX m{};
    float y = 1.0f / std::tan(fovY * 0.5f);
    m._11 = y / aspect;
    m._22 = y;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

// A unit sphere as an indexed triangle list (clockwise from outside as seen by the camera).
void Sphere(int rings, int segments, DWORD color, std::vector<NVertex>* vertices,
            std::vector<WORD>* indices) {
    for (int r = 0; r <= rings; ++r) {
        float theta = kPi * static_cast<float>(r) / rings;
        for (int s = 0; s <= segments; ++s) {
            float phi = 2.0f * kPi * static_cast<float>(s) / segments;
            float x = std::sin(theta) * std::cos(phi), y = std::cos(theta),
                  z = std::sin(theta) * std::sin(phi);
            vertices->push_back({x, y, z, x, y, z, color});
        }
    }
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            auto at = [&](int rr, int ss) { return static_cast<WORD>(rr * (segments + 1) + ss); };
            indices->insert(indices->end(), {at(r, s), at(r, s + 1), at(r + 1, s), at(r + 1, s),
                                             at(r, s + 1), at(r + 1, s + 1)});
        }
    }
}

class Golden : public RasterFixture {
protected:
    static TLVertex V(float x, float y, DWORD color, float z = 0.5f, float u = 0, float v = 0) {
        return {x, y, z, 1.0f, color, u, v};
    }
    // A horizontal gradient behind everything.
    void Background() {
        std::vector<TLVertex> v = {V(0, 0, 0xFF203040u), V(64, 0, 0xFFC08020u),
                                   V(0, 64, 0xFF4080C0u), V(64, 64, 0xFF80F0A0u)};
        SetRS(D3DRS_ZENABLE, D3DZB_FALSE);
        DrawTL(D3DPT_TRIANGLESTRIP, v, 2);
        SetRS(D3DRS_ZENABLE, D3DZB_TRUE);
    }
    void Camera() {
        D3DMATRIX projection = Perspective(kPi / 3.0f, 1.0f, 0.5f, 20.0f), view = Identity();
        ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
        ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    }
    void DrawSphere(float x, float y, float z, DWORD color) {
        std::vector<NVertex> vertices;
        std::vector<WORD> indices;
        Sphere(12, 16, color, &vertices, &indices);
        D3DMATRIX world = Translation(x, y, z);
        ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
        ASSERT_EQ(device_->SetFVF(kNFvf), D3D_OK);
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(
                      D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()),
                      static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                      vertices.data(), sizeof(NVertex)),
                  D3D_OK);
    }
};

TEST_F(Golden, FillRule) {
    // A fan around a point off the pixel grid and thin slivers, added up: an overlap would show
    // brighter, a gap darker.
    SetRS(D3DRS_ALPHABLENDENABLE, TRUE);
    SetRS(D3DRS_SRCBLEND, D3DBLEND_ONE);
    SetRS(D3DRS_DESTBLEND, D3DBLEND_ONE);
    std::vector<TLVertex> fan = {V(31.5f, 30.25f, 0)};
    for (int k = 0; k <= 12; ++k) {
        float a = 2.0f * kPi * static_cast<float>(k) / 12.0f;
        DWORD c = k % 3 == 0 ? 0xFF600000u : k % 3 == 1 ? 0xFF006000u : 0xFF000060u;
        fan.push_back(V(31.5f + 24.0f * std::cos(a), 30.25f + 24.0f * std::sin(a), c));
        fan.back().color = c;
    }
    fan[0].color = 0xFF404040u;
    DrawTL(D3DPT_TRIANGLEFAN, fan, 12);
    std::vector<TLVertex> slivers;
    for (int k = 0; k < 8; ++k) {
        float x = 4.0f + 7.3f * k;
        slivers.insert(slivers.end(), {V(x, 58, 0xFF808080u), V(x + 6.5f, 58.5f, 0xFF808080u),
                                       V(x + 0.5f, 62.7f, 0xFF808080u)});
    }
    DrawTL(D3DPT_TRIANGLELIST, slivers, 8);
    ExpectGolden("fill_rule");
}

TEST_F(Golden, DepthTest) {
    // Three triangles piercing each other.
    std::vector<TLVertex> v = {
        V(4, 8, 0xFFE04040u, 0.1f),  V(60, 20, 0xFFE04040u, 0.9f), V(8, 56, 0xFFE04040u, 0.5f),
        V(58, 6, 0xFF40E040u, 0.2f), V(56, 58, 0xFF40E040u, 0.8f), V(4, 30, 0xFF40E040u, 0.7f),
        V(30, 2, 0xFF4040E0u, 0.9f), V(62, 44, 0xFF4040E0u, 0.1f), V(10, 62, 0xFF4040E0u, 0.3f)};
    DrawTL(D3DPT_TRIANGLELIST, v, 3);
    ExpectGolden("depth_test");
}

TEST_F(Golden, BlendFactorRows) {
    // One 4-pixel row per factor: on the left as the source factor (destination ONE), on the
    // right as the destination factor (source ONE), over the gradient.
    Background();
    SetRS(D3DRS_ALPHABLENDENABLE, TRUE);
    SetRS(D3DRS_BLENDFACTOR, 0xFF3080C0u);
    float y = 2.0f;
    for (DWORD f = D3DBLEND_ZERO; f <= D3DBLEND_INVBLENDFACTOR; ++f) {
        if (f == D3DBLEND_BOTHSRCALPHA || f == D3DBLEND_BOTHINVSRCALPHA)
            continue;
        std::vector<TLVertex> left = {V(0, y, 0x20FF2000u), V(32, y, 0xE02020FFu),
                                      V(0, y + 4, 0x20FF2000u), V(32, y + 4, 0xE02020FFu)};
        std::vector<TLVertex> right = left;
        for (TLVertex& r : right) r.x += 32;
        SetRS(D3DRS_SRCBLEND, f);
        SetRS(D3DRS_DESTBLEND, D3DBLEND_ONE);
        DrawTL(D3DPT_TRIANGLESTRIP, left, 2);
        SetRS(D3DRS_SRCBLEND, D3DBLEND_ONE);
        SetRS(D3DRS_DESTBLEND, f);
        DrawTL(D3DPT_TRIANGLESTRIP, right, 2);
        y += 4.5f;
    }
    ExpectGolden("blend_factors");
}

TEST_F(Golden, AlphaTestCullingAndScissor) {
    Background();
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE), D3D_OK);
    // Alpha test: a quad whose alpha falls from left to right keeps its left part.
    SetRS(D3DRS_ALPHATESTENABLE, TRUE);
    SetRS(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    SetRS(D3DRS_ALPHAREF, 0x80);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(4, 4, 0xFFFFFFFFu), V(60, 4, 0x00FFFFFFu), V(4, 20, 0xFFFF8080u),
            V(60, 20, 0x00FF8080u)},
           2);
    SetRS(D3DRS_ALPHATESTENABLE, FALSE);
    // Culling: counter-clockwise triangles vanish under the default.
    SetRS(D3DRS_CULLMODE, D3DCULL_CCW);
    DrawTL(D3DPT_TRIANGLELIST,
           {V(4, 24, 0xFF00FF00u), V(28, 24, 0xFF00FF00u), V(4, 40, 0xFF00FF00u),     // clockwise
            V(36, 24, 0xFFFF0000u), V(36, 40, 0xFFFF0000u), V(60, 24, 0xFFFF0000u)},  // not
           2);
    SetRS(D3DRS_CULLMODE, D3DCULL_NONE);
    // Scissor: a full-width band clipped to a window.
    RECT scissor{12, 44, 52, 60};
    ASSERT_EQ(device_->SetScissorRect(&scissor), D3D_OK);
    SetRS(D3DRS_SCISSORTESTENABLE, TRUE);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(0, 42, 0xFF0000FFu), V(64, 42, 0xFFFFFF00u), V(0, 64, 0xFF00FFFFu),
            V(64, 64, 0xFFFF00FFu)},
           2);
    ExpectGolden("alpha_cull_scissor");
}

TEST_F(Golden, Stencil) {
    // A ring written into stencil only, then a gradient where stencil equals 1 and a second
    // where it is 2 (two overlapping rings incremented).
    SetRS(D3DRS_STENCILENABLE, TRUE);
    SetRS(D3DRS_COLORWRITEENABLE, 0);
    SetRS(D3DRS_ZWRITEENABLE, FALSE);
    SetRS(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    for (float cx : {24.0f, 40.0f}) {
        std::vector<TLVertex> ring;
        for (int k = 0; k <= 24; ++k) {
            float a = 2.0f * kPi * static_cast<float>(k) / 24.0f;
            ring.push_back(V(cx + 20.0f * std::cos(a), 32.0f + 20.0f * std::sin(a), 0));
            ring.push_back(V(cx + 10.0f * std::cos(a), 32.0f + 10.0f * std::sin(a), 0));
        }
        DrawTL(D3DPT_TRIANGLESTRIP, ring, 48);
    }
    SetRS(D3DRS_COLORWRITEENABLE, 0xF);
    SetRS(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    SetRS(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    SetRS(D3DRS_STENCILREF, 1);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(0, 0, 0xFFFF4040u), V(64, 0, 0xFFFFFF40u), V(0, 64, 0xFF4040FFu),
            V(64, 64, 0xFF40FFFFu)},
           2);
    SetRS(D3DRS_STENCILREF, 2);
    Rect(0, 0, 64, 64, 0.5f, 0xFFFFFFFFu);
    ExpectGolden("stencil");
}

TEST_F(Golden, Fog) {
    // A floor of quads receding from the camera: vertex linear fog on the left half, table
    // fog (exp, exp2) on the right quarters, all towards a blue fog colour.
    Camera();
    SetRS(D3DRS_FOGENABLE, TRUE);
    SetRS(D3DRS_FOGCOLOR, 0xFF3060C0u);
    SetRS(D3DRS_FOGSTART, F2D(1.0f));
    SetRS(D3DRS_FOGEND, F2D(8.0f));
    SetRS(D3DRS_FOGDENSITY, F2D(0.3f));
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    auto floor = [&](float x0, float x1) {
        std::vector<LVertex> v;
        for (int k = 0; k < 8; ++k) {
            float z0 = 1.0f + k, z1 = 2.0f + k;
            DWORD c = k % 2 ? 0xFFF0E0C0u : 0xFFC08040u;
            v.insert(v.end(), {{x0, -1, z0, c, 0, 0},
                               {x0, -1, z1, c, 0, 0},
                               {x1, -1, z0, c, 0, 0},
                               {x1, -1, z0, c, 0, 0},
                               {x0, -1, z1, c, 0, 0},
                               {x1, -1, z1, c, 0, 0}});
        }
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 16, v.data(), sizeof(LVertex)),
                  D3D_OK);
    };
    SetRS(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    floor(-3.0f, 0.0f);
    SetRS(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    SetRS(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
    floor(0.0f, 1.5f);
    SetRS(D3DRS_FOGTABLEMODE, D3DFOG_EXP2);
    floor(1.5f, 3.0f);
    ExpectGolden("fog");
}

TEST_F(Golden, LitSpheres) {
    // Left: a directional light with a specular highlight; right: a point light nearby, with
    // the diffuse colour taken from the vertices.
    Camera();
    SetRS(D3DRS_LIGHTING, TRUE);
    SetRS(D3DRS_CULLMODE, D3DCULL_CCW);
    SetRS(D3DRS_SPECULARENABLE, TRUE);
    SetRS(D3DRS_AMBIENT, 0xFF202020u);
    D3DMATERIAL9 material{};
    material.Diffuse = {0.9f, 0.5f, 0.2f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 20.0f;
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    SetRS(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    D3DLIGHT9 sun{};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    sun.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    sun.Direction = {1.0f, -1.0f, 1.0f};
    ASSERT_EQ(device_->SetLight(0, &sun), D3D_OK);
    ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
    SetRS(D3DRS_NORMALIZENORMALS, TRUE);
    DrawSphere(-1.1f, 0.0f, 4.0f, 0xFFFFFFFFu);

    ASSERT_EQ(device_->LightEnable(0, FALSE), D3D_OK);
    D3DLIGHT9 lamp{};
    lamp.Type = D3DLIGHT_POINT;
    lamp.Diffuse = {1.0f, 1.0f, 0.9f, 1.0f};
    lamp.Position = {2.5f, 1.5f, 2.5f};
    lamp.Range = 10.0f;
    lamp.Attenuation0 = 0.2f;
    lamp.Attenuation1 = 0.2f;
    ASSERT_EQ(device_->SetLight(1, &lamp), D3D_OK);
    ASSERT_EQ(device_->LightEnable(1, TRUE), D3D_OK);
    SetRS(D3DRS_SPECULARENABLE, FALSE);
    SetRS(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    DrawSphere(1.1f, 0.0f, 4.0f, 0xFF40A0FFu);
    ExpectGolden("lit_spheres");
}

TEST_F(Golden, LinesPointsAndWireframe) {
    DrawTL(D3DPT_LINELIST,
           {V(2, 2, 0xFFFF0000u), V(30, 12, 0xFFFFFF00u), V(30, 2, 0xFF00FF00u),
            V(4, 14, 0xFF00FFFFu), V(40.5f, 2.5f, 0xFFFFFFFFu), V(40.5f, 20.5f, 0xFF8080FFu)},
           3);
    DrawTL(D3DPT_LINESTRIP,
           {V(44, 4, 0xFFFFFFFFu), V(62, 10, 0xFFFF8000u), V(50, 20, 0xFF0080FFu),
            V(44, 4, 0xFFFFFFFFu)},
           3);
    std::vector<TLVertex> points;
    for (int k = 0; k < 16; ++k)
        points.push_back(V(4.0f + 3.7f * k, 26.0f + 2.0f * std::sin(k * 0.8f), 0xFFFFFFFFu));
    DrawTL(D3DPT_POINTLIST, points, 16);
    SetRS(D3DRS_POINTSIZE, F2D(4.0f));
    DrawTL(D3DPT_POINTLIST, {V(10, 36, 0xFFFF00FFu), V(20.5f, 36.5f, 0xFF00FFFFu)}, 2);
    SetRS(D3DRS_POINTSIZE, F2D(1.0f));
    SetRS(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    DrawTL(D3DPT_TRIANGLESTRIP,
           {V(30, 34, 0xFFFFFFFFu), V(60, 34, 0xFFFF0000u), V(30, 60, 0xFF00FF00u),
            V(60, 60, 0xFF0000FFu)},
           2);
    SetRS(D3DRS_FILLMODE, D3DFILL_POINT);
    DrawTL(D3DPT_TRIANGLELIST,
           {V(4, 44, 0xFFFFFF00u), V(24, 44, 0xFFFFFF00u), V(4, 60, 0xFFFFFF00u)}, 1);
    ExpectGolden("lines_points_wireframe");
}

}  // namespace
