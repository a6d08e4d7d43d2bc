// Golden-image checks for whole frames: a window's frame buffer against tests/golden/<name>.png.
// A frame matches when every channel of every pixel is within the tolerance. With
// ZEL_UPDATE_GOLDEN=1 the frame is written as the new golden image instead (look at it before
// committing it). A mismatch saves the frame beside the temporary files and names it.
#pragma once

#include <string>

class Win32Window;

namespace ZelTest {

void ExpectGoldenFrame(const Win32Window& window, const std::string& name, int tolerance);
// The same check for an image file a host saved (PNG).
void ExpectGoldenPng(const std::string& path, const std::string& name, int tolerance);

}  // namespace ZelTest
