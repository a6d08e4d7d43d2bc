// The device-independent base of a render window: a render resource with the window's size (800 x
// 600 until the device sets it) and the render system that owns it. The Direct3D 9 window fills in
// the device objects and its own activation. Windows are made with new and end through Destroy.
// Host thread.
#pragma once

#include <cstdint>

#include "Render/RenderResource.h"

namespace Zel {

class RenderSystem;

class RenderWindow : public RenderResource {
public:
    static constexpr std::uint32_t kDefaultWidth = 800;
    static constexpr std::uint32_t kDefaultHeight = 600;

    // renderSystem: the owner (not owned, may be null); poolCode, device: as RenderResource.
    RenderWindow(RenderSystem* renderSystem, std::uint32_t poolCode, RenderDevice* device)
        : RenderResource(poolCode, device), renderSystem_(renderSystem) {}
    ~RenderWindow() override = default;
    ZEL_CLASS_ID(RenderWindow)

    // Makes this the render system's active window, then runs the window's own activation.
    virtual void Activate();
    // Leaves the render system's window list and deletes the window.
    virtual void Destroy();

    std::uint32_t GetWidth() const { return width_; }
    std::uint32_t GetHeight() const { return height_; }
    RenderSystem* GetRenderSystem() const { return renderSystem_; }

protected:
    // The device window's own part of Activate.
    virtual void ActivateImpl() = 0;

    std::uint32_t id_ = 0xFFFFFFFFu;
    std::uint32_t width_ = kDefaultWidth;
    std::uint32_t height_ = kDefaultHeight;
    std::uint32_t state_ = 0;
    RenderSystem* renderSystem_;
};

}  // namespace Zel
