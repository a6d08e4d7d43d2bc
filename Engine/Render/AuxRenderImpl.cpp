#include "Render/AuxRenderImpl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IBone.h"
#include "Interface/ISkeletonModel.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Render/RenderCodes.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "Render/RenderDevice.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

constexpr float kUnitCentre[3] = {0.0f, 0.0f, 0.0f};
constexpr float kUnitAxis[3] = {0.0f, 0.0f, 1.0f};
constexpr float kDegree = std::numbers::pi_v<float> / 180.0f;
// The twelve box edges as corner pairs.
constexpr std::uint32_t kBoxEdges[24] = {0, 1, 1, 3, 3, 2, 2, 0, 4, 5, 5, 7,
                                         7, 6, 6, 4, 4, 0, 5, 1, 6, 2, 7, 3};

void Normalise(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f)
        for (int i = 0; i < 3; ++i) v[i] /= length;
}

AuxVertex MakeVertex(const float* position, const float* colour) {
    return {position[0], position[1], position[2], colour[0], colour[1], colour[2], colour[3]};
}

// p + r cos(t) u + r sin(t) v.
AuxVertex RimVertex(const float* p, const AuxRimBasis& basis, float radius, float angle,
                    const float* colour) {
    const float c = radius * std::cos(angle), s = radius * std::sin(angle);
    const float point[3] = {p[0] + c * basis.u[0] + s * basis.v[0],
                            p[1] + c * basis.u[1] + s * basis.v[1],
                            p[2] + c * basis.u[2] + s * basis.v[2]};
    return MakeVertex(point, colour);
}

// Writes the shape's vertices and indices into the batch memory.
class ShapeWriter {
public:
    ShapeWriter(AuxVertex* vertices, std::uint16_t* indices) : v_(vertices), i_(indices) {}
    void Vertex(const AuxVertex& vertex) { v_[vertexCount_++] = vertex; }
    void Index(std::uint32_t index) { i_[indexCount_++] = std::uint16_t(index); }
    void Line(std::uint32_t a, std::uint32_t b) {
        Index(a);
        Index(b);
    }
    void Triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        Index(a);
        Index(b);
        Index(c);
    }
    AuxBatch Finish(std::uint32_t primitiveType) const {
        AuxBatch batch;
        batch.primitiveType = primitiveType;
        batch.vertexCount = vertexCount_;
        batch.indexCount = indexCount_;
        batch.vertices = v_;
        batch.indices = i_;
        return batch;
    }

private:
    AuxVertex* v_;
    std::uint16_t* i_;
    std::uint32_t vertexCount_ = 0;
    std::uint32_t indexCount_ = 0;
};

void Identity(float* m) {
    std::memcpy(m, kIdentityMatrix, sizeof(float) * 16);
}

template <class Record>
void FillForm(Record& record, const float* matrix, const float* colour, bool wireframe) {
    std::memcpy(record.colour, colour, sizeof record.colour);
    if (matrix)
        std::memcpy(record.world, matrix, sizeof record.world);
    else
        Identity(record.world);
    record.wireframe = wireframe ? 1 : 0;
}

// Looked up at every draw rather than kept: the material manager owns it and may be made anew in
// the same process.
Material* WireFrameMaterial() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    return materials ? materials->FindMaterial("WireFrame", false) : nullptr;
}

}  // namespace

AuxRimBasis MakeAuxRimBasis(const float* axis) {
    AuxRimBasis basis{};
    std::memcpy(basis.axis, axis, sizeof basis.axis);
    const float* a = basis.axis;
    if (a[0] * a[0] + a[1] * a[1] + a[2] * a[2] <= 0.0f)
        std::memcpy(basis.axis, kUnitAxis, sizeof basis.axis);
    Normalise(basis.axis);
    // The integer comparison picks the first branch only for an axis along ±X; an axis whose
    // normalised x just misses 1 would leave y and z too small to divide by, so that takes the
    // first branch too.
    const int ix = int(a[0]), iy = int(a[1]);
    if (std::abs(ix) > std::abs(iy) || a[1] * a[1] + a[2] * a[2] < 1e-12f) {
        basis.u[0] = -a[2];
        basis.u[1] = 0.0f;
        basis.u[2] = a[0];
    } else {
        basis.u[0] = 0.0f;
        basis.u[1] = a[2];
        basis.u[2] = -a[1];
    }
    Normalise(basis.u);
    const float* u = basis.u;
    basis.v[0] = a[1] * u[2] - a[2] * u[1];
    basis.v[1] = a[2] * u[0] - a[0] * u[2];
    basis.v[2] = a[0] * u[1] - a[1] * u[0];
    Normalise(basis.v);
    return basis;
}

