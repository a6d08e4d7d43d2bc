#include "Math/BoundBase.h"

#include <algorithm>

#include "Math/MathUtil.h"
#include "Physics/PhxEntity.h"
#include "Physics/PhxScene.h"

namespace Zel {

BoundBase::BoundBase() = default;

BoundBase::~BoundBase() {
    ReleaseBody();
}

void BoundBase::ReleaseBody() {
    if (body_ != nullptr) {
        PhxEntity* body = body_;
        body_ = nullptr;
        PhxEntity::ReleaseIfLive(body);
    }
}

void BoundBase::Reset() {
    ReleaseBody();
    bone_ = nullptr;
    scene_ = nullptr;
    flag_ = 1;
    SetLocalTransform(IdentityMatrix());
    name_.clear();
    identifier_ = 0;
}

BoundBase* BoundBase::CopyTo(BoundBase* target) const {
    if (target != nullptr) {
        target->bone_ = bone_;
        target->flag_ = flag_;
        target->SetLocalTransform(localTransform_);
    }
    return target;
}

void BoundBase::SetLocalTransform(const float* m) {
    std::copy(m, m + 16, localTransform_);
}

bool BoundBase::CreateBody(std::int32_t shapeKind, const float* params) {
    // A second Setup replaces the body rather than leaking the first.
    ReleaseBody();
    if (scene_ == nullptr) {
        return false;
    }
    PhxBodyDesc desc = {};
    desc.dimensions[0] = params[0];
    desc.dimensions[1] = params[1];
    desc.dimensions[2] = params[2];
    desc.dimensions[3] = 1.0f;
    desc.scalar = 1.0f;
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, desc.pose);
    desc.shapeKind = shapeKind;
    desc.extra = 0;
    body_ = scene_->CreateEntity(&desc);
    return body_ != nullptr;
}

void BoundBase::CloneInto(BoundBase* copy) const {
    copy->scene_ = scene_;
    copy->ReleaseBody();
    if (body_ != nullptr) {
        copy->body_ = body_->Clone();
    }
    CopyTo(copy);
}

void RecycleBound(BoundBase* shape) {
    if (shape != nullptr) {
        shape->Recycle();
    }
}

}  // namespace Zel
