// The host's debug drawing (IAuxRender): every call appends to a per-kind queue; the render
// system's EndScene calls Flush, which copies each queue into one shared system-memory batch and
// draws it with the built-in "WireFrame" material, one draw per non-empty queue and per shape,
// then empties the queues. Indices are 16-bit, so a queue that references more than 65,536
// vertices is drawn in several batches. Host thread.
#pragma once

#include <cstdint>
#include <vector>

#include "Interface/IAuxRender.h"

namespace Zel {

class RenderDevice;

// The vertex of every queue and batch: position, then the colour as the caller gave it.
struct AuxVertex {
    float x, y, z;
    float r, g, b, a;
};
static_assert(sizeof(AuxVertex) == 28);

struct AuxCircleRecord {
    float centre[3];
    float normal[3];
    float colour[4];
    float world[16];
    float radius;
    std::uint8_t wireframe;
};
struct AuxConeRecord {
    float centre[3];
    float axis[3];
    float colour[4];
    float world[16];
    float radius;
    float height;
    std::uint8_t wireframe;
};
struct AuxCylinderRecord {
    float centre[3];
    float colour[4];
    float world[16];
    float radius;
    float height;
    std::uint8_t wireframe;
};
struct AuxSphereRecord {
    float centre[3];
    float colour[4];
    float world[16];
    float radius;
    std::uint8_t wireframe;
};

// One filled batch: what the draw step hands the render system.
struct AuxBatch {
    std::uint32_t primitiveType = 1;  // PrimitiveType
    std::uint32_t indexCount = 0;
    std::uint32_t vertexCount = 0;
    const AuxVertex* vertices = nullptr;
    const std::uint16_t* indices = nullptr;
    std::uint32_t stride = sizeof(AuxVertex);
    bool fromSystemMemory = true;
};

// The rim basis of a circle, cone or cylinder around `axis`: the normalised axis and two unit
// vectors u, v across it (v = axis × u). A zero axis counts as +Z; an axis along ±X takes the
// basis that does not divide by its y and z.
struct AuxRimBasis {
    float axis[3];
    float u[3];
    float v[3];
};
AuxRimBasis MakeAuxRimBasis(const float* axis);

class AuxRenderImpl : public ZelI::IAuxRender {
public:
    // Vertices one 16-bit-indexed batch can address.
    static constexpr std::uint32_t kMaxBatchVertices = 65536;
    // World length of the axis cross DrawSkeleton draws at each bone.
    static constexpr float kBoneAxisLength = 0.03f;

    explicit AuxRenderImpl(RenderDevice* device = nullptr) : device_(device) {}
    virtual ~AuxRenderImpl() = default;
    AuxRenderImpl(const AuxRenderImpl&) = delete;
    AuxRenderImpl& operator=(const AuxRenderImpl&) = delete;

    void DrawLine(const float* line, const float* colour) override;
    void DrawLines(const float* lines, std::int32_t count, const float* colours) override;
    void DrawTriangle(const float* triangle, const float* colour) override;
    void DrawTriangles(const float* triangles, std::int32_t count, const float* colours) override;
    void DrawAABB(const float* box, const float* colour) override;
    void DrawAABBs(const float* boxes, std::int32_t count, const float* colours) override;
    void DrawFrustum(ZelI::ICamera* camera, const float* colour) override;
    void DrawSkeleton(ZelI::ISkeletonModel* model, ZelI::IBone* bone) override;
    void DrawLine2D(const std::int32_t* points, const float* colour) override;
    void DrawRect2D(const std::int32_t* rect, const float* colour) override;
    void Reserved(std::uint32_t, std::uint32_t, std::uint32_t) override {}
    void DrawWireCircle(const float* matrix, const float* colour) override;
    void DrawWireCircle(const float* centre, float radius, const float* normal,
                        const float* colour) override;
    void DrawSolidCircle(const float* matrix, const float* colour) override;
    void DrawSolidCircle(const float* centre, float radius, const float* normal,
                         const float* colour) override;
    void DrawGrid(const float* centre, const float* colour, float size,
                  std::int32_t divisions) override;
    void DrawWireCone(const float* matrix, const float* colour) override;
    void DrawWireCone(const float* baseCentre, const float* axis, const float& radius,
                      const float& height, const float* colour) override;
    void DrawSolidCone(const float* matrix, const float* colour) override;
    void DrawSolidCone(const float* baseCentre, const float* axis, const float& radius,
                       const float& height, const float* colour) override;
    void DrawWireCylinder(const float* matrix, const float* colour) override;
    void DrawWireCylinder(const float* baseCentre, const float& radius, const float& height,
                          const float* colour) override;
    void DrawSolidCylinder(const float* matrix, const float* colour) override;
    void DrawSolidCylinder(const float* baseCentre, const float& radius, const float& height,
                           const float* colour) override;
    void DrawWireSphere(const float* matrix, const float* colour) override;
    void DrawWireSphere(const float* centre, float radius, const float* colour) override;
    void DrawSolidSphere(const float* matrix, const float* colour) override;
    void DrawSolidSphere(const float* centre, float radius, const float* colour) override;
    void Flush() override;

