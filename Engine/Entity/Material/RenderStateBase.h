// Base of the render states a pass carries: something that can be put back to its defaults.
#pragma once

namespace Zel {

class RenderStateBase {
public:
    virtual ~RenderStateBase() = default;
    virtual void Reset() = 0;

protected:
    RenderStateBase() = default;
    RenderStateBase(const RenderStateBase&) = default;
    RenderStateBase& operator=(const RenderStateBase&) = default;
};

}  // namespace Zel
