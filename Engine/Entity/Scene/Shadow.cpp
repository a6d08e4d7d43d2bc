#include "Entity/Scene/Shadow.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/Timer.h"
#include "Entity/Material/GeneratedShadowEffects.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/FakeShadow.h"
#include "Entity/Scene/ProjectiveShadow.h"
#include "Entity/Scene/RenderCorePipeline.h"

namespace Zel {
namespace {

constexpr std::uint32_t kGeneratedCount = 3;

Shadow* g_shadowInstances[2] = {};
HeldMaterial g_generatedMaterials[kGeneratedCount];

float ShadowStepMs(Timer& timer) {
    timer.Tick();
    return timer.GetDelta() * 1000.0f;
}

}  // namespace

void Shadow::CollectCasters(RenderCorePipeline* pipeline, RenderQueue* queue) {
    casterSource_ = pipeline;
    if (!pipeline)
        return;
    for (Entity* entity : pipeline->GetItems()) {
        if (entity)
            entity->AddShadowCasters(queue, this);
    }
}

void Shadow::SetDirection(const float* direction) {
    std::copy_n(direction, 3, direction_);
}

void Shadow::SetColour(const float* rgba) {
    std::copy_n(rgba, 4, colour_);
}

Shadow* Shadow::GetShadowInstance(std::int32_t kind) {
    if (kind != SHADOW_KIND_MAP && kind != SHADOW_KIND_FAKE)
        return nullptr;
    Shadow*& entry = g_shadowInstances[kind];
    if (!entry) {
        if (kind == SHADOW_KIND_MAP)
            entry = new ProjectiveShadow();
        else
            entry = new FakeShadow();
    }
    return entry;
}

void Shadow::Init() {
    Timer timer;
    timer.Reset();
    for (std::uint32_t kind = 0; kind < kGeneratedCount; ++kind)
        g_generatedMaterials[kind].Assign(GetGeneratedShadowEffect(kind));
    LogTyped(LOG_ENGINE_INIT, "\t\tShadow::Init()：%5.2f ms", ShadowStepMs(timer));
    GetShadowInstance(SHADOW_KIND_MAP);
    GetShadowInstance(SHADOW_KIND_FAKE);
    LogTyped(LOG_ENGINE_INIT, "\t\t创建shadow实例：%5.2f ms", ShadowStepMs(timer));
}

void Shadow::Shutdown() {
    for (Shadow*& entry : g_shadowInstances) {
        delete entry;
        entry = nullptr;
    }
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (std::uint32_t kind : {GSK_SKELETAL_CAST, GSK_STATIC_CAST, GSK_PROJECTIVE_RECEIVER}) {
        Material* material = g_generatedMaterials[kind].Get();
        if (!material)
            continue;
        g_generatedMaterials[kind].Reset();
        if (materials)
            materials->Remove(material);
        ClearGeneratedShadowEffect(kind);
    }
}

Material* Shadow::GetGeneratedMaterial(std::uint32_t kind) {
    return kind < kGeneratedCount ? g_generatedMaterials[kind].Get() : nullptr;
}

}  // namespace Zel
