#include "Render/ColorStylizedRenderer.h"

#include <algorithm>
#include <string>

#include "Core/ClassIds.h"
#include "Core/Globals.h"
#include "Entity/Character/Actor.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Material/TextureStage.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Interface/ILight.h"
#include "Interface/ISpecialEffectManager.h"
#include "Render/ClearRecord.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

constexpr const char* kStylizedMaterialNames[ColorStylizedRenderer::kMaterialCount] = {
    "FilterSilhouette", "RenderSilhouette", "DrawColorStylizedQuad",
    "DrawColorStylizedCombinedQuad"};

// The texture slot the second input of a quad is bound to ("g_texDetailDiffuse").
constexpr std::uint32_t kSecondInputSlot = 1;

float ClampToUnit(float value) {
    return value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
}

SceneManager* StylizedScene() {
    return Globals::Find(&Globals::GetSceneManager);
}

ZelI::ISpecialEffectManager* StylizedEffectManager() {
    IRenderImpl* render = Globals::Find(&Globals::GetRenderInterface);
    return render ? render->GetSpecialEffectManager() : nullptr;
}

// The queue of the pipe, then its groups drawn and cleared.
void RunStylizedPipe(SceneManager& scene, bool transparent) {
    scene.ProcessCurrentPipe();
    scene.RenderPushedPipes();
    if (transparent)
        scene.RenderTransparentPipeline();
    scene.CleanPushedObjsAndSubModels();
    scene.ClearTransparentPipeline();
}

}  // namespace

ColorStylizedRenderer::ColorStylizedRenderer() {
    silhouetteParameters_.SetVector4("g_ColorModulate", 0.5f, 0.3f, 0.15f, 1.0f);
    styliseParameters_.SetFloat("g_ColorStylizedFactor", 1.0f);
    styliseParameters_.SetFloat("g_fTransparencyTune", 1.0f);
}

ColorStylizedRenderer::~ColorStylizedRenderer() {
    filterParameters_.Clear();
    silhouetteParameters_.Clear();
    styliseParameters_.Clear();
}

void ColorStylizedRenderer::SetColorStylizedFactor(float factor) {
    styliseParameters_.SetFloat("g_ColorStylizedFactor", ClampToUnit(factor));
}

void ColorStylizedRenderer::SetTransparencyTune(float tune) {
    styliseParameters_.SetFloat("g_fTransparencyTune", ClampToUnit(tune));
}

void ColorStylizedRenderer::SetColorModulate(float r, float g, float b, float a) {
    silhouetteParameters_.SetVector4("g_ColorModulate", r, g, b, a);
}

void ColorStylizedRenderer::SetStyleTexture(ZelI::ITexture* texture) {
    styleTexture_ = UnwrapInterface<TextureBase, ZelI::ITexture>(texture);
}

void ColorStylizedRenderer::Init(RenderSystem* system) {
    system_ = system;
    enabled_ = false;
    RenderDevice* device = system ? system->GetRenderDevice() : nullptr;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!device || !device->IsA8R8G8B8TargetSupported() || !materials)
        return;
    for (const char* name : kStylizedMaterialNames) {
        bool success = false;
        materials->LoadMaterialLibXml(std::string("../Data/Materials/") + name + ".xml", success,
                                      false, nullptr);
    }
    bool complete = true;
    for (std::uint32_t i = 0; i < kMaterialCount; ++i) {
        materials_[i].Assign(materials->FindMaterial(kStylizedMaterialNames[i], false));
        complete = complete && materials_[i];
    }
    if (!complete) {
        for (HeldMaterial& material : materials_) material.Reset();
        return;
    }
    enabled_ = true;
    CreateRenderTargets();
    // Constructed here rather than by the scene: in the scene's light list it would light every
    // other object of the frame too.
    privateLight_ = std::make_unique<Light>(0);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    privateLight_->SetDiffuse(white);
}

void ColorStylizedRenderer::CreateRenderTargets() {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!enabled_ || !system_ || !textures)
        return;
    ReleaseRenderTargets();
    const ViewportRect& viewport = system_->GetViewport();
    const std::uint32_t w = viewport.width, h = viewport.height;
    if (w == 0 || h == 0)
        return;
    for (TargetIndex index : {kTargetB, kTargetC, kTargetD, kTargetA}) {
        SharedPtr<RenderTarget> target(textures->CreateRenderTarget(false));
        if (target && target->Create(int(w), int(h), 1, 2, PF_A8R8G8B8, 0, false))
            targets_[index].Assign(target.Get());
    }
    for (ShaderParamTable* table :
         {&styliseParameters_, &filterParameters_, &silhouetteParameters_})
        table->SetVector2("g_texelSize", 1.0f / float(w), 1.0f / float(h));
}

void ColorStylizedRenderer::ReleaseRenderTargets() {
    for (HeldRenderTarget& slot : targets_) {
        RenderTarget* target = slot.Get();
        if (!target)
            continue;
        target->Unbind();
        slot.Reset();
        target->ReleaseIfUnused();
    }
}

void ColorStylizedRenderer::Release() {
    privateLight_.reset();
    light_ = nullptr;
    ReleaseRenderTargets();
    for (HeldMaterial& material : materials_) material.Reset();
    models_.clear();
    effects_.clear();
    begun_ = false;
    enabled_ = false;
}

