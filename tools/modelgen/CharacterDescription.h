// Descriptions of the files around characters: skinned geometry with its skeleton and actions,
// body parts with their skins, textures and selectors, morph geometry, cloth geometry with its
// bounds, and the plain action file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modelgen/GeometryDescription.h"

namespace ZelModelGen {

// A bone chunk (tag 10). The three matrices are row-major here and stored column by column.
struct BoneDesc {
    std::int32_t id = 0;
    std::int32_t parentId = -1;
    float value = 0;
    Vec3 vector1;
    Vec4 vector2;
    Vec3 vector3;
    Matrix4 matrix1, matrix2, matrix3;
    std::string name;
    std::vector<std::uint32_t> links;
};

// A skeleton chunk (tag 9) and its bones in table order.
struct SkeletonDesc {
    std::uint32_t rootBoneIndex = 0;
    std::uint32_t words[2] = {0, 0};
    std::int32_t leftFootId = -1, rightFootId = -1;
    std::vector<BoneDesc> bones;
    std::uint32_t resourceWord = 0;
};

// An action chunk (tag 6): its name and file name strings, the bone indices and its tracks.
struct ActionDesc {
    std::string name;
    std::string fileName;
    float length = 0;
    std::vector<std::uint32_t> boneIndices;
    std::vector<AnimTrackDesc> tracks;
    std::uint32_t resourceWord = 0;
};

// A skinned geometry chunk (tag 2), the top of a ".ch3" file and of each skin of a body part.
struct SkinnedGeometryDesc {
    std::uint32_t resourceWord = 0;
    GeometryDesc geometry;
    std::optional<SkeletonDesc> skeleton;
    std::vector<ActionDesc> actions;
};

// A body texture entry: its name string, then a body texture chunk (tag 26) with the slot, the
// image file name and the embedded image bytes.
struct BodyTextureDesc {
    std::string name;
    std::uint32_t slot = 0;
    std::uint32_t reserved = 0;
    std::string fileName;
    std::vector<std::uint8_t> image;
    std::uint32_t resourceWord = 0;
};

// A selector: the words are slot A, the part id expected there, slot B (18 or more: no second
// condition) and the part id expected there (21: any); the material name is the image it shows.
struct SelectorDesc {
    std::uint32_t words[4] = {0, 0, 0, 0};
    std::string skinName;
    std::string materialName;
};

struct BodyPartSkinDesc {
    std::string name;
    SkinnedGeometryDesc skin;
};

// A body part chunk (tag 25): the packed word holds setting1 in bits 0-7 and setting2 in bits
// 20-31. setting1 is the image mode (2: one image per selector), setting2 the part id other parts'
// selectors test, setting3 the figure kind (8: the figure with face bones).
struct BodyPartDesc {
    std::uint32_t resourceWord = 0;
    std::uint8_t setting1 = 0;
    std::uint16_t setting2 = 0;  // 12 bits
    std::uint32_t setting3 = 0;
    std::vector<BodyPartSkinDesc> skins;
    std::vector<BodyTextureDesc> textures;
    std::vector<SelectorDesc> selectors;
    std::string defaultMesh;
    std::string defaultTexture;

    std::uint32_t PackedWord() const {
        return std::uint32_t(setting1) | (std::uint32_t(setting2 & 0xFFF) << 20);
    }
};

// A bound chunk (tag 29) with its shape chunk: kind 0 a sphere (tag 30), kind 1 a capsule
// (tag 31), any other kind no shape chunk. The local matrix is written as its 16 floats in order.
struct BoundDesc {
    Matrix4 local;
    std::uint32_t kind = 0;
    std::uint32_t shapeWord = 0;
    float radius = 0;
    float height = 0;
    std::string name;
};

// A cloth geometry chunk (tag 23). Bit 0x10 of the flag word marks a piece the physics scene
// simulates.
struct ClothGeometryDesc {
    std::uint32_t resourceWord = 0;
    std::uint32_t flagWord = 0;
    GeometryDesc geometry;
    std::vector<BoundDesc> bounds;
    std::vector<Vec3> points;
};

// A morph geometry chunk (tag 27).
struct MorphGeometryDesc {
    std::uint32_t resourceWord = 0;
    float morphValue = 0;
    std::uint32_t morphFlag = 0;
    GeometryDesc geometry;
    std::vector<MorphMeshDesc> morphMeshes;
};

// A plain action file ("at6"): an offset table of track blocks without chunk headers. Each track
// block's frame count is the track's frameCount.
struct PlainActionDesc {
    float length = 0;
    std::vector<std::uint32_t> boneIndices;
    std::vector<AnimTrackDesc> tracks;
};

}  // namespace ZelModelGen
