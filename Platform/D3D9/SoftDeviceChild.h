// The life of an object made by the software device (resource, swap chain, declaration, shader,
// query). Two counts keep it alive:
// - the caller's references (AddRef/Release of its interface). While there are any, the object
//   holds a reference on its device, so a device outlives everything a caller still holds;
// - the device's own holds (Hold/Drop): bindings (a bound texture, stream, target) and the
//   device's ownership of its implicit swap chain and depth-stencil surface. They do not count as
//   the caller's references and do not keep the device alive.
// The object deletes itself when both counts are zero. Objects that block a plain device's Reset
// (DEFAULT-pool resources, additional swap chains, explicit targets) are reported to the device
// while the caller holds them. Host thread only.
#pragma once

#include "Platform/D3D9/D3D9Types.h"

class IDirect3DDevice9;
class SoftDevice9;
class SoftSurface9;

class SoftDeviceChild {
public:
    SoftDeviceChild(const SoftDeviceChild&) = delete;
    SoftDeviceChild& operator=(const SoftDeviceChild&) = delete;

    SoftDevice9* Device() const { return device_; }
    bool BlocksReset() const { return blocksReset_; }
    ULONG CallerReferences() const { return refs_; }

    // The caller's references; both answer the new count. An object that is part of another
    // (a texture level, a back buffer) counts on that owner instead.
    virtual ULONG AddRefChild();
    virtual ULONG ReleaseChild();
    // The device's holds.
    virtual void Hold();
    virtual void Drop();

    // Called by a surface that is part of this object when its pixels changed.
    virtual void OnPartWritten(const SoftSurface9* part) { (void)part; }

protected:
    // forCaller: the object starts with one caller reference (it is handed to a caller); else it
    // starts with none and the maker holds it (or it is part of an owner).
    SoftDeviceChild(SoftDevice9* device, bool blocksReset, bool forCaller);
    virtual ~SoftDeviceChild();

    HRESULT GetDeviceFor(IDirect3DDevice9** device);

private:
    SoftDevice9* device_;
    bool blocksReset_;
    ULONG refs_;
    ULONG holds_ = 0;
};
