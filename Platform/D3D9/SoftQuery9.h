// A query of the software device (occlusion). Between D3DISSUE_BEGIN and D3DISSUE_END it counts the
// samples the device reports as passing the depth test (SoftDevice9::AddOcclusionSamples, fed by
// the rasteriser). After END the result is ready at once, unless the device's pending-poll hook
// makes the next n GetData calls answer S_FALSE first.
#pragma once

#include "Platform/D3D9/IDirect3DQuery9.h"
#include "Platform/D3D9/SoftDeviceChild.h"

class SoftQuery9 final : public IDirect3DQuery9, public SoftDeviceChild {
public:
    SoftQuery9(SoftDevice9* device, D3DQUERYTYPE type)
        : SoftDeviceChild(device, false, true), type_(type) {}

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    D3DQUERYTYPE GetType() override { return type_; }
    DWORD GetDataSize() override { return sizeof(DWORD); }
    HRESULT Issue(DWORD issueFlags) override;
    HRESULT GetData(void* data, DWORD size, DWORD getDataFlags) override;

private:
    enum class State { Signaled, Building, Issued };

    ~SoftQuery9() override = default;

    D3DQUERYTYPE type_;
    State state_ = State::Signaled;
    ULONGLONG startSamples_ = 0;
    DWORD result_ = 0;
    UINT pendingPolls_ = 0;
};
