// Readers of the vertex buffer chunk (tag 15) and its pools (tag 17). Loading thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/MeshChunkRecords.h"

namespace Zel {

class IZelStream;

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

}  // namespace IOVertexBufferBin
}  // namespace Zel
