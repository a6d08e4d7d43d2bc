// What the device, its state cache and its resources share to count and report: the frame
// counters of Globals, the global switches, and reports through the error reporter. Each works
// (and does nothing it cannot do) whether or not Globals exists. Host thread.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "Core/FrameStats.h"

namespace Zel {

// Adds to one frame counter; nothing while there is no Globals.
void AddFrameStat(FrameStatWord word, std::uint32_t amount = 1);
// A global switch's value, or fallback while there is no switch manager.
std::int32_t GetGlobalSwitch(std::uint32_t index, std::int32_t fallback);
// An error report ("D3D ERROR! ,SetRenderState(), hr = %d" and the like) through the error
// reporter; a plain error record while there is none.
void ReportDeviceError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace Zel