void ColorStylizedRenderer::Begin(ZelI::ILight* light) {
    if (begun_)
        return;
    begun_ = true;
    SceneManager* scene = StylizedScene();
    if (enabled_) {
        light_ = light;
        if (Light* given = UnwrapInterface<Light, ZelI::IMoveObject>(light))
            privateLight_->SetDirection(given->GetDirection());
        // A settings change lets the targets go without making them again.
        if (!targets_[kTargetA])
            CreateRenderTargets();
        return;
    }
    if (system_)
        system_->BeginScene();
    if (ZelI::ISpecialEffectManager* effects = StylizedEffectManager())
        effects->Begin();
    if (scene) {
        scene->UseMainCameraView();
        scene->PushNewPipe(0, 0, UnwrapInterface<Light, ZelI::IMoveObject>(light));
    }
}

void ColorStylizedRenderer::AddModel(ZelI::IModel* model) {
    if (!model)
        return;
    if (enabled_) {
        models_.push_back(model);
    } else if (SceneManager* scene = StylizedScene()) {
        scene->PushRenderable(UnwrapInterface<Entity, ZelI::IMoveObject>(model));
    }
}

void ColorStylizedRenderer::AddEffect(ZelI::ISpecialEffect* effect) {
    if (!effect)
        return;
    if (enabled_)
        effects_.push_back(effect);
    else
        effect->Render();
}

void ColorStylizedRenderer::SetPartsFactor(float factor) {
    for (ZelI::IModel* model : models_)
        if (auto* actor = UnwrapInterface<Actor, ZelI::IMoveObject>(model))
            actor->SetPartsFloat(factor);
}

void ColorStylizedRenderer::RenderLists(Light* light, float partFactor) {
    SceneManager* scene = StylizedScene();
    RenderDevice* device = system_->GetRenderDevice();
    if (!scene || !device)
        return;
    scene->UseMainCameraView();
    scene->PushNewPipe(0, 0, light);
    SetPartsFactor(partFactor);
    for (ZelI::IModel* model : models_)
        scene->PushRenderable(UnwrapInterface<Entity, ZelI::IMoveObject>(model));
    RunStylizedPipe(*scene, true);
    // Effects keep the target's alpha as the models left it: the combine reads it as coverage.
    device->SetSeparateAlphaBlend(true);
    ZelI::ISpecialEffectManager* effects = StylizedEffectManager();
    if (effects)
        effects->Begin();
    scene->PushNewPipe(0, 0, light);
    for (ZelI::ISpecialEffect* effect : effects_) effect->Render();
    RunStylizedPipe(*scene, false);
    if (effects)
        effects->End();
    device->SetSeparateAlphaBlend(false);
    SetPartsFactor(0.0f);
}

void ColorStylizedRenderer::BeginTarget(TargetIndex index) {
    targets_[index]->Bind(0);
    system_->BeginScene();
    const float clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    system_->Clear(CLEAR_COLOUR | CLEAR_DEPTH, clear, 1.0f, 0);
}

void ColorStylizedRenderer::EndTarget(TargetIndex index) {
    system_->EndScene();
    targets_[index]->Unbind();
}

void ColorStylizedRenderer::DrawQuad(MaterialIndex index, const ShaderParamTable& parameters,
                                     TextureBase* first, TextureBase* second) {
    Material* material = materials_[index].Get();
    Pass* pass = material ? material->GetPass(0) : nullptr;
    if (!pass)
        return;
    TextureStage* stages = pass->renderState.stages;
    stages[0].SetTexture(first);
    stages[1].SetTexture(second);
    stages[1].stageSlot = kSecondInputSlot;
    const ViewportRect& viewport = system_->GetViewport();
    // Texel centres on pixel centres: the quad moves half a pixel up and left.
    const float rect[4] = {-1.0f - 1.0f / float(viewport.width),
                           -1.0f + 1.0f / float(viewport.height), 2.0f, 2.0f};
    const float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f}, white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    system_->DrawQuad(rect, uv, material, white, &parameters);
    stages[0].SetTexture(nullptr);
    stages[1].SetTexture(nullptr);
}

void ColorStylizedRenderer::End() {
    if (!begun_)
        return;
    begun_ = false;
    SceneManager* scene = StylizedScene();
    if (!enabled_) {
        if (scene)
            RunStylizedPipe(*scene, true);
        if (ZelI::ISpecialEffectManager* effects = StylizedEffectManager())
            effects->End();
        if (system_)
            system_->EndScene();
        return;
    }
    const bool ready = std::all_of(std::begin(targets_), std::end(targets_),
                                   [](const HeldRenderTarget& t) { return bool(t); });
    if (ready) {
        BeginTarget(kTargetA);
        RenderLists(UnwrapInterface<Light, ZelI::IMoveObject>(light_), 0.0f);
        EndTarget(kTargetA);
        BeginTarget(kTargetB);
        RenderLists(privateLight_.get(), kWidenedPartFactor);
        EndTarget(kTargetB);
    }
    models_.clear();
    effects_.clear();
    if (!ready)
        return;
    BeginTarget(kTargetC);
    DrawQuad(kFilter, filterParameters_, targets_[kTargetB].Get());
    EndTarget(kTargetC);
    BeginTarget(kTargetD);
    DrawQuad(kStylise, styliseParameters_, targets_[kTargetB].Get(), styleTexture_);
    DrawQuad(kSilhouette, silhouetteParameters_, targets_[kTargetC].Get());
    EndTarget(kTargetD);
    system_->BeginScene();
    DrawQuad(kCombine, styliseParameters_, targets_[kTargetA].Get(), targets_[kTargetD].Get());
    system_->EndScene();
}

}  // namespace Zel
