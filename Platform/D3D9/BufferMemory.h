// The bytes of a vertex or index buffer and their lock protocol. Locks nest (each Lock needs an
// Unlock). The memory stays in place across locks: DISCARD and NOOVERWRITE are accepted and act as
// a normal lock, which Direct3D 9 allows for every buffer.
#pragma once

#include <vector>

#include "Platform/D3D9/D3D9Types.h"

class BufferMemory {
public:
    // size bytes, zero-filled.
    explicit BufferMemory(UINT size);

    UINT Size() const { return static_cast<UINT>(bytes_.size()); }
    const BYTE* Data() const { return bytes_.data(); }
    UINT LockCount() const { return locks_; }

    // Maps size bytes from offset (size 0: to the end); D3DERR_INVALIDCALL (and null) when the
    // range leaves the buffer or data is null.
    HRESULT Lock(UINT offset, UINT size, void** data);
    // D3DERR_INVALIDCALL when not locked.
    HRESULT Unlock();

private:
    std::vector<BYTE> bytes_;
    UINT locks_ = 0;
};
