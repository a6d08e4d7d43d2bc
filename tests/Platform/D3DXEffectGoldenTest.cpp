// Whole frames drawn through effects: a textured quad through an ambient effect, vertex- and
// pixel-lit spheres, a strip bent by two bone matrices, and a pass of fixed-function stage states.
#include <cmath>
#include <string>
#include <vector>

#include "Platform/D3DX9/D3DX9Effect.h"
#include "tests/Platform/RasterFixture.h"
#include "tests/support/TempDir.h"

namespace {

const char* const kEffects = R"(
float4x4 g_MatWorldViewProjection;
float4x3 g_BoneMatrix[2];
float4 g_vecLightDirection = {0.4, -0.5, 0.77, 0};
float4 g_vecMaterialColorDiffuse = {1.0, 0.6, 0.2, 1};
float4 g_vecLightColorAmbient = {0.15, 0.15, 0.2, 1};
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state {
    Texture = <g_texDiffuse>;
    MinFilter = POINT;
    MagFilter = POINT;
    AddressU = WRAP;
    AddressV = WRAP;
};

struct VsTextured { float4 P : POSITION; float2 T : TEXCOORD0; float4 C : COLOR0; };
VsTextured VSAmbient(float4 p : POSITION, float2 t : TEXCOORD0, float4 c : COLOR0) {
    VsTextured o;
    o.P = mul(p, g_MatWorldViewProjection);
    o.T = t * 2;
    o.C = c;
    return o;
}
float4 PSAmbient(float2 t : TEXCOORD0, float4 c : COLOR0) : COLOR0 {
    return tex2D(g_DiffuseSampler, t) * c + g_vecLightColorAmbient;
}

struct VsLit { float4 P : POSITION; float4 C : COLOR0; float3 N : TEXCOORD0; };
VsLit VSVertexLighting(float3 p : POSITION, float3 n : NORMAL) {
    VsLit o;
    o.P = mul(float4(p, 1), g_MatWorldViewProjection);
    float d = saturate(dot(normalize(n), -g_vecLightDirection.xyz));
    o.C = g_vecMaterialColorDiffuse * d + g_vecLightColorAmbient;
    o.C.a = 1;
    o.N = n;
    return o;
}
float4 PSVertexLighting(float4 c : COLOR0) : COLOR0 { return c; }
float4 PSPixelLighting(float3 n : TEXCOORD0) : COLOR0 {
    float3 N = normalize(n);
    float3 L = -g_vecLightDirection.xyz;
    float3 H = normalize(L + float3(0, 0, -1));
    float4 l = lit(dot(N, L), dot(N, H), 24);
    float4 c = g_vecMaterialColorDiffuse * l.y + g_vecLightColorAmbient + l.z * 0.6;
    c.a = 1;
    return c;
}

struct VsSkin { float4 P : POSITION; float4 C : COLOR0; };
VsSkin VSSkin(float4 p : POSITION, float w : BLENDWEIGHT) {
    VsSkin o;
    float3 q = mul(p, g_BoneMatrix[0]) * w + mul(p, g_BoneMatrix[1]) * (1 - w);
    o.P = float4(q, 1);
    o.C = float4(w, 0.3, 1 - w, 1);
    return o;
}
float4 PSSkin(float4 c : COLOR0) : COLOR0 { return c; }

technique Ambient {
    pass P0 {
        CullMode = NONE;
        ZEnable = FALSE;
        VertexShader = compile vs_2_0 VSAmbient();
        PixelShader = compile ps_2_0 PSAmbient();
    }
}
technique VertexLighting {
    pass P0 {
        CullMode = CCW;
        ZEnable = TRUE;
        VertexShader = compile vs_2_0 VSVertexLighting();
        PixelShader = compile ps_2_0 PSVertexLighting();
    }
}
technique PixelLighting {
    pass P0 {
        CullMode = CCW;
        ZEnable = TRUE;
        VertexShader = compile vs_2_0 VSVertexLighting();
        PixelShader = compile ps_2_0 PSPixelLighting();
    }
}
technique Skinned {
    pass P0 {
        CullMode = NONE;
        ZEnable = FALSE;
        VertexShader = compile vs_2_0 VSSkin();
        PixelShader = compile ps_2_0 PSSkin();
    }
}
technique Ambient_DX7 {
    pass P0 {
        CullMode = NONE;
        ZEnable = FALSE;
        Lighting = FALSE;
        Texture[0] = <g_texDiffuse>;
        MinFilter[0] = POINT;
        MagFilter[0] = POINT;
        ColorOp[0] = MODULATE;
        ColorArg1[0] = TEXTURE;
        ColorArg2[0] = DIFFUSE;
        AlphaOp[0] = SELECTARG1;
        AlphaArg1[0] = DIFFUSE;
        TexCoordIndex[0] = 0;
        TextureTransformFlags[0] = COUNT2;
        TextureTransform[0] = {2, 0, 0, 0,  0, 3, 0, 0,  0, 0, 1, 0,  0, 0, 0, 1};
        VertexShader = NULL;
        PixelShader = NULL;
    }
}
)";

