// The manager of GPU programs (effects). It is registered under the type name "GpuProgram" with
// the group registry and, as the owner of device objects, with the render-resource registry of
// Globals from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class GpuProgramManager : public CResourceManager, public RenderResourceManager {
public:
    // Built by Globals::Init, host thread.
    GpuProgramManager();
    ~GpuProgramManager() override;

    // This manager makes no resources yet: its resource type comes later.
    CResource* CreateImpl(std::string_view, std::string_view) override { return nullptr; }
    ZEL_CLASS_ID(GpuProgramManager)

    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

}  // namespace Zel