void AuxRenderImpl::Queue::Append(const float* position, const float* colour) {
    indices.push_back(std::uint32_t(vertices.size()));
    vertices.push_back(MakeVertex(position, colour));
}

// ---- Queueing

void AuxRenderImpl::DrawLine(const float* line, const float* colour) {
    lines_.Append(line, colour);
    lines_.Append(line + 3, colour);
}

void AuxRenderImpl::DrawLines(const float* lines, std::int32_t count, const float* colours) {
    for (std::int32_t i = 0; i < count; ++i) {
        lines_.Append(lines + 6 * i, colours + 4 * i);
        lines_.Append(lines + 6 * i + 3, colours + 4 * i);
    }
}

void AuxRenderImpl::DrawTriangle(const float* triangle, const float* colour) {
    for (int k = 0; k < 3; ++k) triangles_.Append(triangle + 3 * k, colour);
}

void AuxRenderImpl::DrawTriangles(const float* triangles, std::int32_t count,
                                  const float* colours) {
    for (std::int32_t i = 0; i < count; ++i) DrawTriangle(triangles + 9 * i, colours + 4 * i);
}

void AuxRenderImpl::QueueBoxEdges(const float (*corners)[3], const float* colour) {
    const std::uint32_t base = std::uint32_t(lines_.vertices.size());
    for (int k = 0; k < 8; ++k) lines_.vertices.push_back(MakeVertex(corners[k], colour));
    for (std::uint32_t index : kBoxEdges) lines_.indices.push_back(base + index);
}

void AuxRenderImpl::DrawAABB(const float* box, const float* colour) {
    float corners[8][3];
    for (int k = 0; k < 8; ++k) {
        corners[k][0] = (k & 4) ? box[3] : box[0];
        corners[k][1] = (k & 2) ? box[4] : box[1];
        corners[k][2] = (k & 1) ? box[5] : box[2];
    }
    QueueBoxEdges(corners, colour);
}

void AuxRenderImpl::DrawAABBs(const float* boxes, std::int32_t count, const float* colours) {
    for (std::int32_t i = 0; i < count; ++i) DrawAABB(boxes + 6 * i, colours + 4 * i);
}

void AuxRenderImpl::DrawFrustum(ZelI::ICamera* camera, const float* colour) {
    auto* wrapper = dynamic_cast<ICameraImplRC*>(camera);
    Frustum* frustum = wrapper ? wrapper->GetFrustum() : nullptr;
    if (!frustum)
        return;
    float corners[8][3];
    std::memcpy(corners, frustum->GetCorners(), sizeof corners);
    QueueBoxEdges(corners, colour);
}

void AuxRenderImpl::DrawSkeleton(ZelI::ISkeletonModel* model, ZelI::IBone* bone) {
    if (!model || !bone)
        return;
    const float* found = model->GetBoneWorldMatrix(std::uint32_t(bone->GetIndex()));
    if (!found)
        return;
    // A copy: asking for a child's matrix may evaluate the pose again.
    float world[16];
    std::memcpy(world, found, sizeof world);
    float scale[3], rotation[4], position[3];
    Matrix4::Decompose(world, scale, rotation, position);
    static constexpr float kAxisColours[3][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        float along[3] = {0.0f, 0.0f, 0.0f}, turned[3];
        along[axis] = kBoneAxisLength;
        RotateByQuaternion(rotation, along, turned);
        const float line[6] = {position[0],
                               position[1],
                               position[2],
                               position[0] + turned[0],
                               position[1] + turned[1],
                               position[2] + turned[2]};
        DrawLine(line, kAxisColours[axis]);
    }
    const std::uint32_t children = bone->GetChildCount();
    static constexpr float kLinkColour[4] = {1, 1, 0, 1};
    float link[6];
    Matrix4::ExtractPosition(world, link);
    for (std::uint32_t i = 0; i < children; ++i)
        if (ZelI::IBone* child = bone->GetChild(i))
            if (const float* childWorld =
                    model->GetBoneWorldMatrix(std::uint32_t(child->GetIndex()))) {
                Matrix4::ExtractPosition(childWorld, link + 3);
                DrawLine(link, kLinkColour);
            }
    for (std::uint32_t i = 0; i < children; ++i)
        if (ZelI::IBone* child = bone->GetChild(i))
            DrawSkeleton(model, child);
}

