// The host's render-window creation parameters, copied whole by IRender::CreateRenderWindow.
// Words the library does not use are kept and handed back unchanged.
#pragma once

#include <cstdint>

namespace ZelI {

struct RenderWindowParams {
    std::uint32_t reserved0 = 0;
    void* window = nullptr;  // the host window the device renders into
    std::uint32_t reserved1[2] = {};
    std::uint32_t width = 640;  // back buffer, pixels
    std::uint32_t height = 480;
    std::uint16_t colourBits = 32;  // 32 selects colour format 0, anything else format 2
    std::uint16_t depthBits = 24;   // 16 selects depth format 2
    std::uint16_t stencilBits = 8;  // with depth bits other than 16: 8 gives format 0, else 1
    std::uint16_t reserved2 = 32;
    std::uint16_t fullScreen = 0;  // 0 windowed
    std::uint16_t refreshRate = 60;
    std::uint16_t reserved3 = 8;
    std::uint16_t secondWidth = 640;
    std::uint16_t secondHeight = 480;
    std::uint16_t reserved4[2] = {};
    std::uint8_t displayFlag = 0;
    std::uint8_t reserved5 = 0;
    std::uint32_t multisample = 1;  // 1, 2, 4, 8, 16 or 32; anything else means 1
};

}  // namespace ZelI
