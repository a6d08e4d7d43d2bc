// The root interface handed to the host (Globals::GetRenderInterface). Built by Globals::Init
// after the log manager and destroyed first at shutdown. Host thread.
#pragma once

#include "Interface/IRender.h"

namespace Zel {

class IRenderImpl : public ZelI::IRender {
public:
    IRenderImpl() = default;
    ~IRenderImpl() override = default;
    IRenderImpl(const IRenderImpl&) = delete;
    IRenderImpl& operator=(const IRenderImpl&) = delete;

    ZelI::SystemInfo* GetSystemInfo() override;
    // Loads the shader-compiler module once, keeps the parameters, resets the switches, runs
    // "EngineConfig.txt" (a failure is only logged) and starts worker 0 (once). The render
    // system is not built here, so the answer is -101.
    int CreateRenderWindow(const ZelI::RenderWindowParams* params) override;

private:
    ZelI::RenderWindowParams params_;  // those of the last CreateRenderWindow
};

}  // namespace Zel
