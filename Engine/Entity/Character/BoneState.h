// The animated pose of one bone of a model and the matrices derived from it: the model matrix
// (bone space to model space), the skin matrix read by skinning, the world matrix asked for by
// look-at and bone-bound shapes, and the scale matrix written by bone-scale presets and
// sculpting. Matrices are row-major and act on column vectors (Matrix4.h). Pooled in the
// BoneStatePool of Globals.
//
// Threads: the thread that updates its model.
#pragma once

#include <cstdint>

#include "Core/RecycledObject.h"

namespace Zel {

class BoneState : public RecycledObject {
public:
    // Flag bits.
    static constexpr std::uint32_t kNeeded = 0x1;  // evaluate this bone

    // Translation 0, rotation identity, every matrix identity, bone index -1, flags 0.
    BoneState();
    ~BoneState() override = default;
    // Bone index -1, flags 0, scale matrix identity; the pose and the other matrices keep their
    // values.
    void Reset() override;

    // Local position relative to the parent bone (3 floats) and local rotation (x, y, z, w).
    float translation[3];
    float rotation[4];
    alignas(16) float skinMatrix[16];
    alignas(16) float modelMatrix[16];
    alignas(16) float worldMatrix[16];
    alignas(16) float scaleMatrix[16];
    std::int32_t boneIndex;
    std::uint32_t flags;

    bool IsNeeded() const { return (flags & kNeeded) != 0; }
};

}  // namespace Zel
