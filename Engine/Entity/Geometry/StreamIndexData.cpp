#include "Entity/Geometry/StreamIndexData.h"

#include <algorithm>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCodes.h"

namespace Zel {

void StreamIndexData::Commit(std::uint32_t count) {
    indexCount_ = std::min(count, static_cast<std::uint32_t>(staging_.size()));
    Upload();
}

void StreamIndexData::Upload() {
    const std::uint32_t count = std::min(indexCount_, static_cast<std::uint32_t>(staging_.size()));
    if (count == 0)
        return;
    if (!buffer_ || buffer_->GetIndexCount() < count) {
        HardwareBufferManager* manager = MeshBufferManager();
        HardwareIndexBuffer* made =
            manager ? manager->CreateIndexBuffer(DeviceUses32BitIndices() ? IS_32BIT : IS_16BIT,
                                                 count, BU_DYNAMIC | BU_WRITE_ONLY, false, false)
                    : nullptr;
        SetBuffer(made);
        if (!made) {
            ReportMeshDataCheck("indexBufferPtr != NULL", __LINE__, __func__);
            return;
        }
    }
    void* locked = buffer_->Lock(LO_DISCARD);
    if (!locked) {
        LogError("StreamIndexData: cannot lock the index buffer");
        return;
    }
    WriteIndices(locked, buffer_->Is32Bit(), staging_.data(), count);
    buffer_->Unlock();
    buffer_->SetRefillFlag(0);
}

std::uint32_t StreamIndexData::GetMemorySize() const {
    return buffer_ ? buffer_->GetSizeInBytes() : 0;
}

void StreamIndexData::Clear() {
    indexCount_ = 0;
    staging_ = {};
    ReleaseBuffer();
}

}  // namespace Zel
