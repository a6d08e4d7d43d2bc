// A drawable model: a scene object with a geometry and its materials. Host thread.
#pragma once

#include "Interface/IMoveObject.h"

namespace ZelI {

class IModel : public IMoveObject {
public:
    // The diffuse colour of every piece's material, child models' included: packed ARGB, 0 for
    // white.
    virtual void SetDiffuseColor(std::uint32_t argb) = 0;
    // Whether any piece draws with a blended material.
    virtual bool HasTransparentMaterial() = 0;

protected:
    ~IModel() override = default;
};

}  // namespace ZelI
