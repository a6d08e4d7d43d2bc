// A particle vertex buffer handed to the host. Pooled in its factory in Globals.
#pragma once

#include "Core/RecycledObject.h"

namespace Zel {

class ParticleVB : public RecycledObject {
public:
    ParticleVB() = default;
    ~ParticleVB() override = default;
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
