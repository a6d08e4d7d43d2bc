// A decal: a texture projected onto the surfaces of receiving models. A wrapper that is not bound
// answers null or false. Host thread.
#pragma once

#include "Interface/IMoveObject.h"

namespace ZelI {

class IDecal : public IMoveObject {
public:
    // The decal's four corners (3 floats each, owned by the decal).
    virtual const float* GetCorner0() = 0;
    virtual const float* GetCorner1() = 0;
    virtual const float* GetCorner2() = 0;
    virtual const float* GetCorner3() = 0;
    // True while the decal's pending flag is clear.
    virtual bool IsReady() = 0;

protected:
    ~IDecal() override = default;
};

}  // namespace ZelI
