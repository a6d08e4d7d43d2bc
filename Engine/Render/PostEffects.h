// Full-screen effects the host switches on: a separable Gaussian screen blur and a motion blur
// that keeps a fading trail of earlier frames. They share process-wide render targets (two
// motion targets and their depth surface, two 256 × 256 post targets) and materials (a clone of
// "DrawQuad" and the eight Gaussian materials from "../Data/Materials/"), made once when the
// render window is made and dropped at clean-up. Every step checks its targets and materials and
// does nothing when one is missing. Host thread.
#pragma once

#include <cstdint>

#include "Core/SharedPtr.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"
#include "Entity/Texture/HeldRenderTarget.h"
#include "Entity/Texture/RenderTarget.h"

namespace Zel {

class RenderSystem;

class PostEffects {
public:
    static constexpr std::uint32_t kPostTargetSize = 256;
    static constexpr std::uint32_t kKernelCount = 4;  // 3×3, 5×5, 7×7, 13×13

    static PostEffects& Instance();

    // Makes the targets (motion size from the device's video memory: 128 below 32 MB, 256 below
    // 64 MB, else 512), clones the quad material and loads the Gaussian libraries.
    void Init();
    // Drops every target and material and the distortion; the effects do nothing until the next
    // Init.
    void Release();

    // Blurs the active window's frame: copies it into a post target, runs passes / 2
    // horizontal-vertical pairs of the kernel (0..3) there, and draws the result over the frame.
    // Nothing in fixed-function mode or for another kernel.
    void Blur(std::uint32_t kernel, std::uint32_t passes);

    // One horizontal-vertical pair of the kernel over a square image of side size: image to
    // scratch across, scratch back to image down. The caller binds any depth target; the
    // viewport is left on the image. False (nothing drawn) without the kernel's materials.
    bool BlurPair(std::uint32_t kernel, RenderTarget* image, RenderTarget* scratch,
                  std::uint32_t size);

    // The motion-blur cycle of a frame: Render(factor) seeds the other motion target with the
    // current one at opacity factor and makes it current; BeginFrame binds it (keeping the seed)
    // so the scene is drawn into it; EndFrame composites it onto the screen.
    void BeginMotionBlurFrame();
    void EndMotionBlurFrame();
    void RenderMotionBlur(float factor);
    // Clears both motion targets to transparent black.
    void ResetMotionBlur();
    // The composite's alpha reference for the factor: trunc(1 / (1 − factor)) up to 255, and
    // 255 from factor 1 on (where the division would be by zero).
    static std::uint32_t MotionAlphaReference(float factor);

    RenderTarget* GetPostTarget(int i) const { return postTargets_[i].Get(); }
    RenderTarget* GetMotionTarget(int i) const { return motionTargets_[i].Get(); }
    RenderTarget* GetCurrentMotionTarget() const { return motionTargets_[current_].Get(); }
    std::uint32_t GetMotionTargetSize() const { return motionSize_; }
    Material* GetKernelMaterial(std::uint32_t kernel, bool vertical) const {
        return kernel < kKernelCount ? gaussian_[kernel][vertical ? 1 : 0].Get() : nullptr;
    }
    Material* GetQuadMaterial() const { return quad_.Get(); }
    // Horizontal-vertical pairs the last Blur ran.
    std::uint32_t GetLastBlurPairs() const { return lastBlurPairs_; }

private:
    PostEffects() = default;
    RenderSystem* System() const;
    // Draws pass 0 of the material over the bound target (width × height) sampling the texture.
    bool DrawWith(Material* material, RenderTarget* source, std::uint32_t width,
                  std::uint32_t height, const float* colour = nullptr,
                  const float* uvOffset = nullptr);

    HeldRenderTarget motionTargets_[2];
    HeldRenderTarget motionDepth_;
    HeldRenderTarget postTargets_[2];
    HeldMaterial quad_;  // a clone of "DrawQuad"
    HeldMaterial gaussian_[kKernelCount][2];
    int current_ = 0;
    bool started_ = false;  // a current motion target was chosen
    // The motion target still holds whatever its memory held: its first use clears its colour.
    bool motionFresh_[2] = {true, true};
    std::uint32_t motionSize_ = 0;
    float motionFactor_ = 0.0f;
    bool motionReady_ = false;
    std::uint32_t savedViewport_[4] = {};
    std::uint32_t lastBlurPairs_ = 0;
};

}  // namespace Zel
