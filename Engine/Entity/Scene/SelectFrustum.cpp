#include "Entity/Scene/SelectFrustum.h"

#include <algorithm>
#include <cmath>

#include "Core/Globals.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/EntityOctreeNode.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/PickMath.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "Render/ViewportRect.h"

namespace Zel {

namespace {

float PointDistance(const float* a, const float* b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(Dot3(d, d));
}

// The code of a plane value: 1 in front, 2 behind, 0 on the plane.
int PlaneCode(float value) {
    return value > 0.0f ? 1 : (value < 0.0f ? 2 : 0);
}

constexpr float kPickStartDirection[3] = {1.0f, 0.0f, 0.0f};

// out = the ray carried through the inverse of world: the origin as a point, the direction
// turned and normalised. False, out unchanged, when world cannot be inverted.
bool ToLocalRay(const float* world, const Ray& ray, Ray& out) {
    float inverse[16];
    std::copy_n(world, 16, inverse);
    if (!Matrix4::Inverse(inverse))
        return false;
    float origin[3], direction[3];
    TransformPointW(inverse, ray.origin, origin);
    RotateDirection(inverse, ray.direction, direction);
    out.SetOrigin(origin);
    out.SetDirection(direction);
    return true;
}

}  // namespace

SelectFrustum::SelectFrustum(SceneManager* scene) : scene_(scene) {
    pickRay_.SetDirection(kPickStartDirection);
    worldRay_.SetDirection(kPickStartDirection);
}

SelectFrustum::~SelectFrustum() = default;

SceneManager* SelectFrustum::Scene() const {
    return scene_ ? scene_ : Globals::Find(&Globals::GetSceneManager);
}

void SelectFrustum::ViewportSize(float& width, float& height) const {
    SceneManager* scene = Scene();
    const RenderSystem* render = scene ? scene->GetRenderSystem() : nullptr;
    const ViewportRect viewport = render ? render->GetViewport() : ViewportRect{};
    width = static_cast<float>(std::max<std::uint32_t>(viewport.width, 1));
    height = static_cast<float>(std::max<std::uint32_t>(viewport.height, 1));
}

float SelectFrustum::PlaneValue(int plane, const float* p) const {
    const float* n = GetPlane(plane);
    return n[0] * p[0] + n[1] * p[1] + n[2] * p[2] + n[3];
}

// --- The host's pass
// ------------------------------------------------------------------------------

void SelectFrustum::BeginSelection(std::int32_t left, std::int32_t top, std::int32_t right,
                                   std::int32_t bottom, bool rayMode) {
    selecting_ = true;
    ClearResults();
    const float cx = std::nearbyint((float(left) + float(right)) * 0.5f);
    const float cy = std::nearbyint((float(top) + float(bottom)) * 0.5f);
    if (rayMode) {
        BeginRectangle(float(left), float(top), float(right), float(bottom));
        BeginRay(cx, cy);
    } else {
        BeginRay(cx, cy);
        BeginRectangle(float(left), float(top), float(right), float(bottom));
    }
}

void SelectFrustum::TestObject(Entity* entity, std::uint32_t value) {
    if (selecting_ && entity)
        TestEntity(entity, value);
}

void SelectFrustum::DrawUserPrimitive(std::uint32_t type, const std::uint16_t* indices,
                                      const float* positions, std::uint32_t vertexCount,
                                      std::uint32_t count, std::uint32_t strideBytes) {
    if (selecting_)
        TestUserPrimitive(pickId_, type, indices, positions, vertexCount, count, strideBytes);
}

std::uint32_t SelectFrustum::EndSelection(std::uint32_t* out, std::uint32_t capacity) {
    if (!selecting_)
        return 0;
    const std::uint32_t n = GetResults(out, capacity);
    ClearResults();
    selecting_ = false;
    return n;
}

// --- Geometry -----------------------------------------------------------------------------------

void SelectFrustum::SetMatrices(const float* view, const float* projection) {
    SetViewProjection(view, projection);
    ComputeCornersFromMatrices();
}

void SelectFrustum::BeginRectangle(float x0, float y0, float x1, float y1) {
    mode_ = 1;
    float width, height;
    ViewportSize(width, height);
    // A rectangle without area would narrow the frustum to nothing (and divide by zero).
    if (x1 == x0)
        x1 = x0 + 1.0f;
    if (y1 == y0)
        y1 = y0 + 1.0f;
    // Pixel x maps to 2x/W - 1, pixel y (top-down) to 1 - 2y/H; the pick matrix moves the
    // rectangle's centre to the origin and scales the rectangle to the whole clip square.
    const float sx = width / (x1 - x0);
    const float sy = height / (y1 - y0);
    const float cx = (x0 + x1) / width - 1.0f;
    const float cy = 1.0f - (y0 + y1) / height;
    float pick[16] = {sx, 0, 0, -sx * cx, 0, sy, 0, -sy * cy, 0, 0, 1, 0, 0, 0, 0, 1};
    SceneManager* scene = Scene();
    if (!scene)
        return;
    float projection[16];
    MultiplyMatrices4(pick, scene->GetProjectionMatrix(), projection);
    SetMatrices(scene->GetViewMatrix(), projection);
}

void SelectFrustum::BeginRay(float x, float y) {
    mode_ = 0;
    SceneManager* scene = Scene();
    if (!scene)
        return;
    float width, height;
    ViewportSize(width, height);
    const float* p = scene->GetProjectionMatrix();
    float inverse[16];
    std::copy_n(scene->GetViewMatrix(), 16, inverse);
    Matrix4::Inverse(inverse);
    const float vx = p[0] != 0.0f ? (2.0f * x / width - 1.0f) / p[0] : 0.0f;
    const float vy = p[5] != 0.0f ? (1.0f - 2.0f * y / height) / p[5] : 0.0f;
    const float local[3] = {vx, vy, -1.0f};
    if (p[14] != 0.0f) {
        const float origin[3] = {inverse[3], inverse[7], inverse[11]};
        float direction[3];
        RotateDirection(inverse, local, direction);
        worldRay_.SetOrigin(origin);
        worldRay_.SetDirection(direction);
    } else {
        // An orthographic view keeps the direction; the origin moves under the pixel.
        float q[3];
        TransformPointW(inverse, local, q);
        const float* d = worldRay_.direction;
        float origin[3] = {worldRay_.origin[0], worldRay_.origin[1], worldRay_.origin[2]};
        if (d[2] != 0.0f) {
            origin[0] = q[0], origin[1] = q[1], origin[2] = inverse[11];
        } else if (d[1] != 0.0f) {
            origin[0] = q[0], origin[1] = inverse[7], origin[2] = q[2];
        } else if (d[0] != 0.0f) {
            origin[0] = inverse[3], origin[1] = q[1], origin[2] = q[2];
        }
        worldRay_.SetOrigin(origin);
    }
    pickRay_ = worldRay_;
}

void SelectFrustum::EnterLocalSpace(Entity* entity) {
    std::copy_n(GetViewMatrix()->m, 16, savedView_);
    const float* world = entity->GetWorldMatrix();
    float view[16], projection[16];
    MultiplyMatrices4(savedView_, world, view);
    std::copy_n(GetProjectionMatrix()->m, 16, projection);
    SetMatrices(view, projection);
    // The triangle test meets the pick ray with local triangles: the ray goes along.
    ToLocalRay(world, worldRay_, pickRay_);
}

void SelectFrustum::LeaveLocalSpace() {
    float projection[16];
    std::copy_n(GetProjectionMatrix()->m, 16, projection);
    SetMatrices(savedView_, projection);
    pickRay_ = worldRay_;
}

int SelectFrustum::ClipSegment(const float* p, const float* q, float* out) const {
    float vp[6], vq[6];
    bool marked[6];
    bool anyMarked = false;
    for (int i = 0; i < 6; ++i) {
        vp[i] = PlaneValue(i, p);
        vq[i] = PlaneValue(i, q);
        const int cp = PlaneCode(vp[i]), cq = PlaneCode(vq[i]);
        if (cp == 2 && cq == 2)
            return 1;
        marked[i] = cp != cq || cp != 1;
        anyMarked = anyMarked || marked[i];
    }
    if (!anyMarked) {
        // Callers use the point as a distance reference from the pick ray's origin.
        const bool pNearer = PointDistance(p, pickRay_.origin) <= PointDistance(q, pickRay_.origin);
        std::copy_n(pNearer ? p : q, 3, out);
        return 0;
    }
    for (int i = 0; i < 6; ++i) {
        if (!marked[i])
            continue;
        const float sum = std::fabs(vp[i]) + std::fabs(vq[i]);
        const float t = sum > 0.0f ? std::fabs(vp[i]) / sum : 0.0f;
        const float x[3] = {p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t,
                            p[2] + (q[2] - p[2]) * t};
        bool inside = true;
        for (int j = 0; j < 6 && inside; ++j) inside = j == i || PlaneValue(j, x) >= 0.0f;
        if (inside) {
            std::copy_n(x, 3, out);
            return 2;
        }
    }
    return 1;
}

int SelectFrustum::IntersectTriangle(const Triangle& triangle, float* out) const {
    const float* corners[3] = {triangle.p0, triangle.p1, triangle.p2};
    bool anyBehind = false;
    for (int i = 0; i < 6; ++i) {
        int behind = 0;
        for (const float* c : corners) {
            const float v = PlaneValue(i, c);
            behind += v <= 0.0f;
            anyBehind = anyBehind || v < 0.0f;
        }
        if (behind == 3)
            return 1;
    }
    if (!anyBehind) {
        std::copy_n(triangle.p0, 3, out);
        return 0;
    }
    Triangle reversed;
    std::copy_n(triangle.p0, 3, reversed.p0);
    std::copy_n(triangle.p2, 3, reversed.p1);
    std::copy_n(triangle.p1, 3, reversed.p2);
    if (triangle.IntersectRay(pickRay_, out) || reversed.IntersectRay(pickRay_, out))
        return 2;
    for (int e = 0; e < 3; ++e)
        if (ClipSegment(corners[e], corners[(e + 1) % 3], out) != 1)
            return 2;
    return 1;
}

int SelectFrustum::IntersectIndexedTriangle(std::uint32_t i, const std::uint16_t* indices,
                                            const float* positions, std::uint32_t vertexCount,
                                            std::uint32_t strideFloats, float* out) const {
    std::uint32_t v[3];
    for (std::uint32_t k = 0; k < 3; ++k) {
        v[k] = indices ? indices[i + k] : i + k;
        if (v[k] >= vertexCount)
            return 1;
    }
    Triangle triangle;
    triangle.Set(positions + std::size_t(v[2]) * strideFloats,
                 positions + std::size_t(v[1]) * strideFloats,
                 positions + std::size_t(v[0]) * strideFloats);
    return IntersectTriangle(triangle, out);
}

bool SelectFrustum::TestPrimitive(std::uint32_t type, const std::uint16_t* indices,
                                  const float* positions, std::uint32_t vertexCount,
                                  std::uint32_t count, std::uint32_t strideFloats,
                                  float* out) const {
    if (!positions)
        return false;
    const auto vertex = [&](std::uint32_t n, const float*& p) {
        const std::uint32_t index = indices ? indices[n] : n;
        p = index < vertexCount ? positions + std::size_t(index) * strideFloats : nullptr;
        return p != nullptr;
    };
    const auto segment = [&](std::uint32_t i) {
        const float *a, *b;
        return vertex(i + 1, a) && vertex(i, b) && ClipSegment(a, b, out) != 1;
    };
    switch (type) {
        case PT_POINT_LIST:
        case PT_TRIANGLE_FAN:
        case 6:
            return true;
        case PT_LINE_LIST:
            for (std::uint32_t i = 0; i + 1 < count; i += 2)
                if (segment(i))
                    return true;
            return false;
        case PT_LINE_STRIP:
            for (std::uint32_t i = 0; i + 1 < count; ++i)
                if (segment(i))
                    return true;
            return false;
        case PT_TRIANGLE_LIST:
            for (std::uint32_t i = 0; i + 2 < count; i += 3)
                if (IntersectIndexedTriangle(i, indices, positions, vertexCount, strideFloats,
                                             out) != 1)
                    return true;
            return false;
        case PT_TRIANGLE_STRIP:
            for (std::uint32_t i = 0; i + 2 < count; ++i)
                if (IntersectIndexedTriangle(i, indices, positions, vertexCount, strideFloats,
                                             out) != 1)
                    return true;
            return false;
        default:
            return false;
    }
}

void SelectFrustum::Record(std::uint32_t value, float distance) {
    if (mode_ == 1) {
        results_.push_back(value);
        return;
    }
    if (distance < nearest_ || results_.empty()) {
        results_.assign(1, value);
        nearest_ = distance;
    }
}

void SelectFrustum::TestEntity(Entity* entity, std::uint32_t value) {
    if (!entity)
        return;
    const AABB& box = entity->GetBoundingBox();
    if (mode_ == 1) {
        const int k = Intersect(box);
        if (k == INTERSECT_INSIDE) {
            results_.push_back(value);
        } else if (k == INTERSECT_OVERLAP || k == INTERSECT_ENCLOSED) {
            if (!entity->GetPickOctree())
                entity->BuildPickOctree();
            EntityOctreeNode* root = entity->GetPickOctree();
            root->RefreshSkinned();
            EnterLocalSpace(entity);
            if (root->IntersectsSelection(*this))
                results_.push_back(value);
            LeaveLocalSpace();
        }
        return;
    }
    if (RayMissesBox(box, worldRay_))
        return;
    if (!entity->GetPickOctree())
        entity->BuildPickOctree();
    EntityOctreeNode* root = entity->GetPickOctree();
    root->RefreshSkinned();
    const float* world = entity->GetWorldMatrix();
    Ray local;
    if (!ToLocalRay(world, worldRay_, local))
        return;
    Triangle triangle;
    float point[3];
    if (!root->RayPick(local, triangle, point))
        return;
    float hit[3];
    TransformPointW(world, point, hit);
    const float d = PointDistance(hit, worldRay_.origin);
    if (d < nearest_) {
        results_.assign(1, value);
        nearest_ = d;
    }
}

void SelectFrustum::TestUserPrimitive(std::uint32_t value, std::uint32_t type,
                                      const std::uint16_t* indices, const float* positions,
                                      std::uint32_t vertexCount, std::uint32_t count,
                                      std::uint32_t strideBytes) {
    if (std::find(results_.begin(), results_.end(), value) != results_.end())
        return;
    const std::uint32_t strideFloats = strideBytes / 4;
    if (!positions || vertexCount == 0 || strideFloats < 3)
        return;
    AABB box;
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        const float* p = positions + std::size_t(v) * strideFloats;
        box.ExtendByPoint(p[0], p[1], p[2]);
    }
    const int k = Intersect(box);
    float centre[3];
    box.GetCenter(centre);
    if (k == INTERSECT_INSIDE) {
        Record(value, PointDistance(worldRay_.origin, centre));
    } else if (k == INTERSECT_OVERLAP || k == INTERSECT_ENCLOSED) {
        // Accepted-without-test primitives give no point: the box centre stands for them.
        float p[3] = {centre[0], centre[1], centre[2]};
        if (TestPrimitive(type, indices, positions, vertexCount, count, strideFloats, p))
            Record(value, PointDistance(worldRay_.origin, p));
    }
}

std::uint32_t SelectFrustum::GetResults(std::uint32_t* out, std::uint32_t capacity) const {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(results_.size(), capacity));
    if (out)
        std::copy_n(results_.begin(), n, out);
    return out ? n : 0;
}

void SelectFrustum::ClearResults() {
    results_.clear();
    nearest_ = kNoHit;
}

}  // namespace Zel
