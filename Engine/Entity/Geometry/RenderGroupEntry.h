// One entry of a mesh's render group: at draw time an entry whose draw count is not 0 is one
// indexed draw of its primitive from index start / 4 with draw-count indexes; the operations that
// walk triangles use the index count. 20 bytes.
#pragma once

#include <cstdint>

namespace Zel {

struct RenderGroupEntry {
    std::uint32_t primitive = 3;  // PrimitiveType: 3 triangle list, 4 triangle strip
    std::uint32_t indexCount = 0;
    std::uint32_t drawCount = 0;  // 0 hides the entry
    std::uint32_t start = 0;      // position of the first index in the index data, times 4
    std::uint32_t value = 0;
};

}  // namespace Zel
