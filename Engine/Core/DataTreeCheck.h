// The data tree a renderer runs from sits one level above its working directory: "data/" with
// effect includes under "data/include/" and material files under "data/Materials/", and
// "resources/". Window creation checks it before it builds anything, and the scene start-up
// checks it again with its own effect cache root. Each failure is reported through the error
// reporter; the checks go on where a later one can still tell the host something. Host thread.
#pragma once

#include <string>

namespace Zel {

// The parent of the working directory (cut at its last "\", else its last "/"), or the working
// directory itself when it has no parent.
std::string WorkingDirectoryParent();

struct DataTreePaths {
    std::string data;         // ends with "/"
    std::string resources;    // ends with "/"
    std::string include;      // ends with "/"
    std::string effectCache;  // the shader cache directory
};

// What a shader cache directory that cannot be made does to the result.
enum class CacheDirectoryFailure {
    // The tree is refused.
    Refuses,
    // The tree stays usable; an unexplained failure puts the process's effect cache root back to
    // its default.
    FallsBack,
};

// The tree under the parent of the working directory, with the given shader cache directory.
DataTreePaths DataTreeUnder(const std::string& parent, const std::string& effectCache);

// True when the data, resources and include directories are usable (and, with Refuses, the
// effect directories exist or were made). Makes "data/Effects", "data/Effects/Legacy" and the
// shader cache directory when they are missing.
bool CheckDataTree(const DataTreePaths& tree, CacheDirectoryFailure onCacheFailure);

}  // namespace Zel
