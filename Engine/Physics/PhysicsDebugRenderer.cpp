#include "Physics/PhysicsDebugRenderer.h"

#include "Core/Globals.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Physics/PhysicsLock.h"
#include "Render/RenderCodes.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/d3d9/RenderStateCache.h"

namespace Zel {

namespace {

constexpr DWORD kPointFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;               // PhysicsDebugVertex
constexpr DWORD kClothFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;  // cloth receive records

template <class T>
T* Hold(T* object) {
    if (object != nullptr) {
        object->AddRef();
    }
    return object;
}

template <class T>
void Drop(T*& object) {
    if (object != nullptr) {
        object->Release();
    }
    object = nullptr;
}

// The Direct3D 9 device of the scene manager's render system, set up for untextured,
// unlit, unshaded drawing in world space seen through the current camera. Everything Begin and
// DrawWireframe change goes back in End (the cache holds no references, so the saved shaders and
// texture are held here until they are bound again).
class DeviceTarget : public PhysicsDebugTarget {
public:
    bool Begin() override {
        SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        RenderSystem* system = scene != nullptr ? scene->GetRenderSystem() : nullptr;
        device_ = system != nullptr ? dynamic_cast<RenderDeviceD3D9*>(system->GetRenderDevice())
                                    : nullptr;
        if (device_ == nullptr || device_->GetD3DDevice() == nullptr) {
            device_ = nullptr;
            return false;
        }
        RenderStateCache& cache = device_->GetStateCache();
        fvf_ = cache.GetFVF();
        lightingFlag_ = device_->IsLightingEnabled();
        lightingState_ = cache.GetRenderState(D3DRS_LIGHTING);
        vertexShader_ = Hold(cache.GetVertexShader());
        pixelShader_ = Hold(cache.GetPixelShader());
        texture_ = Hold(cache.GetTexture(0));
        device_->GetWorldMatrix(world_);
        device_->GetViewMatrix(view_);
        device_->GetProjectionMatrix(projection_);

        device_->SetLightingEnabled(false);
        cache.SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->UnbindShaders();
        device_->SetFVF(kPointFvf);
        cache.SetTexture(0, nullptr);
        device_->SetWorldMatrix(IdentityMatrix());
        // The frame's camera; before the frame has picked one, the main camera.
        const Camera* camera = scene->GetCurrentCamera();
        if (camera == nullptr) {
            camera = scene->GetMainCamera();
        }
        if (camera != nullptr) {
            device_->SetViewMatrix(camera->GetViewMatrix()->m);
            device_->SetProjectionMatrix(camera->GetProjectionMatrix()->m);
        }
        return true;
    }
    void Draw(std::uint32_t primitive, std::uint32_t count, const void* vertices,
              std::uint32_t stride) override {
        device_->DrawPrimitiveUP(primitive, count, vertices, stride);
    }
    void DrawWireframe(std::uint32_t vertexCount, std::uint32_t triangleCount,
                       const std::uint32_t* indices, const void* vertices,
                       std::uint32_t stride) override {
        RenderStateCache& cache = device_->GetStateCache();
        const DWORD cull = cache.GetRenderState(D3DRS_CULLMODE);
        const DWORD fill = cache.GetRenderState(D3DRS_FILLMODE);
        device_->SetCullMode(CULL_NONE);
        cache.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        device_->SetFVF(kClothFvf);
        device_->DrawIndexedPrimitiveUP(PT_TRIANGLE_LIST, 0, vertexCount, triangleCount, indices,
                                        IS_32BIT, vertices, stride);
        cache.SetRenderState(D3DRS_FILLMODE, fill);
        cache.SetRenderState(D3DRS_CULLMODE, cull);
    }
    void End() override {
        RenderStateCache& cache = device_->GetStateCache();
        device_->SetFVF(fvf_);
        device_->SetLightingEnabled(lightingFlag_);
        cache.SetRenderState(D3DRS_LIGHTING, lightingState_);
        cache.SetVertexShader(vertexShader_);
        cache.SetPixelShader(pixelShader_);
        cache.SetTexture(0, texture_);
        Drop(vertexShader_);
        Drop(pixelShader_);
        Drop(texture_);
        device_->SetWorldMatrix(world_);
        device_->SetViewMatrix(view_);
        device_->SetProjectionMatrix(projection_);
        device_ = nullptr;
    }

private:
    RenderDeviceD3D9* device_ = nullptr;
    DWORD fvf_ = 0;
    bool lightingFlag_ = false;
    DWORD lightingState_ = 0;
    IDirect3DVertexShader9* vertexShader_ = nullptr;
    IDirect3DPixelShader9* pixelShader_ = nullptr;
    IDirect3DBaseTexture9* texture_ = nullptr;
    float world_[16] = {};
    float view_[16] = {};
    float projection_[16] = {};
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
