// The description of one mesh from which every model format is written: the chunk stream
// (".dm3" and its relatives), its LOD companion, the stdio chunk file (".dm2"), the level mesh
// and the ASE scene. Values are what the engine should hold after loading; each writer turns
// them into its file's convention (texture v flipped where the format flips it, colours packed
// where it packs them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modelgen/ModelTypes.h"

namespace ZelModelGen {

// Vertex semantic bits and element type codes of the vertex pools.
enum Semantic : std::uint32_t {
    kPosition = 0x1,
    kNormal = 0x2,
    kDiffuse = 0x4,
    kSpecular = 0x8,
    kTexCoord0 = 0x10,
    kTexCoord1 = 0x20,
    kBinormal = 0x1000,
    kTangent = 0x2000,
    kBlendWeights = 0x4000,
    kBlendIndices = 0x8000,
    kPackedDiffuse = 0x10000,
    kPackedSpecular = 0x20000,
};

enum ElementType : std::uint32_t {
    kFloat1 = 0,
    kFloat2 = 1,
    kFloat3 = 2,
    kFloat4 = 3,
    kColour = 4,
    kPackedColour = 9,
};

// Bytes of one element of a type code; 0 for codes without a size.
std::uint32_t ElementTypeSize(std::uint32_t type);

// Render group entry: primitive code (3 triangle list, 4 triangle strip), index count, draw count,
// byte offset of the first index in the 32-bit index array, and a fifth word.
struct LodEntry {
    std::uint32_t primitive = 3;
    std::uint32_t indexCount = 0;
    std::uint32_t drawCount = 0;
    std::uint32_t startByte = 0;
    std::uint32_t value = 0;
};

// One render group (a LOD strip chunk).
struct LodGroup {
    std::vector<LodEntry> entries;
    std::uint32_t primitiveCount = 0;
};

// One vertex pool as the chunk stream stores it: element count, semantic, element type, the
// further word and the tightly packed element bytes.
struct PoolDesc {
    std::uint32_t semantic = 0;
    std::uint32_t elementType = 0;
    std::uint32_t furtherWord = 0;
    std::uint32_t elementCount = 0;
    std::vector<std::uint8_t> data;
};

// Per-vertex skin blend record (36 bytes): influence count, four skeleton bone indices, four
// weights.
struct BlendRecord {
    std::int32_t count = 0;
    std::uint32_t bones[4] = {0, 0, 0, 0};
    float weights[4] = {0, 0, 0, 0};
};

struct MeshDesc {
    std::string name;      // the ".dm2" record name and the ASE node name; chunk meshes have none
    std::string material;  // material name
    std::vector<Vec3> positions;  // the vertex count is their number
    std::vector<Vec3> normals;
    std::vector<Vec2> uv0;
    std::vector<Vec2> uv1;
    std::vector<Vec4> colours;  // r, g, b, a in 0..1
    // Chunk streams: colours as one packed ARGB pool (semantic 0x10000, type 9) instead of a float4
    // DIFFUSE pool.
    bool packedColours = false;
    std::vector<PoolDesc> extraPools;  // written after the pools derived from the arrays above
    std::vector<std::uint32_t> indices;
    std::vector<LodGroup> groups;

    // The LOD companion's share: further groups and indices appended after the main ones (their
    // entries' byte offsets count from the start of the main indices), the base index count the
    // companion announces (the main count when unset), the bytes it asks to clear on a mismatch and
    // its two further words.
    std::vector<LodGroup> lodGroups;
    std::vector<std::uint32_t> lodIndices;
    std::optional<std::uint32_t> lodBaseIndexCount;
    std::uint32_t lodClearBytes = 0;
    std::uint32_t lodWords[2] = {0, 0};

    // Bounds; from the positions when unset.
    std::optional<Vec3> boxMin, boxMax;
    std::uint32_t wordB = 0, wordC = 0, groupWord = 0;
    std::optional<std::uint32_t> faceCount;  // indices / 3 when unset
    bool writeVertexBuffer = true;
    bool writeIndexBuffer = true;
    std::uint32_t vertexKind = 0;  // 0 device-backed, 2 system memory
    std::uint32_t indexBufferOffset = 0, indexUsage = 0, indexFlags = 0;

    // ".dm2" only: the mesh matrix and the extra word.
    Matrix4 transform;
    std::uint32_t extraWord = 0;
    // Level mesh only: the face vectors.
    std::vector<Vec3> faceVectors;

    std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(positions.size()); }
    std::uint32_t FaceCount() const {
        return faceCount ? *faceCount : static_cast<std::uint32_t>(indices.size() / 3);
    }
    Vec3 BoxMin() const;
    Vec3 BoxMax() const;
};

// The pools a chunk stream stores for the mesh: POSITION, NORMAL, TEXCOORD0, TEXCOORD1, the
// colours, then the extra pools, each present only when its array is not empty.
std::vector<PoolDesc> PoolsOf(const MeshDesc& mesh);
// A colour as the ARGB word of the packed pools (alpha in the top byte); each channel is
// round(c x 255), clamped to 0..255.
std::uint32_t PackArgb(Vec4 colour);
// The same channels with red in the low byte, as ".dm2" vertex blocks store them.
std::uint32_t PackAbgr(Vec4 colour);
// One triangle-list group over indices [first, first + count): entry {3, count, count, 4 x first, 0}.
LodGroup TriangleListGroup(std::uint32_t first, std::uint32_t count);

}  // namespace ZelModelGen
