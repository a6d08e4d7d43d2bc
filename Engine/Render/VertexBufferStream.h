// One stream of a vertex declaration: a leading word (0 wherever the system builds a stream), its
// components in the order they were added and the OR of their vertex-format bits. Host thread.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/Object.h"

namespace Zel {

// One vertex component: its vertex-format bit (VertexFormat), its element type
// (VertexElementType) and a further word.
struct VertexComponent {
    std::uint32_t semantic = 0;
    std::uint32_t type = 0;
    std::uint32_t extra = 0;
};

class VertexBufferStream : public Object {
public:
    VertexBufferStream() = default;
    ~VertexBufferStream() override = default;
    ZEL_CLASS_ID(VertexBufferStream)

    // Appends the component and ORs its bit into the format mask.
    void AddElement(std::uint32_t semantic, std::uint32_t type, std::uint32_t extra = 0);
    // Takes the word, mask and components of another stream.
    void CopyFrom(const VertexBufferStream& other);

    std::uint32_t GetWord() const { return word_; }

    const std::vector<VertexComponent>& GetElements() const { return elements_; }
    std::uint32_t GetFormatMask() const { return formatMask_; }

private:
    std::uint32_t word_ = 0;
    std::uint32_t formatMask_ = 0;
    std::vector<VertexComponent> elements_;
};

}  // namespace Zel
