// Picking and rectangle selection: a frustum narrowed to a screen rectangle, a pick ray through
// the rectangle's centre and the list of host values of what was hit. The host opens a selection
// pass with a rectangle, offers entities and its own primitives with a value each, and closes the
// pass to read the values back. Ray mode keeps the one nearest hit; rectangle mode every object
// the narrowed frustum reaches.
//
// Rectangles are window pixels counted from the top-left corner (y grows downwards); the viewport
// size is the scene's render system's. The view and projection are the scene manager's current
// ones when a begin call runs. The render interface holds one; host thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Math/Frustum.h"
#include "Math/Ray.h"

namespace Zel {

class Entity;
class SceneManager;
struct Triangle;

class SelectFrustum : public Frustum {
public:
    // Distance of an empty ray-mode result.
    static constexpr float kNoHit = 9999999.0f;

    // scene: where the begin calls read the matrices and the viewport (not owned; the Globals
    // scene manager when null).
    explicit SelectFrustum(SceneManager* scene = nullptr);
    ~SelectFrustum() override;

    // ---- The host's selection pass ----
    // Opens a pass over the rectangle (pixels, top-left origin): the ray through its centre
    // (rounded to whole pixels) and the narrowed frustum are both set, the later call choosing
    // the mode: ray mode when rayMode, else rectangle mode. Results start empty.
    void BeginSelection(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom, bool rayMode);
    bool IsSelecting() const { return selecting_; }
    // The value user primitives are tested under (-1 until set).
    void SetPickId(std::uint32_t value) { pickId_ = value; }
    std::uint32_t GetPickId() const { return pickId_; }
    // TestEntity while a pass is open.
    void TestObject(Entity* entity, std::uint32_t value);
    // TestUserPrimitive under the pick id while a pass is open.
    void DrawUserPrimitive(std::uint32_t type, const std::uint16_t* indices, const float* positions,
                           std::uint32_t vertexCount, std::uint32_t count,
                           std::uint32_t strideBytes);
    // Copies up to capacity results into out, closes the pass and answers how many were
    // copied; 0 when no pass is open.
    std::uint32_t EndSelection(std::uint32_t* out, std::uint32_t capacity);

    // ---- Geometry ----
    // Stores both matrices; the planes, in world space of the matrices, and the corners follow.
    void SetMatrices(const float* view, const float* projection);
    // Rectangle mode: the current projection narrowed to the rectangle (pixels, top-left
    // origin). A rectangle of zero width or height is widened to one pixel.
    void BeginRectangle(float x0, float y0, float x1, float y1);
    // Ray mode: the world ray through pixel (x, y) (top-left origin).
    void BeginRay(float x, float y);
    // Moves the planes and the pick ray into the entity's local space; LeaveLocalSpace puts
    // both back.
    void EnterLocalSpace(Entity* entity);
    void LeaveLocalSpace();
    // 0 the segment lies inside (out = the end nearer the pick ray's origin), 1 outside, 2 it
    // crosses the volume (out = a point of it inside).
    int ClipSegment(const float* p, const float* q, float* out) const;
    // 0 inside (out = its first corner), 1 outside, 2 crossing (out = a point of it inside).
    // Both windings meet the pick ray.
    int IntersectTriangle(const Triangle& triangle, float* out) const;
    // The triangle of vertices i, i+1, i+2 (through the 16-bit indices when given; vertex n at
    // positions[n x strideFloats]), wound (i+2, i+1, i). 1 when an index names no vertex.
    int IntersectIndexedTriangle(std::uint32_t i, const std::uint16_t* indices,
                                 const float* positions, std::uint32_t vertexCount,
                                 std::uint32_t strideFloats, float* out) const;
    // Whether a primitive of type (0 to 6, the primitive codes) reaches the selection; out
    // receives a point of it when the test finds one.
    bool TestPrimitive(std::uint32_t type, const std::uint16_t* indices, const float* positions,
                       std::uint32_t vertexCount, std::uint32_t count, std::uint32_t strideFloats,
                       float* out) const;
    // Tests an entity's triangles (its picking octree is built on first use) and records value
    // on a hit.
    void TestEntity(Entity* entity, std::uint32_t value);
    // Tests a host primitive (positions strideBytes apart) and records value on a hit; a value
    // already recorded is not tested again.
    void TestUserPrimitive(std::uint32_t value, std::uint32_t type, const std::uint16_t* indices,
                           const float* positions, std::uint32_t vertexCount, std::uint32_t count,
                           std::uint32_t strideBytes);
    std::uint32_t GetResults(std::uint32_t* out, std::uint32_t capacity) const;
    void ClearResults();

    const std::vector<std::uint32_t>& GetResultList() const { return results_; }
    // 1 rectangle mode, 0 ray mode.
    std::uint32_t GetMode() const { return mode_; }
    const Ray& GetWorldRay() const { return worldRay_; }
    const Ray& GetPickRay() const { return pickRay_; }
    float GetNearest() const { return nearest_; }

private:
    SceneManager* Scene() const;
    // The viewport size in pixels (800 x 600 without a render system).
    void ViewportSize(float& width, float& height) const;
    float PlaneValue(int plane, const float* p) const;
    // Records value at distance d in ray mode (nearest wins), appends it in rectangle mode.
    void Record(std::uint32_t value, float distance);

    SceneManager* scene_;  // not owned
    Ray pickRay_;
    float savedView_[16] = {};
    std::vector<std::uint32_t> results_;
    std::uint32_t mode_ = 0;
    Ray worldRay_;
    float nearest_ = kNoHit;
    bool selecting_ = false;
    std::uint32_t pickId_ = 0xFFFFFFFFu;
};

}  // namespace Zel
