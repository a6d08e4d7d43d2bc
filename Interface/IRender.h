// The root interface the host receives from CreateRenderer. It lives until DeleteRenderer; the
// host never deletes it. Every operation runs on the host's thread.
#pragma once

#include "Interface/RenderWindowParams.h"
#include "Interface/SystemInfo.h"

namespace ZelI {

class IRender {
protected:
    // The library deletes the object at DeleteRenderer.
    virtual ~IRender() = default;

public:
    // The machine summary owned by the library; valid until DeleteRenderer.
    virtual SystemInfo* GetSystemInfo() = 0;
    // Opens the render window and initialises the renderer: the shader-compiler module is loaded
    // once, the global switches are reset and "EngineConfig.txt" in the working directory runs
    // as a command script. Answers 100 on success, -101 when no render system could be made.
    virtual int CreateRenderWindow(const RenderWindowParams* params) = 0;
};

}  // namespace ZelI
