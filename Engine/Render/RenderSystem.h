// The frame pipeline's render system. For now it offers the two matrix builders that view volumes
// use, the render windows and the device it draws with; the device's creation, the render
// operations and the rest join it with the frame pipeline.
#pragma once

#include <vector>

#include "Core/Object.h"

namespace Zel {

class RenderDevice;
class IZelShaderCompiler;
class RenderWindow;

class RenderSystem : public Object {
public:
    ZEL_CLASS_ID(RenderSystem)

    RenderSystem() = default;

    // Right-handed view matrix from eye towards target with the given up (3 floats each), in the
    // engine's column-vector layout (16 floats). No failure.
    void MakeLookAtMatrix(const float* eye, const float* target, const float* up, float* out) const;

    // Right-handed perspective projection: vertical field of view in degrees, width / height,
    // near and far distances; view-space depth -near..-far maps to 0..1. Engine layout. No failure.
    void MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip, float farClip,
                               float* out) const;

    // The windows the system draws into (not owned; a window removes itself when destroyed) and
    // the active one (null when none or after it was removed).
    void AddRenderWindow(RenderWindow* window);
    void RemoveRenderWindow(RenderWindow* window);
    void SetActiveRenderWindow(RenderWindow* window) { activeWindow_ = window; }
    RenderWindow* GetActiveRenderWindow() const { return activeWindow_; }
    const std::vector<RenderWindow*>& GetRenderWindows() const { return windows_; }

    // The device the system draws with (not owned while the render system does not make its own
    // device). Like the system's own initialisation, gives it to the managers that create device
    // objects: for now the hardware buffer and GPU program managers Globals holds, when there are
    // any. Null detaches.
    void SetRenderDevice(RenderDevice* device);
    RenderDevice* GetRenderDevice() const { return device_; }

    // The shader compiler materials ask for their effect files (not owned here yet; null when
    // none). Set answers the previous one, so a caller can swap one in and back.
    IZelShaderCompiler* SetShaderCompiler(IZelShaderCompiler* compiler) {
        IZelShaderCompiler* previous = shaderCompiler_;
        shaderCompiler_ = compiler;
        return previous;
    }
    IZelShaderCompiler* GetShaderCompiler() const { return shaderCompiler_; }

    // The scene's ambient colour (r, g, b, a) that first lighting passes add.
    const float* GetAmbientColor() const { return ambient_; }
    void SetAmbientColor(float r, float g, float b, float a) {
        ambient_[0] = r;
        ambient_[1] = g;
        ambient_[2] = b;
        ambient_[3] = a;
    }

private:
    float ambient_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    RenderDevice* device_ = nullptr;
    IZelShaderCompiler* shaderCompiler_ = nullptr;
    std::vector<RenderWindow*> windows_;
    RenderWindow* activeWindow_ = nullptr;
};

}  // namespace Zel
