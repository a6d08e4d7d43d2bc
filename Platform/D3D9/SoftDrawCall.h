// A draw the software device has checked and is about to execute: what it reads, with every range
// inside the bound buffers (or the caller's memory of a UP draw). The rasteriser takes it together
// with the device state (SoftDeviceState) it was checked against.
#pragma once

#include "Platform/D3D9/D3D9Types.h"

class VertexLayout;

struct SoftDrawCall {
    enum class Kind { Primitive, IndexedPrimitive, PrimitiveUP, IndexedPrimitiveUP };

    Kind kind;
    D3DPRIMITIVETYPE type;
    UINT primitiveCount;
    // Vertices the primitives consume, in order: for indexed draws, the number of indices.
    UINT vertexCount;
    // Non-indexed: the first vertex of the streams.
    UINT startVertex;
    // Indexed: index i of the draw names vertex baseVertex + indices[i] of the streams (of the
    // UP data for IndexedPrimitiveUP, where baseVertex is 0); every such vertex lies in
    // [baseVertex + minIndex, baseVertex + minIndex + numVertices).
    INT baseVertex;
    UINT minIndex;
    UINT numVertices;
    const BYTE* indices;  // the draw's first index
    UINT indexSize;       // 2 or 4
    // UP draws: the caller's vertices (vertex 0 at userVertices) and their stride.
    const BYTE* userVertices;
    UINT userStride;
    // The layout the draw reads.
    const VertexLayout* layout;
};
