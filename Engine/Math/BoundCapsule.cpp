#include "Math/BoundCapsule.h"

#include "Physics/PhxBodyDesc.h"

namespace Zel {

Factory<BoundCapsule>& BoundCapsule::GetFactory() {
    static Factory<BoundCapsule> factory;
    return factory;
}

BoundCapsule* AcquireBoundCapsule() {
    return BoundCapsule::GetFactory().Acquire();
}

bool BoundCapsule::Setup(const float* params) {
    radius_ = params[0];
    height_ = params[1];
    return CreateBody(PHX_SHAPE_CAPSULE, params);
}

void BoundCapsule::Recycle() {
    GetFactory().Release(this);
}

BoundBase* BoundCapsule::Clone() const {
    BoundCapsule* copy = AcquireBoundCapsule();
    if (copy == nullptr) {
        return nullptr;
    }
    copy->radius_ = radius_;
    copy->height_ = height_;
    CloneInto(copy);
    return copy;
}

}  // namespace Zel
