#include "Render/RenderResource.h"

#include "Core/Globals.h"

namespace Zel {

bool RenderResource::OnDeviceLost() {
    const bool released = ReleaseDeviceObjects();
    MarkRefill();
    return released;
}

std::uint32_t RenderResource::OnDeviceReset() {
    RecreateDeviceObjects();
    MarkRefill();
    return StampReset();
}

std::uint32_t RenderResource::StampReset() {
    Globals* globals = Globals::GetExisting();
    resetStamp_ = globals ? globals->GetFrameId() : 0;
    return resetStamp_;
}

}  // namespace Zel
