// The drawable piece of an entity, one per mesh. Pooled in its factory in Globals.
#pragma once

#include "Core/RecycledObject.h"

namespace Zel {

class SubEntity : public RecycledObject {
public:
    SubEntity() = default;
    ~SubEntity() override = default;
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
