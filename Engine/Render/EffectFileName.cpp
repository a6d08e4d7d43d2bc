#include "Render/EffectFileName.h"

#include <cstdint>
#include <cstdio>

namespace Zel {

std::string EffectFileName(std::string_view name) {
    const std::size_t slash = name.find_last_of("/\\");
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    if (name.size() - start <= kMaxEffectFileComponent)
        return std::string(name);
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char file[32];
    std::snprintf(file, sizeof file, "fx_%016llx.fx", static_cast<unsigned long long>(hash));
    return std::string(name.substr(0, start)) + file;
}

}  // namespace Zel