void AuxRenderImpl::DrawLine2D(const std::int32_t* points, const float* colour) {
    const float from[3] = {float(points[0]), float(points[1]), -0.1f};
    const float to[3] = {float(points[2]), float(points[3]), -0.1f};
    screen_.Append(from, colour);
    screen_.Append(to, colour);
}

void AuxRenderImpl::DrawRect2D(const std::int32_t* rect, const float* colour) {
    const std::int32_t l = rect[0], t = rect[1], r = rect[2], b = rect[3];
    const std::int32_t lines[5][4] = {
        {l, t, r, t}, {l, t, l, b}, {r, t, r, b}, {l, b, r, b}, {r, b, r + 1, b + 1}};
    for (const auto& line : lines) DrawLine2D(line, colour);
}

void AuxRenderImpl::DrawGrid(const float* centre, const float* colour, float size,
                             std::int32_t divisions) {
    // No division would divide the size by zero: a grid needs at least one cell.
    if (divisions <= 0)
        return;
    const float step = size / float(divisions), half = size * 0.5f;
    const float x0 = centre[0] - half, y0 = centre[1] - half;
    const float x1 = centre[0] + half, y1 = centre[1] + half, z = centre[2];
    for (std::int32_t i = 0; i <= divisions; ++i) {
        const float offset = float(i) * step;
        const float across[6] = {x0, y0 + offset, z, x1, y0 + offset, z};
        const float along[6] = {x0 + offset, y0, z, x0 + offset, y1, z};
        DrawLine(across, colour);
        DrawLine(along, colour);
    }
}

void AuxRenderImpl::DrawWireCircle(const float* matrix, const float* colour) {
    DrawWireCircle(kUnitCentre, 1.0f, kUnitAxis, colour);
    std::memcpy(circles_.back().world, matrix, sizeof(float) * 16);
}
void AuxRenderImpl::DrawWireCircle(const float* centre, float radius, const float* normal,
                                   const float* colour) {
    AuxCircleRecord& record = circles_.emplace_back();
    std::memcpy(record.centre, centre, sizeof record.centre);
    std::memcpy(record.normal, normal, sizeof record.normal);
    record.radius = radius;
    FillForm(record, nullptr, colour, true);
}
void AuxRenderImpl::DrawSolidCircle(const float* matrix, const float* colour) {
    DrawWireCircle(matrix, colour);
    circles_.back().wireframe = 0;
}
void AuxRenderImpl::DrawSolidCircle(const float* centre, float radius, const float* normal,
                                    const float* colour) {
    DrawWireCircle(centre, radius, normal, colour);
    circles_.back().wireframe = 0;
}

void AuxRenderImpl::DrawWireCone(const float* matrix, const float* colour) {
    const float one = 1.0f;
    DrawWireCone(kUnitCentre, kUnitAxis, one, one, colour);
    std::memcpy(cones_.back().world, matrix, sizeof(float) * 16);
}
void AuxRenderImpl::DrawWireCone(const float* baseCentre, const float* axis, const float& radius,
                                 const float& height, const float* colour) {
    AuxConeRecord& record = cones_.emplace_back();
    std::memcpy(record.centre, baseCentre, sizeof record.centre);
    std::memcpy(record.axis, axis, sizeof record.axis);
    record.radius = radius;
    record.height = height;
    FillForm(record, nullptr, colour, true);
}
void AuxRenderImpl::DrawSolidCone(const float* matrix, const float* colour) {
    DrawWireCone(matrix, colour);
    cones_.back().wireframe = 0;
}
void AuxRenderImpl::DrawSolidCone(const float* baseCentre, const float* axis, const float& radius,
                                  const float& height, const float* colour) {
    DrawWireCone(baseCentre, axis, radius, height, colour);
    cones_.back().wireframe = 0;
}

