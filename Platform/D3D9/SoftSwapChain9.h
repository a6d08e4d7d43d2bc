// A swap chain of the software device: its back buffers (parts of the chain, sharing its
// references) and the window its presents copy into. The device's implicit chain is held by the
// device; additional chains are the caller's.
#pragma once

#include <memory>
#include <vector>

#include "Platform/D3D9/IDirect3DSwapChain9.h"
#include "Platform/D3D9/SoftDeviceChild.h"
#include "Platform/D3D9/SoftSurface9.h"

class SoftSwapChain9 final : public IDirect3DSwapChain9, public SoftDeviceChild {
public:
    // parameters are complete (checked and filled in by the device). forCaller: an additional
    // chain handed to a caller; else the device's implicit chain.
    SoftSwapChain9(SoftDevice9* device, const D3DPRESENT_PARAMETERS& parameters, bool forCaller);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion, DWORD flags) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) override;

    const D3DPRESENT_PARAMETERS& Parameters() const { return parameters_; }
    SoftSurface9* BackBuffer(UINT index) const;

    // Copies back buffer 0 (sourceRect of it) into the window (override, else the device window),
    // onto destRect of its client area (clipped to it), point-sampled; the frame's alpha is
    // opaque. D3DERR_INVALIDCALL for a handle that is no window or a source rectangle outside the
    // back buffer. The device decides about loss first.
    HRESULT CopyToWindow(const RECT* sourceRect, const RECT* destRect,
                         HWND destWindowOverride) const;

private:
    ~SoftSwapChain9() override = default;

    D3DPRESENT_PARAMETERS parameters_;
    std::vector<std::unique_ptr<SoftSurface9>> backBuffers_;
};
