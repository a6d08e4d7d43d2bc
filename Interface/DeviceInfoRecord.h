// What IRender::GetDeviceInfo tells the host about the running renderer. The host owns the
// record; the library only writes it.
#pragma once

#include <cstdint>

namespace ZelI {

struct DeviceInfoRecord {
    // Instances of the library running on the machine, this one included.
    std::uint32_t instanceCount = 0;
    // The scene's frames per second, as last measured.
    std::uint32_t framesPerSecond = 0;
    // The main window's size as "<width>x<height>"; empty before the window exists.
    char windowSize[32] = {};
    // 1 when the main window is the one the renderer presents to, 0 when another window is
    // active; -1 before the window exists.
    std::int32_t active = -1;
};

}  // namespace ZelI
