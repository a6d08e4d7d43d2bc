#include "Platform/D3D9/BufferMemory.h"

BufferMemory::BufferMemory(UINT size) : bytes_(size, 0) {}

HRESULT BufferMemory::Lock(UINT offset, UINT size, void** data) {
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    ULONGLONG end = size == 0 ? bytes_.size() : static_cast<ULONGLONG>(offset) + size;
    if (offset > bytes_.size() || end > bytes_.size())
        return D3DERR_INVALIDCALL;
    *data = bytes_.data() + offset;
    ++locks_;
    return D3D_OK;
}

HRESULT BufferMemory::Unlock() {
    if (locks_ == 0)
        return D3DERR_INVALIDCALL;
    --locks_;
    return D3D_OK;
}
