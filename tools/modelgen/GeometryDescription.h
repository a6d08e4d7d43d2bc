// Descriptions of the geometry chunk and the parts it holds: plain meshes, skins, morph meshes and
// cloth mesh data, and the animation tracks with their keys.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "modelgen/MeshDescription.h"

namespace ZelModelGen {

struct PositionKey {  // 16 bytes: x, y, z, time
    Vec3 value;
    float time = 0;
};
struct RotationKey {  // 20 bytes: x, y, z, w, time
    Vec4 value{0, 0, 0, 1};
    float time = 0;
};
struct ScaleKey {  // 16 bytes: x, y, z, time
    Vec3 value{1, 1, 1};
    float time = 0;
};

// The keys of one track (an animation keys chunk): nine key words, the three key arrays and, per
// present kind, a table of per-frame key indices (written when the track's frame count is not 0).
struct AnimKeysDesc {
    std::array<std::uint32_t, 9> words{};
    std::vector<PositionKey> positions;
    std::vector<RotationKey> rotations;
    std::vector<ScaleKey> scales;
    std::vector<std::uint32_t> positionFrames, rotationFrames, scaleFrames;
};

// One animation track chunk with its keys chunk; the words and values are placed as they stand.
// In the plain action file word2's place holds the frame count.
struct AnimTrackDesc {
    std::uint32_t word0 = 0;
    float value0 = 0, value1 = 0;
    std::uint32_t word1 = 0, word2 = 0, flags = 0;
    Vec3 vector1;
    std::array<float, 6> vectors23{};
    std::uint32_t boneIndex = 0;
    std::uint32_t frameCount = 0;
    AnimKeysDesc keys;
};

// A skin part (mesh type 1): the bone palette (skeleton bone indices, at most 60), two reserved
// words, its mesh and one blend record per vertex (the writer writes the records it is given, so
// a count that differs from the mesh's vertex count is a fault of the description). Blend records
// name skeleton bone indices, not palette slots. The record is 128 bytes for a palette count up
// to 29 and 252 above.
struct SkinDesc {
    std::vector<std::uint32_t> palette;
    std::optional<std::uint32_t> paletteCount;  // the palette's size when unset
    std::uint32_t reserved[2] = {0, 0};
    MeshDesc mesh;
    std::vector<BlendRecord> blend;

    std::uint32_t PaletteCount() const {
        return paletteCount ? *paletteCount : static_cast<std::uint32_t>(palette.size());
    }
};

struct MorphKey;

// A morph mesh part (mesh type 2): a morph word, its mesh and its keys, each with a nested morph
// mesh as target.
struct MorphMeshDesc {
    std::uint32_t morphWord = 0;
    MeshDesc mesh;
    std::vector<MorphKey> keys;
};

// A key: its value is the key's time in seconds; a non-zero flag blends from the previous key.
struct MorphKey {
    float value = 0;
    std::uint8_t flag = 0;
    MorphMeshDesc target;
};

// A cloth sub-part: kind 0 is followed by a mesh chunk, kind 1 by a skin chunk, any other kind by
// nothing.
struct ClothSubPart {
    std::uint32_t kind = 0;
    MeshDesc mesh;
    SkinDesc skin;
};

// Cloth mesh data (mesh type 3). The arrays are written when not empty and their flags say so; the
// index count is the first index array's size (else the second's) unless set. The first point and
// index arrays are the physics cloth's vertices and triangles; the six parameters are bending,
// damping, density, friction, stretch and thickness.
struct ClothMeshDesc {
    std::array<float, 6> params{};
    MeshDesc mesh;
    std::vector<ClothSubPart> subParts;
    std::vector<std::array<std::uint8_t, 152>> records;
    std::vector<Vec3> pointsA, pointsB;
    std::vector<std::uint32_t> indicesA, indicesB;
    std::uint32_t sortKey = 0;
    std::optional<std::uint32_t> indexCount;

    std::uint32_t IndexCount() const {
        if (indexCount) return *indexCount;
        return static_cast<std::uint32_t>(!indicesA.empty() ? indicesA.size() : indicesB.size());
    }
};

// A part of a geometry; the alternative's index is the part's mesh type (0 mesh, 1 skin, 2 morph
// mesh, 3 cloth mesh data).
using PartDesc = std::variant<MeshDesc, SkinDesc, MorphMeshDesc, ClothMeshDesc>;

// The geometry chunk (tag 1) and what it holds.
struct GeometryDesc {
    std::uint32_t resourceWord = 0;
    std::optional<Vec3> boxMin, boxMax;  // the union of the parts' mesh boxes when unset
    std::array<std::uint32_t, 10> headerWords{};
    std::vector<Matrix4> matrices;  // slots 0..15; the rest of the 16 slots are identity
    std::optional<std::uint32_t> matrixCount;  // the number of matrices when unset
    std::vector<std::uint32_t> extraWords;
    std::vector<Vec3> scales;
    std::vector<Vec3> translations;
    std::vector<Vec4> rotations;
    std::vector<PartDesc> parts;
    std::vector<AnimTrackDesc> animations;
    std::vector<std::string> materialFiles;

    Vec3 BoxMin() const;
    Vec3 BoxMax() const;
};

// The mesh that a part's chunk carries directly (a skin's, a morph mesh's, a cloth's own mesh).
const MeshDesc& MainMeshOf(const PartDesc& part);
// Every mesh chunk of the geometry in the order a reader meets them (parts in order, each depth
// first): the order of the blocks in a LOD companion.
std::vector<const MeshDesc*> MeshesInReadOrder(const GeometryDesc& geometry);

}  // namespace ZelModelGen
