#include "Entity/Scene/ProjectiveShadow.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/RenderCorePipeline.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Render/ClearRecord.h"
#include "Render/PostEffects.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {
namespace {

// The usage code render targets are created with (and found again by).
constexpr int kTargetUsage = 2;
constexpr float kViewFovDegrees = 25.0f;
// Matrix 21 of the GPU program: the light-map texture matrix the receiver projects with.
constexpr std::uint32_t kLightMapTextureMatrix = 21;
// Soft shadows run one pair of the screen blur's 5x5 kernel over the map.
constexpr std::uint32_t kSoftKernel = 1;

// A free pooled target of the size and format, or a new one; null (nothing kept) when the
// texture manager cannot make one. What the shadow keeps it keeps through HeldRenderTarget,
// which flags the target in use, so the pool never hands back a target the shadow holds (the
// blur's scratch is never the map it blurs).
RenderTarget* TakeTarget(std::uint32_t size, int format, bool depth) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return nullptr;
    const int side = static_cast<int>(size);
    RenderTarget* free = textures->FindFreeRenderTarget(side, side, 1, format, kTargetUsage);
    if (free)
        return free;
    RenderTarget* target = textures->CreateRenderTarget(depth);
    if (!target)
        return nullptr;
    if (!target->Create(side, side, 1, kTargetUsage, format, 0, false)) {
        // A target without surfaces would be bound and drawn into as if it held a map.
        target->ReleaseIfUnused();
        return nullptr;
    }
    return target;
}

SceneManager* ShadowScene() {
    return Globals::Find(&Globals::GetSceneManager);
}

// out = B x m, B mapping clip space to texture space with v flipped.
void ToTextureSpace(const float* m, float* out) {
    static constexpr float kBias[16] = {0.5f, 0, 0, 0.5f, 0, -0.5f, 0, 0.5f,
                                        0,    0, 1, 0,    0, 0,     0, 1};
    MultiplyMatrices4(kBias, m, out);
}

}  // namespace

std::uint32_t ProjectiveShadow::MapSizeForVideoMemory(std::uint64_t bytes) {
    if (bytes < 33554432u)
        return 128;
    if (bytes < 67108864u)
        return 256;
    return 512;
}

ProjectiveShadow::ProjectiveShadow() {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    mapSize_ = MapSizeForVideoMemory(caps ? caps->totalVideoMemoryBytes : 0);
    shadowMap_.Assign(TakeTarget(mapSize_, PF_A8R8G8B8, false));
    shadowMapDepth_.Assign(TakeTarget(mapSize_, PF_D24S8, true));
    if (shadowMap_)
        shadowMap_->SetName("ShadowMap");
    if (shadowMapDepth_)
        shadowMapDepth_->SetName("ShadowMapDepth");
}

ProjectiveShadow::~ProjectiveShadow() = default;

Material* ProjectiveShadow::GetCasterMaterial(std::uint32_t kind) {
    return kind <= 1 ? GetGeneratedMaterial(kind) : nullptr;
}

bool ProjectiveShadow::ComputeShadowView(float* view, float* projection, float* eye, float* target,
                                         float* up, AABB& casterBox,
                                         const std::vector<Entity*>& casters,
                                         float* distance) const {
    casterBox.SetEmpty();
    AABB box;
    box.SetEmpty();
    for (Entity* entity : casters) {
        if (!entity || entity->GetClassId() == ClassId::Level)
            continue;
        const AABB& world = entity->GetBoundingBox();
        if (!world.IsEmpty())
            box.Merge(world);
    }
    SceneManager* scene = ShadowScene();
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    // Nothing casts: a view around an empty box would be built from undefined bounds.
    if (box.IsEmpty() || !system)
        return false;

    float centre[3], min[3], max[3], half[3];
    for (int i = 0; i < 3; ++i) {
        centre[i] = (box.GetMin()[i] + box.GetMax()[i]) * 0.5f;
        min[i] = centre[i] - (centre[i] - box.GetMin()[i]) * 1.1f;
        max[i] = centre[i] + (box.GetMax()[i] - centre[i]) * 1.1f;
        half[i] = (max[i] - min[i]) * 0.5f;
    }
    casterBox.SetMinMax(min, max);

    // The eye stands back from the casters by a distance worked out for a unit direction: a
    // longer one would put it that many times further and shrink the casters in the map.
    const float dLength = std::sqrt(Dot3(direction_, direction_));
    if (!(dLength > 0.0f) || !std::isfinite(dLength))
        return false;
    const float d[3] = {direction_[0] / dLength, direction_[1] / dLength, direction_[2] / dLength};
    // Straight down the up axis the look-at would have no horizontal reference.
    float across[3];
    const float zAxis[3] = {0.0f, 0.0f, 1.0f};
    Cross3(d, zAxis, across);
    if (std::sqrt(Dot3(across, across)) < 1e-6f) {
        up[0] = 0.0f, up[1] = 1.0f, up[2] = 0.0f;
    } else {
        up[0] = 0.0f, up[1] = 0.0f, up[2] = 1.0f;
    }
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    const float back[3] = {-d[0], -d[1], -d[2]};
    system->MakeLookAtMatrix(back, origin, up, view);

    // The extents of the grown box as the light sees it.
    float lightMin[3] = {1e30f, 1e30f, 1e30f}, lightMax[3] = {-1e30f, -1e30f, -1e30f};
    for (int corner = 0; corner < 8; ++corner) {
        const float p[3] = {corner & 1 ? half[0] : -half[0], corner & 2 ? half[1] : -half[1],
                            corner & 4 ? half[2] : -half[2]};
        float turned[3];
        Matrix4::RotateVector(view, turned, p);
        for (int i = 0; i < 3; ++i) {
            lightMin[i] = std::min(lightMin[i], turned[i]);
            lightMax[i] = std::max(lightMax[i], turned[i]);
        }
    }
    const float width = lightMax[0] - lightMin[0];
    const float height = lightMax[1] - lightMin[1];
    const float depth = lightMax[2] - lightMin[2];
    const float radius = std::max(width, height) * 0.5f;
    const float halfFov = kViewFovDegrees * 0.5f * 3.14159265358979f / 180.0f;
    const float dist = radius / std::tan(halfFov) + 0.4f * depth;
    if (distance)
        *distance = dist;

    for (int i = 0; i < 3; ++i) {
        target[i] = min[i] + half[i];
        eye[i] = target[i] - d[i] * dist;
    }
    system->MakeLookAtMatrix(eye, target, up, view);
    system->MakePerspectiveMatrix(kViewFovDegrees, 1.0f, 1.0f, 1000.0f, projection);
    return true;
}

