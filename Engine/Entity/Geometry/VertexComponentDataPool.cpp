#include "Entity/Geometry/VertexComponentDataPool.h"

#include <new>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"

namespace Zel {

VertexComponentDataPool::VertexComponentDataPool(std::uint32_t semanticBit,
                                                 std::uint32_t elementType,
                                                 std::uint32_t furtherWord) {
    semantic = semanticBit;
    type = elementType;
    extra = furtherWord;
}

std::uint32_t VertexComponentDataPool::GetElementSize() const {
    return VertexElementSize(type);
}

bool VertexComponentDataPool::Reset(std::uint32_t count, std::uint64_t& bytes) {
    std::vector<std::uint8_t>().swap(data_);
    count_ = 0;
    dataSize_ = 0;
    std::uint32_t checked = 0;
    SetComponentCount(checked, count);
    bytes = std::uint64_t(GetElementSize()) * count;
    if (bytes > 0xFFFFFFFFu) {
        LogError("VertexComponentDataPool: %u elements of type %u do not fit 4 GiB", count, type);
        return false;
    }
    return true;
}

bool VertexComponentDataPool::Allocate(std::uint32_t count) {
    std::uint64_t bytes = 0;
    if (!Reset(count, bytes))
        return false;
    try {
        data_.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        LogError("VertexComponentDataPool: out of memory for %llu bytes",
                 static_cast<unsigned long long>(bytes));
        return false;
    }
    count_ = count;
    dataSize_ = static_cast<std::uint32_t>(bytes);
    return true;
}

bool VertexComponentDataPool::Adopt(std::vector<std::uint8_t>& bytes, std::uint32_t count) {
    if (std::uint64_t(GetElementSize()) * count != bytes.size())
        return false;
    std::uint64_t size = 0;
    if (!Reset(count, size))
        return false;
    data_.swap(bytes);
    count_ = count;
    dataSize_ = static_cast<std::uint32_t>(size);
    return true;
}

}  // namespace Zel
