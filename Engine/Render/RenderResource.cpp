#include "Render/RenderResource.h"

#include "Core/Globals.h"

namespace Zel {

bool RenderResource::OnDeviceLost() {
    const bool released = ReleaseDeviceObjects();
    refill_ = 1;
    return released;
}

std::uint32_t RenderResource::OnDeviceReset() {
    RecreateDeviceObjects();
    refill_ = 1;
    Globals* globals = Globals::GetExisting();
    resetStamp_ = globals ? globals->GetFrameId() : 0;
    return resetStamp_;
}

}  // namespace Zel
