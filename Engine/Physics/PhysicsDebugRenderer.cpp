#include "Physics/PhysicsDebugRenderer.h"

#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Physics/PhysicsLock.h"
#include "Render/RenderCodes.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

// The render device as it is reachable today: states it has no cache entry for (lighting, fill
// mode, vertex format) are left to the device's current set-up.
class DeviceTarget : public PhysicsDebugTarget {
public:
    bool Begin() override {
        SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        RenderSystem* system = scene != nullptr ? scene->GetRenderSystem() : nullptr;
        device_ = system != nullptr ? system->GetRenderDevice() : nullptr;
        if (device_ == nullptr) {
            return false;
        }
        device_->GetWorldMatrix(savedWorld_);
        device_->UnbindShaders();
        device_->SetWorldMatrix(IdentityMatrix());
        return true;
    }
    void Draw(std::uint32_t primitive, std::uint32_t count, const void* vertices,
              std::uint32_t stride) override {
        device_->DrawPrimitiveUP(primitive, count, vertices, stride);
    }
    void DrawWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount,
                       const std::uint32_t* indices, const void* vertices,
                       std::uint32_t stride) override {
        device_->SetCullMode(CULL_NONE);
        device_->DrawIndexedPrimitiveUP(PT_TRIANGLE_LIST, 0, vertexCount, triangleCount, indices,
                                        IS_32BIT, vertices, stride);
    }
    void End() override {
        device_->SetWorldMatrix(savedWorld_);
        device_ = nullptr;
    }

private:
    RenderDevice* device_ = nullptr;
    float savedWorld_[16] = {};
};

struct RendererState {
    DeviceTarget device;
    PhysicsDebugTarget* target = nullptr;
    std::vector<PhysicsDebugVertex> scratch;
};

RendererState& State() {
    static RendererState state;
    return state;
}

PhysicsDebugTarget& Target() {
    RendererState& s = State();
    return s.target != nullptr ? *s.target : s.device;
}

PhysicsDebugVertex* Scratch(std::size_t vertices) {
    std::vector<PhysicsDebugVertex>& scratch = State().scratch;
    if (scratch.size() < vertices) {
        scratch.resize(vertices);
    }
    return scratch.data();
}

PhysicsDebugVertex Vertex(const Nx::NxVec3& p, std::uint32_t color) {
    return PhysicsDebugVertex{p.x, p.y, p.z, color};
}

}  // namespace

void PhysicsDebugRenderer::Render(const Nx::NxDebugRenderable& r) {
    PhysicsLock lock(PhysicsMutex());
    PhysicsDebugTarget& target = Target();
    if (!target.Begin()) {
        return;
    }
    if (const std::uint32_t n = r.getNbPoints(); n > 0) {
        PhysicsDebugVertex* v = Scratch(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            v[i] = Vertex(r.getPoints()[i].p, r.getPoints()[i].color);
        }
        target.Draw(PT_POINT_LIST, n, v, sizeof(PhysicsDebugVertex));
    }
    if (const std::uint32_t n = r.getNbLines(); n > 0) {
        PhysicsDebugVertex* v = Scratch(2 * std::size_t{n});
        for (std::uint32_t i = 0; i < n; ++i) {
            const Nx::NxDebugLine& l = r.getLines()[i];
            v[2 * i] = Vertex(l.p0, l.color);
            v[2 * i + 1] = Vertex(l.p1, l.color);
        }
        target.Draw(PT_LINE_LIST, n, v, sizeof(PhysicsDebugVertex));
    }
    if (const std::uint32_t n = r.getNbTriangles(); n > 0) {
        PhysicsDebugVertex* v = Scratch(3 * std::size_t{n});
        for (std::uint32_t i = 0; i < n; ++i) {
            const Nx::NxDebugTriangle& t = r.getTriangles()[i];
            v[3 * i] = Vertex(t.p0, t.color);
            v[3 * i + 1] = Vertex(t.p1, t.color);
            v[3 * i + 2] = Vertex(t.p2, t.color);
        }
        target.Draw(PT_TRIANGLE_LIST, n, v, sizeof(PhysicsDebugVertex));
    }
    target.End();
}

void PhysicsDebugRenderer::RenderWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount,
                                           const std::uint32_t* indices, const void* vertices,
                                           std::uint32_t stride) {
    if (vertexCount == 0 || triangleCount == 0) {
        return;
    }
    PhysicsLock lock(PhysicsMutex());
    PhysicsDebugTarget& target = Target();
    if (!target.Begin()) {
        return;
    }
    target.DrawWireframe(vertexCount, triangleCount, indices, vertices, stride);
    target.End();
}

PhysicsDebugTarget* PhysicsDebugRenderer::SetTarget(PhysicsDebugTarget* target) {
    PhysicsLock lock(PhysicsMutex());
    PhysicsDebugTarget* previous = State().target;
    State().target = target;
    return previous;
}

std::size_t PhysicsDebugRenderer::GetScratchBytes() {
    PhysicsLock lock(PhysicsMutex());
    return State().scratch.size() * sizeof(PhysicsDebugVertex);
}

}  // namespace Zel
