#include "Render/d3d9/TextureCubeMapD3D9.h"

#include "Core/LogDispatch.h"
#include "Core/threadmng.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/PixelFormat.h"

namespace Zel {

TextureCubeMapD3D9::TextureCubeMapD3D9(std::uint32_t pool, IDirect3DDevice9* device)
    : TextureCubeMap(pool, device) {}

TextureCubeMapD3D9::~TextureCubeMapD3D9() {
    ReleaseDeviceObjects();
}

bool TextureCubeMapD3D9::ReleaseDeviceObjects() {
    refill_ = 1;
    if (cube_)
        cube_->Release();
    cube_ = nullptr;
    TakeBackBytes();
    return true;
}

bool TextureCubeMapD3D9::MakeCube(UINT levels, bool recreate) {
    if (!d3dDevice_)
        return false;
    const auto bytes = static_cast<std::uint32_t>(GetPixelFormatByteSize(std::uint32_t(width_),
                                                                         std::uint32_t(width_), 1,
                                                                         std::uint32_t(format_)) *
                                                  24 / 3);
    if (!ReserveBytes(bytes)) {
        LogTyped(LOG_ENGINE_INIT,
                 recreate ? "ERROR : 创建贴图失败，显存不足" : "创建贴图失败，显存不足");
        return false;
    }
    // A default-pool cube cannot be written by the CPU: fill a system-memory twin instead.
    threadmng* threads = threadmng::GetInstance();
    threads->BeginDeviceAccess();
    const HRESULT hr = d3dDevice_->CreateCubeTexture(
        UINT(width_), levels, 0,
        static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(std::uint32_t(format_))), DevicePool(),
        &cube_, nullptr);
    threads->EndDeviceAccess();
    if (FAILED(hr)) {
        cube_ = nullptr;
        LogDeviceError("pD3D->CreateCubeTexture", hr, name_.c_str());
        TakeBackBytes();
        return false;
    }
    if (levels == 0)
        flags_ |= FLAG_FULL_MIP;
    refill_ = 0;
    return true;
}

bool TextureCubeMapD3D9::Create(int edge, int height, int depth, int type, int format,
                                int /*levels*/, bool /*dynamic*/) {
    ReleaseDeviceObjects();
    SetFields(edge, height, depth, type, format, 0);
    return MakeCube(0, false);
}

bool TextureCubeMapD3D9::RecreateDeviceObjects() {
    refill_ = 0;
    if (cube_ || !d3dDevice_)
        return true;
    if (HasAllFaces())
        return CreateFromImage();
    return MakeCube(0, true);
}

bool TextureCubeMapD3D9::CreateFromImage() {
    if (!d3dDevice_ || !HasAllFaces())
        return false;
    SetName(faces_[0]->GetLoadPath());
    ReleaseDeviceObjects();
    const UINT levels = UINT(levels_ > 0 ? levels_ : 1);
    if (!MakeCube(levels, true))
        return false;
    IDirect3DCubeTexture9* target = cube_;
    const bool twin = DevicePool() == D3DPOOL_DEFAULT;
    if (twin && FAILED(d3dDevice_->CreateCubeTexture(
                    UINT(width_), levels, 0,
                    static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(std::uint32_t(format_))),
                    D3DPOOL_SYSTEMMEM, &target, nullptr))) {
        ReleaseDeviceObjects();
        return false;
    }
    const auto format = std::uint32_t(format_);
    bool ok = true;
    for (int face = 0; face < kFaceCount && ok; ++face) {
        const Image& image = *faces_[std::size_t(face)];
        for (UINT level = 0; level < levels && level < image.GetSurfaceCount(); ++level) {
            const ImageSurface* surface = image.GetSurface(level);
            D3DLOCKED_RECT locked{};
            if (FAILED(target->LockRect(D3DCUBEMAP_FACES(face), level, &locked, nullptr, 0))) {
                LogTyped(LOG_ENGINE_INIT, "D3DTextureManagement->LockRect");
                ok = false;
                break;
            }
            CopySurfaceRows(*surface, format, locked.pBits, locked.Pitch);
            target->UnlockRect(D3DCUBEMAP_FACES(face), level);
        }
    }
    if (twin) {
        if (ok)
            ok = SUCCEEDED(d3dDevice_->UpdateTexture(target, cube_));
        target->Release();
    }
    if (!ok) {
        ReleaseDeviceObjects();
        return false;
    }
    OnContentChanged();
    return true;
}

std::uint32_t TextureCubeMapD3D9::GetDeviceRefCount() {
    if (!cube_)
        return 0;
    cube_->AddRef();
    return cube_->Release();
}

}  // namespace Zel
