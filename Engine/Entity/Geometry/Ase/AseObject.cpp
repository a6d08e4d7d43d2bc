#include "Entity/Geometry/Ase/AseObject.h"

#include <algorithm>

namespace Zel {

namespace {
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

AseObject::AseObject() {
    std::copy(kIdentity, kIdentity + 16, nodeMatrix);
    std::copy(kIdentity, kIdentity + 16, inverseNodeMatrix);
}

AseObject::~AseObject() = default;

}  // namespace Zel
