// A simulated cloth: a body whose particles the simulation moves and writes, after every step,
// into receive buffers that drawing reads in place. Particle i is vertex i of the mesh it was
// built from.
#pragma once

#include <cstdint>

#include "Physics/PhxEntity.h"

namespace Zel {

// A cloth's source mesh in world-independent form: what a body-part cloth mesh hands over.
// Nothing is owned; the arrays must outlive the creation call only.
struct PhxClothSource {
    const float* positions = nullptr;        // three floats per vertex
    const std::uint32_t* indices = nullptr;  // three per triangle
    std::int32_t vertexCount = 0;
    std::int32_t triangleCount = 0;
    float damping = 1.0f;
    float density = 1.0f;
    float friction = 1.0f;
    float stretchingStiffness = 1.0f;
    float thickness = 1.0f;
};

class PhxCloth : public PhxEntity {
public:
    explicit PhxCloth(PhxScene* scene) : PhxEntity(scene) {}

    // Kind 3 builds a grid (dimensions 0..2: width, height, cell size), kind 4 a cloth from
    // desc->extra; anything else fails.
    bool Create(const PhxBodyDesc* desc) override;

    virtual void AttachVertexToGlobalPosition(std::int32_t vertex, const float* position) = 0;
    virtual void AddForceAtVertex(const float* force, std::int32_t vertex) = 0;
    virtual void SetThickness(float value) = 0;
    virtual void SetDensity(float value) = 0;
    virtual void SetBendingStiffness(float value) = 0;
    virtual void SetStretchingStiffness(float value) = 0;
    virtual void SetDampingCoefficient(float value) = 0;
    virtual void SetFriction(float value) = 0;
    // Position (three floats) and normal (three floats) per particle, GetVertexStride bytes apart.
    virtual void* GetVertexBuffer() = 0;
    virtual std::uint32_t* GetIndexBuffer() = 0;
    virtual std::int32_t GetVertexStride() const = 0;
    virtual std::int32_t GetIndexStride() const = 0;
    // Has no effect; kept for its place among the operations.
    virtual void Reserved(std::int32_t, std::int32_t, std::int32_t) {}
    virtual bool CreateFromMesh(const PhxClothSource* source, float unused, const float* pose) = 0;
    virtual bool CreateGrid(float width, float height, float cellSize, const float* pose,
                            bool tearLines) = 0;

    std::int32_t GetGridColumns() const { return gridColumns_; }
    std::int32_t GetGridRows() const { return gridRows_; }
    std::int32_t GetVertexCount() const { return vertexCount_; }
    std::int32_t GetTriangleCount() const { return triangleCount_; }
    float GetThickness() const { return params_[0]; }
    float GetDensity() const { return params_[1]; }
    float GetBendingStiffness() const { return params_[2]; }
    float GetStretchingStiffness() const { return params_[3]; }
    float GetDampingCoefficient() const { return params_[4]; }
    float GetFriction() const { return params_[5]; }

protected:
    std::int32_t gridColumns_ = 0;
    std::int32_t gridRows_ = 0;
    std::int32_t vertexCount_ = 0;
    std::int32_t triangleCount_ = 0;
    // thickness, density, bending, stretching, damping, friction
    float params_[6] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
};

}  // namespace Zel
