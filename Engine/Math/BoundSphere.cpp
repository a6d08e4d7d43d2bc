#include "Math/BoundSphere.h"

#include "Physics/PhxBodyDesc.h"

namespace Zel {

Factory<BoundSphere>& BoundSphere::GetFactory() {
    static Factory<BoundSphere> factory;
    return factory;
}

BoundSphere* AcquireBoundSphere() {
    return BoundSphere::GetFactory().Acquire();
}

bool BoundSphere::Setup(const float* params) {
    radius_ = params[0];
    return CreateBody(PHX_SHAPE_SPHERE, params);
}

void BoundSphere::Recycle() {
    GetFactory().Release(this);
}

BoundBase* BoundSphere::Clone() const {
    BoundSphere* copy = AcquireBoundSphere();
    if (copy == nullptr) {
        return nullptr;
    }
    copy->radius_ = radius_;
    CloneInto(copy);
    return copy;
}

}  // namespace Zel
