// The creation descriptor of a physics body: 23 words, in this order.
#pragma once

#include <cstdint>

namespace Zel {

enum PhxShapeKind : std::int32_t {
    PHX_SHAPE_BOX = 0,
    PHX_SHAPE_SPHERE = 1,
    PHX_SHAPE_CAPSULE = 2,
    PHX_SHAPE_CLOTH = 3,
    PHX_SHAPE_CLOTH_ALT = 4,
    PHX_SHAPE_PLANE = 5,
};

struct PhxBodyDesc {
    float dimensions[4];  // per shape: a sphere's radius, a capsule's radius and height, ...
    float scalar;
    float pose[16];          // 4x4, the engine's matrix layout
    std::int32_t shapeKind;  // PhxShapeKind
    std::int32_t extra;
};

static_assert(sizeof(PhxBodyDesc) == 23 * 4);

}  // namespace Zel