void ProjectiveShadow::Render(Level* level) {
    if (!shadowMap_ || !casterSource_)
        return;
    SceneManager* scene = ShadowScene();
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    float eye[3], target[3], up[3], distance = 0.0f;
    AABB box;
    if (!scene || !system ||
        !ComputeShadowView(lightView_, lightProjection_, eye, target, up, box,
                           casterSource_->GetItems(), &distance)) {
        casterSource_ = nullptr;
        return;
    }

    const ViewportRect saved = system->GetViewport();
    scene->PushViewMatrix();
    scene->PushProjectionMatrix();
    scene->SetViewMatrix(lightView_);
    scene->SetProjectionMatrix(lightProjection_);
    shadowMap_->Bind(0);
    if (shadowMapDepth_)
        shadowMapDepth_->Bind(0);
    system->SetViewport(0, 0, std::uint32_t(shadowMap_->GetWidth()),
                        std::uint32_t(shadowMap_->GetHeight()));
    // A lit map is white; the casters write the shadow colour.
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    system->Clear(CLEAR_COLOUR | CLEAR_DEPTH, white, 1.0f, 0);
    for (std::uint32_t kind : {0u, 1u}) {
        Material* caster = GetCasterMaterial(kind);
        if (!caster)
            continue;
        if (GpuProgram* program = caster->GetProgram())
            program->SetValueByName("g_ShadowColor", colour_, sizeof colour_);
        if (Pass* pass = caster->GetPass(0))
            pass->SetAmbientColour(colour_[0], colour_[1], colour_[2], colour_[3]);
    }
    scene->RenderShadowCasters();
    shadowMap_->Unbind();
    if (shadowMapDepth_)
        shadowMapDepth_->Unbind();
    system->SetViewport(saved.x, saved.y, saved.width, saved.height);
    scene->PopViewMatrix();
    scene->PopProjectionMatrix();

    if (scene->GetShadowQuality() == SHADOW_SOFT)
        BlurShadowMap();

    MultiplyMatrices4(lightProjection_, lightView_, lightTextureMatrix_);
    const bool fixedFunction = scene->IsDX7Mode();
    if (fixedFunction) {
        // The fixed-function stage generates camera-space positions: back to world first.
        float inverseCamera[16];
        std::memcpy(inverseCamera, scene->GetViewMatrix(), sizeof inverseCamera);
        Matrix4::Inverse(inverseCamera);
        float lightFromCamera[16];
        MultiplyMatrices4(lightTextureMatrix_, inverseCamera, lightFromCamera);
        ToTextureSpace(lightFromCamera, lightTextureMatrix_);
    }

    if (Material* receiver = GetGeneratedMaterial(2)) {
        if (Pass* pass = receiver->GetPass(0))
            pass->renderState.stages[0].SetTexture(shadowMap_.Get());
        if (GpuProgram* program = receiver->GetProgram())
            program->SetMatrix(kLightMapTextureMatrix, lightTextureMatrix_, 0);
        // A level queues its own receivers (group 4); otherwise every registered entity does
        // (group 3).
        if (level) {
            level->ClearRenderMarks();
            level->AddShadowReceivers(scene->GetRenderQueue(), receiver);
        } else {
            scene->CollectShadowReceivers(receiver);
        }
        scene->RenderShadowReceivers();
        scene->ClearShadowReceivers();
        RenderDevice* device = system->GetRenderDevice();
        const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
        if (fixedFunction && device && caps)
            for (std::uint32_t stage = 0; stage < caps->textureStageCount; ++stage)
                device->DisableTextureTransform(stage);
    }
    casterSource_ = nullptr;
}

void ProjectiveShadow::BlurShadowMap() {
    SceneManager* scene = ShadowScene();
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    if (!system || !shadowMap_)
        return;
    if (!blurTarget_)
        blurTarget_.Assign(TakeTarget(mapSize_, PF_A8R8G8B8, false));
    PostEffects& post = PostEffects::Instance();
    // Without a target or either 5x5 material the map stays hard for this frame.
    if (!blurTarget_ || !post.GetKernelMaterial(kSoftKernel, false) ||
        !post.GetKernelMaterial(kSoftKernel, true))
        return;
    const ViewportRect saved = system->GetViewport();
    if (shadowMapDepth_)
        shadowMapDepth_->Bind(0);
    post.BlurPair(kSoftKernel, shadowMap_.Get(), blurTarget_.Get(), mapSize_);
    if (shadowMapDepth_)
        shadowMapDepth_->Unbind();
    system->SetViewport(saved.x, saved.y, saved.width, saved.height);
}

}  // namespace Zel
