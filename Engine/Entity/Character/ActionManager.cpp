#include "Entity/Character/ActionManager.h"

namespace Zel {

ActionManager::ActionManager() {
    RegisterType("ActionResource");
}

ActionManager::~ActionManager() = default;

}  // namespace Zel
