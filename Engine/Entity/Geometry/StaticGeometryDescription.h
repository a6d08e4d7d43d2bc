// The XML description of a level: its binary level mesh and its one material library.
#pragma once

#include <string>

namespace Zel {

struct StaticGeometryDescription {
    std::string meshFile;
    std::string materialFile;
    std::string sourceFile;
};

}  // namespace Zel
