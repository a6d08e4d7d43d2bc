// A camera: a scene object with a view volume, steered about its own axes. Angles are in
// radians, distances in world units. A wrapper that is not bound does nothing and answers null or
// 0. Host thread.
#pragma once

#include "Interface/IMoveObject.h"

namespace ZelI {

class ICamera : public IMoveObject {
public:
    // The camera's axes (3 floats each, owned by the camera).
    virtual const float* GetUp() = 0;
    virtual const float* GetRight() = 0;
    // Places the camera at eye looking at target with up as its up hint (3 floats each); answers
    // the orientation written (4 floats, owned by the camera).
    virtual const float* LookAt(const float* eye, const float* target, const float* up) = 0;
    // Turns the camera towards a point.
    virtual void FaceTowards(const float* point) = 0;
    virtual void Roll(float angle) = 0;
    virtual void Yaw(float angle) = 0;
    virtual void Pitch(float angle) = 0;
    virtual void Rotate(const float* axis, float angle) = 0;
    virtual void MoveAlongUp(float distance) = 0;
    virtual void MoveAlongRight(float distance) = 0;
    virtual void MoveAlongDirection(float distance) = 0;
    // The view and projection matrices of the last view update (16 floats, owned by the camera).
    virtual const float* GetViewMatrix() = 0;
    virtual const float* GetProjectionMatrix() = 0;
    // Where the box (minimum x, y, z, maximum x, y, z) lies against the view volume: 0 inside,
    // 1 outside, 2 crossing its boundary.
    virtual int IntersectBox(const float* box) = 0;

protected:
    ~ICamera() override = default;
};

}  // namespace ZelI
