// A render target the host draws into: the texture operations of ITexture on its colour target,
// and a bracket that makes it the device's target for the draws between. Host thread.
#pragma once

#include "Interface/ITexture.h"

namespace ZelI {

class IRenderTarget : public ITexture {
public:
    // Binds the colour target at the colour slot, and its depth target when it has one, until
    // EndRendering; nothing before the render window exists.
    virtual void BeginRendering(int slot) = 0;
    // Puts back what BeginRendering replaced.
    virtual void EndRendering() = 0;

protected:
    ~IRenderTarget() override = default;
};

}  // namespace ZelI
