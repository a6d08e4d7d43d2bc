// The check CreateRenderWindow makes before it builds anything: the data tree must sit one level
// above the working directory (the root), with "data/", "resources/", at least one effect
// include file under "data/include/" and at least one material file under "data/Materials/".
// It then makes the effect cache directories under "data/Effects/" when they are missing. Each
// failure is reported through the error reporter; the checks go on where a later one can still
// tell the host something. Host thread.
#pragma once

#include <string>

namespace Zel {

// The parent of the working directory (the working directory itself when it has no parent).
std::string DataRootDirectory();
// True when the tree is complete (and the cache directories exist or were made).
bool CheckDataDirectories();

}  // namespace Zel
