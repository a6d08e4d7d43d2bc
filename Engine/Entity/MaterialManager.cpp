#include "Entity/MaterialManager.h"

namespace Zel {

MaterialManager::MaterialManager() {
    RegisterType("Material");
}

MaterialManager::~MaterialManager() = default;

}  // namespace Zel
