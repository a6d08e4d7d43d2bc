#include "Platform/D3D9/SoftDeviceState.h"

#include <cstring>

#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftIndexBuffer9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/D3D9/SoftVertexBuffer9.h"
#include "Platform/D3D9/SoftVertexDeclaration9.h"

namespace {

DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

}  // namespace

SoftDeviceState::SoftDeviceState() = default;
SoftDeviceState::~SoftDeviceState() = default;

bool SoftDeviceState::IsRenderState(DWORD s) {
    if (s >= kRenderStates)
        return false;
    return s == 7 || s == 8 || s == 9 || s == 14 || s == 15 || s == 16 || s == 19 || s == 20 ||
           (s >= 22 && s <= 29) || (s >= 34 && s <= 38) || s == 48 || (s >= 52 && s <= 60) ||
           (s >= 128 && s <= 137) || (s >= 139 && s <= 143) || (s >= 145 && s <= 148) || s == 151 ||
           s == 152 || (s >= 154 && s <= 163) || (s >= 165 && s <= 168) || (s >= 170 && s <= 176) ||
           (s >= 178 && s <= 195) || (s >= 198 && s <= 209);
}

bool SoftDeviceState::IsStageState(DWORD s) {
    return (s >= 1 && s <= 11) || s == 22 || s == 23 || s == 24 || s == 26 || s == 27 || s == 28 ||
           s == 32;
}

bool SoftDeviceState::IsTransform(DWORD s) {
    return s == D3DTS_VIEW || s == D3DTS_PROJECTION ||
           (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) || (s >= D3DTS_WORLD && s < kTransforms);
}

DWORD SoftDeviceState::DefaultRenderState(DWORD s, bool autoDepthStencil) {
    switch (s) {
        case D3DRS_ZENABLE:
            return autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
        case D3DRS_FILLMODE:
            return D3DFILL_SOLID;
        case D3DRS_SHADEMODE:
            return D3DSHADE_GOURAUD;
        case D3DRS_ZWRITEENABLE:
            return TRUE;
        case D3DRS_LASTPIXEL:
            return TRUE;
        case D3DRS_SRCBLEND:
            return D3DBLEND_ONE;
        case D3DRS_DESTBLEND:
            return D3DBLEND_ZERO;
        case D3DRS_CULLMODE:
            return D3DCULL_CCW;
        case D3DRS_ZFUNC:
            return D3DCMP_LESSEQUAL;
        case D3DRS_ALPHAFUNC:
            return D3DCMP_ALWAYS;
        case D3DRS_FOGEND:
            return FloatBits(1.0f);
        case D3DRS_FOGDENSITY:
            return FloatBits(1.0f);
        case D3DRS_STENCILFAIL:
        case D3DRS_STENCILZFAIL:
        case D3DRS_STENCILPASS:
        case D3DRS_CCW_STENCILFAIL:
        case D3DRS_CCW_STENCILZFAIL:
        case D3DRS_CCW_STENCILPASS:
            return D3DSTENCILOP_KEEP;
        case D3DRS_STENCILFUNC:
        case D3DRS_CCW_STENCILFUNC:
            return D3DCMP_ALWAYS;
        case D3DRS_STENCILMASK:
        case D3DRS_STENCILWRITEMASK:
        case D3DRS_TEXTUREFACTOR:
        case D3DRS_MULTISAMPLEMASK:
        case D3DRS_BLENDFACTOR:
            return 0xFFFFFFFFu;
        case D3DRS_CLIPPING:
        case D3DRS_LIGHTING:
        case D3DRS_COLORVERTEX:
        case D3DRS_LOCALVIEWER:
        case D3DRS_MULTISAMPLEANTIALIAS:
            return TRUE;
        case D3DRS_DIFFUSEMATERIALSOURCE:
            return D3DMCS_COLOR1;
        case D3DRS_SPECULARMATERIALSOURCE:
            return D3DMCS_COLOR2;
        case D3DRS_POINTSIZE:
        case D3DRS_POINTSIZE_MIN:
        case D3DRS_POINTSCALE_A:
        case D3DRS_MINTESSELLATIONLEVEL:
        case D3DRS_MAXTESSELLATIONLEVEL:
        case D3DRS_ADAPTIVETESS_Z:
            return FloatBits(1.0f);
        case D3DRS_POINTSIZE_MAX:
            return FloatBits(64.0f);
        case D3DRS_COLORWRITEENABLE:
        case D3DRS_COLORWRITEENABLE1:
        case D3DRS_COLORWRITEENABLE2:
        case D3DRS_COLORWRITEENABLE3:
            return 0xF;
        case D3DRS_BLENDOP:
        case D3DRS_BLENDOPALPHA:
            return D3DBLENDOP_ADD;
        case D3DRS_POSITIONDEGREE:
            return D3DDEGREE_CUBIC;
        case D3DRS_NORMALDEGREE:
            return D3DDEGREE_LINEAR;
        case D3DRS_SRCBLENDALPHA:
            return D3DBLEND_ONE;
        case D3DRS_DESTBLENDALPHA:
            return D3DBLEND_ZERO;
        default:
            return 0;  // FALSE, 0.0f, D3DFOG_NONE, D3DMCS_MATERIAL, D3DVBF_DISABLE, ...
    }
}

