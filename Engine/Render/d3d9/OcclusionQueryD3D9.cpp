#include "Render/d3d9/OcclusionQueryD3D9.h"

#include <cstring>

#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {

OcclusionQueryD3D9::~OcclusionQueryD3D9() {
    if (query_)
        query_->Release();
}

void OcclusionQueryD3D9::Begin() {
    if (!tried_) {
        tried_ = true;
        auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
        IDirect3DDevice9* d3d = device ? device->GetD3DDevice() : nullptr;
        // A null output only asks whether the type is supported.
        if (d3d && d3d->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr) == D3D_OK)
            d3d->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query_);
    }
    if (!query_)
        return;
    query_->Issue(D3DISSUE_BEGIN);
    state_ = STATE_BEGUN;
}

void OcclusionQueryD3D9::End() {
    if (!query_)
        return;
    query_->Issue(D3DISSUE_END);
    state_ = STATE_PENDING;
}

bool OcclusionQueryD3D9::GetResult(void* data, std::uint32_t size) {
    if (!query_) {
        if (data && size >= 4) {
            const std::uint32_t visible = 0xFFFFFFFFu;
            std::memcpy(data, &visible, 4);
        }
        return true;
    }
    if (query_->GetData(data, size, D3DGETDATA_FLUSH) == S_OK) {
        state_ = STATE_IDLE;
        return true;
    }
    state_ = STATE_PENDING;
    return false;
}

}  // namespace Zel
