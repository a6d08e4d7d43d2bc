// The host's render-state switches (IRenderStateManager) over the render device the scene draws
// with, found at the time of each call; without one every call does nothing. IRenderImpl embeds
// the one instance. Host thread.
#pragma once

#include "Interface/IRenderStateManager.h"

namespace Zel {

class IRenderStateManagerImplRC final : public ZelI::IRenderStateManager {
public:
    IRenderStateManagerImplRC() = default;
    ~IRenderStateManagerImplRC() override = default;
    IRenderStateManagerImplRC(const IRenderStateManagerImplRC&) = delete;
    IRenderStateManagerImplRC& operator=(const IRenderStateManagerImplRC&) = delete;

    void SetState(std::int32_t index, std::int32_t value) override;
    std::int32_t Reserved(std::intptr_t) override { return 0; }
    void SetScissorRect(std::int32_t left, std::int32_t right, std::int32_t top,
                        std::int32_t bottom) override;
};

}  // namespace Zel
