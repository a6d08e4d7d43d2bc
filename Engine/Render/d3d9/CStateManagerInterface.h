// The effect state manager as the device hands it to effects: the D3DX state-manager interface
// with a virtual destructor, the per-frame roll and the previous frame's counters.
#pragma once

#include <cstdint>

#include "Platform/D3DX9/ID3DXEffectStateManager.h"

namespace Zel {

class CStateManagerInterface : public ID3DXEffectStateManager {
public:
    static constexpr std::uint32_t kCounterCount = 12;

    virtual ~CStateManagerInterface() = default;
    // Copies the running counters over the previous-frame ones and zeroes the running ones.
    virtual void EndFrame() = 0;
    // The twelve previous-frame counters.
    virtual const std::uint32_t* GetPreviousFrameCounters() const = 0;
};

}  // namespace Zel
