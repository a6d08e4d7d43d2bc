// The frame pipeline's render system. For now it offers the two matrix builders that view volumes
// use, the render windows and the device it draws with; the device's creation, the render
// operations and the rest join it with the frame pipeline.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Core/Object.h"
#include "Render/DisplaySettings.h"

namespace Zel {

class RenderDevice;
class IZelShaderCompiler;
class RenderTarget;
class RenderWindow;
class TextureBase;

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

    // ---- The device's target slots, as far as render targets need them until the frame
    // pipeline gives the render system its full form.
    // Colour target of slot i (null without a device) / bind a target or none to slot i.
    RenderTarget* GetRenderTarget(std::uint32_t index) const;
    void SetRenderTarget(std::uint32_t index, RenderTarget* target);
    // The depth-stencil surface / bind one or none.
    RenderTarget* GetDepthStencilSurface() const;
    void SetDepthStencilSurface(RenderTarget* target);
    // Clears the bound targets: flags ClearFlag, colour r, g, b, a in 0..1. Nothing without a
    // device.
    void Clear(std::uint32_t flags, const float* rgba, float depth, std::uint32_t stencil);
    // ---- Render images: the targets in slots 0..3 that material stages may sample ----
    static constexpr std::uint32_t kRenderImageCount = 4;
    // The target held in the slot (not owned); null when none or index is not below 4.
    TextureBase* GetRenderImage(std::uint32_t index) const {
        return index < kRenderImageCount ? renderImages_[index] : nullptr;
    }
    void SetRenderImage(std::uint32_t index, TextureBase* image) {
        if (index < kRenderImageCount)
            renderImages_[index] = image;
    }
    // ---- end of render images ----
    // The scene's ambient colour (r, g, b, a) that first lighting passes add.
    const float* GetAmbientColor() const { return ambient_; }
    void SetAmbientColor(float r, float g, float b, float a) {
        ambient_[0] = r;
        ambient_[1] = g;
        ambient_[2] = b;
        ambient_[3] = a;
    }

    // The pipeline slot (0..19) of the group being drawn; the shader constant filler hands it to
    // the program to choose its technique.
    std::uint32_t GetPipelineSlot() const { return pipelineSlot_; }
    void SetPipelineSlot(std::uint32_t slot) { pipelineSlot_ = slot; }

    // ---- Device loss, as far as the scene's device check needs it until the frame pipeline
    // gives the render system its full form.
    // The settings the device is reset with.
    void SetDisplaySettings(const DisplaySettings& settings) { displaySettings_ = settings; }
    const DisplaySettings& GetDisplaySettings() const { return displaySettings_; }
    // 0 usable, 1 lost, 2 lost and ready to reset; 0 without a device.
    std::uint32_t GetDeviceState() const;
    // Between OnLostDevice and OnResetDevice.
    bool IsDeviceLost() const { return deviceLost_; }
    // Marks the device lost and tells the registered resource managers.
    void OnLostDevice();
    // Clears the mark, resets the device with the display settings and, when that worked, tells
    // the resource managers and re-activates the windows.
    void OnResetDevice();

private:
    bool deviceLost_ = false;
    DisplaySettings displaySettings_;
    float ambient_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::uint32_t pipelineSlot_ = 0;
    RenderDevice* device_ = nullptr;
    IZelShaderCompiler* shaderCompiler_ = nullptr;
    std::vector<RenderWindow*> windows_;
    RenderWindow* activeWindow_ = nullptr;
    std::array<TextureBase*, kRenderImageCount> renderImages_{};
};

}  // namespace Zel
