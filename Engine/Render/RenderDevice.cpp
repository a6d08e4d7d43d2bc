#include "Render/RenderDevice.h"

namespace Zel {

bool RenderDevice::IsBoundAsTarget(const RenderTarget* target) const {
    // An empty slot would otherwise match a null target.
    if (!target)
        return false;
    for (RenderTarget* bound : colourTargets_)
        if (bound == target)
            return true;
    return depthTarget_ == target;
}

bool RenderDevice::SetLightingEnabled(bool on) {
    if (on)
        flags_ |= kLightingFlag;
    else
        flags_ &= ~kLightingFlag;
    return on;
}

}  // namespace Zel
