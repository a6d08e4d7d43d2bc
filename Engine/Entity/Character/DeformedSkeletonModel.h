// A skeleton model with deformed meshes; it answers the class id of SkeletonModel. Pooled in its
// factory in Globals.
#pragma once

#include "Entity/Character/SkeletonModel.h"

namespace Zel {

class DeformedSkeletonModel : public SkeletonModel {
public:
    DeformedSkeletonModel() = default;
    ~DeformedSkeletonModel() override = default;
};

}  // namespace Zel