struct PNVertex {
    float x, y, z, nx, ny, nz;
};

class EffectGolden : public RasterFixture {
protected:
    void SetUp() override {
        RasterFixture::SetUp();
        std::string path = dir_.Write("golden.fx", kEffects);
        LPD3DXBUFFER errors = nullptr;
        HRESULT hr = D3DXCreateEffectFromFileA(device_.Get(), path.c_str(), nullptr, nullptr, 0,
                                               nullptr, &effect_, &errors);
        std::string messages =
            errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors != nullptr)
            errors->Release();
        ASSERT_EQ(hr, D3D_OK) << messages;
        MakeTexture(&checker_, 4, 4,
                    {{0xFFFFFFFFu, 0xFF3050E0u, 0xFFFFFFFFu, 0xFF3050E0u, 0xFF3050E0u, 0xFFFFFFFFu,
                      0xFF3050E0u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF3050E0u, 0xFFFFFFFFu, 0xFF3050E0u,
                      0xFF3050E0u, 0xFFFFFFFFu, 0xFF3050E0u, 0xFFFFFFFFu}});
        ASSERT_EQ(effect_->SetTexture(Param("g_texDiffuse"), checker_.Get()), D3D_OK);
    }
    void TearDown() override {
        if (effect_ != nullptr)
            effect_->Release();
        checker_.Reset();
        RasterFixture::TearDown();
    }
    D3DXHANDLE Param(const char* name) { return effect_->GetParameterByName(nullptr, name); }
    void Matrix(const char* name, const D3DMATRIX& m) {
        ASSERT_EQ(effect_->SetMatrix(Param(name), &m), D3D_OK);
    }
    // Runs every pass of a technique around draw.
    template <class Draw>
    void Passes(const char* technique, Draw draw) {
        ASSERT_EQ(effect_->SetTechnique(effect_->GetTechniqueByName(technique)), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect_->Begin(&passes, D3DXFX_DONOTSAVESTATE), D3D_OK);
        for (UINT p = 0; p < passes; ++p) {
            ASSERT_EQ(effect_->BeginPass(p), D3D_OK);
            draw();
            ASSERT_EQ(effect_->EndPass(), D3D_OK);
        }
        ASSERT_EQ(effect_->End(), D3D_OK);
    }
    static D3DMATRIX Scale(float sx, float sy, float sz) {
        D3DMATRIX m = {};
        m.m[0][0] = sx;
        m.m[1][1] = sy;
        m.m[2][2] = sz;
        m.m[3][3] = 1;
        return m;
    }
    // A unit sphere facing -z as a triangle list, scaled into clip space (z from 0.25 to 0.75).
    void Sphere(const char* technique) {
        std::vector<PNVertex> v;
        const int rings = 16, segments = 24;
        auto at = [](int r, int s) {
            float theta = static_cast<float>(M_PI) * r / rings;
            float phi = 2.0f * static_cast<float>(M_PI) * s / segments;
            float x = std::sin(theta) * std::cos(phi), y = std::cos(theta),
                  z = std::sin(theta) * std::sin(phi);
            return PNVertex{x, y, z, x, y, z};
        };
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < segments; ++s) {
                PNVertex a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
                v.insert(v.end(), {a, c, b, a, d, c});
            }
        D3DMATRIX m = Scale(0.8f, 0.8f, 0.25f);
        m.m[3][2] = 0.5f;
        Matrix("g_MatWorldViewProjection", m);
        Passes(technique, [&] {
            ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL), D3D_OK);
            ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3),
                                               v.data(), sizeof(PNVertex)),
                      D3D_OK);
        });
    }

    ZelTest::TempDir dir_;
    LPD3DXEFFECT effect_ = nullptr;
    ComRef<IDirect3DTexture9> checker_;
};

