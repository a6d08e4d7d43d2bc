// The creation descriptor of a physics body: 23 words, in this order. Word 22 carries a pointer,
// so on a 64-bit build the record is wider than 23 words.
#pragma once

#include <cstdint>

namespace Zel {

struct PhxClothSource;

enum PhxShapeKind : std::int32_t {
    PHX_SHAPE_BOX = 0,
    PHX_SHAPE_SPHERE = 1,
    PHX_SHAPE_CAPSULE = 2,
    PHX_SHAPE_CLOTH = 3,      // a grid: width, height, cell size in dimensions[0..2]
    PHX_SHAPE_CLOTH_ALT = 4,  // from a mesh: clothSource
    PHX_SHAPE_PLANE = 5,
};

struct PhxBodyDesc {
    // box: half extents; sphere: radius; capsule: radius, height; plane: normal, distance;
    // cloth grid: width, height, cell size.
    float dimensions[4];
    float scalar;
    float pose[16];          // row-major 4x4, translation in elements 3, 7, 11
    std::int32_t shapeKind;  // PhxShapeKind
    // The mesh a cloth of kind 4 is built from (not owned); null for every other kind.
    const PhxClothSource* extra;
};

}  // namespace Zel
