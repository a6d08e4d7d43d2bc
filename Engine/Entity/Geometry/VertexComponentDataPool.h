// One vertex component of a mesh with its data: the semantic bit, element type and further word
// of the component record, and an owned array of `count` elements of that type (tightly packed).
// Owned by its VertexData. Host thread (the loading thread in queued mode).
#pragma once

#include <cstdint>
#include <vector>

#include "Core/Object.h"
#include "Render/VertexBufferStream.h"

namespace Zel {

class VertexComponentDataPool : public Object, public VertexComponent {
public:
    // semantic: one VertexFormat bit; type: a VertexElementType code.
    VertexComponentDataPool(std::uint32_t semanticBit, std::uint32_t elementType,
                            std::uint32_t furtherWord = 0);
    ~VertexComponentDataPool() override = default;
    ZEL_CLASS_ID(VertexComponentDataPool)

    // Replaces the data by `count` zeroed elements and sets the count and size. The size is
    // computed in 64 bits; a size above 4 GiB or an allocation that fails is reported, leaves no
    // data (count and size 0) and answers false. A count of 0 is reported as "Count > 0".
    bool Allocate(std::uint32_t count);
    // As Allocate, but the elements are `bytes`, taken without a copy (`bytes` is left empty):
    // false, with `bytes` untouched, unless they hold exactly the element size times count.
    bool Adopt(std::vector<std::uint8_t>& bytes, std::uint32_t count);

    std::uint32_t GetCount() const { return count_; }
    // Bytes of the data: element size (VertexElementSize) times count.
    std::uint32_t GetDataSize() const { return dataSize_; }
    std::uint32_t GetElementSize() const;
    // The data (null when none); the caller writes it directly.
    std::uint8_t* GetData() { return data_.empty() ? nullptr : data_.data(); }
    const std::uint8_t* GetData() const { return data_.empty() ? nullptr : data_.data(); }
    float* GetFloats() { return reinterpret_cast<float*>(GetData()); }
    const float* GetFloats() const { return reinterpret_cast<const float*>(GetData()); }
    std::uint32_t* GetWords() { return reinterpret_cast<std::uint32_t*>(GetData()); }
    const std::uint32_t* GetWords() const {
        return reinterpret_cast<const std::uint32_t*>(GetData());
    }

private:
    // Drops the data and checks count (see Allocate); answers its byte size, or false (reported)
    // when it does not fit 4 GiB.
    bool Reset(std::uint32_t count, std::uint64_t& bytes);

    std::vector<std::uint8_t> data_;
    std::uint32_t count_ = 0;
    std::uint32_t dataSize_ = 0;
};

}  // namespace Zel
