// What the device is created and reset with: the window, the back-buffer size, windowed or full
// screen, the back-buffer and depth formats, vertical sync and antialiasing. Copied as a whole.
#pragma once

#include <cstdint>

namespace Zel {

struct DisplaySettings {
    void* window = nullptr;  // the device window (an HWND)
    std::uint32_t width = 800;
    std::uint32_t height = 600;
    std::uint8_t windowed = 1;
    // 0 X8R8G8B8, 1 A8R8G8B8, 2 X1R5G5B5, anything else X8R8G8B8.
    std::uint32_t backBufferFormat = 0;
    // 0 D24S8, 1 D24X8, 2 D16, anything else D24S8.
    std::uint32_t depthFormat = 0;
    std::uint8_t verticalSync = 0;
    // One bit of DeviceCaps::multisampleMask: 0x2, 0x4, 0x8, 0x10 or 0x20 ask for 2, 4, 6, 8 or 10
    // samples; anything else for none.
    std::uint32_t antialiasMode = 1;
    // A request the host makes together with the anti-aliasing mode: a change of either resets
    // the device (RenderSystem::ApplyDisplaySettings).
    std::uint8_t displayFlag = 0;
};

}  // namespace Zel
