// The host's creation parameters turned into the settings the render system creates (or resets)
// the device with.
#pragma once

#include "Interface/RenderWindowParams.h"
#include "Render/DisplaySettings.h"

namespace Zel {

// Window, size and windowed flag as given; colour bits 32 give back-buffer format 0, any other
// value format 2; depth bits 16 give depth format 2, else stencil bits 8 give format 0 and any
// other value format 1; the display flag becomes the flag byte; a multisample value other than
// 1, 2, 4, 8, 16 or 32 becomes 1.
DisplaySettings ToCreateDisplaySettings(const ZelI::RenderWindowParams& params);

}  // namespace Zel
