// The Direct3D 9 maker of device objects: the render device, vertex declarations, hardware
// buffers, render targets and render windows. Globals builds the one instance; it outlives every
// manager that owns device objects. Each New* answers a new object the caller owns (null when
// memory runs out), its arguments passed on unchanged. Host thread.
#pragma once

#include "Render/GraphicsAPIManager.h"

namespace Zel {

class GraphicsAPIManagerD3D9 final : public GraphicsAPIManager {
public:
    GraphicsAPIManagerD3D9() = default;
    ~GraphicsAPIManagerD3D9() override = default;

    // A RenderDeviceD3D9 ("d3d9.dll" loaded, no device yet).
    RenderDevice* NewRenderDevice() override;
    VertexBufferDeclaration* NewVertexDeclaration(HardwareBufferManager* manager,
                                                  RenderDevice* device) override;
    HardwareIndexBuffer* NewIndexBuffer(HardwareBufferManager* manager, std::uint32_t indexCount,
                                        std::uint32_t indexKind, std::uint32_t usage,
                                        bool systemMemory, bool useShadow,
                                        std::uint32_t poolPreference,
                                        RenderDevice* device) override;
    HardwareVertexBuffer* NewVertexBuffer(HardwareBufferManager* manager, std::uint32_t sizeInBytes,
                                          std::uint32_t usage, bool systemMemory, bool useShadow,
                                          std::uint32_t poolPreference,
                                          RenderDevice* device) override;
    // A RenderTargetD3D9.
    RenderTarget* NewRenderTarget(RenderDevice* device, bool depthStencil) override;
    // A RenderWindowD3D9 with its two post-process targets (made through the texture manager).
    RenderWindow* NewRenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode,
                                  RenderDevice* device) override;
};

}  // namespace Zel
