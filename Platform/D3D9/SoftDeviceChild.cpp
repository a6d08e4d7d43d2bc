#include "Platform/D3D9/SoftDeviceChild.h"

#include "Platform/D3D9/SoftDevice9.h"

SoftDeviceChild::SoftDeviceChild(SoftDevice9* device, bool blocksReset, bool forCaller)
    : device_(device), blocksReset_(blocksReset), refs_(forCaller ? 1 : 0) {
    if (forCaller)
        device_->ChildAcquired(this);
}

SoftDeviceChild::~SoftDeviceChild() = default;

ULONG SoftDeviceChild::AddRefChild() {
    if (refs_++ == 0)
        device_->ChildAcquired(this);
    return refs_;
}

ULONG SoftDeviceChild::ReleaseChild() {
    if (refs_ == 0)
        return 0;  // a release the caller does not own: refuse rather than underflow
    ULONG left = --refs_;
    if (left == 0) {
        SoftDevice9* device = device_;
        bool unheld = holds_ == 0;
        device->ChildDropped(this);
        if (unheld)
            delete this;
        device->ReleaseFromChild();  // may destroy the device, which drops its holds on this
    }
    return left;
}

void SoftDeviceChild::Hold() {
    ++holds_;
}

void SoftDeviceChild::Drop() {
    if (holds_ == 0)
        return;
    if (--holds_ == 0 && refs_ == 0)
        delete this;
}

HRESULT SoftDeviceChild::GetDeviceFor(IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = device_;
    device_->AddRef();
    return D3D_OK;
}