    // Queue sizes (what the next Flush draws).
    std::size_t GetLineVertexCount() const { return lines_.vertices.size(); }
    std::size_t GetLineIndexCount() const { return lines_.indices.size(); }
    std::size_t GetTriangleVertexCount() const { return triangles_.vertices.size(); }
    std::size_t GetScreenVertexCount() const { return screen_.vertices.size(); }
    std::size_t GetShapeCount() const {
        return circles_.size() + cones_.size() + cylinders_.size() + spheres_.size();
    }
    // The batch memory's capacity (bytes of vertices, count of indices) and how often it grew.
    std::uint32_t GetVertexCapacity() const { return vertexCapacity_; }
    std::uint32_t GetIndexCapacity() const { return indexCapacity_; }
    std::uint32_t GetBatchAllocations() const { return batchAllocations_; }

    // The eight expansions: fill the batch memory with the shape and answer its batch.
    AuxBatch ExpandCircle(const AuxCircleRecord& record);
    AuxBatch ExpandCone(const AuxConeRecord& record);
    AuxBatch ExpandCylinder(const AuxCylinderRecord& record);
    AuxBatch ExpandSphere(const AuxSphereRecord& record);

protected:
    // Draws one batch with the WireFrame material: with `world` in the scene's view, or, for
    // screen-space batches, in pixels over the viewport without depth test. Tests override it
    // to see the batches.
    virtual void DrawBatch(const AuxBatch& batch, const float* world, bool screenSpace);

private:
    struct Queue {
        std::vector<AuxVertex> vertices;
        std::vector<std::uint32_t> indices;
        void Append(const float* position, const float* colour);
        void Clear() {
            vertices.clear();
            indices.clear();
        }
    };
    // Grows the batch memory to hold at least this much; never shrinks.
    void EnsureBatch(std::uint32_t vertexBytes, std::uint32_t indexCount);
    // Draws the queue in batches of at most kMaxBatchVertices addressed vertices, whole
    // primitives each, and empties it.
    void FlushQueue(Queue& queue, std::uint32_t primitiveType, bool screenSpace);
    // Box edges from eight corners (corner k: x by bit 2, y by bit 1, z by bit 0).
    void QueueBoxEdges(const float (*corners)[3], const float* colour);
    void DrawScreenBatch(const AuxBatch& batch);

    RenderDevice* device_ = nullptr;
    Queue lines_;
    Queue triangles_;
    Queue screen_;
    std::vector<AuxCircleRecord> circles_;
    std::vector<AuxConeRecord> cones_;
    std::vector<AuxCylinderRecord> cylinders_;
    std::vector<AuxSphereRecord> spheres_;
    std::vector<AuxVertex> batchVertices_;
    std::vector<std::uint16_t> batchIndices_;
    std::uint32_t vertexCapacity_ = 0;
    std::uint32_t indexCapacity_ = 0;
    std::uint32_t batchAllocations_ = 0;
    // The fixed-function layout of a batch (position, packed colour), made when drawn that way.
    std::vector<std::uint32_t> packed_;
};

}  // namespace Zel
