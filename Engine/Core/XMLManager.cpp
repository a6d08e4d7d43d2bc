#include "Core/XMLManager.h"

namespace Zel {

XMLManager::XMLManager() {
    RegisterType("XML");
}

XMLManager::~XMLManager() = default;

}  // namespace Zel
