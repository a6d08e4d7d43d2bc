#include "Platform/D3D9/SoftDirect3D9.h"

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/D3D9/SoftDevice9.h"

namespace {

bool KnownAdapter(UINT adapter, D3DDEVTYPE type) {
    return adapter == D3DADAPTER_DEFAULT && (type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF);
}

}  // namespace

HRESULT SoftDirect3D9::QueryInterface(REFIID riid, void** out) {
    if (ex_)
        return AnswerQuery<IDirect3D9Ex>(this, riid, out,
                                         {IID_IUnknown, IID_IDirect3D9, IID_IDirect3D9Ex});
    return AnswerQuery<IDirect3D9>(this, riid, out, {IID_IUnknown, IID_IDirect3D9});
}

ULONG SoftDirect3D9::Release() {
    if (refs_ == 0)
        return 0;
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT SoftDirect3D9::GetAdapterIdentifier(UINT adapter, DWORD,
                                            D3DADAPTER_IDENTIFIER9* identifier) {
    if (adapter != D3DADAPTER_DEFAULT || !identifier)
        return D3DERR_INVALIDCALL;
    *identifier = SoftAdapter::Current().identifier;
    return D3D_OK;
}

HRESULT SoftDirect3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != D3DADAPTER_DEFAULT || !mode)
        return D3DERR_INVALIDCALL;
    *mode = SoftAdapter::Current().displayMode;
    return D3D_OK;
}

HRESULT SoftDirect3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT,
                                         DWORD usage, D3DRESOURCETYPE resourceType,
                                         D3DFORMAT checkFormat) {
    if (!KnownAdapter(adapter, deviceType))
        return D3DERR_INVALIDCALL;
    if (resourceType == D3DRTYPE_VERTEXBUFFER)
        return checkFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_INDEXBUFFER)
        return checkFormat == D3DFMT_INDEX16 || checkFormat == D3DFMT_INDEX32 ? D3D_OK
                                                                              : D3DERR_NOTAVAILABLE;
    if (resourceType != D3DRTYPE_SURFACE && resourceType != D3DRTYPE_TEXTURE &&
        resourceType != D3DRTYPE_CUBETEXTURE)
        return D3DERR_NOTAVAILABLE;
    const auto& table = SoftAdapter::Current().formatUsages;
    auto it = table.find(checkFormat);
    if (it == table.end())
        return D3DERR_NOTAVAILABLE;
    // Usages that every resource may carry are not a property of the format.
    DWORD asked = usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING);
    if (D3D9Format::IsDepth(checkFormat) && !(asked & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_NOTAVAILABLE;
    DWORD missing = asked & ~it->second;
    if (missing == 0)
        return D3D_OK;
    return missing == D3DUSAGE_AUTOGENMIPMAP ? D3DOK_NOAUTOGEN : D3DERR_NOTAVAILABLE;
}

HRESULT SoftDirect3D9::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                                  D3DFORMAT surfaceFormat, BOOL,
                                                  D3DMULTISAMPLE_TYPE type, DWORD* qualityLevels) {
    if (!KnownAdapter(adapter, deviceType) || type > D3DMULTISAMPLE_16_SAMPLES)
        return D3DERR_INVALIDCALL;
    if (qualityLevels)
        *qualityLevels = 0;
    const SoftAdapter& a = SoftAdapter::Current();
    if (a.formatUsages.find(surfaceFormat) == a.formatUsages.end())
        return D3DERR_NOTAVAILABLE;
    if (type != D3DMULTISAMPLE_NONE) {
        auto it = a.multisampleTypes.find(surfaceFormat);
        if (it == a.multisampleTypes.end() || !(it->second & (1u << type)))
            return D3DERR_NOTAVAILABLE;
    }
    if (qualityLevels)
        *qualityLevels = 1;
    return D3D_OK;
}

HRESULT SoftDirect3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    if (!KnownAdapter(adapter, deviceType) || !caps)
        return D3DERR_INVALIDCALL;
    *caps = SoftAdapter::Current().caps;
    caps->DeviceType = deviceType;
    caps->AdapterOrdinal = adapter;
    return D3D_OK;
}

HRESULT SoftDirect3D9::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                    DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                    IDirect3DDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!KnownAdapter(adapter, deviceType))
        return D3DERR_INVALIDCALL;
    SoftDevice9* made = nullptr;
    HRESULT hr = SoftDevice9::Create(this, false, focusWindow, behaviorFlags, parameters, &made);
    *device = made;
    return hr;
}

HRESULT SoftDirect3D9::CreateDeviceEx(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                      DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                                      D3DDISPLAYMODEEX* fullscreenDisplayMode,
                                      IDirect3DDevice9Ex** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!ex_ || !KnownAdapter(adapter, deviceType) || !parameters ||
        (parameters->Windowed && fullscreenDisplayMode))
        return D3DERR_INVALIDCALL;
    SoftDevice9* made = nullptr;
    HRESULT hr = SoftDevice9::Create(this, true, focusWindow, behaviorFlags, parameters, &made);
    *device = made;
    return hr;
}
