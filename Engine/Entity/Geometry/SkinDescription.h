// The description of a skinned model (".chr" or skinned XML): a plain description plus the
// skeleton and the animations by name.
#pragma once

#include <map>
#include <string>

#include "Entity/Geometry/GeometryDescription.h"

namespace Zel {

struct SkinDescription : GeometryDescription {
    std::string skeletonFile;
    // Animation name -> animation file; a repeated name keeps the last file.
    std::map<std::string, std::string> animations;
};

}  // namespace Zel
