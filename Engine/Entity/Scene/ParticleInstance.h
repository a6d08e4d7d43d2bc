// One drawn instance of a particle buffer. Pooled in its factory in Globals.
#pragma once

#include "Core/RecycledObject.h"

namespace Zel {

class ParticleInstance : public RecycledObject {
public:
    ParticleInstance() = default;
    ~ParticleInstance() override = default;
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
