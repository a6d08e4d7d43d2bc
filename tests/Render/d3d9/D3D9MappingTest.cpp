// The system's codes against their Direct3D 9 values, and the pixel-format descriptors.
#include <gtest/gtest.h>

#include "Entity/Image/PixelFormat.h"
#include "Render/PixelFormatDescriptor.h"
#include "Render/RenderCodes.h"
#include "Render/ViewportRect.h"
#include "Render/d3d9/D3D9Mapping.h"

namespace {

using namespace Zel;

TEST(D3D9Mapping, PrimitiveAndElementTypes) {
    const DWORD primitives[][2] = {{0, D3DPT_POINTLIST},     {1, D3DPT_LINELIST},
                                   {2, D3DPT_LINESTRIP},     {3, D3DPT_TRIANGLELIST},
                                   {4, D3DPT_TRIANGLESTRIP}, {5, D3DPT_TRIANGLEFAN},
                                   {6, D3DPT_TRIANGLELIST},  {0xFFFFFFFF, D3DPT_TRIANGLELIST}};
    for (const auto& p : primitives) EXPECT_EQ(D3DPrimitiveFromPrimitiveType(p[0]), p[1]) << p[0];
    const DWORD types[][3] = {
        {0, D3DDECLTYPE_FLOAT1, 4},  {1, D3DDECLTYPE_FLOAT2, 8},   {2, D3DDECLTYPE_FLOAT3, 12},
        {3, D3DDECLTYPE_FLOAT4, 16}, {4, D3DDECLTYPE_D3DCOLOR, 4}, {5, D3DDECLTYPE_FLOAT3, 12},
        {6, D3DDECLTYPE_SHORT2, 4},  {7, D3DDECLTYPE_FLOAT3, 12},  {8, D3DDECLTYPE_SHORT2, 4},
        {9, D3DDECLTYPE_UBYTE4, 4},  {10, D3DDECLTYPE_FLOAT3, 12}};
    for (const auto& t : types) {
        EXPECT_EQ(D3DDeclTypeFromElementType(t[0]), t[1]) << t[0];
        EXPECT_EQ(VertexElementTypeSize(t[0]), t[2]) << t[0];
    }
}

TEST(D3D9Mapping, VertexFormatUsages) {
    struct Case {
        std::uint32_t flag;
        D3DDECLUSAGE usage;
        BYTE index;
    };
    const Case cases[] = {
        {VF_POSITION, D3DDECLUSAGE_POSITION, 0},
        {VF_NORMAL, D3DDECLUSAGE_NORMAL, 0},
        {VF_COLOUR, D3DDECLUSAGE_COLOR, 0},
        {VF_COLOUR2, D3DDECLUSAGE_COLOR, 1},
        {VF_TEXCOORD0, D3DDECLUSAGE_TEXCOORD, 0},
        {VF_TEXCOORD1, D3DDECLUSAGE_TEXCOORD, 1},
        {VF_TEXCOORD7, D3DDECLUSAGE_TEXCOORD, 7},
        {VF_BINORMAL, D3DDECLUSAGE_BINORMAL, 0},
        {VF_TANGENT, D3DDECLUSAGE_TANGENT, 0},
        {VF_BLEND_WEIGHTS, D3DDECLUSAGE_BLENDWEIGHT, 0},
        {VF_BLEND_INDICES, D3DDECLUSAGE_BLENDINDICES, 0},
        {VF_DIFFUSE, D3DDECLUSAGE_COLOR, 0},
        {VF_SPECULAR, D3DDECLUSAGE_COLOR, 1},
        {0x40000, D3DDECLUSAGE_POSITION, 0},
        {VF_POSITION | VF_NORMAL, D3DDECLUSAGE_POSITION, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(D3DDeclUsageFromVertexFormat(c.flag), c.usage) << c.flag;
        EXPECT_EQ(D3DUsageIndexFromVertexFormat(c.flag), c.index) << c.flag;
    }
}

TEST(D3D9Mapping, FixedRenderStateCodes) {
    // code: cull, compare, blend, blend op, fog
    const DWORD table[][6] = {
        {0, D3DCULL_NONE, D3DCMP_NEVER, D3DBLEND_ONE, D3DBLENDOP_ADD, D3DFOG_NONE},
        {1, D3DCULL_CW, D3DCMP_ALWAYS, D3DBLEND_ZERO, D3DBLENDOP_ADD, D3DFOG_EXP},
        {2, D3DCULL_CCW, D3DCMP_LESS, D3DBLEND_SRCCOLOR, D3DBLENDOP_SUBTRACT, D3DFOG_EXP2},
        {3, D3DCULL_NONE, D3DCMP_LESSEQUAL, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_REVSUBTRACT,
         D3DFOG_LINEAR},
        {4, D3DCULL_NONE, D3DCMP_EQUAL, D3DBLEND_SRCALPHA, D3DBLENDOP_MIN, D3DFOG_NONE},
        {5, D3DCULL_NONE, D3DCMP_NOTEQUAL, D3DBLEND_INVSRCALPHA, D3DBLENDOP_MAX, D3DFOG_NONE},
        {6, D3DCULL_NONE, D3DCMP_GREATEREQUAL, D3DBLEND_DESTALPHA, D3DBLENDOP_ADD, D3DFOG_NONE},
        {7, D3DCULL_NONE, D3DCMP_GREATER, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD, D3DFOG_NONE},
        {8, D3DCULL_NONE, D3DCMP_ALWAYS, D3DBLEND_DESTCOLOR, D3DBLENDOP_ADD, D3DFOG_NONE},
        {9, D3DCULL_NONE, D3DCMP_ALWAYS, D3DBLEND_INVDESTCOLOR, D3DBLENDOP_ADD, D3DFOG_NONE},
        {10, D3DCULL_NONE, D3DCMP_ALWAYS, D3DBLEND_ZERO, D3DBLENDOP_ADD, D3DFOG_NONE},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(D3DCullFromCode(row[0]), row[1]);
        EXPECT_EQ(D3DCompareFromCode(row[0]), row[2]);
        EXPECT_EQ(D3DBlendFromCode(row[0]), row[3]);
        EXPECT_EQ(D3DBlendOpFromCode(row[0]), row[4]);
        EXPECT_EQ(D3DFogModeFromCode(row[0]), row[5]);
    }
}

TEST(D3D9Mapping, BuffersPoolsAndLocks) {
    EXPECT_EQ(D3DUsageFromBufferUsage(0), 0u);
    EXPECT_EQ(D3DUsageFromBufferUsage(BU_DYNAMIC), D3DUSAGE_DYNAMIC);
    EXPECT_EQ(D3DUsageFromBufferUsage(BU_WRITE_ONLY), D3DUSAGE_WRITEONLY);
    EXPECT_EQ(D3DUsageFromBufferUsage(BU_DYNAMIC | BU_WRITE_ONLY | BU_NOT_MANAGED), 0x208u);

    EXPECT_EQ(D3DPoolFromMemoryPool(MP_DEFAULT, false), D3DPOOL_DEFAULT);
    EXPECT_EQ(D3DPoolFromMemoryPool(MP_MANAGED, false), D3DPOOL_MANAGED);
    EXPECT_EQ(D3DPoolFromMemoryPool(MP_MANAGED, true), D3DPOOL_DEFAULT);
    EXPECT_EQ(D3DPoolFromMemoryPool(MP_SYSTEM_MEMORY, true), D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(D3DPoolFromMemoryPool(7, false), D3DPOOL_DEFAULT);

    EXPECT_EQ(D3DIndexFormatFromIndexSize(0), D3DFMT_INDEX16);
    EXPECT_EQ(D3DIndexFormatFromIndexSize(1), D3DFMT_INDEX32);
    EXPECT_EQ(D3DIndexFormatFromIndexSize(2), D3DFMT_INDEX16);

    const DWORD texture[][2] = {
        {0, 0}, {1, D3DLOCK_DISCARD}, {2, D3DLOCK_READONLY}, {3, D3DLOCK_NOOVERWRITE},
        {4, 0}, {5, D3DLOCK_DISCARD}};
    for (const auto& t : texture) EXPECT_EQ(D3DTextureLockFlags(t[0]), t[1]) << t[0];

    // option, usage, flags
    const DWORD buffer[][3] = {
        {LO_DISCARD, BU_DYNAMIC, D3DLOCK_DISCARD},
        {LO_DISCARD, BU_WRITE_ONLY, 0},
        {LO_NO_OVERWRITE, BU_DYNAMIC | BU_WRITE_ONLY, D3DLOCK_NOOVERWRITE},
        {LO_NO_OVERWRITE, 0, 0},
        {LO_READ_ONLY, 0, D3DLOCK_READONLY},
        {LO_READ_ONLY, BU_WRITE_ONLY, 0},
        {LO_NORMAL, BU_DYNAMIC, 0},
        {LO_NORMAL2, BU_DYNAMIC, 0},
        {9, BU_DYNAMIC, 0},
    };
    for (const auto& b : buffer)
        EXPECT_EQ(D3DBufferLockFlags(b[0], b[1]), b[2]) << b[0] << "/" << b[1];
}

TEST(D3D9Mapping, SamplingAndMultisample) {
    const DWORD address[][2] = {{0, D3DTADDRESS_MIRROR},
                                {1, D3DTADDRESS_WRAP},
                                {2, D3DTADDRESS_CLAMP},
                                {3, D3DTADDRESS_BORDER},
                                {4, D3DTADDRESS_MIRROR}};
    for (const auto& a : address) EXPECT_EQ(D3DAddressFromCode(a[0]), a[1]);
    EXPECT_EQ(D3DFilterFromCode(FILTER_POINT, false), D3DTEXF_POINT);
    EXPECT_EQ(D3DFilterFromCode(FILTER_BILINEAR, false), D3DTEXF_LINEAR);
    EXPECT_EQ(D3DFilterFromCode(FILTER_TRILINEAR, true), D3DTEXF_LINEAR);
    EXPECT_EQ(D3DFilterFromCode(FILTER_ANISOTROPIC, false), D3DTEXF_ANISOTROPIC);
    EXPECT_EQ(D3DFilterFromCode(FILTER_ANISOTROPIC, true), D3DTEXF_LINEAR);
    const DWORD samples[][2] = {{2, 2}, {4, 4}, {8, 6}, {16, 8}, {32, 10},
                                {1, 0}, {3, 0}, {6, 0}, {64, 0}};
    for (const auto& s : samples) EXPECT_EQ(D3DMultisampleFromCount(s[0]), s[1]) << s[0];
}

TEST(D3D9Mapping, ColoursClampBeforePacking) {
    struct Case {
        float rgba[4];
        D3DCOLOR packed;
    };
    const Case cases[] = {
        {{1.0f, 0.5f, 0.0f, 1.0f}, 0xFFFF7F00},
        {{2.0f, 0.5f, -1.0f, 1.0f}, 0xFFFF7F00},  // no wrap into the neighbouring channel
        {{1.5f, 1.5f, 1.5f, 7.0f}, 0xFFFFFFFF},
        {{-0.5f, 0.0f, 0.0f, -3.0f}, 0x00000000},
        {{0.2f, 0.4f, 0.6f, 0.8f}, 0xCC336699},
    };
    for (const Case& c : cases) EXPECT_EQ(D3DColorFromColour(c.rgba), c.packed);
}

TEST(D3D9Mapping, ViewportsAreClippedToTheTargetWithoutWrapping) {
    struct Case {
        ViewportRect rect;
        DWORD x, y, width, height;
    };
    const Case cases[] = {
        {{0, 0, 800, 600}, 0, 0, 800, 600},
        {{0, 0, 200, 100}, 0, 500, 200, 100},     // y = 0 is the bottom edge
        {{700, 550, 200, 100}, 700, 0, 100, 50},  // reaches past the target
        {{900, 10, 50, 50}, 800, 540, 0, 50},     // x beyond the width
        {{10, 700, 50, 50}, 10, 0, 50, 0},        // y beyond the height
        {{0xFFFFFFFF, 0xFFFFFFFF, 1, 1}, 800, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const D3DVIEWPORT9 v = D3DViewportFromRect(c.rect, 800, 600);
        EXPECT_EQ(v.X, c.x);
        EXPECT_EQ(v.Y, c.y);
        EXPECT_EQ(v.Width, c.width);
        EXPECT_EQ(v.Height, c.height);
        EXPECT_EQ(v.MinZ, 0.0f);
        EXPECT_EQ(v.MaxZ, 1.0f);
    }
}

TEST(D3D9Mapping, PixelFormatsAndTheirDescriptors) {
    const DWORD formats[][2] = {{PF_NONE, D3DFMT_UNKNOWN},
                                {PF_A8R8G8B8, D3DFMT_A8R8G8B8},
                                {PF_X1R5G5B5, D3DFMT_X1R5G5B5},
                                {PF_DXT1, D3DFMT_DXT1},
                                {PF_DXT5, D3DFMT_DXT5},
                                {PF_D16, D3DFMT_D16},
                                {PF_A32B32G32R32F, D3DFMT_A32B32G32R32F},
                                {19, D3DFMT_UNKNOWN},
                                {0xFFFFFFFF, D3DFMT_UNKNOWN}};
    for (const auto& f : formats) EXPECT_EQ(D3DFormatFromPixelFormat(f[0]), f[1]) << f[0];

    const PixelFormatDescriptor& x1 = GetPixelFormatDescriptor(PF_X1R5G5B5);
    EXPECT_EQ(x1.flags, 0u);
    EXPECT_EQ(x1.bytesPerPixel, 2u);
    EXPECT_EQ(x1.channelCount, 3u);
    const std::uint32_t x1Masks[4] = {0, 0x7C00, 0x03E0, 0x001F};
    const std::uint32_t x1Shifts[4] = {0, 10, 5, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(x1.mask[i], x1Masks[i]) << i;
        EXPECT_EQ(x1.shift[i], x1Shifts[i]) << i;
    }
    const PixelFormatDescriptor& argb = GetPixelFormatDescriptor(PF_A8R8G8B8);
    EXPECT_EQ(argb.flags, static_cast<std::uint32_t>(PFF_ALPHA));
    EXPECT_EQ(argb.mask[0], 0xFF000000u);
    EXPECT_EQ(argb.shift[1], 16u);
    EXPECT_EQ(GetPixelFormatDescriptor(PF_DXT3).flags, static_cast<std::uint32_t>(PFF_COMPRESSED));
    EXPECT_EQ(GetPixelFormatDescriptor(PF_DXT3).bytesPerPixel, 0u);
    EXPECT_EQ(GetPixelFormatDescriptor(PF_D24S8).flags, static_cast<std::uint32_t>(PFF_DEPTH));
    EXPECT_EQ(GetPixelFormatDescriptor(PF_G32R32F).bytesPerChannel, 4u);
    const PixelFormatDescriptor& past = GetPixelFormatDescriptor(19);
    EXPECT_EQ(&past, &GetPixelFormatDescriptor(PF_NONE));
    EXPECT_EQ(past.bytesPerPixel, 0u);
}

}  // namespace
