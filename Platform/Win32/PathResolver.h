// The one path resolver through which every file open goes. Data files name each other in mixed
// case with backslashes; the disk is case sensitive. Resolution: "\" becomes "/", the exact path
// is tried first, then each component is matched ignoring case against the entries of its
// directory (listings cached per directory). A component that matches nothing is kept as written,
// so a path for a new file resolves to the existing directories it names.
#pragma once

#include <string>
#include <string_view>

namespace Win32Path {

// The resolved path; the input with separators unified when nothing on disk matches.
std::string Resolve(std::string_view path);

// Forgets the cached directory listings (call after files were created or deleted outside the
// layer; the layer's own create and delete calls keep the cache current).
void InvalidateCache();

}  // namespace Win32Path