void AuxRenderImpl::DrawWireCylinder(const float* matrix, const float* colour) {
    const float one = 1.0f;
    DrawWireCylinder(kUnitCentre, one, one, colour);
    std::memcpy(cylinders_.back().world, matrix, sizeof(float) * 16);
}
void AuxRenderImpl::DrawWireCylinder(const float* baseCentre, const float& radius,
                                     const float& height, const float* colour) {
    AuxCylinderRecord& record = cylinders_.emplace_back();
    std::memcpy(record.centre, baseCentre, sizeof record.centre);
    record.radius = radius;
    record.height = height;
    FillForm(record, nullptr, colour, true);
}
void AuxRenderImpl::DrawSolidCylinder(const float* matrix, const float* colour) {
    DrawWireCylinder(matrix, colour);
    cylinders_.back().wireframe = 0;
}
void AuxRenderImpl::DrawSolidCylinder(const float* baseCentre, const float& radius,
                                      const float& height, const float* colour) {
    DrawWireCylinder(baseCentre, radius, height, colour);
    cylinders_.back().wireframe = 0;
}

void AuxRenderImpl::DrawWireSphere(const float* matrix, const float* colour) {
    DrawWireSphere(kUnitCentre, 1.0f, colour);
    std::memcpy(spheres_.back().world, matrix, sizeof(float) * 16);
}
void AuxRenderImpl::DrawWireSphere(const float* centre, float radius, const float* colour) {
    AuxSphereRecord& record = spheres_.emplace_back();
    std::memcpy(record.centre, centre, sizeof record.centre);
    record.radius = radius;
    FillForm(record, nullptr, colour, true);
}
void AuxRenderImpl::DrawSolidSphere(const float* matrix, const float* colour) {
    DrawWireSphere(matrix, colour);
    spheres_.back().wireframe = 0;
}
void AuxRenderImpl::DrawSolidSphere(const float* centre, float radius, const float* colour) {
    DrawWireSphere(centre, radius, colour);
    spheres_.back().wireframe = 0;
}

// ---- Batches

void AuxRenderImpl::EnsureBatch(std::uint32_t vertexBytes, std::uint32_t indexCount) {
    if (vertexCapacity_ >= vertexBytes && indexCapacity_ >= indexCount)
        return;
    vertexCapacity_ = std::max(vertexCapacity_, vertexBytes);
    indexCapacity_ = std::max(indexCapacity_, indexCount);
    batchVertices_.assign(vertexCapacity_ / sizeof(AuxVertex), AuxVertex{});
    batchIndices_.assign(indexCapacity_, 0);
    ++batchAllocations_;
}

void AuxRenderImpl::FlushQueue(Queue& queue, std::uint32_t primitiveType, bool screenSpace) {
    const std::uint32_t perPrimitive = primitiveType == PT_TRIANGLE_LIST ? 3 : 2;
    const std::size_t indexTotal = queue.indices.size() - queue.indices.size() % perPrimitive;
    if (queue.vertices.size() < 2 || indexTotal < 2) {
        queue.Clear();
        return;
    }
    std::size_t first = 0;
    while (first < indexTotal) {
        // Take whole primitives while the vertices they name span fewer than 65,536 positions.
        std::uint32_t low = queue.indices[first], high = low;
        std::size_t end = first;
        while (end < indexTotal) {
            std::uint32_t newLow = low, newHigh = high;
            for (std::uint32_t k = 0; k < perPrimitive; ++k) {
                newLow = std::min(newLow, queue.indices[end + k]);
                newHigh = std::max(newHigh, queue.indices[end + k]);
            }
            if (newHigh - newLow >= kMaxBatchVertices && end > first)
                break;
            low = newLow;
            high = newHigh;
            end += perPrimitive;
        }
        const std::uint32_t vertexCount = high - low + 1;
        const std::uint32_t indexCount = std::uint32_t(end - first);
        EnsureBatch(vertexCount * std::uint32_t(sizeof(AuxVertex)), indexCount);
        std::copy_n(queue.vertices.begin() + low, vertexCount, batchVertices_.begin());
        for (std::uint32_t k = 0; k < indexCount; ++k)
            batchIndices_[k] = std::uint16_t(queue.indices[first + k] - low);
        AuxBatch batch;
        batch.primitiveType = primitiveType;
        batch.vertexCount = vertexCount;
        batch.indexCount = indexCount;
        batch.vertices = batchVertices_.data();
        batch.indices = batchIndices_.data();
        DrawBatch(batch, kIdentityMatrix, screenSpace);
        first = end;
    }
    queue.Clear();
}

