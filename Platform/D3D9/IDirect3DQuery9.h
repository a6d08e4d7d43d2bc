// An asynchronous query (occlusion).
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3DDevice9;

inline constexpr GUID IID_IDirect3DQuery9 = {
    0xD9771460, 0xA695, 0x4F26, {0xBB, 0xD3, 0x27, 0xB8, 0x40, 0xB5, 0x41, 0xCC}};

class IDirect3DQuery9 : public IUnknown {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DQUERYTYPE GetType() = 0;
    // Bytes of the query's result (4 for an occlusion count).
    virtual DWORD GetDataSize() = 0;
    // D3DISSUE_BEGIN starts counting, D3DISSUE_END ends it.
    virtual HRESULT Issue(DWORD issueFlags) = 0;
    // S_OK with the result written (when size allows), S_FALSE while it is not ready yet,
    // D3DERR_INVALIDCALL while the query is being counted or for a size that is too small.
    virtual HRESULT GetData(void* data, DWORD size, DWORD getDataFlags) = 0;

protected:
    ~IDirect3DQuery9() = default;
};
