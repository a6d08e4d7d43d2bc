// An index buffer of 16-bit (kind IS_16BIT) or 32-bit indices: a render resource with the
// hardware-buffer core and a reference count. Made and destroyed only by HardwareBufferManager
// through the graphics-API manager; the Direct3D 9 form supplies the device object. Host thread.
#pragma once

#include "Core/RefCountedObj.h"
#include "Render/HardwareBuffer.h"
#include "Render/RenderResource.h"

namespace Zel {

class HardwareBufferManager;

class HardwareIndexBuffer : public RenderResource, public HardwareBuffer, public RefCountedObj {
public:
    // indexKind: IndexSize (0 16-bit, anything else 32-bit). The size is the index size times the
    // count, in 64 bits and saturated, so a hostile count cannot wrap it small. With useShadow the
    // buffer makes and owns a system-memory shadow of the same indexes.
    HardwareIndexBuffer(HardwareBufferManager* manager, std::uint32_t indexCount,
                        std::uint32_t indexKind, std::uint32_t usage, bool systemMemory,
                        bool useShadow, std::uint32_t poolPreference, RenderDevice* device);
    ~HardwareIndexBuffer() override = default;
    ZEL_CLASS_ID(HardwareIndexBuffer)

    HardwareBufferManager* GetManager() const { return manager_; }
    // Asks the manager to destroy this buffer (HardwareBufferManager::DestroyIndexBuffer); the
    // buffer is gone afterwards when the manager holds it. Nothing without a manager.
    void Destroy();
    std::uint32_t GetIndexCount() const { return indexCount_; }
    std::uint32_t GetIndexKind() const { return indexKind_; }
    bool Is32Bit() const { return indexKind_ != IS_16BIT; }
    std::uint32_t GetIndexSize() const { return Is32Bit() ? 4 : 2; }

private:
    std::uint32_t indexCount_;
    std::uint32_t indexKind_;
    HardwareBufferManager* manager_;
};

}  // namespace Zel
