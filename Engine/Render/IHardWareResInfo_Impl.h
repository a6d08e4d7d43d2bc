// One hardware buffer in a list handed to the host: no name, the buffer's reference count and its
// size in bytes as they were when the list was built.
#pragma once

#include "Core/IResInfo_Impl.h"
#include "Core/RefCountedObj.h"
#include "Render/HardwareBuffer.h"

namespace Zel {

class IHardWareResInfo_Impl final : public IResInfo_Impl {
public:
    // buffer: a HardwareVertexBuffer or HardwareIndexBuffer, read only here.
    template <class Buffer>
    explicit IHardWareResInfo_Impl(const Buffer& buffer)
        : IResInfo_Impl(std::string(), buffer.GetRefCount(), buffer.GetSizeInBytes()) {}
};

}  // namespace Zel
