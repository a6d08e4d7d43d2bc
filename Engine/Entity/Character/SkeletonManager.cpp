#include "Entity/Character/SkeletonManager.h"

namespace Zel {

SkeletonManager::SkeletonManager() {
    RegisterType("SkeletonResource");
}

SkeletonManager::~SkeletonManager() = default;

}  // namespace Zel
