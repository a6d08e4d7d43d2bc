#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

#include <new>

#include "Render/d3d9/HardwareIndexBufferD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/d3d9/RenderEffectD3D.h"
#include "Render/d3d9/TextureCubeMapD3D9.h"
#include "Render/d3d9/TextureD3D9.h"
#include "Render/d3d9/RenderTargetD3D9.h"
#include "Render/d3d9/RenderWindowD3D9.h"
#include "Render/d3d9/VertexBufferDeclarationD3D9.h"

namespace Zel {

RenderDevice* GraphicsAPIManagerD3D9::NewRenderDevice() {
    return new (std::nothrow) RenderDeviceD3D9();
}

VertexBufferDeclaration* GraphicsAPIManagerD3D9::NewVertexDeclaration(
    HardwareBufferManager* manager, RenderDevice* device) {
    return new (std::nothrow) VertexBufferDeclarationD3D9(manager, device);
}

HardwareIndexBuffer* GraphicsAPIManagerD3D9::NewIndexBuffer(
    HardwareBufferManager* manager, std::uint32_t indexCount, std::uint32_t indexKind,
    std::uint32_t usage, bool systemMemory, bool useShadow, std::uint32_t poolPreference,
    RenderDevice* device) {
    return new (std::nothrow) HardwareIndexBufferD3D9(
        manager, indexCount, indexKind, usage, systemMemory, useShadow, poolPreference, device);
}

HardwareVertexBuffer* GraphicsAPIManagerD3D9::NewVertexBuffer(
    HardwareBufferManager* manager, std::uint32_t sizeInBytes, std::uint32_t usage,
    bool systemMemory, bool useShadow, std::uint32_t poolPreference, RenderDevice* device) {
    return new (std::nothrow) HardwareVertexBufferD3D9(manager, sizeInBytes, usage, systemMemory,
                                                       useShadow, poolPreference, device);
}

GpuProgram* GraphicsAPIManagerD3D9::NewGpuProgram(CResourceManager* manager, std::string_view name,
                                                  std::string_view group, std::uint32_t handle,
                                                  std::uint32_t poolPreference,
                                                  RenderDevice* device) {
    auto* d3dDevice = dynamic_cast<RenderDeviceD3D9*>(device);
    if (!d3dDevice)
        return nullptr;
    return new (std::nothrow) RenderEffectD3D(d3dDevice, manager, name, group, handle, poolPreference);
}

TextureBase* GraphicsAPIManagerD3D9::NewTexture(std::uint32_t pool, IDirect3DDevice9* device,
                                                int kind) {
    if (kind == TextureBase::KIND_CUBE)
        return new (std::nothrow) TextureCubeMapD3D9(pool, device);
    return new (std::nothrow) TextureD3D9(pool, device, kind);
}

RenderTarget* GraphicsAPIManagerD3D9::NewRenderTarget(RenderDevice* device, bool depthStencil) {
    return new (std::nothrow) RenderTargetD3D9(device, depthStencil ? 1u : 0u);
}

RenderWindow* GraphicsAPIManagerD3D9::NewRenderWindow(RenderSystem* renderSystem,
                                                      std::uint32_t poolCode,
                                                      RenderDevice* device) {
    return new (std::nothrow) RenderWindowD3D9(renderSystem, poolCode, device);
}

}  // namespace Zel
