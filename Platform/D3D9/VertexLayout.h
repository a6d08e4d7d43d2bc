// What a draw reads per vertex: the elements of a vertex declaration, or those an FVF stands for,
// with the bytes each stream's vertex spans (the furthest element end).
#pragma once

#include <array>
#include <vector>

#include "Platform/D3D9/D3D9Types.h"

class VertexLayout {
public:
    static constexpr UINT kMaxStreams = 16;

    // Reads elements up to the end marker (at most MAXD3DDECLLENGTH elements before it). False
    // for a list without an end marker in reach, an unknown type, method or usage, a stream above
    // 15, an offset that is not a multiple of 4, or a usage and usage index given twice.
    bool SetElements(const D3DVERTEXELEMENT9* elements);
    // False for an FVF without a position or with bits Direct3D 9 does not define.
    bool SetFvf(DWORD fvf);

    // The elements without the end marker.
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }
    // Bytes one vertex spans in the stream; 0 when the layout does not read the stream.
    UINT StreamExtent(UINT stream) const { return stream < kMaxStreams ? extents_[stream] : 0; }
    // The FVF the layout was made from (0 for a declaration).
    DWORD Fvf() const { return fvf_; }

    // Bytes of a declaration type; 0 for an unknown one.
    static UINT TypeSize(BYTE type);

private:
    void Add(WORD offset, BYTE type, BYTE usage, BYTE usageIndex);

    std::vector<D3DVERTEXELEMENT9> elements_;
    std::array<UINT, kMaxStreams> extents_{};
    DWORD fvf_ = 0;
};
