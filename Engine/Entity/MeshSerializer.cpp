#include "Entity/MeshSerializer.h"

namespace Zel {

bool MeshSerializer::LoadGeometryFromAse(Geometry&, const std::string&) {
    return false;
}

}  // namespace Zel
