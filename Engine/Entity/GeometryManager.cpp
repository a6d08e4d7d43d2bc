#include "Entity/GeometryManager.h"

namespace Zel {

GeometryManager::GeometryManager() {
    RegisterType("Geometry");
}

GeometryManager::~GeometryManager() = default;

}  // namespace Zel
