#include "Platform/D3D9/SoftQuery9.h"

#include <algorithm>
#include <cstring>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/SoftDevice9.h"

HRESULT SoftQuery9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DQuery9>(this, riid, out, {IID_IUnknown, IID_IDirect3DQuery9});
}

HRESULT SoftQuery9::Issue(DWORD issueFlags) {
    if (issueFlags == D3DISSUE_BEGIN) {
        startSamples_ = Device()->OcclusionSamples();
        state_ = State::Building;
        return D3D_OK;
    }
    if (issueFlags == D3DISSUE_END) {
        // An END without a BEGIN counts nothing.
        ULONGLONG counted =
            state_ == State::Building ? Device()->OcclusionSamples() - startSamples_ : 0;
        result_ = static_cast<DWORD>(std::min<ULONGLONG>(counted, 0xFFFFFFFFu));
        pendingPolls_ = Device()->QueryPendingPolls();
        state_ = State::Issued;
        return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT SoftQuery9::GetData(void* data, DWORD size, DWORD) {
    if (state_ == State::Building)
        return D3DERR_INVALIDCALL;
    if (data && size != 0 && size < sizeof(DWORD))
        return D3DERR_INVALIDCALL;
    if (Device()->IsLost())
        return D3DERR_DEVICELOST;
    if (state_ == State::Issued && pendingPolls_ > 0) {
        --pendingPolls_;
        return S_FALSE;
    }
    state_ = State::Signaled;
    if (data && size >= sizeof(DWORD))
        std::memcpy(data, &result_, sizeof(DWORD));
    return S_OK;
}
