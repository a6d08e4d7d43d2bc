#include "Entity/Geometry/IndexData.h"

#include <algorithm>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCodes.h"

namespace Zel {

IndexData::IndexData(std::uint32_t usage) : usage_(usage) {}

IndexData::~IndexData() {
    ReleaseBuffer();
}

void IndexData::SetBuffer(HardwareIndexBuffer* buffer) {
    if (buffer == buffer_)
        return;
    ReleaseBuffer();
    if (buffer) {
        buffer->AddRef();
        buffer_ = buffer;
        bufferManager_ = buffer->GetManager();
    }
}

void IndexData::ReleaseBuffer() {
    HardwareIndexBuffer* buffer = buffer_;
    buffer_ = nullptr;
    // A manager that is gone (Globals shut down) already deleted its buffers.
    if (!buffer || (bufferManager_ && bufferManager_ != MeshBufferManager()))
        return;
    if (buffer->DecRef() == 1)
        buffer->Destroy();
}

void IndexData::AllocateIndices(std::uint32_t count) {
    indices_.assign(count, 0);
    indexCount_ = count;
}

void IndexData::TakeIndices(std::vector<std::uint32_t>& indices) {
    indices_ = std::move(indices);
    indices.clear();
    indexCount_ = static_cast<std::uint32_t>(indices_.size());
}

bool IndexData::WriteBuffer(std::uint32_t offset) {
    const std::uint32_t count = std::min(indexCount_, GetArraySize());
    const std::uint64_t bytes = std::uint64_t(count) * buffer_->GetIndexSize();
    if (count == 0)
        return true;
    void* locked = bytes <= 0xFFFFFFFFu
                       ? buffer_->Lock(offset, static_cast<std::uint32_t>(bytes), LO_DISCARD)
                       : nullptr;
    if (!locked) {
        LogError("IndexData: cannot lock %u indexes at byte %u of the index buffer", count, offset);
        return false;
    }
    WriteIndices(locked, buffer_->Is32Bit(), indices_.data(), count);
    buffer_->Unlock();
    buffer_->SetRefillFlag(0);
    return true;
}

void IndexData::Upload() {
    if (!buffer_ || buffer_->GetRefillFlag() == 0 || indices_.empty())
        return;
    WriteBuffer(bufferOffset_);
}

std::uint32_t IndexData::GetMemorySize() const {
    std::uint64_t bytes = buffer_ ? buffer_->GetSizeInBytes() : 0;
    if (!indices_.empty())
        bytes += std::uint64_t(indexCount_) * 4;
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
}

bool IndexData::CreateBuffer(std::uint32_t indexKind, std::uint32_t usage, bool useShadow) {
    ReleaseBuffer();
    if (indexCount_ == 0)
        return true;
    HardwareBufferManager* manager = MeshBufferManager();
    HardwareIndexBuffer* buffer =
        manager ? manager->CreateIndexBuffer(indexKind, indexCount_, usage, useShadow, false)
                : nullptr;
    if (!buffer) {
        LogError("IndexData: cannot create an index buffer of %u indexes", indexCount_);
        return false;
    }
    SetBuffer(buffer);
    return WriteBuffer(0);
}

void IndexData::CopyFrom(const IndexData& other) {
    if (&other == this)
        return;
    ReleaseBuffer();
    leadingWord_ = other.leadingWord_;
    indexCount_ = other.indexCount_;
    bufferOffset_ = 0;
    clearedWord_ = 0;
    indices_ = other.indices_;
    if (other.buffer_)
        CreateBuffer(other.buffer_->GetIndexKind(), other.buffer_->GetUsage(),
                     other.buffer_->UsesShadow());
}

}  // namespace Zel
