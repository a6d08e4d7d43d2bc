// Tags of the binary chunk stream (".dm3", ".ch3", ".an3", ".bp3"-".bp5", cloth files) and the
// fixed byte sizes of their records. A chunk is a 12-byte header (tag, record size, resource
// word), its fixed record, then variable data and child chunks in the order its reader gives.
#pragma once

#include <cstdint>

namespace Zel {

enum ChunkTag : std::uint32_t {
    ID_GEOMETRY = 1,
    ID_GEOMETRYSKIN = 2,
    ID_MESH = 4,
    ID_SKIN = 5,
    ID_ACTION = 6,
    ID_ANIMATION = 7,
    ID_ANIMATIONKEYS = 8,
    ID_SKELETON = 9,
    ID_BONE = 10,
    ID_LODSTRIP = 14,
    ID_VERTEXBUFFER = 15,
    ID_INDEXBUFFER = 16,
    ID_VERTEXBUFFERPOOL = 17,
    ID_GEOMETRYCLOTH = 23,
    ID_CLOTHMESHDATA = 24,
    ID_BODYPART = 25,
    ID_BODYTEXTURE = 26,
    ID_GEOMETRYDEFORMED = 27,
    ID_DEFORMEDMESH = 28,
    ID_BOUND = 29,
    ID_BOUNDSPHERE = 30,
    ID_BOUNDCAPSULE = 31,
};

// Fixed record sizes in bytes, by tag.
namespace ChunkRecordSize {
constexpr std::uint32_t kGeometry = 1120;
constexpr std::uint32_t kGeometrySkin = 8;
constexpr std::uint32_t kMesh = 60;
constexpr std::uint32_t kSkinSmall = 128;  // palette count at most 29
constexpr std::uint32_t kSkinLarge = 252;  // palette count above 29
constexpr std::uint32_t kAction = 272;
constexpr std::uint32_t kAnimation = 336;
constexpr std::uint32_t kAnimationKeys = 304;
constexpr std::uint32_t kSkeleton = 284;
constexpr std::uint32_t kBone = 504;
constexpr std::uint32_t kLodStrip = 8;
constexpr std::uint32_t kLodStripEntry = 20;  // each entry after the record
constexpr std::uint32_t kVertexBuffer = 12;
constexpr std::uint32_t kIndexBuffer = 20;
constexpr std::uint32_t kVertexBufferPool = 20;
constexpr std::uint32_t kGeometryCloth = 12;
constexpr std::uint32_t kClothMeshData = 328;
constexpr std::uint32_t kBodyPart = 20;
constexpr std::uint32_t kBodyTexture = 12;
constexpr std::uint32_t kGeometryDeformed = 268;
constexpr std::uint32_t kDeformedMesh = 264;
constexpr std::uint32_t kBound = 136;
constexpr std::uint32_t kBoundSphere = 68;
constexpr std::uint32_t kBoundCapsule = 72;
}  // namespace ChunkRecordSize

}  // namespace Zel
