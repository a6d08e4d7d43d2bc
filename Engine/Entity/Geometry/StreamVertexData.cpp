#include "Entity/Geometry/StreamVertexData.h"

#include <cstring>
#include <new>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/VertexBufferBinding.h"

namespace Zel {

StreamVertexData::StreamVertexData(std::uint32_t mask, std::uint32_t stride, std::uint32_t capacity)
    : VertexData(nullptr, BU_DYNAMIC | BU_WRITE_ONLY, true), stride_(stride) {
    SetComponentCount(vertexCount_, capacity);
    const std::uint64_t bytes = std::uint64_t(stride) * capacity;
    if (bytes == 0 || bytes > 0xFFFFFFFFu) {
        LogError("StreamVertexData: %u vertices of %u bytes cannot be staged", capacity, stride);
        vertexCount_ = 0;
        return;
    }
    staging_.reset(new (std::nothrow) std::uint8_t[bytes]());
    manager_ = MeshBufferManager();
    if (!staging_ || !manager_) {
        LogError("StreamVertexData: no staging array or buffer manager for %llu bytes",
                 static_cast<unsigned long long>(bytes));
        vertexCount_ = 0;
        return;
    }
    declaration_ = manager_->GetVertexDeclaration(mask);
    binding_ = manager_->CreateVertexBufferBinding();
    buffer_ = manager_->CreateVertexBuffer(static_cast<std::uint32_t>(bytes), usage_, false, false);
    if (!binding_ || !buffer_) {
        LogError("StreamVertexData: cannot create a vertex buffer of %llu bytes",
                 static_cast<unsigned long long>(bytes));
        return;
    }
    binding_->SetBinding(0, buffer_, stride_, 0);
}

StreamVertexData::~StreamVertexData() {
    // A manager that is gone (Globals shut down) took its objects with it.
    if (!manager_ || manager_ != MeshBufferManager())
        return;
    if (binding_)
        binding_->SetBinding(0, nullptr, 0, 0);
    manager_->DestroyVertexBuffer(buffer_);
    manager_->DestroyVertexBufferBinding(binding_);
}

bool StreamVertexData::Upload(std::uint32_t count) {
    if (count > vertexCount_) {
        ReportMeshDataCheck("count <= m_vertexCount", __LINE__, __func__);
        return false;
    }
    if (!buffer_ || count == 0)
        return false;
    const std::uint32_t offset = binding_->GetSlot(0).offset;
    void* locked = buffer_->Lock(offset, count * stride_, LO_DISCARD);
    if (!locked) {
        LogError("StreamVertexData: cannot lock %u vertices of the vertex buffer", count);
        return false;
    }
    std::memcpy(locked, staging_.get(), std::size_t(count) * stride_);
    buffer_->Unlock();
    return true;
}

std::uint32_t StreamVertexData::GetMemorySize() const {
    return buffer_ ? buffer_->GetSizeInBytes() : 0;
}

}  // namespace Zel
