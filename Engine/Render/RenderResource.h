// Base of every object that owns device memory a lost device destroys (buffers, textures, targets,
// programs, the render window, fonts). The pool code says where the device object lives; a
// default-pool object (code 0) is released when the device is lost and rebuilt after the reset
// through the two hooks its class supplies. Host thread.
#pragma once

#include <cstdint>

#include "Core/Object.h"
#include "Render/RenderCodes.h"

namespace Zel {

class RenderDevice;

class RenderResource : public Object {
public:
    // poolPreference: the pool code the resource starts with (a class may choose its own in its
    // constructor); device: the render device it lives on, the owner word of the creating manager
    // (not owned; may be null).
    RenderResource(std::uint32_t poolPreference, RenderDevice* device)
        : poolCode_(poolPreference), device_(device) {}
    ~RenderResource() override = default;
    ZEL_CLASS_ID(RenderResource)

    // True exactly when the device object lives in the default pool, so it must be released and
    // rebuilt around a device reset.
    virtual bool IsDefaultPool() const { return poolCode_ == MP_DEFAULT; }
    // Frees the device objects (the device was lost).
    virtual bool ReleaseDeviceObjects() = 0;
    // Builds them again after a reset.
    virtual bool RecreateDeviceObjects() = 0;

    // Releases the device objects and asks for a refill; answers what the release answered.
    virtual bool OnDeviceLost();
    // Rebuilds them, asks for a refill and stamps the scene's current frame id; answers the stamp.
    virtual std::uint32_t OnDeviceReset();

    std::uint32_t GetPoolCode() const { return poolCode_; }
    RenderDevice* GetRenderDevice() const { return device_; }
    // 1 from construction and after each notification: the contents must be written (again). The
    // owner of the data clears it after writing.
    std::uint32_t GetRefillFlag() const { return refill_; }
    void SetRefillFlag(std::uint32_t refill) { refill_ = refill; }
    // The scene's frame id at the last reset (0 before any).
    std::uint32_t GetResetStamp() const { return resetStamp_; }

protected:
    // The two notifications' common steps: ask for a refill; stamp the scene's current frame id
    // (0 without one) and answer it.
    void MarkRefill() { refill_ = 1; }
    std::uint32_t StampReset();

    std::uint32_t poolCode_;
    RenderDevice* device_;
    std::uint32_t refill_ = 1;
    std::uint32_t resetStamp_ = 0;
};

}  // namespace Zel
