// An action played on a skeleton model. Pooled in its factory in Globals and shared by reference
// count.
#pragma once

#include "Core/RecycledObject.h"
#include "Core/RefCountedObj.h"

namespace Zel {

class Action : public RecycledObject, public RefCountedObj {
public:
    Action() = default;
    ~Action() override = default;
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