void AuxRenderImpl::Flush() {
    FlushQueue(lines_, PT_LINE_LIST, false);
    FlushQueue(triangles_, PT_TRIANGLE_LIST, false);
    for (const AuxCircleRecord& record : circles_)
        DrawBatch(ExpandCircle(record), record.world, false);
    circles_.clear();
    for (const AuxConeRecord& record : cones_) DrawBatch(ExpandCone(record), record.world, false);
    cones_.clear();
    for (const AuxCylinderRecord& record : cylinders_)
        DrawBatch(ExpandCylinder(record), record.world, false);
    cylinders_.clear();
    for (const AuxSphereRecord& record : spheres_)
        DrawBatch(ExpandSphere(record), record.world, false);
    spheres_.clear();
    FlushQueue(screen_, PT_LINE_LIST, true);
}

// ---- Shape expansion

AuxBatch AuxRenderImpl::ExpandCircle(const AuxCircleRecord& record) {
    const bool wire = record.wireframe != 0;
    EnsureBatch((wire ? 360 : 361) * sizeof(AuxVertex), wire ? 361 : 1080);
    const AuxRimBasis basis = MakeAuxRimBasis(record.normal);
    ShapeWriter out(batchVertices_.data(), batchIndices_.data());
    if (wire) {
        for (int i = 0; i < 360; ++i)
            out.Vertex(RimVertex(record.centre, basis, record.radius, i * kDegree, record.colour));
        for (std::uint32_t i = 0; i < 360; ++i) out.Index(i);
        out.Index(0);
        return out.Finish(PT_LINE_STRIP);
    }
    out.Vertex(MakeVertex(record.centre, record.colour));
    for (int i = 0; i < 360; ++i)
        out.Vertex(RimVertex(record.centre, basis, record.radius, i * kDegree, record.colour));
    for (std::uint32_t i = 0; i < 359; ++i) out.Triangle(i + 1, i + 2, 0);
    out.Triangle(360, 1, 0);
    return out.Finish(PT_TRIANGLE_LIST);
}

AuxBatch AuxRenderImpl::ExpandCone(const AuxConeRecord& record) {
    const bool wire = record.wireframe != 0;
    EnsureBatch((wire ? 361 : 362) * sizeof(AuxVertex), wire ? 433 : 2160);
    const AuxRimBasis basis = MakeAuxRimBasis(record.axis);
    const float* p = record.centre;
    const float apex[3] = {p[0] + basis.axis[0] * record.height,
                           p[1] + basis.axis[1] * record.height,
                           p[2] + basis.axis[2] * record.height};
    ShapeWriter out(batchVertices_.data(), batchIndices_.data());
    if (wire) {
        for (int i = 0; i < 360; ++i)
            out.Vertex(RimVertex(p, basis, record.radius, i * kDegree, record.colour));
        out.Vertex(MakeVertex(apex, record.colour));
        for (std::uint32_t i = 0; i < 360; ++i) out.Index(i);
        out.Index(0);
        // Each spoke is walked out and back along the strip.
        for (std::uint32_t k = 0; k < 36; ++k) out.Line(360, 10 * k);
        return out.Finish(PT_LINE_STRIP);
    }
    out.Vertex(MakeVertex(p, record.colour));
    for (int i = 0; i < 360; ++i)
        out.Vertex(RimVertex(p, basis, record.radius, i * kDegree, record.colour));
    out.Vertex(MakeVertex(apex, record.colour));
    for (std::uint32_t i = 0; i < 359; ++i) {
        out.Triangle(i + 1, i + 2, 0);
        out.Triangle(i + 1, i + 2, 361);
    }
    out.Triangle(360, 1, 0);
    out.Triangle(360, 1, 361);
    return out.Finish(PT_TRIANGLE_LIST);
}

