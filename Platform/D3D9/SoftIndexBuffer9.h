// An index buffer of the software device (D3DFMT_INDEX16 or D3DFMT_INDEX32).
#pragma once

#include "Platform/D3D9/BufferMemory.h"
#include "Platform/D3D9/IDirect3DIndexBuffer9.h"
#include "Platform/D3D9/SoftDeviceChild.h"

class SoftIndexBuffer9 final : public IDirect3DIndexBuffer9, public SoftDeviceChild {
public:
    SoftIndexBuffer9(SoftDevice9* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                     bool blocksReset);

    static SoftIndexBuffer9* From(IDirect3DIndexBuffer9* buffer);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return memory_.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    const D3DINDEXBUFFER_DESC& Desc() const { return desc_; }
    const BufferMemory& Memory() const { return memory_; }
    // 2 or 4.
    UINT IndexSize() const { return desc_.Format == D3DFMT_INDEX32 ? 4 : 2; }

private:
    ~SoftIndexBuffer9() override = default;

    D3DINDEXBUFFER_DESC desc_;
    BufferMemory memory_;
};
