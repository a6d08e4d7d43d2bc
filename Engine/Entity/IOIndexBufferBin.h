// Readers of the index buffer chunk (tag 16), alone and with the LOD companion's indices. They
// deliver the indices; making the hardware index buffer is the index data's. Loading thread only.
#pragma once

#include "Entity/MeshChunkRecords.h"

namespace Zel {

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

}  // namespace IOIndexBufferBin
}  // namespace Zel
