#include "Entity/AnimationManager.h"

namespace Zel {

AnimationManager::AnimationManager() {
    RegisterType("Animation");
}

AnimationManager::~AnimationManager() = default;

}  // namespace Zel
