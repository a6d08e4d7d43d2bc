// The host's immediate-mode debug drawing. Every call only queues: lines, triangles, box edges, a
// camera's view volume, a bone hierarchy, screen-space lines and rectangles, a grid and four
// shapes (circle, cone, cylinder, sphere), each wireframe or solid. The queues are drawn and
// emptied when the scene ends. Positions are 3 floats, colours 4 floats (r, g, b, a, copied
// into every vertex unchanged), matrices 16 floats; the matrix form of a shape draws the unit
// shape (radius 1, height 1, centred on the origin, axis +Z) placed by the matrix. Screen-space
// operations take pixels. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class ICamera;
class IBone;
class ISkeletonModel;

class IAuxRender {
public:
    // line: from x, y, z then to x, y, z.
    virtual void DrawLine(const float* line, const float* colour) = 0;
    // count lines (6 floats each), one colour per line.
    virtual void DrawLines(const float* lines, std::int32_t count, const float* colours) = 0;
    // triangle: three positions (9 floats) in drawing order.
    virtual void DrawTriangle(const float* triangle, const float* colour) = 0;
    // count triangles (9 floats each), one colour per triangle.
    virtual void DrawTriangles(const float* points, std::int32_t count, const float* colours) = 0;
    // box: minimum x, y, z then maximum x, y, z.
    virtual void DrawAABB(const float* box, const float* colour) = 0;
    // count boxes (6 floats each), one colour each.
    virtual void DrawAABBs(const float* boxes, std::int32_t count, const float* colours) = 0;
    virtual void DrawFrustum(ICamera* camera, const float* colour) = 0;
    // The bone's axis cross (red x, green y, blue z, 0.03 long) at its world place, a yellow
    // line to each child, then each child's skeleton in turn. Null model or bone: nothing.
    virtual void DrawSkeleton(ISkeletonModel* model, IBone* bone) = 0;
    // points: x0, y0, x1, y1 in pixels.
    virtual void DrawLine2D(const std::int32_t* points, const float* colour) = 0;
    // rect: left, top, right, bottom in pixels.
    virtual void DrawRect2D(const std::int32_t* rect, const float* colour) = 0;
    virtual void Reserved(std::uint32_t a, std::uint32_t b, std::uint32_t c) = 0;
    virtual void DrawWireCircle(const float* matrix, const float* colour) = 0;
    virtual void DrawWireCircle(const float* centre, float radius, const float* normal,
                                const float* colour) = 0;
    virtual void DrawSolidCircle(const float* matrix, const float* colour) = 0;
    virtual void DrawSolidCircle(const float* centre, float radius, const float* normal,
                                 const float* colour) = 0;
    // A square grid of `divisions` cells a side, `size` wide, in the plane z = centre z.
    virtual void DrawGrid(const float* centre, const float* colour, float size,
                          std::int32_t divisions) = 0;
    virtual void DrawWireCone(const float* matrix, const float* colour) = 0;
    virtual void DrawWireCone(const float* baseCentre, const float* axis, const float& radius,
                              const float& height, const float* colour) = 0;
    virtual void DrawSolidCone(const float* matrix, const float* colour) = 0;
    virtual void DrawSolidCone(const float* baseCentre, const float* axis, const float& radius,
                               const float& height, const float* colour) = 0;
    virtual void DrawWireCylinder(const float* matrix, const float* colour) = 0;
    virtual void DrawWireCylinder(const float* baseCentre, const float& radius, const float& height,
                                  const float* colour) = 0;
    virtual void DrawSolidCylinder(const float* matrix, const float* colour) = 0;
    virtual void DrawSolidCylinder(const float* baseCentre, const float& radius,
                                   const float& height, const float* colour) = 0;
    virtual void DrawWireSphere(const float* matrix, const float* colour) = 0;
    virtual void DrawWireSphere(const float* centre, float radius, const float* colour) = 0;
    virtual void DrawSolidSphere(const float* matrix, const float* colour) = 0;
    virtual void DrawSolidSphere(const float* centre, float radius, const float* colour) = 0;
    // Draws and empties every queue.
    virtual void Flush() = 0;

protected:
    // The render system deletes the renderer through its own class.
    ~IAuxRender() = default;
};

}  // namespace ZelI
