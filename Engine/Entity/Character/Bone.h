// One bone of a skeleton model. Pooled in its factory in Globals.
#pragma once

#include "Core/RecycledObject.h"

namespace Zel {

class Bone : public RecycledObject {
public:
    Bone() = default;
    ~Bone() override = default;
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
