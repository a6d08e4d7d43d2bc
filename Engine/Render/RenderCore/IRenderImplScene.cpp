// The root interface's operations that reach into the running scene: physics stepping and cloth,
// shadows, the host's own primitives and debug lines, particle runs, picking and selection, the
// device's reports, the host vertex block and the effect manager's part of the instance report.
// Host thread.
#include <algorithm>
#include <cstring>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/Shadow.h"
#include "Interface/ILevel.h"
#include "Interface/IShader.h"
#include "Interface/IParticleVB.h"
#include "Interface/ISpecialEffectManager.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsWorld.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/IVBImplRC.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {
namespace {

// Global switches the host's scene operations read.
constexpr std::uint32_t kDrawShadowsSwitch = 19;
constexpr std::uint32_t kDrawLinesSwitch = 22;
// A primitive type the host uses for "nothing to draw".
constexpr std::uint32_t kNoPrimitive = 6;

bool SwitchOn(std::uint32_t index) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->GetValue(index) != 0;
}

template <class T>
T* WordPointer(std::intptr_t word) {
    return reinterpret_cast<T*>(word);
}

std::uint32_t Word32(std::intptr_t word) {
    return static_cast<std::uint32_t>(word);
}

// The host primitive words shared by DrawUserPrimitive and DrawPicked: type, vertices (each
// starting with its position), vertex count, stride in bytes, 16-bit indices or null, and how
// many indices (vertices without indices) make the primitives.
RenderSystem::UserPrimitive HostPrimitive(std::intptr_t type, std::intptr_t vertices,
                                          std::intptr_t vertexCount, std::intptr_t stride,
                                          std::intptr_t indices, std::intptr_t count) {
    RenderSystem::UserPrimitive primitive;
    primitive.primitiveType = Word32(type);
    primitive.vertices = WordPointer<const std::uint8_t>(vertices);
    primitive.vertexCount = Word32(vertexCount);
    primitive.sourceStride = Word32(stride);
    primitive.indices = WordPointer<const std::uint16_t>(indices);
    primitive.indexCount = primitive.indices ? Word32(count) : 0;
    return primitive;
}

// The vertices or indices that make the primitive's shapes: the index count, else the vertex
// count.
std::uint32_t ShapeCount(const RenderSystem::UserPrimitive& primitive, std::intptr_t count) {
    return primitive.indices ? primitive.indexCount
                             : std::min(Word32(count), primitive.vertexCount);
}

// The material a host primitive draws with: the one given, else the library's default material.
// Not the name map's first entry: which material that is depends on the names loaded, and the
// built-in screen-space materials sort early, which would put a host's world-space primitive
// nowhere on screen.
Material* HostMaterial(Material* given) {
    if (given)
        return given;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    return materials ? materials->GetDefaultMaterial(false) : nullptr;
}

void DrawWithEveryPass(RenderSystem* system, Material* material,
                       const RenderSystem::UserPrimitive& primitive) {
    if (!system || !material)
        return;
    for (Pass* pass : material->GetPasses())
        if (pass)
            system->DrawUserPrimitive(pass, primitive);
}

PhxScene* CurrentPhysicsScene() {
    PhysicsWorld* world = Globals::Find(&Globals::GetPhysicsWorld);
    return world ? world->GetScene() : nullptr;
}

}  // namespace

// ---- Physics and cloth ------------------------------------------------------------------------

int IRenderImpl::StepPhysics(std::uint32_t elapsedMs) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene || !scene->IsPhysicsEnabled() || !scene->IsPhysicsAvailable())
        return 0;
    PhxScene* physics = CurrentPhysicsScene();
    if (!physics)
        return 0;
    physics->Step(static_cast<float>(elapsedMs) * 0.001f);
    physics->UpdateEntities();
    return 1;
}

void IRenderImpl::SetClothEnabled(bool on) {
    Cloth::SetGlobalEnabled(on);
}

bool IRenderImpl::IsClothEnabled() {
    return Cloth::IsGlobalEnabled();
}

void IRenderImpl::UnloadGeometryByName(const char* name, int id) {
    if (GeometryManager* geometries = name ? Globals::Find(&Globals::GetGeometryManager) : nullptr)
        geometries->ReleaseBodyPartImagesOf(name, id);
}

