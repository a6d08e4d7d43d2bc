// A model drawn with a reflection. No operation of the library hands one out yet; the two
// operations of its own are reserved and do nothing. Host thread.
#pragma once

#include "Interface/IModel.h"

namespace ZelI {

class IReflectModel : public IModel {
public:
    virtual void Reserved98() = 0;
    virtual void Reserved99() = 0;

protected:
    ~IReflectModel() override = default;
};

}  // namespace ZelI
