#include "Entity/SkeletonManager.h"

namespace Zel {

SkeletonManager::SkeletonManager() {
    RegisterType("SkeletonResource");
}

SkeletonManager::~SkeletonManager() = default;

}  // namespace Zel
