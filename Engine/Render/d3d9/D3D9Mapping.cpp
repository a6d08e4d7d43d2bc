#include "Render/d3d9/D3D9Mapping.h"

#include <algorithm>
#include <iterator>

#include "Entity/Image/PixelFormat.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"
#include "Render/ViewportRect.h"

namespace Zel {

D3DFORMAT D3DFormatFromPixelFormat(std::uint32_t format) {
    return static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(format));
}

DWORD D3DUsageFromBufferUsage(std::uint32_t usage) {
    DWORD d3d = 0;
    if (usage & BU_DYNAMIC)
        d3d |= D3DUSAGE_DYNAMIC;
    if (usage & BU_WRITE_ONLY)
        d3d |= D3DUSAGE_WRITEONLY;
    return d3d;
}

D3DPOOL D3DPoolFromMemoryPool(std::uint32_t pool, bool exDevice) {
    switch (pool) {
        case MP_MANAGED:
            // An Ex device has no managed pool; its default pool survives a reset instead.
            return exDevice ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
        case MP_SYSTEM_MEMORY:
            return D3DPOOL_SYSTEMMEM;
        default:
            return D3DPOOL_DEFAULT;
    }
}

D3DFORMAT D3DIndexFormatFromIndexSize(std::uint32_t indexSize) {
    return indexSize == IS_32BIT ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
}

DWORD D3DTextureLockFlags(std::uint32_t option) {
    switch (option) {
        case LO_NORMAL:
        case LO_NORMAL2:
            return 0;
        case LO_READ_ONLY:
            return D3DLOCK_READONLY;
        case LO_NO_OVERWRITE:
            return D3DLOCK_NOOVERWRITE;
        default:
            return D3DLOCK_DISCARD;
    }
}

DWORD D3DBufferLockFlags(std::uint32_t option, std::uint32_t usage) {
    const bool dynamic = (usage & BU_DYNAMIC) != 0;
    switch (option) {
        case LO_DISCARD:
            return dynamic ? D3DLOCK_DISCARD : 0;
        case LO_READ_ONLY:
            return (usage & BU_WRITE_ONLY) ? 0 : D3DLOCK_READONLY;
        case LO_NO_OVERWRITE:
            return dynamic ? D3DLOCK_NOOVERWRITE : 0;
        default:
            return 0;
    }
}

D3DPRIMITIVETYPE D3DPrimitiveFromPrimitiveType(std::uint32_t primitive) {
    switch (primitive) {
        case PT_POINT_LIST:
            return D3DPT_POINTLIST;
        case PT_LINE_LIST:
            return D3DPT_LINELIST;
        case PT_LINE_STRIP:
            return D3DPT_LINESTRIP;
        case PT_TRIANGLE_STRIP:
            return D3DPT_TRIANGLESTRIP;
        case PT_TRIANGLE_FAN:
            return D3DPT_TRIANGLEFAN;
        default:
            return D3DPT_TRIANGLELIST;
    }
}

D3DDECLTYPE D3DDeclTypeFromElementType(std::uint32_t type) {
    switch (type) {
        case VET_FLOAT1:
            return D3DDECLTYPE_FLOAT1;
        case VET_FLOAT2:
            return D3DDECLTYPE_FLOAT2;
        case VET_FLOAT3:
            return D3DDECLTYPE_FLOAT3;
        case VET_FLOAT4:
            return D3DDECLTYPE_FLOAT4;
        case VET_COLOUR:
            return D3DDECLTYPE_D3DCOLOR;
        case VET_SHORT2:
        case VET_SHORT2_ALT:
            return D3DDECLTYPE_SHORT2;
        case VET_UBYTE4:
            return D3DDECLTYPE_UBYTE4;
        default:
            return D3DDECLTYPE_FLOAT3;
    }
}

std::uint32_t VertexElementTypeSize(std::uint32_t type) {
    switch (D3DDeclTypeFromElementType(type)) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_D3DCOLOR:
        case D3DDECLTYPE_SHORT2:
        case D3DDECLTYPE_UBYTE4:
            return 4;
        case D3DDECLTYPE_FLOAT2:
            return 8;
        case D3DDECLTYPE_FLOAT4:
            return 16;
        default:
            return 12;
    }
}

D3DDECLUSAGE D3DDeclUsageFromVertexFormat(std::uint32_t flag) {
    switch (flag) {
        case VF_NORMAL:
            return D3DDECLUSAGE_NORMAL;
        case VF_COLOUR:
        case VF_COLOUR2:
        case VF_DIFFUSE:
        case VF_SPECULAR:
            return D3DDECLUSAGE_COLOR;
        case VF_TEXCOORD0:
        case VF_TEXCOORD1:
        case VF_TEXCOORD2:
        case VF_TEXCOORD3:
        case VF_TEXCOORD4:
        case VF_TEXCOORD5:
        case VF_TEXCOORD6:
        case VF_TEXCOORD7:
            return D3DDECLUSAGE_TEXCOORD;
        case VF_BINORMAL:
            return D3DDECLUSAGE_BINORMAL;
        case VF_TANGENT:
            return D3DDECLUSAGE_TANGENT;
        case VF_BLEND_WEIGHTS:
            return D3DDECLUSAGE_BLENDWEIGHT;
        case VF_BLEND_INDICES:
            return D3DDECLUSAGE_BLENDINDICES;
        default:
            return D3DDECLUSAGE_POSITION;
    }
}

