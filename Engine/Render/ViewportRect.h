// A viewport as the system gives it: pixels, with y counted from the bottom edge of the target.
#pragma once

#include <cstdint>

namespace Zel {

struct ViewportRect {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 800;
    std::uint32_t height = 600;
};

}  // namespace Zel
