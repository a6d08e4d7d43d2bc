// A vertex buffer of the software device.
#pragma once

#include "Platform/D3D9/BufferMemory.h"
#include "Platform/D3D9/IDirect3DVertexBuffer9.h"
#include "Platform/D3D9/SoftDeviceChild.h"

class SoftVertexBuffer9 final : public IDirect3DVertexBuffer9, public SoftDeviceChild {
public:
    SoftVertexBuffer9(SoftDevice9* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                      bool blocksReset);

    static SoftVertexBuffer9* From(IDirect3DVertexBuffer9* buffer);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return memory_.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    const D3DVERTEXBUFFER_DESC& Desc() const { return desc_; }
    const BufferMemory& Memory() const { return memory_; }

private:
    ~SoftVertexBuffer9() override = default;

    D3DVERTEXBUFFER_DESC desc_;
    BufferMemory memory_;
};
