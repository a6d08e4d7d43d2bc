// Base of every texture. The texture code builds its kinds, loading and accounting on it; what is
// here is what the device reads of any texture: the memory pool its device object lives in and
// that Direct3D texture. Host thread.
#pragma once

#include <cstdint>

#include "Core/Object.h"

class IDirect3DBaseTexture9;

namespace Zel {

class TextureBase : public Object {
public:
    TextureBase() = default;
    ~TextureBase() override = default;
    ZEL_CLASS_ID(TextureBase)

    // The memory-pool code of the device object (MemoryPool: 0 default, 1 managed, 2 system).
    std::uint32_t GetPoolCode() const { return poolCode_; }
    // The Direct3D texture; no reference is added. Null while the texture has none.
    IDirect3DBaseTexture9* GetD3DBaseTexture() const { return d3dTexture_; }
    // Binds the Direct3D texture (no reference taken; the caller keeps it alive) and its pool.
    void SetD3DBaseTexture(IDirect3DBaseTexture9* texture, std::uint32_t poolCode) {
        d3dTexture_ = texture;
        poolCode_ = poolCode;
    }

private:
    IDirect3DBaseTexture9* d3dTexture_ = nullptr;
    std::uint32_t poolCode_ = 0;
};

}  // namespace Zel
