// Draws the physics visualisation (points, lines and triangles of the SDK's debug renderable) and
// cloth wireframes. Vertices are 16 bytes: position and a 32-bit colour. The draws go to one
// target: the render device of the scene manager's render system unless another is installed.
#pragma once

#include <cstdint>
#include <vector>

#include "Platform/Physics/NxPhysics.h"

namespace Zel {

struct PhysicsDebugVertex {
    float x, y, z;
    std::uint32_t color;
};
static_assert(sizeof(PhysicsDebugVertex) == 16);

// Where debug geometry is drawn. Begin may refuse (no device): nothing is drawn then. End puts
// back every state Begin and the draws changed.
class PhysicsDebugTarget {
public:
    virtual ~PhysicsDebugTarget() = default;
    virtual bool Begin() = 0;
    // primitive: PrimitiveType of RenderCodes.h.
    virtual void Draw(std::uint32_t primitive, std::uint32_t primitiveCount, const void* vertices,
                      std::uint32_t stride) = 0;
    // Triangle list of 32-bit indices over vertices of `stride` bytes, as a wireframe.
    virtual void DrawWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount,
                               const std::uint32_t* indices, const void* vertices,
                               std::uint32_t stride) = 0;
    virtual void End() = 0;
};

class PhysicsDebugRenderer {
public:
    // Draws the renderable's points, lines and triangles, each kind as one list.
    static void Render(const Nx::NxDebugRenderable& renderable);
    static void RenderWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount,
                                const std::uint32_t* indices, const void* vertices,
                                std::uint32_t stride);
    // Installs a target (null: the render device again); answers the previous one.
    static PhysicsDebugTarget* SetTarget(PhysicsDebugTarget* target);
    // Bytes of the scratch vertex array; it grows to the largest batch and never shrinks.
    static std::size_t GetScratchBytes();
};

}  // namespace Zel
