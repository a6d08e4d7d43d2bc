// A model drawn with a reflection. The library makes no reflective model, so it hands out no
// wrapper of this interface; the interface keeps its place so that a host built against it
// still compiles. Its two own operations (98 and 99) carry no behaviour of the library: they
// keep their places, do nothing and take nothing. Host thread.
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
