#include "Platform/D3D9/DrawValidation.h"

#include <cstring>

#include "Platform/D3D9/SoftDeviceState.h"
#include "Platform/D3D9/SoftIndexBuffer9.h"
#include "Platform/D3D9/SoftVertexBuffer9.h"
#include "Platform/D3D9/VertexLayout.h"

namespace {

// The checks every draw shares; fills the common fields. S_FALSE: a draw of nothing, which
// Direct3D 9 accepts and skips.
HRESULT CheckCommon(const SoftDeviceState& state, const D3DCAPS9& caps, D3DPRIMITIVETYPE type,
                    UINT count, SoftDrawCall::Kind kind, SoftDrawCall* call) {
    ULONGLONG vertices = DrawValidation::VerticesFor(type, count == 0 ? 1 : count);
    if (vertices == 0 || count > caps.MaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    const VertexLayout* layout = state.Layout();
    if (!layout)
        return D3DERR_INVALIDCALL;
    if (count == 0)
        return S_FALSE;
    *call = SoftDrawCall{};
    call->kind = kind;
    call->type = type;
    call->primitiveCount = count;
    call->vertexCount = static_cast<UINT>(DrawValidation::VerticesFor(type, count));
    call->layout = layout;
    return D3D_OK;
}

// Every stream the layout reads is bound and holds vertices [first, first + count).
HRESULT CheckStreams(const SoftDeviceState& state, const VertexLayout& layout, long long first,
                     ULONGLONG count) {
    if (first < 0 || count == 0)
        return D3DERR_INVALIDCALL;
    for (UINT s = 0; s < VertexLayout::kMaxStreams; ++s) {
        UINT extent = layout.StreamExtent(s);
        if (extent == 0)
            continue;
        const SoftDeviceState::Stream& stream = state.streams[s];
        if (!stream.buffer)
            return D3DERR_INVALIDCALL;
        ULONGLONG last = static_cast<ULONGLONG>(first) + count - 1;
        if (stream.stride && last > (~0ull - stream.offset - extent) / stream.stride)
            return D3DERR_INVALIDCALL;
        ULONGLONG end = stream.offset + last * stream.stride + extent;
        if (end > stream.buffer.Get()->Memory().Size())
            return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

// Every one of count indices lies in [minIndex, minIndex + numVertices) and within the caps.
bool IndicesInRange(const BYTE* indices, UINT indexSize, UINT count, UINT minIndex,
                    UINT numVertices, DWORD maxVertexIndex) {
    ULONGLONG end = static_cast<ULONGLONG>(minIndex) + numVertices;
    for (UINT i = 0; i < count; ++i) {
        DWORD index;
        if (indexSize == 2) {
            WORD w;
            std::memcpy(&w, indices + static_cast<std::size_t>(i) * 2, 2);
            index = w;
        } else {
            std::memcpy(&index, indices + static_cast<std::size_t>(i) * 4, 4);
        }
        if (index < minIndex || index >= end || index > maxVertexIndex)
            return false;
    }
    return true;
}

bool OnlyStreamZero(const VertexLayout& layout) {
    for (UINT s = 1; s < VertexLayout::kMaxStreams; ++s)
        if (layout.StreamExtent(s) != 0)
            return false;
    return true;
}

}  // namespace

ULONGLONG DrawValidation::VerticesFor(D3DPRIMITIVETYPE type, UINT n) {
    switch (type) {
        case D3DPT_POINTLIST:
            return n;
        case D3DPT_LINELIST:
            return 2ull * n;
        case D3DPT_LINESTRIP:
            return n + 1ull;
        case D3DPT_TRIANGLELIST:
            return 3ull * n;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return n + 2ull;
        default:
            return 0;
    }
}

HRESULT DrawValidation::Primitive(const SoftDeviceState& state, const D3DCAPS9& caps,
                                  D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                  SoftDrawCall* call) {
    HRESULT hr =
        CheckCommon(state, caps, type, primitiveCount, SoftDrawCall::Kind::Primitive, call);
    if (hr != D3D_OK)
        return hr;
    call->startVertex = startVertex;
    return CheckStreams(state, *call->layout, startVertex, call->vertexCount);
}

HRESULT DrawValidation::IndexedPrimitive(const SoftDeviceState& state, const D3DCAPS9& caps,
                                         D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                         UINT numVertices, UINT startIndex, UINT primitiveCount,
                                         SoftDrawCall* call) {
    HRESULT hr =
        CheckCommon(state, caps, type, primitiveCount, SoftDrawCall::Kind::IndexedPrimitive, call);
    if (hr != D3D_OK)
        return hr;
    const SoftIndexBuffer9* ib = state.indices.Get();
    if (!ib || numVertices == 0)
        return D3DERR_INVALIDCALL;
    UINT indexSize = ib->IndexSize();
    ULONGLONG endByte = (static_cast<ULONGLONG>(startIndex) + call->vertexCount) * indexSize;
    if (endByte > ib->Memory().Size())
        return D3DERR_INVALIDCALL;
    const BYTE* indices = ib->Memory().Data() + static_cast<std::size_t>(startIndex) * indexSize;
    if (!IndicesInRange(indices, indexSize, call->vertexCount, minIndex, numVertices,
                        caps.MaxVertexIndex))
        return D3DERR_INVALIDCALL;
    hr = CheckStreams(state, *call->layout, static_cast<long long>(baseVertex) + minIndex,
                      numVertices);
    if (hr != D3D_OK)
        return hr;
    call->baseVertex = baseVertex;
    call->minIndex = minIndex;
    call->numVertices = numVertices;
    call->indices = indices;
    call->indexSize = indexSize;
    return D3D_OK;
}

HRESULT DrawValidation::PrimitiveUP(const SoftDeviceState& state, const D3DCAPS9& caps,
                                    D3DPRIMITIVETYPE type, UINT primitiveCount,
                                    const void* vertices, UINT stride, SoftDrawCall* call) {
    if (!vertices || stride == 0)
        return D3DERR_INVALIDCALL;
    HRESULT hr =
        CheckCommon(state, caps, type, primitiveCount, SoftDrawCall::Kind::PrimitiveUP, call);
    if (hr != D3D_OK)
        return hr;
    if (!OnlyStreamZero(*call->layout) || stride < call->layout->StreamExtent(0))
        return D3DERR_INVALIDCALL;
    call->userVertices = static_cast<const BYTE*>(vertices);
    call->userStride = stride;
    return D3D_OK;
}

HRESULT DrawValidation::IndexedPrimitiveUP(const SoftDeviceState& state, const D3DCAPS9& caps,
                                           D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indices,
                                           D3DFORMAT indexFormat, const void* vertices, UINT stride,
                                           SoftDrawCall* call) {
    if (!vertices || !indices || stride == 0 || numVertices == 0)
        return D3DERR_INVALIDCALL;
    if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32)
        return D3DERR_INVALIDCALL;
    HRESULT hr = CheckCommon(state, caps, type, primitiveCount,
                             SoftDrawCall::Kind::IndexedPrimitiveUP, call);
    if (hr != D3D_OK)
        return hr;
    if (!OnlyStreamZero(*call->layout) || stride < call->layout->StreamExtent(0))
        return D3DERR_INVALIDCALL;
    UINT indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    if (!IndicesInRange(static_cast<const BYTE*>(indices), indexSize, call->vertexCount, minIndex,
                        numVertices, caps.MaxVertexIndex))
        return D3DERR_INVALIDCALL;
    call->minIndex = minIndex;
    call->numVertices = numVertices;
    call->indices = static_cast<const BYTE*>(indices);
    call->indexSize = indexSize;
    call->userVertices = static_cast<const BYTE*>(vertices);
    call->userStride = stride;
    return D3D_OK;
}
