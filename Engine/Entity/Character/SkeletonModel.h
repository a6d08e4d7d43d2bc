// A skinned, animated entity. Pooled in its factory in Globals.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class SkeletonModel : public Entity {
public:
    SkeletonModel() = default;
    ~SkeletonModel() override = default;
    ZEL_CLASS_ID(SkeletonModel)
};

}  // namespace Zel
