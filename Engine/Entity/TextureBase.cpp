#include "Entity/TextureBase.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Core/ErrorReport.h"
#include "Core/IZelStream.h"
#include "Core/PathUtils.h"
#include "Entity/Image.h"
#include "Entity/PixelFormat.h"
#include "Platform/D3DX9/D3DX9Save.h"
#include "Platform/D3DX9/D3DX9Texture.h"
#include "Render/d3d9/D3D9Mapping.h"

namespace Zel {
namespace {

int FormatOfFile(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_DXT1:
            return PF_DXT1;
        case D3DFMT_DXT2:
            return PF_DXT2;
        case D3DFMT_DXT3:
            return PF_DXT3;
        case D3DFMT_DXT4:
            return PF_DXT4;
        case D3DFMT_DXT5:
            return PF_DXT5;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R8G8B8:
            return PF_X8R8G8B8;
        default:
            return PF_A8R8G8B8;
    }
}

}  // namespace

TextureBase::TextureBase(std::uint32_t pool, IDirect3DDevice9* device, int type)
    : pool_(pool), device_(device), type_(type) {}

TextureBase::~TextureBase() {
    TextureBase::ReleaseDeviceObjects();
}

void TextureBase::SetImage(const SharedPtr<Image>& image) {
    image_ = image;
    if (!image || !image->GetFirstSurface())
        return;
    const ImageSurface* surface = image->GetFirstSurface();
    width_ = static_cast<int>(surface->GetWidth());
    height_ = static_cast<int>(surface->GetHeight());
    depth_ = static_cast<int>(surface->GetDepth());
    levels_ = static_cast<int>(image->GetMipCount());
    format_ = static_cast<int>(image->GetFormat());
}

void TextureBase::ReleaseImage() {
    image_.Reset();
}

bool TextureBase::CreateFromImage() {
    Image* image = image_.Get();
    const D3DFORMAT format = static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(format_));
    if (!device_ || !image || !image->GetFirstSurface() || format == D3DFMT_UNKNOWN)
        return false;
    name_ = NormalizePath(image->GetLoadPath());
    TextureBase::ReleaseDeviceObjects();
    const UINT levels = static_cast<UINT>(std::max(levels_, 1));
    HRESULT hr = device_->CreateTexture(UINT(width_), UINT(height_), levels, 0, format,
                                        DevicePool(), &texture_, nullptr);
    if (FAILED(hr)) {
        texture_ = nullptr;
        ReportError("CreateTexture failed (0x%08X), W=%d,H=%d", unsigned(hr), width_, height_);
        return false;
    }
    const bool blocks = IsPixelFormatCompressed(std::uint32_t(format_));
    for (UINT level = 0; level < levels && level < image->GetSurfaceCount(); ++level) {
        const ImageSurface* surface = image->GetSurface(level);
        D3DLOCKED_RECT locked{};
        hr = texture_->LockRect(level, &locked, nullptr, 0);
        if (FAILED(hr)) {
            ReportError("LockRect failed (0x%08X), %s", unsigned(hr), name_.c_str());
            TextureBase::ReleaseDeviceObjects();
            return false;
        }
        const std::uint32_t rows = blocks ? (surface->GetHeight() + 3) / 4 : surface->GetHeight();
        const std::size_t rowBytes = surface->GetDataSize() / rows;
        for (std::uint32_t row = 0; row < rows; ++row)
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::size_t(locked.Pitch) * row,
                        surface->GetData() + rowBytes * row, rowBytes);
        texture_->UnlockRect(level);
    }
    return true;
}

bool TextureBase::CreateFromFileInMemory(IZelStream* stream, const SharedPtr<Image>& image) {
    image_ = image;
    if (!device_ || !stream)
        return false;
    std::vector<std::uint8_t> bytes(stream->GetSize());
    stream->Seek(0, STREAM_SEEK_SET);
    if (bytes.empty() || stream->Read(bytes.data(), std::uint32_t(bytes.size())) != bytes.size())
        return false;
    TextureBase::ReleaseDeviceObjects();
    D3DXIMAGE_INFO info{};
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        device_, bytes.data(), UINT(bytes.size()), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
        D3DFMT_UNKNOWN, DevicePool(), D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture_);
    if (FAILED(hr)) {
        texture_ = nullptr;
        ReportError("D3DXCreateTextureFromFileInMemoryEx failed (0x%08X)", unsigned(hr));
        return false;
    }
    D3DSURFACE_DESC desc{};
    texture_->GetLevelDesc(0, &desc);
    name_ = NormalizePath(stream->GetName());
    width_ = static_cast<int>(desc.Width);
    height_ = static_cast<int>(desc.Height);
    depth_ = 1;
    levels_ = static_cast<int>(texture_->GetLevelCount());
    format_ = FormatOfFile(info.Format);
    return true;
}

void TextureBase::SetDeviceTexture(IDirect3DTexture9* texture) {
    TextureBase::ReleaseDeviceObjects();
    texture_ = texture;
}

bool TextureBase::ReleaseDeviceObjects() {
    if (texture_)
        texture_->Release();
    texture_ = nullptr;
    return true;
}

D3DPOOL TextureBase::DevicePool() const {
    switch (pool_) {
        case 0:
            return D3DPOOL_DEFAULT;
        case 2:
            return D3DPOOL_SYSTEMMEM;
        default:
            return D3DPOOL_MANAGED;
    }
}

}  // namespace Zel

// ---- What render targets need of a texture until the texture code gives it its full form.

namespace Zel {

bool TextureBase::Create(int width, int height, int depth, int type, int format, int levels,
                         bool /*dynamic*/) {
    const D3DFORMAT d3dFormat = static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(format));
    if (!device_ || d3dFormat == D3DFMT_UNKNOWN || width <= 0 || height <= 0 || levels < 0)
        return false;
    TextureBase::ReleaseDeviceObjects();
    width_ = width;
    height_ = height;
    depth_ = depth;
    type_ = type;
    format_ = format;
    levels_ = levels;
    const HRESULT hr = device_->CreateTexture(UINT(width), UINT(height), UINT(levels), 0, d3dFormat,
                                              DevicePool(), &texture_, nullptr);
    if (FAILED(hr)) {
        texture_ = nullptr;
        return false;
    }
    return true;
}

bool TextureBase::LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                            std::uint32_t mode) {
    *pitch = 0;
    *bits = nullptr;
    if (!texture_ || lockedLevel_ >= 0 || level < 0)
        return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture_->LockRect(UINT(level), &locked, rect, D3DTextureLockFlags(mode))))
        return false;
    *pitch = locked.Pitch;
    *bits = locked.pBits;
    lockedLevel_ = level;
    return true;
}

void TextureBase::UnlockLevel() {
    if (texture_ && lockedLevel_ >= 0)
        texture_->UnlockRect(UINT(lockedLevel_));
    lockedLevel_ = -1;
}

bool TextureBase::SaveToFile(const char* path, int imageKind) {
    static constexpr D3DXIMAGE_FILEFORMAT kFormats[] = {D3DXIFF_BMP, D3DXIFF_JPG, D3DXIFF_TGA,
                                                        D3DXIFF_PNG, D3DXIFF_DDS};
    if (!texture_ || !path || imageKind < 0 || imageKind > 4)
        return false;
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(texture_->GetSurfaceLevel(0, &surface)))
        return false;
    const HRESULT hr = D3DXSaveSurfaceToFileA(path, kFormats[imageKind], surface, nullptr, nullptr);
    surface->Release();
    return SUCCEEDED(hr);
}

}  // namespace Zel
