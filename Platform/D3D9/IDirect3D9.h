// The Direct3D 9 object: the adapter's description and device creation.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3DDevice9.h"
#include "Platform/D3D9/IUnknown.h"

inline constexpr GUID IID_IDirect3D9 = {
    0x81BDCBCA, 0x64D4, 0x426D, {0xAE, 0x8D, 0xAD, 0x01, 0x47, 0xF4, 0x27, 0x5C}};

// There is one adapter (D3DADAPTER_DEFAULT); every other ordinal answers D3DERR_INVALIDCALL.
// What the adapter reports comes from SoftAdapter (its identity, display mode, format and
// multisample tables, caps).
class IDirect3D9 : public IUnknown {
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                         D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    // D3D_OK when a resource of the type can have the format with every usage asked for;
    // D3DOK_NOAUTOGEN when only D3DUSAGE_AUTOGENMIPMAP is missing; D3DERR_NOTAVAILABLE otherwise.
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                      DWORD usage, D3DRESOURCETYPE resourceType,
                                      D3DFORMAT checkFormat) = 0;
    // D3D_OK (and one quality level) when surfaces of the format support the type;
    // D3DERR_NOTAVAILABLE otherwise.
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                               D3DFORMAT surfaceFormat, BOOL windowed,
                                               D3DMULTISAMPLE_TYPE type, DWORD* qualityLevels) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
    // Makes a device presenting into the device window (the parameters' hDeviceWindow, else the
    // focus window). Exactly one of the vertex-processing flags must be given. Writes null and
    // answers the failure when the device cannot be made.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                 DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                 IDirect3DDevice9** device) = 0;

protected:
    ~IDirect3D9() = default;
};
