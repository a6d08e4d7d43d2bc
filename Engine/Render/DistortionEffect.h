// A time-animated screen distortion drawn through the active window's post-process swap with the
// material "DistortionEffect" (from "../Data/Materials/DistortionEffect.xml"). One instance per
// process, made by the first question or draw. Host thread.
#pragma once

#include <cstdint>

#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"

namespace Zel {

class DistortionEffect {
public:
    static DistortionEffect& Instance();
    // Drops the instance (and its material); the next use makes it again.
    static void Destroy();

    // A device that can draw it: a render system with a device that makes A8R8G8B8 targets and
    // runs vertex and pixel shaders 2.0 (its program needs both).
    bool IsAvailable() const;
    // Advances the animation by elapsedMs, sets the strength and draws the distortion through the
    // window's post-process swap. False when nothing was drawn.
    bool Apply(std::uint32_t elapsedMs, float strength);

    float GetPhase() const { return phase_; }
    const float* GetUvVelocity() const { return uvVelocity_; }
    Material* GetMaterial() const { return material_.Get(); }

private:
    DistortionEffect();

    float period_ = 10.0f;  // seconds after which the phase wraps
    float phase_ = 0.0f;
    float strength_ = 0.01f;
    float uSpeed_ = 1.0f;
    float vSpeed_ = 0.0f;
    float uvVelocity_[2] = {0.0f, 0.0f};
    HeldMaterial material_;
};

}  // namespace Zel