DWORD SoftDeviceState::DefaultSamplerState(DWORD s) {
    switch (s) {
        case D3DSAMP_ADDRESSU:
        case D3DSAMP_ADDRESSV:
        case D3DSAMP_ADDRESSW:
            return D3DTADDRESS_WRAP;
        case D3DSAMP_MAGFILTER:
        case D3DSAMP_MINFILTER:
            return D3DTEXF_POINT;
        case D3DSAMP_MAXANISOTROPY:
            return 1;
        default:
            return 0;
    }
}

DWORD SoftDeviceState::DefaultStageState(DWORD stage, DWORD s) {
    switch (s) {
        case D3DTSS_COLOROP:
            return stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        case D3DTSS_ALPHAOP:
            return stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        case D3DTSS_COLORARG1:
        case D3DTSS_ALPHAARG1:
            return D3DTA_TEXTURE;
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG2:
        case D3DTSS_COLORARG0:
        case D3DTSS_ALPHAARG0:
        case D3DTSS_RESULTARG:
            return D3DTA_CURRENT;
        case D3DTSS_TEXCOORDINDEX:
            return stage;
        default:
            return 0;
    }
}

D3DLIGHT9 SoftDeviceState::DefaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

void SoftDeviceState::SetDefaults(bool autoDepthStencil, UINT width, UINT height) {
    UnbindAll();
    renderStates.fill(0);
    for (DWORD s = 0; s < kRenderStates; ++s)
        if (IsRenderState(s))
            renderStates[s] = DefaultRenderState(s, autoDepthStencil);
    for (auto& sampler : samplerStates)
        for (DWORD s = 0; s < kSamplerStates; ++s) sampler[s] = DefaultSamplerState(s);
    for (DWORD stage = 0; stage < kStages; ++stage)
        for (DWORD s = 0; s < kStageStates; ++s)
            stageStates[stage][s] = IsStageState(s) ? DefaultStageState(stage, s) : 0;
    transforms.fill(Identity());
    viewport = {0, 0, width, height, 0.0f, 1.0f};
    scissorRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    material = {};
    lights.clear();
    for (auto& plane : clipPlanes) plane = {};
    nPatchSegments = 0.0f;
    vertexFloats.fill(0.0f);
    vertexInts.fill(0);
    vertexBools.fill(FALSE);
    pixelFloats.fill(0.0f);
    pixelInts.fill(0);
    pixelBools.fill(FALSE);
    fvf = 0;
    fvfLayout = VertexLayout();
}

void SoftDeviceState::UnbindAll() {
    declaration.Reset();
    for (Stream& stream : streams) {
        stream.buffer.Reset();
        stream.offset = 0;
        stream.stride = 0;
    }
    indices.Reset();
    for (auto& texture : textures) texture.Reset();
    vertexShader.Reset();
    pixelShader.Reset();
    for (auto& target : renderTargets) target.Reset();
    depthStencil.Reset();
}

const VertexLayout* SoftDeviceState::Layout() const {
    if (declaration)
        return &declaration.Get()->Layout();
    if (fvf)
        return &fvfLayout;
    return nullptr;
}
