// Turns and moves a scene node the way a camera is steered: about the node's own axes (forward
// (0, 0, -1), up (0, 1, 0) and right (1, 0, 0) turned by its local orientation), along them, or to
// look at a point. Cameras and projecting lights embed one bound to themselves. Angles are in
// radians. Host thread.
#pragma once

namespace Zel {

class SceneNode;

class Rotator {
public:
    // node: the node turned and moved; not owned; never changes.
    explicit Rotator(SceneNode* node) : node_(node) {}
    virtual ~Rotator() = default;
    Rotator(const Rotator&) = delete;
    Rotator& operator=(const Rotator&) = delete;

    // The node's current axes; each is kept in its cache and the cache is returned (3 floats).
    const float* GetDirection();
    const float* GetUp();
    const float* GetRight();

    // Turns the node by angle about axis (not normalised) after its current orientation; the
    // result is not renormalised.
    void Rotate(const float* axis, float angle);
    void Roll(float angle);   // about the forward axis
    void Yaw(float angle);    // about the up axis
    void Pitch(float angle);  // about the right axis
    void MoveAlongUp(float distance);
    void MoveAlongRight(float distance);
    void MoveAlongDirection(float distance);
    // Turns the node's forward axis onto direction (shortest arc).
    void TurnToDirection(const float* direction);
    // Turns the node's forward axis towards point (from its local position).
    void FaceTowards(const float* point);
    // Places the node at eye looking at target, +Y in the plane of up and the view direction;
    // answers the orientation written (4 floats, the node's own). An eye on the target looks
    // along -Z; an up along the view direction is replaced by (0, 1, 0), or (1, 0, 0) when the
    // view runs along that too.
    const float* LookAt(const float* eye, const float* target, const float* up);
    // Copies the three axis caches into other.
    void CopyAxesTo(Rotator& other) const;

    const float* GetEye() const { return eye_; }
    const float* GetTarget() const { return target_; }
    const float* GetUpVector() const { return up_; }

private:
    void MoveAlong(const float* axis, float distance);
    // Writes r x (node orientation) into the node's orientation without marking a change.
    void TurnBy(const float* r);

    float up_[3] = {};
    float eye_[3] = {};
    float target_[3] = {};
    float direction_[3] = {};
    float upAxis_[3] = {};
    float rightAxis_[3] = {};
    SceneNode* node_;
};

}  // namespace Zel
