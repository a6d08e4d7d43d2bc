// The manager of every texture and render target of the process. As the owner of device objects it
// is registered with the render-resource registry of Globals from its construction to its
// destruction.
#pragma once

#include "Core/ClassIds.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class TextureManager : public RenderResourceManager {
public:
    // Built by Globals::Init, host thread.
    TextureManager();
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

private:
    std::uint32_t videoMemoryBudget_ = 0;
    std::uint32_t poolConfigLoads_ = 0;

public:
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

}  // namespace Zel
