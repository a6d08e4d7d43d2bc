// An entity with deformed meshes. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class DeformedModel : public Entity {
public:
    DeformedModel() = default;
    ~DeformedModel() override = default;
    ZEL_CLASS_ID(DeformedModel)
};

}  // namespace Zel
