// The render windows for a host tool. Owned by the proxy factory. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IRenderWndProxy.h"

namespace ZelI {

class IRenderProxy {
public:
    // A new proxy of the main window (the host deletes it).
    virtual IRenderWndProxy* GetMainWindow() = 0;
    // A new proxy of an extra window the render system makes for the host window of that size;
    // null when it cannot be made.
    virtual IRenderWndProxy* CreateWindow(void* window, std::uint32_t width,
                                          std::uint32_t height) = 0;

protected:
    virtual ~IRenderProxy() = default;
};

}  // namespace ZelI
