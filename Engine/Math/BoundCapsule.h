// A bound capsule: a radius and a height about the shape's local origin.
#pragma once

#include "Core/Factory.h"
#include "Math/BoundBase.h"

namespace Zel {

class BoundCapsule : public BoundBase {
public:
    // Radius 1 and height 1, as the pool makes it.
    BoundCapsule() = default;

    // params[0] is the radius, params[1] the height; the body is a capsule of dimensions
    // (params[0..2], 1).
    bool Setup(const float* params) override;
    void Recycle() override;
    int GetKind() const override { return BOUND_CAPSULE; }
    BoundBase* Clone() const override;

    void SetRadius(float radius) { radius_ = radius; }
    float GetRadius() const { return radius_; }
    void SetHeight(float height) { height_ = height; }
    float GetHeight() const { return height_; }

    // The process-wide pool of capsules (4 at first, growth 1.5, no cap) behind its lock.
    static Factory<BoundCapsule>& GetFactory();

private:
    float radius_ = 1.0f;
    float height_ = 1.0f;
};

// A capsule from the pool, recording the calling thread as owner; null when the pool cannot
// grow. Any thread.
BoundCapsule* AcquireBoundCapsule();

}  // namespace Zel
