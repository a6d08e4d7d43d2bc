#include "Render/VertexBufferDeclaration.h"

namespace Zel {

void VertexBufferDeclaration::AddElement(std::uint32_t stream, std::uint32_t semantic,
                                         std::uint32_t type) {
    std::unique_ptr<VertexBufferStream>& slot = streams_[stream];
    if (!slot)
        slot = std::make_unique<VertexBufferStream>();
    slot->AddElement(semantic, type);
    OnElementsChanged();
}

std::uint32_t VertexBufferDeclaration::GetElementCount() const {
    std::uint32_t count = 0;
    for (const auto& [index, stream] : streams_)
        count += static_cast<std::uint32_t>(stream->GetElements().size());
    return count;
}

}  // namespace Zel