AuxBatch AuxRenderImpl::ExpandCylinder(const AuxCylinderRecord& record) {
    const bool wire = record.wireframe != 0;
    EnsureBatch(74 * sizeof(AuxVertex), wire ? 360 : 432);
    const AuxRimBasis basis = MakeAuxRimBasis(kUnitAxis);
    const float* p = record.centre;
    const float top[3] = {p[0], p[1], p[2] + record.height};
    ShapeWriter out(batchVertices_.data(), batchIndices_.data());
    out.Vertex(MakeVertex(p, record.colour));
    out.Vertex(MakeVertex(top, record.colour));
    const float step = 2.0f * std::numbers::pi_v<float> / 36.0f;
    for (int j = 0; j < 36; ++j)
        out.Vertex(RimVertex(p, basis, record.radius, j * step, record.colour));
    for (int j = 0; j < 36; ++j)
        out.Vertex(RimVertex(top, basis, record.radius, j * step, record.colour));
    if (wire) {
        for (std::uint32_t j = 0; j < 35; ++j) out.Line(j + 2, j + 3);
        out.Line(37, 2);
        for (std::uint32_t j = 0; j < 36; ++j) out.Line(j + 2, 0);
        for (std::uint32_t j = 0; j < 35; ++j) out.Line(j + 38, j + 39);
        out.Line(73, 38);
        for (std::uint32_t j = 0; j < 36; ++j) out.Line(j + 38, 1);
        for (std::uint32_t j = 0; j < 36; ++j) out.Line(j + 38, j + 2);
        return out.Finish(PT_LINE_LIST);
    }
    for (std::uint32_t j = 0; j < 35; ++j) out.Triangle(j + 2, 0, j + 3);
    out.Triangle(37, 0, 2);
    for (std::uint32_t j = 0; j < 35; ++j) out.Triangle(j + 38, 1, j + 39);
    out.Triangle(73, 1, 38);
    for (std::uint32_t j = 0; j < 35; ++j) {
        out.Triangle(j + 2, j + 38, j + 3);
        out.Triangle(j + 38, j + 3, j + 39);
    }
    out.Triangle(37, 73, 2);
    out.Triangle(73, 2, 38);
    return out.Finish(PT_TRIANGLE_LIST);
}

AuxBatch AuxRenderImpl::ExpandSphere(const AuxSphereRecord& record) {
    const bool wire = record.wireframe != 0;
    EnsureBatch(614 * sizeof(AuxVertex), wire ? 2520 : 3672);
    const float* p = record.centre;
    const float radius = record.radius;
    ShapeWriter out(batchVertices_.data(), batchIndices_.data());
    const float step = 2.0f * std::numbers::pi_v<float> / 36.0f;
    for (int k = 0; k < 17; ++k) {
        const float latitude = float(k - 8) * 10.0f * kDegree;
        const float ring = radius * std::cos(latitude), z = p[2] + radius * std::sin(latitude);
        for (int j = 0; j < 36; ++j) {
            const float point[3] = {p[0] + ring * std::cos(j * step),
                                    p[1] + ring * std::sin(j * step), z};
            out.Vertex(MakeVertex(point, record.colour));
        }
    }
    const float topPole[3] = {p[0], p[1], p[2] + radius};
    const float bottomPole[3] = {p[0], p[1], p[2] - radius};
    out.Vertex(MakeVertex(topPole, record.colour));
    out.Vertex(MakeVertex(bottomPole, record.colour));
    if (wire) {
        for (std::uint32_t k = 0; k < 17; ++k) {
            for (std::uint32_t j = 0; j < 35; ++j) out.Line(36 * k + j, 36 * k + j + 1);
            out.Line(36 * k + 35, 36 * k);
        }
        for (std::uint32_t j = 0; j < 36; ++j) {
            for (std::uint32_t k = 0; k < 16; ++k) out.Line(j + 36 * k, j + 36 * k + 36);
            out.Line(j + 576, 612);
            out.Line(613, j);
        }
        return out.Finish(PT_LINE_LIST);
    }
    for (std::uint32_t k = 0; k < 16; ++k) {
        const std::uint32_t a = 36 * k, b = a + 36;
        for (std::uint32_t j = 0; j < 35; ++j) {
            out.Triangle(a + j, b + j, a + j + 1);
            out.Triangle(a + j + 1, b + j, b + j + 1);
        }
        out.Triangle(a + 35, b + 35, a);
        out.Triangle(a, b + 35, b);
    }
    for (std::uint32_t j = 0; j < 35; ++j) {
        out.Triangle(612, 576 + j, 577 + j);
        out.Triangle(613, j, j + 1);
    }
    out.Triangle(612, 611, 576);
    out.Triangle(613, 35, 0);
    return out.Finish(PT_TRIANGLE_LIST);
}

