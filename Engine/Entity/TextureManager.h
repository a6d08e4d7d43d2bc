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

    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

}  // namespace Zel
