#include "Render/VertexBufferStream.h"

namespace Zel {

void VertexBufferStream::AddElement(std::uint32_t semantic, std::uint32_t type) {
    elements_.push_back(VertexComponent{semantic, type, 0});
    formatMask_ |= semantic;
}

}  // namespace Zel
