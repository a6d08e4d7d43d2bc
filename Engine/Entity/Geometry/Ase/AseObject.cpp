#include "Entity/Geometry/Ase/AseObject.h"
#include "Math/MathUtil.h"

#include <algorithm>

namespace Zel {

namespace {}

AseObject::AseObject() {
    std::copy(kIdentityMatrix, kIdentityMatrix + 16, nodeMatrix);
    std::copy(kIdentityMatrix, kIdentityMatrix + 16, inverseNodeMatrix);
}

AseObject::~AseObject() = default;

}  // namespace Zel
