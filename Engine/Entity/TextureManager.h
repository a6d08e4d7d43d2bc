// The manager of every texture and render target of the process. As the owner of device objects it
// is registered with the render-resource registry of Globals from its construction to its
// destruction.
//
// For now it offers what the device and the image resource need: the video-memory budget, textures
// made by kind on an attached Direct3D 9 device, their removal, and the default texture. Render
// targets, device loss, the pool, the listeners and the reports come with the texture classes
// proper.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/ClassIds.h"
#include "Core/locksection.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class RenderDevice;
class RenderTarget;
class TextureBase;

class TextureManager : public RenderResourceManager {
public:
    // Built by Globals::Init, host thread.
    TextureManager();
    // Drops the default texture's reference and deletes every texture, whatever its count.
    ~TextureManager() override;
    // A registered class outside the Object tree.
    virtual std::uint32_t GetClassId() const { return ClassId::TextureManager; }
    virtual const char* GetClassName() const {
        return GetRegisteredClassName(ClassId::TextureManager);
    }

    // The video memory textures may take, in bytes; set by the device's capability report. No
    // check.
    void SetVideoMemoryBudget(std::uint32_t bytes) { videoMemoryBudget_ = bytes; }
    std::uint32_t GetVideoMemoryBudget() const { return videoMemoryBudget_; }
    // Reads the texture-pool settings ("LodConfig.xml"); the capability report calls it once the
    // budget and the texture scale level are set. The pool comes with the texture code: for now
    // this only counts the calls.
    void LoadTexturePoolConfig() { ++poolConfigLoads_; }
    std::uint32_t GetTexturePoolConfigLoads() const { return poolConfigLoads_; }

    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}

    // The device textures are made on (not owned); null until one is attached, and nothing can
    // be made without it.
    void SetDevice(IDirect3DDevice9* device) { device_ = device; }
    IDirect3DDevice9* GetDevice() const { return device_; }

    // A new empty texture of the pool code and kind, held by the manager (count 1); null without
    // a device. Under the list lock; any loading thread.
    TextureBase* CreateTexture(std::uint32_t pool, int kind);
    // Deletes a texture that only the manager holds and answers true. The default texture is
    // never removed (true, nothing done); a texture somebody else holds is refused with the error
    // report "Can't forceremove this resource!" (false); so is one the manager does not hold.
    bool ForceRemove(TextureBase* texture);
    // The texture of the image manager's default image, made on first use; the manager keeps one
    // reference. Null when it cannot be made.
    TextureBase* GetDefaultTexture();
    // Textures in the manager's list.
    std::size_t GetTextureCount();

    // ---- Render targets and the video-memory budget, as far as render targets need them until
    // the texture code gives them their full form.
    // The device objects of render targets are made on renderDevice (not owned; null until
    // attached); device: as SetDevice.
    void SetDevice(IDirect3DDevice9* device, RenderDevice* renderDevice) {
        device_ = device;
        renderDevice_ = renderDevice;
    }
    RenderDevice* GetRenderDevice() const { return renderDevice_; }
    // A new render target (colour, or a depth-stencil surface when depthStencil is set) from the
    // device factory, entered into both lists (count 1, the manager's); null without a render
    // device.
    RenderTarget* CreateRenderTarget(bool depthStencil);
    // Enters a render target made by the device factory into both lists. Null for null.
    RenderTarget* AddRenderTarget(RenderTarget* target);
    // The first render target, in creation order, whose width, height, depth, format and type
    // equal the request and whose in-use bit (flag bit 0) is clear; null when none.
    RenderTarget* FindFreeRenderTarget(int width, int height, int depth, int format, int type);
    // A plain system-memory texture of one level made on the device: the staging texture render
    // targets are read through. Null when it cannot be made.
    TextureBase* CreateStagingTexture(int width, int height, int format = 2);
    // Whether bytes fit: true when the budget is 0; otherwise when half the bytes fit in the
    // budget left over by the device-texture bytes.
    bool CheckVideoMemory(std::uint32_t bytes);
    // The device-texture byte counter: what device textures and targets hold. Never below 0.
    void AddDeviceTextureBytes(std::uint32_t bytes);
    void RemoveDeviceTextureBytes(std::uint32_t bytes);
    std::uint32_t GetDeviceTextureBytes() const { return deviceTextureBytes_; }
    // CheckVideoMemory; when it refuses, the material manager is collected and its garbage
    // released, the textures only the manager holds are purged, the image manager is collected
    // and purged, and the check is asked again. On a yes the bytes are added. False, adding
    // nothing, when they still do not fit. Host thread.
    bool ReserveVideoMemory(std::uint32_t bytes);

private:
    RenderDevice* renderDevice_ = nullptr;
    locksection targetLock_;
    std::vector<RenderTarget*> targets_;
    std::uint32_t deviceTextureBytes_ = 0;
    // ---- end of the render-target block.

    std::uint32_t videoMemoryBudget_ = 0;
    std::uint32_t poolConfigLoads_ = 0;
    IDirect3DDevice9* device_ = nullptr;
    locksection listLock_;
    std::vector<TextureBase*> textures_;
    TextureBase* defaultTexture_ = nullptr;
};

}  // namespace Zel
