// A bound sphere: a radius about the shape's local origin.
#pragma once

#include "Core/Factory.h"
#include "Math/BoundBase.h"

namespace Zel {

class BoundSphere : public BoundBase {
public:
    // Radius 1, as the pool makes it.
    BoundSphere() = default;

    // params[0] is the radius; the body is a sphere of dimensions (params[0..2], 1).
    bool Setup(const float* params) override;
    void Recycle() override;
    int GetKind() const override { return BOUND_SPHERE; }
    BoundBase* Clone() const override;

    void SetRadius(float radius) { radius_ = radius; }
    float GetRadius() const { return radius_; }

    // The process-wide pool of spheres (4 at first, growth 1.5, no cap) behind its lock.
    static Factory<BoundSphere>& GetFactory();

private:
    float radius_ = 1.0f;
};

// A sphere from the pool, recording the calling thread as owner; null when the pool cannot grow.
// Any thread.
BoundSphere* AcquireBoundSphere();

}  // namespace Zel
