// A drawable model: a scene object with a geometry and its materials. Host thread.
#pragma once

#include "Interface/IMoveObject.h"

namespace ZelI {

class IModel : public IMoveObject {
protected:
    ~IModel() override = default;
};

}  // namespace ZelI
