// Base of every object that owns device memory a lost device destroys. The pool code says where
// the device object lives; a default-pool object (code 0) is released when the device is lost and
// rebuilt after the reset, through the two hooks its class supplies. The resource code builds the
// notifications, the refill flag and the reset stamp on this. Host thread.
#pragma once

#include <cstdint>

#include "Core/Object.h"
#include "Render/RenderCodes.h"

namespace Zel {

class RenderDevice;

class RenderResource : public Object {
public:
    // poolPreference: the pool code the resource starts with (a class may choose its own in its
    // constructor); device: the render device it lives on (not owned; may be null).
    RenderResource(std::uint32_t poolPreference, RenderDevice* device)
        : poolCode_(poolPreference), device_(device) {}
    ~RenderResource() override = default;
    ZEL_CLASS_ID(RenderResource)

    // True exactly when the device object lives in the default pool, so it must be released and
    // rebuilt around a device reset.
    virtual bool IsDefaultPool() const { return poolCode_ == MP_DEFAULT; }
    // Frees the device objects (the device was lost) and marks the resource lost.
    virtual void ReleaseHardwareResource() = 0;
    // Builds them again after a reset.
    virtual void RecreateHardwareResource() = 0;

    void OnDeviceLost() { ReleaseHardwareResource(); }
    void OnDeviceReset() { RecreateHardwareResource(); }

    std::uint32_t GetPoolCode() const { return poolCode_; }
    RenderDevice* GetRenderDevice() const { return device_; }
    // 1 from construction and after each loss: the contents must be written (again).
    bool IsLost() const { return lost_; }
    void SetLost(bool lost) { lost_ = lost; }
    // The scene's frame id when the device object was made.
    std::uint32_t GetCreationStamp() const { return creationStamp_; }

protected:
    std::uint32_t poolCode_;
    RenderDevice* device_;
    bool lost_ = true;
    std::uint32_t creationStamp_ = 0;
};

}  // namespace Zel
