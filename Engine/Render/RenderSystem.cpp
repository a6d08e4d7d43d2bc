#include "Render/RenderSystem.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Entity/GpuProgramManager.h"
#include "Render/HardwareBufferManager.h"
#include "Render/MatrixBuilders.h"

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

}  // namespace Zel
