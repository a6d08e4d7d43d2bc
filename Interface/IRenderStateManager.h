// Lets the host switch a few render states of the device directly, between its own draws. Nothing
// happens before the render window (and its device) exists. IRender hands out the one manager;
// the host never deletes it. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IRenderStateManager {
public:
    // State index: 0 depth test, 1 depth write, 2 alpha test, 3 alpha blending, 4 stencil test,
    // 5 user clip planes, 6 colour writes (all four channels at once), 7 scissor test. Any value
    // other than 0 switches the state on. Another index does nothing.
    virtual void SetState(std::int32_t index, std::int32_t value) = 0;
    // Reserved: answers 0.
    virtual std::int32_t Reserved(std::intptr_t) = 0;
    // The scissor rectangle in pixels of the current target.
    virtual void SetScissorRect(std::int32_t left, std::int32_t right, std::int32_t top,
                                std::int32_t bottom) = 0;

protected:
    virtual ~IRenderStateManager() = default;
};

}  // namespace ZelI
