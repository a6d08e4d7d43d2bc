// A decal: a texture projected onto the surfaces of receiving models. A wrapper that is not bound
// answers null or false. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMoveObject.h"

namespace ZelI {

class IObject;

// What the host hands IRender::CreateDecalEx (its first word): the models the decal is projected
// onto and how. The library asks it, in this order, for the main receiver, the number of further
// receivers, each further receiver and the three flags, during the call only; the host keeps
// ownership. A receiver is a model's interface (null, or one of another kind, is skipped).
class IDecalSource {
public:
    virtual IObject* GetMainReceiver() = 0;
    virtual std::uint32_t GetReceiverCount() = 0;
    virtual IObject* GetReceiver(std::uint32_t index) = 0;
    // Project onto receivers whose material blends, alpha-tests; onto faces turned either way.
    virtual bool AcceptBlended() = 0;
    virtual bool AcceptAlphaTested() = 0;
    virtual bool IsTwoSided() = 0;

protected:
    ~IDecalSource() = default;
};

class IDecal : public IMoveObject {
public:
    // The decal's four corners (3 floats each, owned by the decal). The decal keeps no corner
    // records: each answers null.
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
