#include "Entity/Geometry/VertexBufferByFormatSysMem.h"

#include <new>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"
#include "Render/HardwareBufferManager.h"

namespace Zel {

VertexBufferByFormatSysMem::VertexBufferByFormatSysMem(VertexData* vertexData, std::uint32_t mask)
    : VertexBufferByFormat(vertexData, mask) {
    manager_ = MeshBufferManager();
    if (manager_)
        declaration_ = manager_->GetVertexDeclaration(mask);
}

VertexBufferByFormatSysMem::~VertexBufferByFormatSysMem() {
    FreeArray();
    declaration_ = nullptr;
}

void VertexBufferByFormatSysMem::FreeArray() {
    if (flags_ & kOwnsBuffer)
        delete[] array_;
    array_ = nullptr;
    flags_ &= ~kOwnsBuffer;
}

bool VertexBufferByFormatSysMem::AllocateArray(std::uint32_t bytes) {
    FreeArray();
    array_ = new (std::nothrow) std::uint8_t[bytes]();
    if (!array_) {
        LogError("VertexBufferByFormatSysMem: out of memory for %u bytes", bytes);
        return false;
    }
    flags_ |= kOwnsBuffer;
    return true;
}

}  // namespace Zel
