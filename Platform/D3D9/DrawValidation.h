// The checks Direct3D 9 makes before a draw, for the software device: a known primitive type, a
// primitive count within the caps, a vertex layout, every stream the layout reads bound, and every
// vertex and index the draw reads inside its buffer. A draw that passes is described by a
// SoftDrawCall; one that fails answers D3DERR_INVALIDCALL.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/SoftDrawCall.h"

struct SoftDeviceState;

class DrawValidation {
public:
    // Vertices (or indices) the primitives consume; 0 for an unknown type.
    static ULONGLONG VerticesFor(D3DPRIMITIVETYPE type, UINT primitiveCount);

    static HRESULT Primitive(const SoftDeviceState& state, const D3DCAPS9& caps,
                             D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                             SoftDrawCall* call);
    static HRESULT IndexedPrimitive(const SoftDeviceState& state, const D3DCAPS9& caps,
                                    D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                    UINT numVertices, UINT startIndex, UINT primitiveCount,
                                    SoftDrawCall* call);
    static HRESULT PrimitiveUP(const SoftDeviceState& state, const D3DCAPS9& caps,
                               D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                               UINT stride, SoftDrawCall* call);
    static HRESULT IndexedPrimitiveUP(const SoftDeviceState& state, const D3DCAPS9& caps,
                                      D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                      UINT primitiveCount, const void* indices,
                                      D3DFORMAT indexFormat, const void* vertices, UINT stride,
                                      SoftDrawCall* call);
};
