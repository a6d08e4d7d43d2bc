// The view volume of a camera or a projected light: perspective parameters, the view and
// projection matrices and six clipping planes built from an eye placement, and its eight corner
// points. Plane order: 0 top, 1 bottom, 2 left, 3 right, 4 near, 5 far; each plane is
// (nx, ny, nz, d), normalised, its normal pointing inwards: a point is inside when n . p + d >= 0.
// The setters only store; the owner calls Update and ComputeCorners after moving or changing it.
#pragma once

#include "Math/BoundingVolume.h"
#include "Math/Matrix4.h"

namespace Zel {

class RenderSystem;

class Frustum : public BoundingVolume {
public:
    Frustum();
    Frustum(const Frustum&) = delete;
    Frustum& operator=(const Frustum&) = delete;

    // 0 when the sphere lies inside all six planes, 1 when it lies wholly behind one, else 2.
    int IntersectSphere(const Sphere& other) const override;
    // 0 when no corner lies behind any plane, 1 when no corner lies strictly in front of one
    // plane, else 2.
    int IntersectAABB(const AABB& other) const override;
    // No finer answer than 2; a frustum holds no point.
    int IntersectOBB(const OBB& other) const override;
    int IntersectKind3(const BoundingVolume& other) const override;
    int IntersectRay(const Ray& ray) const override;
    bool ContainsPoint(const float* p) const override;
    // The view volume's own type; views built on the frustum may answer theirs. A plain frustum
    // answers 3.
    virtual int GetFrustumType() const { return 3; }

    // Store the value and set the dirty flag, which only the owner reads and clears.
    void SetFOV(float degrees);
    void SetNearClip(float distance);
    void SetFarClip(float distance);
    void SetAspectRatio(float aspect);
    bool IsDirty() const { return dirty_; }
    void SetDirty(bool dirty) { dirty_ = dirty; }

    float GetFOV() const { return fov_; }
    float GetNearClip() const { return near_; }
    float GetFarClip() const { return far_; }
    float GetAspectRatio() const { return aspect_; }

    // Rebuilds the projection, the view and the planes for an eye at position (3 floats) turned
    // by orientation (quaternion): the eye looks along orientation (0, 0, -1) with orientation
    // (0, 1, 0) up. renderSystem builds the matrices and must not be null.
    void Update(const float* position, const float* orientation, const RenderSystem* renderSystem);
    // Rebuilds the eight corners: the near rectangle (right-top, left-top, right-bottom,
    // left-bottom), then the far one in the same order.
    void ComputeCorners(const float* position, const float* orientation);

    const Matrix4* GetViewMatrix() const { return &view_; }
    const Matrix4* GetProjectionMatrix() const { return &projection_; }
    // out = projection x view.
    void GetViewProjection(float* out) const;
    // Plane i (4 floats), i in 0..5.
    const float* GetPlane(int i) const { return planes_[i]; }
    // The eight corners (24 floats) of the last ComputeCorners.
    const float* GetCorners() const { return corners_[0]; }

protected:
    // Stores both matrices (16 floats each) and rebuilds the planes from projection x view; for
    // views that take their matrices from elsewhere than an eye placement.
    void SetViewProjection(const float* view, const float* projection);
    // Rebuilds the eight corners (order as ComputeCorners) by carrying the corners of the clip
    // volume back through the inverse of projection x view. False, keeping the old corners, when
    // that product cannot be inverted.
    bool ComputeCornersFromMatrices();

private:
    // The planes from the stored matrices.
    void BuildPlanes();

    float fov_ = 45.0f;
    float near_ = 0.1f;
    float far_ = 1000.0f;
    float aspect_ = 1.333f;
    bool dirty_ = true;
    float planes_[6][4];
    Matrix4 view_ = {};
    Matrix4 projection_ = {};
    float corners_[8][3] = {};
};

// The host's field-of-view conversions, in degrees: 2 atan(tan(fov / 2) x aspect) and the same
// with a division by the aspect.
float HorizontalFovFromVertical(float verticalDegrees, float aspect);
float VerticalFovFromHorizontal(float horizontalDegrees, float aspect);

}  // namespace Zel
