#include "Render/DistortionEffect.h"

#include <cmath>
#include <memory>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderWindowD3D9.h"

namespace Zel {

namespace {

// Made on first use and deleted by Destroy (the library clean-up), while its material manager
// is still there.
DistortionEffect*& InstanceSlot() {
    static DistortionEffect* instance = nullptr;
    return instance;
}

RenderSystem* CurrentSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

}  // namespace

DistortionEffect::DistortionEffect() {
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager)) {
        bool success = false;
        materials->LoadMaterialLibXml("../Data/Materials/DistortionEffect.xml", success, false,
                                      nullptr);
        material_.Assign(materials->FindMaterial("DistortionEffect", false));
    }
}

DistortionEffect& DistortionEffect::Instance() {
    DistortionEffect*& instance = InstanceSlot();
    if (!instance)
        instance = new DistortionEffect;
    return *instance;
}

void DistortionEffect::Destroy() {
    delete InstanceSlot();
    InstanceSlot() = nullptr;
}

bool DistortionEffect::IsAvailable() const {
    RenderSystem* system = CurrentSystem();
    RenderDevice* device = system ? system->GetRenderDevice() : nullptr;
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return device && device->IsA8R8G8B8TargetSupported() && HasShaderModel2(caps);
}

bool DistortionEffect::Apply(std::uint32_t elapsedMs, float strength) {
    strength_ = strength;
    RenderSystem* system = CurrentSystem();
    auto* window =
        system ? dynamic_cast<RenderWindowD3D9*>(system->GetActiveRenderWindow()) : nullptr;
    if (!IsAvailable() || !window || !material_)
        return false;
    GpuProgram* program = material_->GetProgram();
    if (program)
        program->SetValueByName("g_disOfSurface", &strength_, sizeof strength_);
    phase_ += float(elapsedMs) / 1000.0f;
    if (!(phase_ <= period_))
        phase_ = std::fmod(phase_, period_);
    const float ratio = phase_ / period_;
    uvVelocity_[0] = ratio * uSpeed_;
    uvVelocity_[1] = ratio * vSpeed_;
    if (program)
        program->SetValueByName("g_uvVelocity", uvVelocity_, sizeof uvVelocity_);
    SharedPtr<RenderTarget> first, second;
    return window->SwapPostProcessTargets(&first, &second, material_.Get());
}

}  // namespace Zel
