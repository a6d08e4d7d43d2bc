// The device-independent base of a render window: a render resource with the window's size (800 x
// 600 until the device sets it), the render system that owns it, and its two targets: the colour
// target the window presents from and its depth-stencil target (owned, null until the device
// window makes them, deleted with the window). The device window fills in the device objects and
// the operations below. Windows are made with new and end through Destroy. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/Win32/Win32Types.h"
#include "Render/RenderResource.h"

namespace Zel {

class RenderSystem;
class RenderTarget;
class TextureBase;

class RenderWindow : public RenderResource {
public:
    static constexpr std::uint32_t kDefaultWidth = 800;
    static constexpr std::uint32_t kDefaultHeight = 600;

    // renderSystem: the owner (not owned, may be null); poolCode, device: as RenderResource.
    RenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode, RenderDevice* device);
    // Deletes the colour and depth targets.
    ~RenderWindow() override;
    ZEL_CLASS_ID(RenderWindow)

    // Rebuilds the swap chain and targets at the new size (pixels) and binds them; true when the
    // window has a swap chain afterwards.
    virtual bool Resize(std::uint32_t width, std::uint32_t height) = 0;
    // Stores the size and binds; the swap chain is not rebuilt. windowed and padWindowFrameSize
    // are logged only.
    virtual bool ResizeWindowedEx(std::uint32_t width, std::uint32_t height, bool windowed,
                                  std::uint32_t padWindowFrameSize) = 0;
    // Makes this the render system's active window, then binds its targets (Bind).
    virtual void Activate();
    // Makes the swap chain on the device window (hostValue: the host's own value, kept and passed
    // again on a rebuild) at width × height pixels, and the colour and depth targets; then binds.
    // presentCount is always 1. True when a swap chain exists afterwards.
    virtual bool CreateSwapChain(void* hostValue, HWND deviceWindow, std::uint32_t width,
                                 std::uint32_t height, std::uint32_t presentCount) = 0;
    // Leaves the render system's window list and deletes the window.
    virtual void Destroy();
    // Binds the window's colour (or post-process) target at slot 0 and its depth target.
    virtual void Bind() = 0;
    // Shows the back buffer in the device window; false when the present failed.
    virtual bool Present() = 0;
    // Saves the back buffer under a name made of the local date and time; false on failure.
    virtual bool ScreenShot() = 0;
    // Saves the back buffer as a PNG file at the path; false on failure.
    virtual bool SaveBackBuffer(const char* path) = 0;
    // Stores the size only.
    virtual void SetSize(std::uint32_t width, std::uint32_t height) = 0;
    // Copies the whole back buffer onto level 0 of the texture, scaled; false on failure.
    virtual bool CopyBackBufferTo(TextureBase* texture) = 0;
    // The same from the colour target drawn into instead: a host that draws its frame into a
    // render target of its own has nothing in the back buffer. Null copies the back buffer.
    virtual bool CopyDrawnTargetTo(RenderTarget* drawn, TextureBase* texture) {
        return drawn ? false : CopyBackBufferTo(texture);
    }

    std::uint32_t GetWidth() const { return width_; }
    std::uint32_t GetHeight() const { return height_; }
    RenderSystem* GetRenderSystem() const { return renderSystem_; }
    // The window's targets; null until made.
    RenderTarget* GetColourTarget() const { return colourTarget_.get(); }
    RenderTarget* GetDepthTarget() const { return depthTarget_.get(); }

protected:
    std::uint32_t id_ = 0xFFFFFFFFu;
    std::uint32_t width_ = kDefaultWidth;
    std::uint32_t height_ = kDefaultHeight;
    std::uint32_t state_ = 0;
    RenderSystem* renderSystem_;
    std::unique_ptr<RenderTarget> colourTarget_;
    std::unique_ptr<RenderTarget> depthTarget_;
};

}  // namespace Zel
