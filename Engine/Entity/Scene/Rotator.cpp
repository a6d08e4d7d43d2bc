#include "Entity/Scene/Rotator.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/SceneNode.h"
#include "Math/MathUtil.h"
#include "Math/Quaternion.h"
#include "Math/RSqrtTable.h"

namespace Zel {
namespace {

constexpr float kForward[3] = {0.0f, 0.0f, -1.0f};
constexpr float kUp[3] = {0.0f, 1.0f, 0.0f};
constexpr float kRight[3] = {1.0f, 0.0f, 0.0f};

// v normalised with the bit-pattern estimate of 1/sqrt and one Newton step; false (v untouched)
// when its length is below 1e-6 or not a number.
bool NormaliseQuick(float* v) {
    const float squared = Dot3(v, v);
    float y = std::bit_cast<float>(0x5f3759dfu - (std::bit_cast<std::uint32_t>(squared) >> 1));
    y = y * (1.5f - 0.5f * squared * y * y);
    const float length = squared * y;
    if (!(length >= 1e-6f))
        return false;
    for (int i = 0; i < 3; ++i) v[i] *= y;
    return true;
}

}  // namespace

const float* Rotator::GetDirection() {
    RotateByQuaternion(node_->GetOrientation(), kForward, direction_);
    return direction_;
}

const float* Rotator::GetUp() {
    RotateByQuaternion(node_->GetOrientation(), kUp, upAxis_);
    return upAxis_;
}

const float* Rotator::GetRight() {
    RotateByQuaternion(node_->GetOrientation(), kRight, rightAxis_);
    return rightAxis_;
}

void Rotator::TurnBy(const float* r) {
    float turned[4];
    MultiplyQuaternions(r, node_->GetOrientation(), turned);
    std::memcpy(node_->MutableOrientation(), turned, sizeof turned);
}

void Rotator::Rotate(const float* axis, float angle) {
    const float s = std::sin(0.5f * angle);
    const float r[4] = {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(0.5f * angle)};
    TurnBy(r);
    node_->TransformChanged();
}

void Rotator::Roll(float angle) {
    const float* axis = GetDirection();
    Rotate(axis, angle);
}

void Rotator::Yaw(float angle) {
    const float* axis = GetUp();
    Rotate(axis, angle);
}

void Rotator::Pitch(float angle) {
    const float* axis = GetRight();
    Rotate(axis, angle);
}

void Rotator::MoveAlong(const float* axis, float distance) {
    const float scale = distance * FastRSqrt(Dot3(axis, axis));
    const float delta[3] = {axis[0] * scale, axis[1] * scale, axis[2] * scale};
    node_->Translate(delta);
}

void Rotator::MoveAlongUp(float distance) {
    MoveAlong(GetUp(), distance);
}

void Rotator::MoveAlongRight(float distance) {
    MoveAlong(GetRight(), distance);
}

void Rotator::MoveAlongDirection(float distance) {
    MoveAlong(GetDirection(), distance);
}

void Rotator::TurnToDirection(const float* direction) {
    float forward[3], r[4];
    RotateByQuaternion(node_->GetOrientation(), kForward, forward);
    Quaternion::FromTwoVectors(r, forward, direction);
    TurnBy(r);
    // The node's matrices must follow the turn, or the camera draws from its old view.
    node_->TransformChanged();
}

void Rotator::FaceTowards(const float* point) {
    const float* position = node_->GetPosition();
    const float direction[3] = {point[0] - position[0], point[1] - position[1],
                                point[2] - position[2]};
    TurnToDirection(direction);
}

const float* Rotator::LookAt(const float* eye, const float* target, const float* up) {
    node_->SetPosition(eye);
    float z[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
    if (!NormaliseQuick(z)) {
        z[0] = 0.0f;
        z[1] = 0.0f;
        z[2] = 1.0f;
    }
    float x[3];
    Cross3(up, z, x);
    if (!NormaliseQuick(x)) {
        // An up along the view direction leaves no plane to take +Y from: a top-down camera of
        // this Z-up world looks along -Z with +Y up, so (0, 1, 0) serves, and (1, 0, 0) when the
        // view runs along +Y too.
        Cross3(kUp, z, x);
        if (!NormaliseQuick(x)) {
            Cross3(kRight, z, x);
            NormaliseQuick(x);
        }
    }
    float y[3];
    Cross3(z, x, y);
    std::memcpy(target_, target, sizeof target_);
    std::memcpy(eye_, eye, sizeof eye_);
    std::memcpy(up_, up, sizeof up_);
    const float m[9] = {x[0], y[0], z[0], x[1], y[1], z[1], x[2], y[2], z[2]};
    float* orientation = node_->MutableOrientation();
    Matrix3ToQuaternion(m, orientation);
    return orientation;
}

void Rotator::CopyAxesTo(Rotator& other) const {
    std::memcpy(other.direction_, direction_, sizeof direction_);
    std::memcpy(other.upAxis_, upAxis_, sizeof upAxis_);
    std::memcpy(other.rightAxis_, rightAxis_, sizeof rightAxis_);
}

}  // namespace Zel
