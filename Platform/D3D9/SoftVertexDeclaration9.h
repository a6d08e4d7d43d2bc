// A vertex declaration of the software device.
#pragma once

#include "Platform/D3D9/IDirect3DVertexDeclaration9.h"
#include "Platform/D3D9/SoftDeviceChild.h"
#include "Platform/D3D9/VertexLayout.h"

class SoftVertexDeclaration9 final : public IDirect3DVertexDeclaration9, public SoftDeviceChild {
public:
    SoftVertexDeclaration9(SoftDevice9* device, const VertexLayout& layout)
        : SoftDeviceChild(device, false, true), layout_(layout) {}

    static SoftVertexDeclaration9* From(IDirect3DVertexDeclaration9* declaration) {
        return dynamic_cast<SoftVertexDeclaration9*>(declaration);
    }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    const VertexLayout& Layout() const { return layout_; }

private:
    ~SoftVertexDeclaration9() override = default;

    VertexLayout layout_;
};