// ---- Drawing

void AuxRenderImpl::DrawBatch(const AuxBatch& batch, const float* world, bool screenSpace) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    Material* material = WireFrameMaterial();
    Pass* pass = material ? material->GetPass(0) : nullptr;
    RenderDevice* device = system ? system->GetRenderDevice() : device_;
    if (!system || !device || !pass || !material->IsProgramReady())
        return;
    system->SetPipelineSlot(material->GetUnlitSlot());

    RenderSystem::MemoryDraw draw;
    draw.primitiveType = batch.primitiveType;
    draw.vertexCount = batch.vertexCount;
    draw.indices = batch.indices;
    draw.indexCount = batch.indexCount;
    if (device->GetFixedFunctionMode() != MODE_SHADER) {
        // Fixed function reads colours packed into 32 bits.
        packed_.resize(std::size_t(batch.vertexCount) * 4);
        for (std::uint32_t i = 0; i < batch.vertexCount; ++i) {
            const AuxVertex& v = batch.vertices[i];
            std::memcpy(&packed_[i * 4], &v.x, 12);
            packed_[i * 4 + 3] = PackColorARGB(&v.r);
        }
        draw.vertices = packed_.data();
        draw.vertexFlags = VF_POSITION | VF_DIFFUSE;
        draw.stride = 16;
    } else {
        draw.vertices = batch.vertices;
        draw.vertexFlags = VF_POSITION | VF_COLOUR;
        draw.stride = batch.stride;
    }
    device->GetDebugVertexFormat(draw.vertexFlags);
    device->SetLight(nullptr);

    float savedView[16], savedProjection[16], savedViewProjection[16], camera[3];
    std::memcpy(savedView, scene->GetViewMatrix(), sizeof savedView);
    std::memcpy(savedProjection, scene->GetProjectionMatrix(), sizeof savedProjection);
    std::memcpy(savedViewProjection, scene->GetViewProjectionMatrix(), sizeof savedViewProjection);
    std::memcpy(camera, scene->GetCameraPosition(), sizeof camera);
    const std::uint32_t savedDepth = pass->renderState.depthFunc;
    if (screenSpace) {
        const ViewportRect& viewport = system->GetViewport();
        float projection[16];
        system->MakeOrthoOffCenterMatrix(0.0f, float(viewport.width), float(viewport.height), 0.0f,
                                         0.1f, 100.0f, projection);
        scene->SetViewMatrix(kIdentityMatrix);
        scene->SetProjectionMatrix(projection);
        scene->SetCurrentView(kIdentityMatrix, scene->GetViewProjectionMatrix(), camera);
        pass->renderState.depthFunc = CMP_ALWAYS;
    }

    RenderOperation operation;
    operation.primitiveType = batch.primitiveType;
    operation.renderState = &pass->renderState;
    operation.pass = pass;
    operation.program = material->GetProgram();
    std::memcpy(operation.worldMatrix, world, sizeof operation.worldMatrix);
    std::memcpy(operation.viewMatrix, scene->GetViewMatrix(), sizeof operation.viewMatrix);
    std::memcpy(operation.projectionMatrix, scene->GetProjectionMatrix(),
                sizeof operation.projectionMatrix);
    draw.world = world;
    draw.view = scene->GetViewMatrix();
    draw.projection = scene->GetProjectionMatrix();
    system->ProcessRenderOperation(operation, material->GetProgram(), draw);

    if (screenSpace) {
        pass->renderState.depthFunc = savedDepth;
        scene->SetViewMatrix(savedView);
        scene->SetProjectionMatrix(savedProjection);
        scene->SetCurrentView(savedView, savedViewProjection, camera);
    }
}

}  // namespace Zel
