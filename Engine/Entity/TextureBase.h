// Base of every texture, made and owned by the texture manager. The texture code builds its
// kinds, loading, accounting and loss on it; what is here is what the device reads of any texture:
// the memory pool its device object lives in and that Direct3D texture.
//
// Reference counted: the count starts at 1, the manager's own; holders add theirs. Host thread.
#pragma once

#include <cstdint>

#include "Core/RefCountedObj.h"
#include "Platform/D3D9/D3D9.h"

namespace Zel {

class TextureBase : public RefCountedObj {
public:
    // pool: 0 default, 1 a pool the device restores by itself (MANAGED), 2 system memory. The
    // device is not owned. type: 2 a 2D texture, 4 a cube texture.
    TextureBase(std::uint32_t pool, IDirect3DDevice9* device, int type)
        : pool_(pool), device_(device), type_(type) {}
    // Releases the device texture.
    ~TextureBase() override {
        if (texture_)
            texture_->Release();
    }

    std::uint32_t GetPool() const { return pool_; }
    int GetType() const { return type_; }
    IDirect3DDevice9* GetDevice() const { return device_; }
    // The Direct3D texture; no reference is added. Null while the texture has none.
    IDirect3DTexture9* GetDeviceTexture() const { return texture_; }
    // Takes over one reference of a Direct3D texture made elsewhere, releasing the one held before.
    void SetDeviceTexture(IDirect3DTexture9* texture) {
        if (texture_)
            texture_->Release();
        texture_ = texture;
    }

private:
    std::uint32_t pool_;
    IDirect3DDevice9* device_;
    int type_;
    IDirect3DTexture9* texture_ = nullptr;
};

}  // namespace Zel
