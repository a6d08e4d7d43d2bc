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
#include <string>
#include <vector>

#include "Core/SharedPtr.h"

#include "Core/ClassIds.h"
#include "Core/locksection.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class Image;
class TextureBase;
class TextureStage;

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

    // --- Stage textures for materials -------------------------------------------------------
    // A pending stage (TSF_TEXTURE_PENDING) loads its texture (LoadTextureSlot), or takes the
    // current default-texture pointer when texture-load flag bit 1 or switch 39 asks for default
    // textures; the pending bit is cleared either way. Nothing for a stage that is not pending.
    void ResolveTextureSlot(TextureStage& stage);
    // Clears the pending bit and gives the stage the texture of the image of its name, or the
    // default texture when the image is missing, not loaded or yields no texture.
    void LoadTextureSlot(TextureStage& stage);
    // The image of the path (by full path when it holds ".." or "/", else by name under the
    // image manager's base path); the default image when it is missing or did not load.
    void LoadImage(const std::string& path, SharedPtr<Image>& image);

private:
    std::uint32_t videoMemoryBudget_ = 0;
    std::uint32_t poolConfigLoads_ = 0;
    IDirect3DDevice9* device_ = nullptr;
    locksection listLock_;
    std::vector<TextureBase*> textures_;
    TextureBase* defaultTexture_ = nullptr;
};

}  // namespace Zel
