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

bool VertexComponentDataPool::Allocate(std::uint32_t count) {
    data_.reset();
    count_ = 0;
    dataSize_ = 0;
    std::uint32_t checked = 0;
    SetComponentCount(checked, count);
    const std::uint64_t bytes = std::uint64_t(GetElementSize()) * count;
    if (bytes > 0xFFFFFFFFu) {
        LogError("VertexComponentDataPool: %u elements of type %u do not fit 4 GiB", count, type);
        return false;
    }
    if (bytes != 0) {
        data_.reset(new (std::nothrow) std::uint8_t[bytes]());
        if (!data_) {
            LogError("VertexComponentDataPool: out of memory for %llu bytes",
                     static_cast<unsigned long long>(bytes));
            return false;
        }
    }
    count_ = checked;
    dataSize_ = static_cast<std::uint32_t>(bytes);
    return true;
}

}  // namespace Zel
