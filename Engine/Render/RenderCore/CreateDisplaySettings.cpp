#include "Render/RenderCore/CreateDisplaySettings.h"

namespace Zel {

DisplaySettings ToCreateDisplaySettings(const ZelI::RenderWindowParams& params) {
    DisplaySettings settings;
    settings.window = params.window;
    settings.width = params.width;
    settings.height = params.height;
    settings.windowed = params.fullScreen == 0 ? 1 : 0;
    settings.backBufferFormat = params.colourBits == 32 ? 0 : 2;
    if (params.depthBits == 16)
        settings.depthFormat = 2;
    else
        settings.depthFormat = params.stencilBits == 8 ? 0 : 1;
    settings.verticalSync = params.displayFlag;
    switch (params.multisample) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 16:
        case 32:
            settings.antialiasMode = params.multisample;
            break;
        default:
            settings.antialiasMode = 1;
            break;
    }
    return settings;
}

}  // namespace Zel
