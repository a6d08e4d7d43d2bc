// The maker of every device object: the render device and the buffers and declarations made on
// it. One implementation per graphics API; Globals holds the Direct3D 9 one. Each New* answers a
// new object the caller owns (null when memory runs out), its arguments passed on unchanged.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zel {

class CResourceManager;
class GpuProgram;
class HardwareBufferManager;
class HardwareIndexBuffer;
class HardwareVertexBuffer;
class RenderDevice;
class RenderSystem;
class RenderTarget;
class RenderWindow;
class VertexBufferDeclaration;

class GraphicsAPIManager {
public:
    GraphicsAPIManager() = default;
    virtual ~GraphicsAPIManager() = default;
    GraphicsAPIManager(const GraphicsAPIManager&) = delete;
    GraphicsAPIManager& operator=(const GraphicsAPIManager&) = delete;

    // A device object, not yet initialised (RenderDevice::Init). Freed through
    // RenderDevice::Destroy.
    virtual RenderDevice* NewRenderDevice() = 0;
    virtual VertexBufferDeclaration* NewVertexDeclaration(HardwareBufferManager* manager,
                                                          RenderDevice* device) = 0;
    virtual HardwareIndexBuffer* NewIndexBuffer(HardwareBufferManager* manager,
                                                std::uint32_t indexCount, std::uint32_t indexKind,
                                                std::uint32_t usage, bool systemMemory,
                                                bool useShadow, std::uint32_t poolPreference,
                                                RenderDevice* device) = 0;
    virtual HardwareVertexBuffer* NewVertexBuffer(HardwareBufferManager* manager,
                                                  std::uint32_t sizeInBytes, std::uint32_t usage,
                                                  bool systemMemory, bool useShadow,
                                                  std::uint32_t poolPreference,
                                                  RenderDevice* device) = 0;

    // A GPU program (an effect) named by its effect file, made on the device.
    virtual GpuProgram* NewGpuProgram(CResourceManager* manager, std::string_view name,
                                      std::string_view group, std::uint32_t handle,
                                      std::uint32_t poolPreference, RenderDevice* device) = 0;
    // A render target without device objects (pool 0): a colour target, or a depth-stencil
    // surface when depthStencil is set. Owned by the caller (the texture manager).
    virtual RenderTarget* NewRenderTarget(RenderDevice* device, bool depthStencil) = 0;
    // A render window of the render system (not owned) on the device; it ends through
    // RenderWindow::Destroy.
    virtual RenderWindow* NewRenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode,
                                          RenderDevice* device) = 0;
};

}  // namespace Zel
