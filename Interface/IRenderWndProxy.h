// A render window for a host tool: the main window or an extra one. The host owns the proxy and
// deletes it; the window stays with the render system. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IRenderWndProxy {
public:
    virtual ~IRenderWndProxy() = default;
    // Begin and end drawing into this window (the main window's drawing while this window is the
    // current one of its render proxy); EndDraw acts only while end drawing is switched on.
    virtual void BeginDraw() = 0;
    virtual void EndDraw() = 0;
    // Sets the viewport to the whole size and resizes the window (pixels).
    virtual void Resize(std::uint32_t width, std::uint32_t height) = 0;
    virtual void* GetWindowHandle() = 0;
    virtual void SetEndDrawing(bool on) = 0;
    // Makes this window the render proxy's current one (false: none).
    virtual void MakeCurrent(bool on) = 0;
};

}  // namespace ZelI
