// The Direct3D 9 maker of device objects: the render device, vertex declarations, hardware
// buffers, render targets and render windows. Globals builds the one instance; it outlives every
// manager that owns device objects. Each New* answers a new object the caller owns (null when
// memory runs out), its arguments passed on unchanged. Host thread.
#pragma once

#include "Platform/D3D9/D3D9.h"
#include "Render/GraphicsAPIManager.h"

namespace Zel {

class TextureBase;

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
    // A RenderEffectD3D; null when the device is not a Direct3D 9 render device.
    GpuProgram* NewGpuProgram(CResourceManager* manager, std::string_view name,
                              std::string_view group, std::uint32_t handle,
                              std::uint32_t poolPreference, RenderDevice* device) override;

    // A TextureCubeMapD3D9 for kind 4, else a TextureD3D9 of that kind, on the device (not
    // owned) with the pool code.
    TextureBase* NewTexture(std::uint32_t pool, IDirect3DDevice9* device, int kind);
    // A RenderTargetD3D9.
    RenderTarget* NewRenderTarget(RenderDevice* device, bool depthStencil) override;
    // A RenderWindowD3D9 with its two post-process targets (made through the texture manager).
    RenderWindow* NewRenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode,
                                  RenderDevice* device) override;
};

}  // namespace Zel
