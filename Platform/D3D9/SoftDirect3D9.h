// The Direct3D 9 object of the software device: answers from SoftAdapter and makes SoftDevice9s.
// Made by Direct3DCreate9 (plain) or Direct3DCreate9Ex (Ex: QueryInterface reaches IDirect3D9Ex and
// CreateDeviceEx works).
#pragma once

#include "Platform/D3D9/IDirect3D9Ex.h"

class SoftDirect3D9 final : public IDirect3D9Ex {
public:
    explicit SoftDirect3D9(bool ex) : ex_(ex) {}
    SoftDirect3D9(const SoftDirect3D9&) = delete;
    SoftDirect3D9& operator=(const SoftDirect3D9&) = delete;

    bool IsEx() const { return ex_; }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                 D3DADAPTER_IDENTIFIER9* identifier) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                       BOOL windowed, D3DMULTISAMPLE_TYPE type,
                                       DWORD* qualityLevels) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;
    HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                           DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                           D3DDISPLAYMODEEX* fullscreenDisplayMode,
                           IDirect3DDevice9Ex** device) override;

private:
    ~SoftDirect3D9() = default;

    ULONG refs_ = 1;
    bool ex_;
};
