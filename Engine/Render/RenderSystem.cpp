#include "Render/RenderSystem.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Render/ClearRecord.h"
#include "Render/HardwareBufferManager.h"
#include "Render/MatrixBuilders.h"
#include "Core/LogDispatch.h"
#include "Render/RenderDevice.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/RenderWindow.h"

namespace Zel {

void RenderSystem::MakeLookAtMatrix(const float* eye, const float* target, const float* up,
                                    float* out) const {
    BuildLookAtRH(eye, target, up, out);
}

void RenderSystem::MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip,
                                         float farClip, float* out) const {
    BuildPerspectiveFovRH(fovDegrees, aspect, nearClip, farClip, out);
}

void RenderSystem::SetRenderDevice(RenderDevice* device) {
    device_ = device;
    if (HardwareBufferManager* buffers = Globals::Find(&Globals::GetHardwareBufferManager))
        buffers->SetRenderDevice(device);
    if (GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager))
        programs->SetDeviceBinding(device);
}

void RenderSystem::AddRenderWindow(RenderWindow* window) {
    if (window && std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        windows_.push_back(window);
}

void RenderSystem::RemoveRenderWindow(RenderWindow* window) {
    std::erase(windows_, window);
    if (activeWindow_ == window)
        activeWindow_ = nullptr;
}

// ---- The device's target slots (render-target block).

RenderTarget* RenderSystem::GetRenderTarget(std::uint32_t index) const {
    return device_ ? device_->GetRenderTarget(index) : nullptr;
}

void RenderSystem::SetRenderTarget(std::uint32_t index, RenderTarget* target) {
    if (device_)
        device_->SetRenderTarget(index, target);
}

RenderTarget* RenderSystem::GetDepthStencilSurface() const {
    return device_ ? device_->GetDepthStencilSurface() : nullptr;
}

void RenderSystem::SetDepthStencilSurface(RenderTarget* target) {
    if (device_)
        device_->SetDepthStencilSurface(target);
}

void RenderSystem::Clear(std::uint32_t flags, const float* rgba, float depth,
                         std::uint32_t stencil) {
    if (!device_)
        return;
    ClearRecord record;
    record.flags = flags;
    for (int i = 0; i < 4; ++i) record.colour[i] = rgba[i];
    record.depth = depth;
    record.stencil = stencil;
    device_->Clear(record);
}

}  // namespace Zel

namespace Zel {

std::uint32_t RenderSystem::GetDeviceState() const {
    return device_ ? device_->GetDeviceState() : 0;
}

void RenderSystem::OnLostDevice() {
    deviceLost_ = true;
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->NotifyDeviceLost();
}

void RenderSystem::OnResetDevice() {
    deviceLost_ = false;
    if (device_) {
        LogTyped(LOG_ENGINE_INIT, "D3D Device Reset Begin");
        const bool reset = device_->ResetDevice(displaySettings_);
        LogTyped(LOG_ENGINE_INIT, "D3D Device Reset End");
        if (!reset)
            return;
    }
    if (RenderResourceRegistry* registry = Globals::Find(&Globals::GetRenderResourceRegistry))
        registry->NotifyDeviceReset();
    for (RenderWindow* window : windows_)
        if (window)
            window->Activate();
}

}  // namespace Zel
