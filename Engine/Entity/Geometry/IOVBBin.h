// Readers of the vertex buffer chunk (tag 15) and its pools (tag 17). Loading thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/MeshChunkRecords.h"

namespace Zel {

class IZelStream;
class VertexData;

namespace IOVertexBufferBin {

// A vertex buffer chunk: its record, then its pools in file order. False after the first failed
// pool, on a wrong tag (reported), or when the pools cannot all lie in what is left of the stream.
bool Read(VertexBufferRecord& record, std::vector<VertexPoolRecord>& pools, IZelStream* stream,
          VertexElementSizeOf elementSize);

// One pool chunk. Its data buffer holds element-type size x element count bytes (zeroed); of the
// record's data size, at most that many bytes are read and the rest skipped, and a data size
// that differs is reported ("Exp Failed!"). False after its report on a wrong tag, and, with a
// log line, when the buffer size overflows 32 bits or when the buffer or the data would run past
// the end of the stream.
bool ReadPool(VertexPoolRecord& pool, IZelStream* stream, VertexElementSizeOf elementSize);

// Fills vertex data from a read vertex buffer: vertex count, a new component list with one
// component per pool (its elements taken from the pool without a copy when they are exactly the
// component's data, else copied; its further word kept) and the dirty mark. The kind word is the
// caller's (it picks the vertex data class). False (logged) when a component cannot be allocated;
// the vertex data then keeps the components made so far.
bool Apply(VertexData& data, const VertexBufferRecord& record,
           std::vector<VertexPoolRecord>& pools);

}  // namespace IOVertexBufferBin
}  // namespace Zel
