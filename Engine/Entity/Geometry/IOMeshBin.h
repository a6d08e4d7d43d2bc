// The mesh-level parts of the mesh chunk (tag 4) that need no Mesh: its LOD strip chunks (tag 14),
// with the LOD companion's further strips, and the consistency checks a mesh must pass before it
// is built (vertex counts that agree, indices below the vertex count, group entries inside the
// index array). Loading thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Geometry/MeshChunkRecords.h"

namespace Zel {

class IZelStream;
class Mesh;

namespace IOMeshBin {

// A whole mesh chunk: header (a wrong tag is reported as "IOMeshBin::Read"), record, material
// name (a failed string logs "BinaryIO Error : Zel::ZelString error"), LOD strips, then the
// flagged vertex and index buffers; with a current LOD companion its strips and indices are
// added (a failed companion index read logs "lod from *_lod.bp3 file error"). The counts must
// then pass CheckMeshCounts. False on the first failure; the chunk keeps what was read.
bool ReadChunk(MeshChunk& mesh, IZelStream* stream, VertexElementSizeOf elementSize);

// A whole mesh chunk (ReadChunk) into a mesh that owns its vertex and index data: bounds, the
// three words (face count, word B, word C), face, vertex and group words, material name, render
// groups (the first current), vertex components (a system-memory vertex data for kind 2) and the
// indices with their hardware buffer. Nothing is put into the mesh unless the whole chunk read
// and passed its checks. False on the first failure.
bool Read(Mesh& mesh, IZelStream* stream);

// One LOD strip chunk. False after its report on a wrong tag or an entry count whose entries run
// past the end of the stream; a size word other than 8 is reported ("Exp Failed!") and read on.
bool ReadLodStrip(LodStripRecord& group, IZelStream* stream);

// The mesh's stripCount LOD strips from the stream, appended to groups. With a current LOD
// companion (LodCompanion.h) a failure on the main stream is reported with the companion's name;
// then the companion's strip total is read and its strips from stripCount on are appended; a
// failed companion strip is logged and ends the strips without failing.
bool ReadLodStrips(std::uint32_t stripCount, IZelStream* stream,
                   std::vector<LodStripRecord>& groups);

// The vertex counts of the mesh record, the vertex buffer and every pool agree; each index is
// below the vertex count; every group entry's index range (start / 4, then the larger of its
// index and draw counts) lies inside the index array. False, with one log line naming the stream
// and the first fault, otherwise. Without a vertex buffer the indices are still checked against
// the mesh's vertex count; without indices the groups are not checked.
bool CheckMeshCounts(std::uint32_t meshVertexCount, const VertexBufferRecord* vertexBuffer,
                     const std::vector<VertexPoolRecord>& pools,
                     const IndexBufferRecord* indexBuffer,
                     const std::vector<LodStripRecord>& groups, const std::string& streamName);

}  // namespace IOMeshBin
}  // namespace Zel
