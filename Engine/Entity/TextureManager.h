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

    // The video-memory budget of device textures and render targets, in bytes. Every device
    // creation asks CheckVideoMemory first and, once made, adds its bytes; every release removes
    // exactly what its creation added.
    //
    // Whether bytes fit: with no budget figure known (0) it logs "可用显存返回0!,直接返回true"
    // and answers true; otherwise true when half the bytes fit in the budget left over by the
    // device-texture bytes.
    bool CheckVideoMemory(std::uint32_t bytes);
    void AddDeviceTextureBytes(std::uint32_t bytes);
    // Never below 0.
    void RemoveDeviceTextureBytes(std::uint32_t bytes);
    std::uint32_t GetDeviceTextureBytes() const { return deviceTextureBytes_; }
    // The creators' road: CheckVideoMemory; when it refuses, the material manager is collected
    // and its garbage released, the textures only the manager holds are purged, the image manager
    // is collected and purged, and the check is asked again. On a yes the bytes are added. False,
    // adding nothing, when they still do not fit. Host thread.
    bool ReserveVideoMemory(std::uint32_t bytes);

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

private:
    std::uint32_t videoMemoryBudget_ = 0x2000000;
    std::uint32_t deviceTextureBytes_ = 0;
    std::uint32_t poolConfigLoads_ = 0;
    IDirect3DDevice9* device_ = nullptr;
    locksection listLock_;
    std::vector<TextureBase*> textures_;
    TextureBase* defaultTexture_ = nullptr;
};

}  // namespace Zel
