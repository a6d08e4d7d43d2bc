#include "Render/VertexBufferStream.h"

namespace Zel {

void VertexBufferStream::AddElement(std::uint32_t semantic, std::uint32_t type,
                                    std::uint32_t extra) {
    elements_.push_back(VertexComponent{semantic, type, extra});
    formatMask_ |= semantic;
}

void VertexBufferStream::CopyFrom(const VertexBufferStream& other) {
    word_ = other.word_;
    formatMask_ = other.formatMask_;
    elements_ = other.elements_;
}

}  // namespace Zel
