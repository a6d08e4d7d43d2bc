// Readers of the index buffer chunk (tag 16), alone and with the LOD companion's indices. They
// deliver the indices; making the hardware index buffer is the index data's. Loading thread only.
#pragma once

#include "Entity/Geometry/MeshChunkRecords.h"

namespace Zel {

class IndexData;
class IZelStream;

namespace IOIndexBufferBin {

// The record and its indices. False after its report on a wrong tag, and with a log line when the
// indices run past the end of the stream.
bool Read(IndexBufferRecord& record, IZelStream* stream);

// The same, then the companion's index chunk: its LOD indices follow the main ones. A companion
// chunk with a wrong tag is reported and left out. When the companion's base index count differs
// from the main count, the first bytes-to-clear bytes of the LOD indices (at most all of them) are
// zeroed, the mismatch is reported and record.lodMismatch is set. False when the main chunk
// fails, or when the companion's indices run past the end of the companion stream.
bool Read(IndexBufferRecord& record, IZelStream* stream, IZelStream* companion);

// Fills index data from a read index buffer: the indices (taken from the record without a copy,
// which leaves the record without them), the index count (also its leading word) and the buffer
// offset; with makeHardwareBuffer, a static write-only hardware buffer of 32-bit indices when the
// device asks for them, else of 16-bit ones (each index cut to its low 16 bits there; the array
// keeps the full values). A companion mismatch sets the scene's LOD mismatch flag. False when the
// buffer cannot be made.
bool Apply(IndexData& data, IndexBufferRecord& record, bool makeHardwareBuffer);

}  // namespace IOIndexBufferBin
}  // namespace Zel
