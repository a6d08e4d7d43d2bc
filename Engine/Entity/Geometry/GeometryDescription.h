// What a text or XML model description names for plain and deformed geometry: the mesh source,
// the material libraries in file order, and (XML form) the description's own path. Paths are
// already resolved against the description's directory (ModelDescriptionParser.h).
#pragma once

#include <string>
#include <vector>

namespace Zel {

struct GeometryDescription {
    std::string meshFile;
    std::vector<std::string> materialFiles;
    std::string sourceFile;
};

}  // namespace Zel
