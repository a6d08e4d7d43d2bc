// The file an effect name stands for. Generated effect names grow with the material's features and
// can exceed what a file system accepts for one file name; such a name keeps naming the program
// while its file gets a short name made from a hash of the whole name. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace Zel {

// The longest file-name component kept as it is: one byte is left for the "o" of the compiled
// cache that sits beside an effect file.
constexpr std::size_t kMaxEffectFileComponent = 254;

// name itself when its last component (after the last '/' or '\') fits; otherwise the same
// directory with "fx_" + 16 hex digits of a 64-bit FNV-1a hash of the whole name + ".fx".
std::string EffectFileName(std::string_view name);

}  // namespace Zel