BYTE D3DUsageIndexFromVertexFormat(std::uint32_t flag) {
    // The second colour of each kind is COLOR1, so a declaration may carry both colours.
    if (flag == VF_COLOUR2 || flag == VF_SPECULAR)
        return 1;
    for (BYTE index = 1; index <= 7; ++index)
        if (flag == (VF_TEXCOORD0 << index))
            return index;
    return 0;
}

D3DCULL D3DCullFromCode(std::uint32_t cull) {
    switch (cull) {
        case CULL_CLOCKWISE:
            return D3DCULL_CW;
        case CULL_COUNTER_CLOCKWISE:
            return D3DCULL_CCW;
        default:
            return D3DCULL_NONE;
    }
}

D3DCMPFUNC D3DCompareFromCode(std::uint32_t compare) {
    static constexpr D3DCMPFUNC kCompare[] = {D3DCMP_NEVER,        D3DCMP_ALWAYS, D3DCMP_LESS,
                                              D3DCMP_LESSEQUAL,    D3DCMP_EQUAL,  D3DCMP_NOTEQUAL,
                                              D3DCMP_GREATEREQUAL, D3DCMP_GREATER};
    return compare < std::size(kCompare) ? kCompare[compare] : D3DCMP_ALWAYS;
}

D3DBLEND D3DBlendFromCode(std::uint32_t blend) {
    static constexpr D3DBLEND kBlend[] = {
        D3DBLEND_ONE,       D3DBLEND_ZERO,        D3DBLEND_SRCCOLOR,  D3DBLEND_INVSRCCOLOR,
        D3DBLEND_SRCALPHA,  D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
        D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR};
    return blend < std::size(kBlend) ? kBlend[blend] : D3DBLEND_ZERO;
}

D3DBLENDOP D3DBlendOpFromCode(std::uint32_t blendOp) {
    static constexpr D3DBLENDOP kBlendOp[] = {D3DBLENDOP_ADD,      D3DBLENDOP_ADD,
                                              D3DBLENDOP_SUBTRACT, D3DBLENDOP_REVSUBTRACT,
                                              D3DBLENDOP_MIN,      D3DBLENDOP_MAX};
    return blendOp < std::size(kBlendOp) ? kBlendOp[blendOp] : D3DBLENDOP_ADD;
}

D3DFOGMODE D3DFogModeFromCode(std::uint32_t fog) {
    switch (fog) {
        case FOG_EXP:
            return D3DFOG_EXP;
        case FOG_EXP2:
            return D3DFOG_EXP2;
        case FOG_LINEAR:
            return D3DFOG_LINEAR;
        default:
            return D3DFOG_NONE;
    }
}

D3DTEXTUREADDRESS D3DAddressFromCode(std::uint32_t address) {
    switch (address) {
        case ADDRESS_WRAP:
            return D3DTADDRESS_WRAP;
        case ADDRESS_CLAMP:
            return D3DTADDRESS_CLAMP;
        case ADDRESS_BORDER:
            return D3DTADDRESS_BORDER;
        default:
            return D3DTADDRESS_MIRROR;
    }
}

D3DTEXTUREFILTERTYPE D3DFilterFromCode(std::uint32_t filter, bool magnification) {
    switch (filter) {
        case FILTER_POINT:
            return D3DTEXF_POINT;
        case FILTER_ANISOTROPIC:
            return magnification ? D3DTEXF_LINEAR : D3DTEXF_ANISOTROPIC;
        default:
            return D3DTEXF_LINEAR;
    }
}

D3DMULTISAMPLE_TYPE D3DMultisampleFromCount(std::uint32_t count) {
    switch (count) {
        case 2:
            return D3DMULTISAMPLE_2_SAMPLES;
        case 4:
            return D3DMULTISAMPLE_4_SAMPLES;
        case 8:
            return D3DMULTISAMPLE_6_SAMPLES;
        case 16:
            return D3DMULTISAMPLE_8_SAMPLES;
        case 32:
            return D3DMULTISAMPLE_10_SAMPLES;
        default:
            return D3DMULTISAMPLE_NONE;
    }
}

D3DCOLOR D3DColorFromColour(const float* rgba) {
    return PackColorARGB(rgba);
}

D3DVIEWPORT9 D3DViewportFromRect(const ViewportRect& rect, std::uint32_t targetWidth,
                                 std::uint32_t targetHeight) {
    // Clamping the origin first keeps W - x and H - y from wrapping for a rectangle that starts
    // outside the target.
    const std::uint32_t x = std::min(rect.x, targetWidth);
    const std::uint32_t y = std::min(rect.y, targetHeight);
    D3DVIEWPORT9 viewport{};
    viewport.X = x;
    viewport.Width = std::min(rect.width, targetWidth - x);
    viewport.Height = std::min(rect.height, targetHeight - y);
    viewport.Y = targetHeight - y - viewport.Height;
    viewport.MinZ = 0.0f;
    viewport.MaxZ = 1.0f;
    return viewport;
}

void ToD3DMatrix(const float* in, D3DMATRIX* out) {
    TransposeMatrix4(in, &out->m[0][0]);
}

void FromD3DMatrix(const D3DMATRIX& in, float* out) {
    TransposeMatrix4(&in.m[0][0], out);
}

}  // namespace Zel