// ---- Shadows ----------------------------------------------------------------------------------

void IRenderImpl::SetShadowVector4(const float* v) {
    if (Shadow* shadow = v ? Shadow::GetShadowInstance(0) : nullptr)
        shadow->SetColour(v);
}

void IRenderImpl::SetShadowVector3(const float* v) {
    if (Shadow* shadow = v ? Shadow::GetShadowInstance(0) : nullptr)
        shadow->SetDirection(v);
}

void IRenderImpl::RenderShadows(ZelI::ILevel* level) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return;
    if (frameBegan_ && SwitchOn(kDrawShadowsSwitch))
        scene->RenderShadows(UnwrapInterface<Level, ZelI::IMoveObject>(level));
    scene->EndShadowPipe();
}

// ---- The device's reports ---------------------------------------------------------------------

std::intptr_t IRenderImpl::GetDeviceValueA() {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    return device ? static_cast<std::intptr_t>(device->GetAvailableTextureMem()) : 0;
}

std::intptr_t IRenderImpl::GetDeviceValueB() {
    RenderDevice* device = renderSystem_ ? renderSystem_->GetRenderDevice() : nullptr;
    return device ? static_cast<std::intptr_t>(device->GetVideoMemory(true)) : 0;
}

std::intptr_t IRenderImpl::GetDeviceCapsWord(std::intptr_t first, std::intptr_t, std::intptr_t,
                                             std::intptr_t, std::intptr_t, std::intptr_t) {
    if (first != 0 || !renderSystem_ || !renderSystem_->GetRenderDevice())
        return 0;
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return caps ? static_cast<std::intptr_t>(caps->featureFlags) : 0;
}

// ---- Host primitives and debug lines ----------------------------------------------------------

void IRenderImpl::DrawUserPrimitive(std::intptr_t type, std::intptr_t vertices,
                                    std::intptr_t vertexCount, std::intptr_t stride,
                                    std::intptr_t indices, std::intptr_t count,
                                    std::intptr_t material) {
    if (!frameBegan_ || selectionActive_ || IsDX7Mode())
        return;
    const RenderSystem::UserPrimitive primitive =
        HostPrimitive(type, vertices, vertexCount, stride, indices, count);
    DrawWithEveryPass(
        renderSystem_,
        HostMaterial(UnwrapInterface<Material>(WordPointer<ZelI::IMaterial>(material))), primitive);
}

void IRenderImpl::DrawPicked(std::intptr_t type, std::intptr_t vertices, std::intptr_t vertexCount,
                             std::intptr_t stride, std::intptr_t indices, std::intptr_t count,
                             std::intptr_t normalOffset, std::intptr_t uvOffset,
                             std::intptr_t colourOffset) {
    RenderSystem::UserPrimitive primitive =
        HostPrimitive(type, vertices, vertexCount, stride, indices, count);
    if (selectionActive_) {
        // A selection pass tests the primitive under the object last queried instead of drawing.
        selection_.SetPickId(static_cast<std::uint32_t>(queryObject_));
        selection_.DrawUserPrimitive(primitive.primitiveType, primitive.indices,
                                     WordPointer<const float>(vertices), primitive.vertexCount,
                                     ShapeCount(primitive, count), primitive.sourceStride);
        return;
    }
    if (!frameBegan_ || primitive.primitiveType == kNoPrimitive)
        return;
    primitive.normalOffset = Word32(normalOffset);
    primitive.uv0Offset = Word32(uvOffset);
    primitive.colourOffset = Word32(colourOffset);
    DrawWithEveryPass(renderSystem_, HostMaterial(pickMaterial_.Get()), primitive);
}

void IRenderImpl::DrawAABB(std::intptr_t minimum, std::intptr_t maximum, std::intptr_t colour) {
    if (renderSystem_ && minimum && maximum && colour && SwitchOn(kDrawLinesSwitch))
        renderSystem_->DrawAABB(WordPointer<const float>(minimum),
                                WordPointer<const float>(maximum),
                                WordPointer<const float>(colour));
}

