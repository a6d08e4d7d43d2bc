#include "Render/PostEffects.h"

#include <cmath>
#include <cstring>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Core/SharedPtr.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Material/TextureStage.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/DistortionEffect.h"
#include "Render/RenderCodes.h"
#include "Render/RenderDevice.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"

namespace Zel {

namespace {

constexpr const char* kKernelNames[PostEffects::kKernelCount] = {"3x3", "5x5", "7x7", "13x13"};
// The effects' texel-width parameter number.
constexpr std::uint32_t kTexelWidthParameter = 8;

// A new target of the size and format held by holder; nothing held when the device refuses it.
void MakeTarget(HeldRenderTarget& holder, TextureManager& textures, std::uint32_t size, int format,
                bool depth) {
    RenderTarget* target = textures.CreateRenderTarget(depth);
    if (target && !target->Create(int(size), int(size), 1, 2, format, 0, false))
        target = nullptr;
    holder.Assign(target);
}

}  // namespace

PostEffects& PostEffects::Instance() {
    // The host interface releases what it holds before the managers go, so at exit it holds
    // nothing.
    static PostEffects instance;
    return instance;
}

RenderSystem* PostEffects::System() const {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

std::uint32_t PostEffects::MotionAlphaReference(float factor) {
    if (!(factor < 1.0f))
        return 255;
    const float reference = std::trunc(1.0f / (1.0f - factor));
    return reference >= 255.0f ? 255u : std::uint32_t(reference);
}

void PostEffects::Init() {
    RenderSystem* system = System();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!system || !textures || !materials)
        return;
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    const std::uint64_t memory = caps ? caps->totalVideoMemoryBytes : 0;
    motionSize_ = memory < 32ull * 1024 * 1024 ? 128 : memory < 64ull * 1024 * 1024 ? 256 : 512;
    for (int i = 0; i < 2; ++i)
        if (!motionTargets_[i]) {
            MakeTarget(motionTargets_[i], *textures, motionSize_, PF_A8R8G8B8, false);
            motionFresh_[i] = true;
        }
    if (!motionDepth_) {
        motionDepth_.Assign(
            textures->FindFreeRenderTarget(int(motionSize_), int(motionSize_), 1, PF_D24S8, 1));
        if (!motionDepth_)
            MakeTarget(motionDepth_, *textures, motionSize_, PF_D24S8, true);
    }
    for (HeldRenderTarget& target : postTargets_)
        if (!target)
            MakeTarget(target, *textures, kPostTargetSize, PF_A8R8G8B8, false);
    if (!quad_)
        if (Material* quad = materials->FindMaterial("DrawQuad", false))
            quad_.AdoptClone(quad->Clone());
    for (std::uint32_t k = 0; k < kKernelCount; ++k)
        for (int vertical = 0; vertical < 2; ++vertical) {
            const std::string name =
                std::string("Gaussian_") + kKernelNames[k] + (vertical ? "_V" : "_H");
            bool success = false;
            materials->LoadMaterialLibXml("../Data/Materials/" + name + ".xml", success, false,
                                          nullptr);
            if (!gaussian_[k][vertical])
                gaussian_[k][vertical].Assign(materials->FindMaterial(name, false));
        }
}

void PostEffects::Release() {
    for (HeldRenderTarget* target : {&motionDepth_, &postTargets_[0], &postTargets_[1],
                                     &motionTargets_[0], &motionTargets_[1]}) {
        if (*target)
            (*target)->Unbind();
        target->Reset();
    }
    quad_.Reset();
    for (auto& pair : gaussian_)
        for (HeldMaterial& material : pair) material.Reset();
    current_ = 0;
    started_ = false;
    motionReady_ = false;
    motionFresh_[0] = motionFresh_[1] = true;
    lastBlurPairs_ = 0;
    DistortionEffect::Destroy();
}

bool PostEffects::DrawWith(Material* material, RenderTarget* source, std::uint32_t width,
                           std::uint32_t height, const float* colour, const float* uvOffset) {
    RenderSystem* system = System();
    Pass* pass = material ? material->GetPass(0) : nullptr;
    if (!system || !pass)
        return false;
    TextureStage& stage = pass->renderState.stages[0];
    const SharedPtr<TextureBase> previous(stage.GetTexture());
    stage.SetTexture(source);
    const std::uint32_t slot = system->GetPipelineSlot();
    system->SetPipelineSlot(0);
    const bool openScene = !system->IsInScene();
    if (openScene)
        system->BeginScene();
    // Texel centres on pixel centres: the quad moves half a pixel up and left.
    const float rect[4] = {-1.0f - 1.0f / float(width), -1.0f + 1.0f / float(height), 2.0f, 2.0f};
    const float uv[4] = {uvOffset ? uvOffset[0] : 0.0f, uvOffset ? uvOffset[1] : 0.0f, 1.0f, 1.0f};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    system->DrawQuad(rect, uv, material, colour ? colour : white);
    if (openScene)
        system->EndScene();
    system->SetPipelineSlot(slot);
    stage.SetTexture(previous.Get());
    return true;
}

void PostEffects::Blur(std::uint32_t kernel, std::uint32_t passes) {
    lastBlurPairs_ = 0;
    RenderSystem* system = System();
    RenderDevice* device = system ? system->GetRenderDevice() : nullptr;
    if (!device || device->GetFixedFunctionMode() != MODE_SHADER)
        return;
    Material* horizontal = GetKernelMaterial(kernel, false);
    Material* vertical = GetKernelMaterial(kernel, true);
    RenderWindow* window = system->GetActiveRenderWindow();
    if (!postTargets_[0] || !postTargets_[1] || !quad_ || !horizontal || !vertical || !window)
        return;
    const ViewportRect saved = system->GetViewport();
    // The image is what this frame drew into: a host target bound at slot 0, else the back
    // buffer.
    window->CopyDrawnTargetTo(system->GetRenderTarget(0), postTargets_[0].Get());
    // The post targets are larger than the window's depth surface; the blur does not test depth.
    RenderTarget* depth = system->GetDepthStencilSurface();
    system->SetDepthStencilSurface(nullptr);
    for (std::uint32_t pair = 0; passes > 1 && pair < passes / 2; ++pair)
        if (BlurPair(kernel, postTargets_[0].Get(), postTargets_[1].Get(), kPostTargetSize))
            ++lastBlurPairs_;
    system->SetDepthStencilSurface(depth);
    system->SetViewport(saved.x, saved.y, saved.width, saved.height);
    DrawWith(quad_.Get(), postTargets_[0].Get(), saved.width, saved.height);
}

bool PostEffects::BlurPair(std::uint32_t kernel, RenderTarget* image, RenderTarget* scratch,
                           std::uint32_t size) {
    RenderSystem* system = System();
    Material* horizontal = GetKernelMaterial(kernel, false);
    Material* vertical = GetKernelMaterial(kernel, true);
    if (!system || !image || !scratch || !horizontal || !vertical || size == 0)
        return false;
    const struct {
        Material* material;
        RenderTarget* from;
        RenderTarget* to;
    } steps[2] = {{horizontal, image, scratch}, {vertical, scratch, image}};
    for (const auto& step : steps) {
        step.to->Bind(0);
        system->SetViewport(0, 0, size, size);
        if (GpuProgram* program = step.material->GetProgram())
            program->SetFloat(kTexelWidthParameter, 1.0f / float(size));
        DrawWith(step.material, step.from, size, size);
        step.to->Unbind();
    }
    return true;
}

void PostEffects::BeginMotionBlurFrame() {
    RenderSystem* system = System();
    started_ = true;
    RenderTarget* target = motionTargets_[current_].Get();
    if (!system || !target || !motionDepth_)
        return;
    const ViewportRect& viewport = system->GetViewport();
    const std::uint32_t saved[4] = {viewport.x, viewport.y, viewport.width, viewport.height};
    std::memcpy(savedViewport_, saved, sizeof saved);
    target->Bind(0);
    motionDepth_->Bind(0);
    system->SetViewport(0, 0, motionSize_, motionSize_);
    const float clearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    // Only depth: the colour holds the seed RenderMotionBlur left, except in a target never
    // drawn into.
    system->Clear(motionFresh_[current_] ? 3u : 2u, clearColour, 1.0f, 0);
    motionFresh_[current_] = false;
    motionReady_ = true;
}

void PostEffects::EndMotionBlurFrame() {
    RenderSystem* system = System();
    RenderTarget* target = motionTargets_[current_].Get();
    if (!system || !motionReady_ || !target || !quad_)
        return;
    target->Unbind();
    motionDepth_->Unbind();
    system->SetViewport(savedViewport_[0], savedViewport_[1], savedViewport_[2], savedViewport_[3]);
    // Pixels the trail has faded to (almost) nothing are dropped; the rest blend over the frame.
    RenderState& state = quad_->GetPass(0)->renderState;
    state.flags |= RSF_ALPHA_TEST | RSF_ALPHA_BLEND;
    state.srcBlend = BLEND_SRC_ALPHA;
    state.destBlend = BLEND_INV_SRC_ALPHA;
    state.alphaFunc = CMP_GREATER;
    state.alphaRef = MotionAlphaReference(motionFactor_);
    DrawWith(quad_.Get(), target, savedViewport_[2], savedViewport_[3]);
}

void PostEffects::RenderMotionBlur(float factor) {
    motionFactor_ = factor;
    RenderSystem* system = System();
    if (!system || !started_ || !quad_ || !motionDepth_)
        return;
    RenderTarget* source = motionTargets_[current_].Get();
    current_ = 1 - current_;
    RenderTarget* target = motionTargets_[current_].Get();
    if (!source || !target)
        return;
    const ViewportRect saved = system->GetViewport();
    motionDepth_->Bind(0);
    target->ClearColour(0.0f, 0.0f, 0.0f, 0.0f);
    motionFresh_[current_] = false;
    target->Bind(0);
    system->SetViewport(0, 0, motionSize_, motionSize_);
    RenderState& state = quad_->GetPass(0)->renderState;
    state.flags &= ~std::uint32_t(RSF_ALPHA_TEST | RSF_ALPHA_BLEND);
    // The previous frame at opacity factor, half a texel over so that texels meet pixels.
    const float colour[4] = {1.0f, 1.0f, 1.0f, factor};
    const float offset[2] = {0.5f / float(motionSize_), -0.5f / float(motionSize_)};
    DrawWith(quad_.Get(), source, motionSize_, motionSize_, colour, offset);
    target->Unbind();
    motionDepth_->Unbind();
    system->SetViewport(saved.x, saved.y, saved.width, saved.height);
}

void PostEffects::ResetMotionBlur() {
    if (!motionReady_)
        return;
    for (HeldRenderTarget& target : motionTargets_)
        if (target)
            target->ClearColour(0.0f, 0.0f, 0.0f, 0.0f);
}

}  // namespace Zel