TEST_F(EffectGolden, TexturedQuadThroughAnAmbientEffect) {
    D3DMATRIX m = Scale(0.8f, 0.8f, 1.0f);
    m.m[1][0] = 0.2f;  // a slant, so the texture is seen to follow the quad
    Matrix("g_MatWorldViewProjection", m);
    Passes("Ambient", [&] { ClipQuad(0xFFFFC080u); });
    ExpectGolden("effect_textured_quad");
}

TEST_F(EffectGolden, VertexLitSphere) {
    Sphere("VertexLighting");
    ExpectGolden("effect_vertex_lit_sphere");
}

TEST_F(EffectGolden, PixelLitSphere) {
    Sphere("PixelLighting");
    ExpectGolden("effect_pixel_lit_sphere");
}

TEST_F(EffectGolden, StripBentByTwoBones) {
    // Bone 0 holds the strip in place; bone 1 turns it by 60 degrees about the origin. Weights
    // run from 1 at the bottom to 0 at the top, so the strip bends smoothly.
    const float c = std::cos(1.047f), s = std::sin(1.047f);
    D3DMATRIX bones[2] = {Scale(1, 1, 1), Scale(1, 1, 1)};
    bones[1].m[0][0] = c;
    bones[1].m[0][1] = s;
    bones[1].m[1][0] = -s;
    bones[1].m[1][1] = c;
    // float4x3 takes the first three columns of each matrix as given.
    ASSERT_EQ(effect_->SetMatrix(effect_->GetParameterElement(Param("g_BoneMatrix"), 0), &bones[0]),
              D3D_OK);
    ASSERT_EQ(effect_->SetMatrix(effect_->GetParameterElement(Param("g_BoneMatrix"), 1), &bones[1]),
              D3D_OK);
    struct SkinVertex {
        float x, y, z, w;
    };
    std::vector<SkinVertex> strip;
    for (int i = 0; i <= 8; ++i) {
        float y = -0.8f + 0.2f * i, w = 1.0f - i / 8.0f;
        strip.push_back({-0.1f, y, 0.5f, w});
        strip.push_back({0.1f, y, 0.5f, w});
    }
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
        D3DDECL_END()};
    ComRef<IDirect3DVertexDeclaration9> decl;
    ASSERT_EQ(device_->CreateVertexDeclaration(elements, decl.Out()), D3D_OK);
    Passes("Skinned", [&] {
        ASSERT_EQ(device_->SetVertexDeclaration(decl.Get()), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, static_cast<UINT>(strip.size() - 2),
                                           strip.data(), sizeof(SkinVertex)),
                  D3D_OK);
    });
    ExpectGolden("effect_skinned_strip");
}

TEST_F(EffectGolden, PassOfFixedFunctionStageStates) {
    D3DMATRIX identity = Scale(1, 1, 1);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &identity), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &identity), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &identity), D3D_OK);
    Passes("Ambient_DX7", [&] { ClipQuad(0xFFFFC080u); });
    ExpectGolden("effect_fixed_function_pass");
}

}  // namespace
