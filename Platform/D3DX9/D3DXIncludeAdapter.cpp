#include "Platform/D3DX9/D3DXIncludeAdapter.h"

bool D3DXIncludeAdapter::Open(Hlsl::IncludeType type, const std::string& name,
                              const void* parentData, const void** data, std::uint32_t* bytes) {
    LPCVOID got = nullptr;
    UINT size = 0;
    HRESULT hr =
        include_->Open(static_cast<D3DXINCLUDE_TYPE>(type), name.c_str(), parentData, &got, &size);
    if (!SUCCEEDED(hr))
        return false;
    if (got == nullptr) {
        // A handler that reports success with no data: nothing to read and nothing to close.
        return false;
    }
    *data = got;
    *bytes = size;
    return true;
}
