#include "Render/VertexBufferDeclaration.h"

namespace Zel {

bool VertexBufferDeclaration::SetStream(std::uint32_t index, const VertexBufferStream& stream,
                                        bool replace) {
    std::unique_ptr<VertexBufferStream>& slot = streams_[index];
    if (slot && !replace)
        return false;
    if (index == nextFreeIndex_)
        ++nextFreeIndex_;
    if (!slot)
        slot = std::make_unique<VertexBufferStream>();
    slot->CopyFrom(stream);
    dirty_ = true;
    return true;
}

void VertexBufferDeclaration::AddElement(std::uint32_t stream, std::uint32_t semantic,
                                         std::uint32_t type) {
    std::unique_ptr<VertexBufferStream>& slot = streams_[stream];
    if (!slot)
        slot = std::make_unique<VertexBufferStream>();
    slot->AddElement(semantic, type);
    dirty_ = true;
}

const VertexBufferStream* VertexBufferDeclaration::GetStream(std::uint32_t index) const {
    const auto found = streams_.find(index);
    return found == streams_.end() ? nullptr : found->second.get();
}

std::uint32_t VertexBufferDeclaration::GetElementCount() const {
    std::uint32_t count = 0;
    for (const auto& [index, stream] : streams_)
        count += static_cast<std::uint32_t>(stream->GetElements().size());
    return count;
}

}  // namespace Zel
