// What the mesh-level chunks hold, as their readers (IOMeshBin.h, IOVBBin.h, IOIndexBufferBin.h)
// deliver it to whoever builds the mesh: LOD strips (tag 14), vertex buffers (tag 15) with their
// pools (tag 17), and index buffers (tag 16) with the LOD companion's share.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Zel {

// Bytes of one element of a vertex element type code (the vertex data's table); the pool reader
// sizes a pool's buffer with it.
using VertexElementSizeOf = std::uint32_t (*)(std::uint32_t elementType);

// One render group as a LOD strip chunk stores it: per entry the primitive code (3 triangle list,
// 4 triangle strip), index count, draw count, byte offset of the first index in the 32-bit index
// array, and a fifth word.
struct LodStripRecord {
    using Entry = std::array<std::uint32_t, 5>;
    std::uint32_t primitiveCount = 0;
    std::vector<Entry> entries;
};

// The vertex buffer record: vertex count, pool count, kind (0 device-backed, 2 system memory).
struct VertexBufferRecord {
    std::uint32_t vertexCount = 0;
    std::uint32_t poolCount = 0;
    std::uint32_t kind = 0;
};

// One vertex pool: its record and its elements, tightly packed, in a buffer of element-type size
// x element count bytes.
struct VertexPoolRecord {
    std::uint32_t elementCount = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t semantic = 0;
    std::uint32_t elementType = 0;
    std::uint32_t furtherWord = 0;
    std::vector<std::uint8_t> data;
};

// An index buffer: its record and the 32-bit indices (with a LOD companion, the main indices
// followed by the companion's).
struct IndexBufferRecord {
    std::uint32_t bufferOffset = 0;
    std::uint32_t usage = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint32_t> indices;
    // Set when a companion's base index count differed from the main count.
    bool lodMismatch = false;
};

// The mesh record (tag 4, 60 bytes) and the material name that follows it.
struct MeshRecord {
    float boxMin[3] = {0, 0, 0};
    float boxMax[3] = {0, 0, 0};
    std::uint32_t wordB = 0;
    std::uint32_t wordC = 0;
    std::uint32_t lodStripCount = 0;
    std::uint32_t groupWord = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t faceCount = 0;
    bool hasVertexBuffer = false;
    bool hasIndexBuffer = false;
    std::string materialName;
};

// A whole mesh chunk: its record, render groups, vertex buffer with pools (when flagged) and index
// buffer (when flagged).
struct MeshChunk {
    MeshRecord record;
    std::vector<LodStripRecord> groups;
    VertexBufferRecord vertexBuffer;
    std::vector<VertexPoolRecord> pools;
    IndexBufferRecord indexBuffer;
};

}  // namespace Zel