void IRenderImpl::DrawWireFrame(std::intptr_t from, std::intptr_t to, std::intptr_t colour,
                                std::intptr_t) {
    if (renderSystem_ && from && to && colour && SwitchOn(kDrawLinesSwitch))
        renderSystem_->DrawWireFrame(WordPointer<const float>(from), WordPointer<const float>(to),
                                     WordPointer<const float>(colour));
}

// ---- Particles and pipes ----------------------------------------------------------------------

void IRenderImpl::SetParticleInstance(std::intptr_t buffer, std::intptr_t minimum,
                                      std::intptr_t maximum, std::intptr_t count,
                                      std::intptr_t first, std::intptr_t material) {
    auto* vb =
        UnwrapInterface<ParticleVB, ZelI::IParticleVB>(WordPointer<ZelI::IParticleVB>(buffer));
    Factory<ParticleInstance>* factory = Globals::Find(&Globals::GetParticleInstanceFactory);
    if (!vb || !minimum || !maximum || !factory)
        return;
    ParticleInstance* instance = factory->Acquire();
    if (!instance)
        return;
    instance->SetParticleVB(vb);
    instance->SetBoundingBox(WordPointer<const float>(minimum), WordPointer<const float>(maximum));
    instance->SetParticleCount(Word32(count));
    instance->SetFirstParticle(Word32(first));
    instance->SetMaterial(UnwrapInterface<Material>(WordPointer<ZelI::IMaterial>(material)));
    // The frame list gives the instance back at the next frame, drawn or not.
    QueueParticleInstance(instance);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (scene && scene->GetRenderQueue() && instance->GetMaterial())
        scene->GetRenderQueue()->AddRenderable(instance, instance->GetMaterial(),
                                               RENDER_GROUP_ENTITY_UNLIT, 0);
}

void IRenderImpl::PassToOpenPipe(std::intptr_t word) {
    if (SceneManager* scene = FrameScene())
        scene->PassToOpenPipe(WordPointer<RenderCallback>(word));
}

int IRenderImpl::GetLastErrorCode() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->TakeLastError() : 0;
}

// ---- Picking and selection --------------------------------------------------------------------

int IRenderImpl::SelectInRect(const int* rect, int* resultCount) {
    if (!rect)
        return 0;
    // One result asked for: the nearest object under the rectangle's centre; else every object
    // the rectangle reaches.
    const bool nearestOnly = resultCount && *resultCount == 1;
    selection_.BeginSelection(rect[0], rect[1], rect[2], rect[3], nearestOnly);
    selectionActive_ = 1;
    queryObject_ = -1;
    return 1;
}

int IRenderImpl::PickRay(std::intptr_t origin, std::intptr_t direction) {
    if (!selectionActive_)
        return 0;
    const Ray& ray = selection_.GetWorldRay();
    if (float* out = WordPointer<float>(origin))
        std::memcpy(out, ray.origin, sizeof(float) * 3);
    if (float* out = WordPointer<float>(direction))
        std::memcpy(out, ray.direction, sizeof(float) * 3);
    return 1;
}

int IRenderImpl::GetSelectResults(void** results, int capacity) {
    if (!selectionActive_)
        return 0;
    selectionActive_ = 0;
    queryObject_ = -1;
    std::vector<std::uint32_t> values(results && capacity > 0 ? std::size_t(capacity) : 0);
    const std::uint32_t count =
        selection_.EndSelection(values.data(), static_cast<std::uint32_t>(values.size()));
    for (std::uint32_t i = 0; i < count; ++i)
        results[i] = reinterpret_cast<void*>(static_cast<std::uintptr_t>(values[i]));
    return static_cast<int>(count);
}

std::intptr_t IRenderImpl::BeginPixelCountQuery(std::intptr_t object) {
    if (selectionActive_) {
        queryObject_ = object;
        if (renderSystem_)
            renderSystem_->BeginPixelCountQuery(static_cast<std::int32_t>(object));
    }
    return object;
}

// ---- The host vertex block and the effect manager ---------------------------------------------

ZelI::IVB* IRenderImpl::GetVB() {
    return ivb_;
}

void IRenderImpl::ForwardToEffectManager(std::FILE* report) {
    if (specialEffectManager_ && report)
        specialEffectManager_->AppendReport(report);
}

}  // namespace Zel
