#include "Math/Frustum.h"

#include <algorithm>
#include <cmath>

#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Sphere.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

// out = a x b for 4x4 matrices; out must be neither.
void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[4 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] +
                             a[4 * r + 3] * b[12 + c];
        }
    }
}

// v turned by q: v + 2w (u x v) + 2 u x (u x v) with u = (x, y, z).
void Rotate(const float* q, const float* v, float* out) {
    float uv[3];
    float uuv[3];
    Cross3(q, v, uv);
    Cross3(q, uv, uuv);
    for (int i = 0; i < 3; ++i) {
        out[i] = v[i] + 2.0f * q[3] * uv[i] + 2.0f * uuv[i];
    }
}

float PlaneValue(const float* plane, const float* p) {
    return Dot3(plane, p) + plane[3];
}

constexpr float FORWARD[3] = {0.0f, 0.0f, -1.0f};
constexpr float UP[3] = {0.0f, 1.0f, 0.0f};
constexpr float RIGHT[3] = {1.0f, 0.0f, 0.0f};

}  // namespace

Frustum::Frustum() {
    for (auto& plane : planes_) {
        plane[0] = 0.0f;
        plane[1] = 0.0f;
        plane[2] = 1.0f;
        plane[3] = 0.0f;
    }
}

void Frustum::SetFOV(float degrees) {
    fov_ = degrees;
    dirty_ = true;
}

void Frustum::SetNearClip(float distance) {
    near_ = distance;
    dirty_ = true;
}

void Frustum::SetFarClip(float distance) {
    far_ = distance;
    dirty_ = true;
}

void Frustum::SetAspectRatio(float aspect) {
    aspect_ = aspect;
    dirty_ = true;
}

void Frustum::Update(const float* position, const float* orientation,
                     const RenderSystem* renderSystem) {
    renderSystem->MakePerspectiveMatrix(fov_, aspect_, near_, far_, projection_.m);
    float forward[3];
    float up[3];
    Rotate(orientation, FORWARD, forward);
    Rotate(orientation, UP, up);
    const float target[3] = {position[0] + forward[0], position[1] + forward[1],
                             position[2] + forward[2]};
    renderSystem->MakeLookAtMatrix(position, target, up, view_.m);
    BuildPlanes();
}

void Frustum::SetViewProjection(const float* view, const float* projection) {
    std::copy_n(view, 16, view_.m);
    std::copy_n(projection, 16, projection_.m);
    BuildPlanes();
}

void Frustum::BuildPlanes() {
    // Clip space keeps -w <= x, y <= w and 0 <= z <= w; each bound is a plane in world space.
    float m[16];
    GetViewProjection(m);
    const float* r0 = m;
    const float* r1 = m + 4;
    const float* r2 = m + 8;
    const float* r3 = m + 12;
    for (int i = 0; i < 4; ++i) {
        planes_[0][i] = r3[i] - r1[i];
        planes_[1][i] = r3[i] + r1[i];
        planes_[2][i] = r3[i] + r0[i];
        planes_[3][i] = r3[i] - r0[i];
        planes_[4][i] = r2[i];
        planes_[5][i] = r3[i] - r2[i];
    }
    for (auto& plane : planes_) {
        NormalizePlane(plane);
    }
}

bool Frustum::ComputeCornersFromMatrices() {
    float inverse[16];
    GetViewProjection(inverse);
    if (!Matrix4::Inverse(inverse))
        return false;
    // Near rectangle then far: right-top, left-top, right-bottom, left-bottom.
    constexpr float kClip[8][3] = {{1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0},
                                   {1, 1, 1}, {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}};
    for (int k = 0; k < 8; ++k) {
        float h[4];
        for (int r = 0; r < 4; ++r)
            h[r] = inverse[4 * r] * kClip[k][0] + inverse[4 * r + 1] * kClip[k][1] +
                   inverse[4 * r + 2] * kClip[k][2] + inverse[4 * r + 3];
        const float scale = h[3] != 0.0f ? 1.0f / h[3] : 0.0f;
        for (int i = 0; i < 3; ++i) corners_[k][i] = h[i] * scale;
    }
    return true;
}

void Frustum::ComputeCorners(const float* position, const float* orientation) {
    const float tanV = std::tan(fov_ * DEG_TO_RAD * 0.5f);
    const float tanH = std::tan(std::atan(tanV * aspect_));
    float right[3];
    float up[3];
    float forward[3];
    Rotate(orientation, RIGHT, right);
    Rotate(orientation, UP, up);
    Rotate(orientation, FORWARD, forward);
    const float distances[2] = {near_, far_};
    for (int plane = 0; plane < 2; ++plane) {
        const float n = distances[plane];
        const float local[4][2] = {{n * tanH, n * tanV},
                                   {-n * tanH, n * tanV},
                                   {n * tanH, -n * tanV},
                                   {-n * tanH, -n * tanV}};
        for (int k = 0; k < 4; ++k) {
            float* corner = corners_[4 * plane + k];
            for (int i = 0; i < 3; ++i) {
                corner[i] =
                    position[i] + local[k][0] * right[i] + local[k][1] * up[i] + n * forward[i];
            }
        }
    }
}

void Frustum::GetViewProjection(float* out) const {
    Multiply(projection_.m, view_.m, out);
}

int Frustum::IntersectSphere(const Sphere& other) const {
    const float r = other.GetRadius();
    bool inside = true;
    for (const auto& plane : planes_) {
        const float s = PlaneValue(plane, other.GetCenter());
        if (s + r < 0.0f) {
            return INTERSECT_DISJOINT;
        }
        if (s < r) {
            inside = false;
        }
    }
    return inside ? INTERSECT_INSIDE : INTERSECT_OVERLAP;
}

int Frustum::IntersectAABB(const AABB& other) const {
    const float* corners = other.GetCorners();
    bool inside = true;
    for (const auto& plane : planes_) {
        bool anyInFront = false;
        for (int k = 0; k < 8; ++k) {
            const float s = PlaneValue(plane, corners + 3 * k);
            if (s > 0.0f) {
                anyInFront = true;
            } else if (s < 0.0f) {
                inside = false;
            }
        }
        if (!anyInFront) {
            return INTERSECT_DISJOINT;
        }
    }
    return inside ? INTERSECT_INSIDE : INTERSECT_OVERLAP;
}

int Frustum::IntersectOBB(const OBB&) const {
    return INTERSECT_OVERLAP;
}

int Frustum::IntersectKind3(const BoundingVolume&) const {
    return INTERSECT_OVERLAP;
}

int Frustum::IntersectRay(const Ray&) const {
    return RAY_MISS;
}

bool Frustum::ContainsPoint(const float*) const {
    return false;
}

float HorizontalFovFromVertical(float verticalDegrees, float aspect) {
    return 2.0f * std::atan(std::tan(verticalDegrees * 0.5f * DEG_TO_RAD) * aspect) * RAD_TO_DEG;
}

float VerticalFovFromHorizontal(float horizontalDegrees, float aspect) {
    return 2.0f * std::atan(std::tan(horizontalDegrees * 0.5f * DEG_TO_RAD) / aspect) * RAD_TO_DEG;
}

}  // namespace Zel
