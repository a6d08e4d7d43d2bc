// Tags of the chunk stream and the fixed sizes of their records.
#pragma once

#include <cstdint>

namespace ZelModelGen {

enum ChunkTag : std::uint32_t {
    kTagGeometry = 1,
    kTagSkinnedGeometry = 2,
    kTagMesh = 4,
    kTagSkin = 5,
    kTagAction = 6,
    kTagAnimationTrack = 7,
    kTagAnimationKeys = 8,
    kTagSkeleton = 9,
    kTagBone = 10,
    kTagLodStrip = 14,
    kTagVertexBuffer = 15,
    kTagIndexBuffer = 16,
    kTagVertexPool = 17,
    kTagClothGeometry = 23,
    kTagClothMeshData = 24,
    kTagBodyPart = 25,
    kTagBodyTexture = 26,
    kTagMorphGeometry = 27,
    kTagMorphMesh = 28,
    kTagBound = 29,
    kTagBoundSphere = 30,
    kTagBoundCapsule = 31,
};

enum RecordSize : std::uint32_t {
    kSizeGeometry = 1120,
    kSizeSkinnedGeometry = 8,
    kSizeMesh = 60,
    kSizeSkinSmall = 128,  // palette count up to 29
    kSizeSkinLarge = 252,  // palette count above 29
    kSizeAction = 272,
    kSizeAnimationTrack = 336,
    kSizeAnimationKeys = 304,
    kSizeSkeleton = 284,
    kSizeBone = 504,
    kSizeLodStrip = 8,
    kSizeLodEntry = 20,
    kSizeVertexBuffer = 12,
    kSizeIndexBuffer = 20,
    kSizeVertexPool = 20,
    kSizeClothGeometry = 12,
    kSizeClothMeshData = 328,
    kSizeBodyPart = 20,
    kSizeBodyTexture = 12,
    kSizeMorphGeometry = 268,
    kSizeMorphMesh = 264,
    kSizeBound = 136,
    kSizeBoundSphere = 68,
    kSizeBoundCapsule = 72,
};

// A short name of a tag ("geometry", "mesh", ...), or "unknown".
const char* ChunkTagName(std::uint32_t tag);

}  // namespace ZelModelGen
