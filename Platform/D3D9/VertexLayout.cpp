#include "Platform/D3D9/VertexLayout.h"

#include <algorithm>

UINT VertexLayout::TypeSize(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_D3DCOLOR:
        case D3DDECLTYPE_UBYTE4:
        case D3DDECLTYPE_SHORT2:
        case D3DDECLTYPE_UBYTE4N:
        case D3DDECLTYPE_SHORT2N:
        case D3DDECLTYPE_USHORT2N:
        case D3DDECLTYPE_UDEC3:
        case D3DDECLTYPE_DEC3N:
        case D3DDECLTYPE_FLOAT16_2:
            return 4;
        case D3DDECLTYPE_FLOAT2:
        case D3DDECLTYPE_SHORT4:
        case D3DDECLTYPE_SHORT4N:
        case D3DDECLTYPE_USHORT4N:
        case D3DDECLTYPE_FLOAT16_4:
            return 8;
        case D3DDECLTYPE_FLOAT3:
            return 12;
        case D3DDECLTYPE_FLOAT4:
            return 16;
        default:
            return 0;
    }
}

bool VertexLayout::SetElements(const D3DVERTEXELEMENT9* elements) {
    if (!elements)
        return false;
    std::vector<D3DVERTEXELEMENT9> list;
    std::array<UINT, kMaxStreams> extents{};
    for (UINT i = 0;; ++i) {
        if (i > MAXD3DDECLLENGTH)
            return false;
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) {
            if (e.Type != D3DDECLTYPE_UNUSED)
                return false;
            break;
        }
        if (e.Stream >= kMaxStreams || TypeSize(e.Type) == 0 ||
            e.Method > D3DDECLMETHOD_LOOKUPPRESAMPLED || e.Usage > D3DDECLUSAGE_SAMPLE ||
            e.Offset % 4 != 0)
            return false;
        for (const D3DVERTEXELEMENT9& seen : list)
            if (seen.Usage == e.Usage && seen.UsageIndex == e.UsageIndex)
                return false;
        list.push_back(e);
        extents[e.Stream] = std::max<UINT>(extents[e.Stream], e.Offset + TypeSize(e.Type));
    }
    elements_ = std::move(list);
    extents_ = extents;
    fvf_ = 0;
    return true;
}

void VertexLayout::Add(WORD offset, BYTE type, BYTE usage, BYTE usageIndex) {
    elements_.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex});
    extents_[0] = std::max<UINT>(extents_[0], offset + TypeSize(type));
}

bool VertexLayout::SetFvf(DWORD fvf) {
    constexpr DWORD kKnown = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                             D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 |
                             D3DFVF_LASTBETA_D3DCOLOR | 0xFFFF0000u;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    bool lastBeta = fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR);
    if ((fvf & ~kKnown) || position == 0 || texCount > 8)
        return false;
    if ((fvf & D3DFVF_LASTBETA_UBYTE4) && (fvf & D3DFVF_LASTBETA_D3DCOLOR))
        return false;

    elements_.clear();
    extents_ = {};
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        Add(offset, type, usage, index);
        offset = static_cast<WORD>(offset + TypeSize(type));
    };
    if (position == D3DFVF_XYZRHW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    } else if (position == D3DFVF_XYZW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
    } else if (position >= D3DFVF_XYZ && position <= D3DFVF_XYZB5 && position % 2 == 0) {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        // XYZB1 (6) to XYZB5 (0xE) carry one to five betas after the position.
        DWORD betas = position == D3DFVF_XYZ ? 0 : (position - D3DFVF_XYZRHW) / 2;
        DWORD weights = lastBeta && betas > 0 ? betas - 1 : betas;
        if (weights > 4)
            return false;
        if (weights > 0)
            add(static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + weights - 1), D3DDECLUSAGE_BLENDWEIGHT, 0);
        if (lastBeta && betas > 0)
            add((fvf & D3DFVF_LASTBETA_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                D3DDECLUSAGE_BLENDINDICES, 0);
    } else {
        return false;
    }
    if (fvf & D3DFVF_NORMAL)
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE)
        add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    for (DWORD i = 0; i < texCount; ++i) {
        static constexpr BYTE kSizes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                           D3DDECLTYPE_FLOAT4, D3DDECLTYPE_FLOAT1};
        add(kSizes[(fvf >> (16 + i * 2)) & 3], D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    }
    fvf_ = fvf;
    return true;
}
