// The manager of the host's text boxes and their fonts. As the owner of device objects it is
// registered with the render-resource registry of Globals from its construction to its
// destruction.
#pragma once

#include "Render/RenderResourceManager.h"

namespace Zel {

class ZelTextBoxManager : public RenderResourceManager {
public:
    // Built by Globals::Init, host thread.
    ZelTextBoxManager();
    ~ZelTextBoxManager() override;

    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

}  // namespace Zel
