#include "Render/d3d9/TextureD3D9.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/SectionGuard.h"
#include "Core/threadmng.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/D3DX9/D3DX9Save.h"
#include "Platform/D3DX9/D3DX9Texture.h"
#include "Platform/Vfs/Vfs.h"
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

bool DynamicTexturesAllowed() {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return caps && (caps->featureFlags & DEVICE_DYNAMIC_TEXTURES);
}

// Level 0 bytes times four thirds: what a 2D texture adds to the device-texture counter.
std::uint32_t AccountedSize(int width, int height, int depth, int format) {
    return static_cast<std::uint32_t>(
        GetPixelFormatByteSize(std::uint32_t(width), std::uint32_t(height),
                               std::uint32_t(depth > 0 ? depth : 1), std::uint32_t(format)) *
        4 / 3);
}

}  // namespace

TextureD3D9::TextureD3D9(std::uint32_t pool, IDirect3DDevice9* device, int type)
    : TextureBase(pool, device, type) {}

TextureD3D9::~TextureD3D9() {
    ReleaseDeviceObjects();
}

bool TextureD3D9::UsesSystemCopy() const {
    return DevicePool() == D3DPOOL_DEFAULT && !dynamic_;
}

bool TextureD3D9::MakeTexture(bool recreate, bool dynamic) {
    if (!d3dDevice_)
        return false;
    if (!ReserveBytes(AccountedSize(width_, height_, depth_, format_))) {
        if (recreate)
            LogTyped(LOG_ENGINE_INIT, "创建贴图失败，显存不足 %s",
                     image_ ? image_->GetLoadPath().c_str() : "");
        else
            LogTyped(LOG_ENGINE_INIT, " 创建贴图失败，显存不足");
        return false;
    }
    const bool autoMip = IsAutoMipmap() && poolCode_ != MP_SYSTEM_MEMORY;
    UINT levels = static_cast<UINT>(std::max(levels_, 0));
    DWORD usage = 0;
    if (levels_ < 2) {
        if (autoMip) {
            levels = 0;
            usage = D3DUSAGE_AUTOGENMIPMAP;
        } else if (recreate) {
            levels = 1;
        }
    }
    dynamic_ = dynamic && poolCode_ == MP_DEFAULT && DynamicTexturesAllowed();
    if (dynamic_) {
        usage |= D3DUSAGE_DYNAMIC;
        flags_ |= FLAG_DYNAMIC;
    } else {
        flags_ &= ~FLAG_DYNAMIC;
    }
    if (levels == 0 || (usage & D3DUSAGE_AUTOGENMIPMAP))
        flags_ |= FLAG_FULL_MIP;
    else
        flags_ &= ~FLAG_FULL_MIP;
    threadmng* threads = threadmng::GetInstance();
    threads->BeginDeviceAccess();
    const HRESULT hr = d3dDevice_->CreateTexture(
        UINT(width_), UINT(height_), levels, usage,
        static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(std::uint32_t(format_))), DevicePool(),
        &texture_, nullptr);
    threads->EndDeviceAccess();
    if (FAILED(hr)) {
        texture_ = nullptr;
        char detail[64];
        std::snprintf(detail, sizeof detail, "W=%d,H=%d", width_, height_);
        LogDeviceError("CreateTexture", hr, detail);
        TakeBackBytes();
        return false;
    }
    refill_ = 0;
    return true;
}

bool TextureD3D9::Create(int width, int height, int depth, int type, int format, int levels,
                         bool dynamic) {
    ReleaseDeviceObjects();
    SetFields(width, height, depth, type, format, levels);
    return MakeTexture(false, dynamic);
}

bool TextureD3D9::RecreateDeviceObjects() {
    refill_ = 0;
    if (texture_ || !d3dDevice_)
        return true;
    if (image_)
        return CreateFromImage();
    return MakeTexture(true, (flags_ & FLAG_DYNAMIC) != 0);
}

bool TextureD3D9::CreateFromImage() {
    Image* image = image_.Get();
    if (!d3dDevice_ || !image || !image->GetFirstSurface() ||
        GetPixelFormatD3DFormat(std::uint32_t(format_)) == 0)
        return false;
    SetName(image->GetLoadPath());
    ReleaseDeviceObjects();
    // Out of memory: a smaller copy of the image may still fit.
    while (!MakeTexture(true, false)) {
        if (width_ <= 1 || height_ <= 1 || !image->HalveSurfaces())
            return false;
        SetImage(image_);
    }
    const UINT levels = texture_->GetLevelCount();
    const auto format = std::uint32_t(format_);
    for (UINT level = 0; level < levels && level < image->GetSurfaceCount(); ++level) {
        const ImageSurface* surface = image->GetSurface(level);
        std::int32_t pitch = 0;
        void* bits = nullptr;
        if (!LockLevel(int(level), &pitch, &bits, nullptr, LO_NORMAL)) {
            ReleaseDeviceObjects();
            return false;
        }
        // The lock's pitch may be wider than the surface's rows: copy row by row.
        CopySurfaceRows(*surface, format, bits, pitch);
        UnlockLevel();
    }
    GenerateMipmaps();
    ReleaseSystemCopy();
    OnContentChanged();
    return true;
}

bool TextureD3D9::CreateFromFileInMemory(IZelStream* stream, const SharedPtr<Image>& image) {
    image_ = image;
    if (!d3dDevice_ || !stream)
        return false;
    std::vector<std::uint8_t> bytes(stream->GetSize());
    stream->Seek(0, STREAM_SEEK_SET);
    if (bytes.empty() || stream->Read(bytes.data(), std::uint32_t(bytes.size())) != bytes.size())
        return false;
    ReleaseDeviceObjects();
    D3DXIMAGE_INFO info{};
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        d3dDevice_, bytes.data(), UINT(bytes.size()), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1,
        0, D3DFMT_UNKNOWN, DevicePool(), D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture_);
    if (FAILED(hr)) {
        texture_ = nullptr;
        ReportError("D3DXCreateTextureFromFileInMemoryEx failed (0x%08X)", unsigned(hr));
        return false;
    }
    // The size is the level's, not a placeholder: byte sizes and copies depend on it.
    D3DSURFACE_DESC desc{};
    texture_->GetLevelDesc(0, &desc);
    SetName(stream->GetName());
    width_ = static_cast<int>(desc.Width);
    height_ = static_cast<int>(desc.Height);
    depth_ = 1;
    levels_ = static_cast<int>(texture_->GetLevelCount());
    format_ = FormatOfFile(info.Format);
    usedWidth_ = width_;
    usedHeight_ = height_;
    AccountBytes(AccountedSize(width_, height_, 1, format_));
    refill_ = 0;
    return true;
}

bool TextureD3D9::ReleaseDeviceObjects() {
    refill_ = 1;
    if (dcSurface_) {
        while (dcSurface_->Release() > 0) {
        }
        dcSurface_ = nullptr;
        LogTyped(LOG_ENGINE_INIT, "Error! texture %s  was not released clean, surface is not NULL!",
                 name_.c_str());
    }
    ReleaseSystemCopy();
    lockedLevel_ = -1;
    if (texture_) {
        const ULONG left = texture_->Release();
        if (left != 0)
            LogTyped(LOG_ENGINE_INIT, "D3D Texture release non-zero ref : %d,%s", int(left),
                     name_.c_str());
        texture_ = nullptr;
    }
    TakeBackBytes();
    return true;
}

void TextureD3D9::ReleaseSystemCopy() {
    if (systemCopy_)
        systemCopy_->Release();
    systemCopy_ = nullptr;
}

std::uint32_t TextureD3D9::GetDeviceRefCount() {
    if (!texture_)
        return 0;
    texture_->AddRef();
    return texture_->Release();
}

IDirect3DTexture9* TextureD3D9::EnsureSystemCopy() {
    if (systemCopy_ || !texture_)
        return systemCopy_;
    D3DSURFACE_DESC desc{};
    texture_->GetLevelDesc(0, &desc);
    if (FAILED(d3dDevice_->CreateTexture(desc.Width, desc.Height, texture_->GetLevelCount(), 0,
                                         desc.Format, D3DPOOL_SYSTEMMEM, &systemCopy_, nullptr)))
        systemCopy_ = nullptr;
    return systemCopy_;
}

bool TextureD3D9::ReadBackLevel(UINT level) {
    D3DSURFACE_DESC desc{};
    if (!systemCopy_ || FAILED(texture_->GetLevelDesc(level, &desc)))
        return false;
    // The CPU cannot reach a default-pool level: the device copies it into a lockable off-screen
    // surface, whose rows then go into the system copy.
    IDirect3DSurface9* from = nullptr;
    IDirect3DSurface9* staging = nullptr;
    IDirect3DSurface9* to = nullptr;
    HRESULT hr = texture_->GetSurfaceLevel(level, &from);
    if (SUCCEEDED(hr))
        hr = d3dDevice_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                     D3DPOOL_DEFAULT, &staging, nullptr);
    if (SUCCEEDED(hr))
        hr = d3dDevice_->StretchRect(from, nullptr, staging, nullptr, D3DTEXF_NONE);
    if (SUCCEEDED(hr))
        hr = systemCopy_->GetSurfaceLevel(level, &to);
    bool copied = false;
    D3DLOCKED_RECT read{}, write{};
    if (SUCCEEDED(hr) && SUCCEEDED(staging->LockRect(&read, nullptr, D3DLOCK_READONLY))) {
        if (SUCCEEDED(to->LockRect(&write, nullptr, 0))) {
            copied = CopyLevelRows(desc.Width, desc.Height, std::uint32_t(format_), read.pBits,
                                   read.Pitch, write.pBits, write.Pitch);
            to->UnlockRect();
        }
        staging->UnlockRect();
    }
    for (IDirect3DSurface9* surface : {from, staging, to})
        if (surface)
            surface->Release();
    return copied;
}

bool TextureD3D9::UploadLevel(UINT level) {
    IDirect3DSurface9* from = nullptr;
    IDirect3DSurface9* to = nullptr;
    HRESULT hr = systemCopy_->GetSurfaceLevel(level, &from);
    if (SUCCEEDED(hr))
        hr = texture_->GetSurfaceLevel(level, &to);
    if (SUCCEEDED(hr))
        hr = d3dDevice_->UpdateSurface(from, nullptr, to, nullptr);
    if (from)
        from->Release();
    if (to)
        to->Release();
    return SUCCEEDED(hr);
}

bool TextureD3D9::LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                            std::uint32_t mode) {
    ClearLockOutput(pitch, bits);
    if ((flags_ & FLAG_IN_USE) && mode != LO_READ_ONLY)
        return false;
    if (!texture_ || lockedLevel_ >= 0 || level < 0 || UINT(level) >= texture_->GetLevelCount())
        return false;
    threadmng* threads = threadmng::GetInstance();
    lockHook_ = threads->BeginDeviceAccess();
    D3DLOCKED_RECT locked{};
    HRESULT hr;
    if (UsesSystemCopy()) {
        IDirect3DTexture9* copy = EnsureSystemCopy();
        // What the texture holds now, unless the caller discards it: a read must not see
        // zeros, nor a partial write upload stale rows around its rectangle.
        const bool current = copy && (mode == LO_DISCARD || ReadBackLevel(UINT(level)));
        hr = current ? copy->LockRect(UINT(level), &locked, rect, D3DTextureLockFlags(mode))
                     : D3DERR_INVALIDCALL;
        if (FAILED(hr))
            LogTyped(LOG_ENGINE_INIT, "LOCK POOL_DEFAULT");
    } else {
        hr = texture_->LockRect(UINT(level), &locked, rect, D3DTextureLockFlags(mode));
    }
    if (FAILED(hr)) {
        if (lockHook_)
            threads->EndDeviceAccess();
        lockHook_ = 0;
        return false;
    }
    lockedLevel_ = level;
    lockReadOnly_ = mode == LO_READ_ONLY;
    if (pitch)
        *pitch = locked.Pitch;
    if (bits)
        *bits = locked.pBits;
    return true;
}

void TextureD3D9::UnlockLevel() {
    if (lockedLevel_ < 0 || !texture_)
        return;
    const UINT level = UINT(lockedLevel_);
    if (UsesSystemCopy() && systemCopy_) {
        systemCopy_->UnlockRect(level);
        // A read leaves the device texture as it was.
        if (!lockReadOnly_)
            UploadLevel(level);
    } else {
        texture_->UnlockRect(level);
    }
    if (lockHook_)
        threadmng::GetInstance()->EndDeviceAccess();
    lockHook_ = 0;
    lockedLevel_ = -1;
}

bool TextureD3D9::LockAllLevels(std::vector<LockRecord>& records) {
    if (!texture_ || lockedLevel_ >= 0)
        return false;
    if ((flags_ & FLAG_IN_USE))
        return false;
    const bool copied = UsesSystemCopy();
    IDirect3DTexture9* target = copied ? EnsureSystemCopy() : texture_;
    if (!target)
        return false;
    records.assign(target->GetLevelCount(), LockRecord{});
    for (UINT level = 0; level < records.size(); ++level) {
        D3DLOCKED_RECT locked{};
        threadmng::GetInstance()->BeginDeviceAccess();
        HRESULT hr = copied && !ReadBackLevel(level) ? D3DERR_INVALIDCALL : D3D_OK;
        if (SUCCEEDED(hr))
            hr = target->LockRect(level, &locked, nullptr, 0);
        threadmng::GetInstance()->EndDeviceAccess();
        if (FAILED(hr))
            return false;
        records[level] = {1, 0, level, locked.Pitch, locked.pBits};
    }
    return true;
}

void TextureD3D9::UnlockAllLevels() {
    if (!texture_)
        return;
    const bool copied = UsesSystemCopy() && systemCopy_;
    IDirect3DTexture9* target = copied ? systemCopy_ : texture_;
    for (UINT level = 0; level < target->GetLevelCount(); ++level) {
        target->UnlockRect(level);
        if (copied)
            UploadLevel(level);
    }
    ReleaseSystemCopy();
    OnContentChanged();
}

void TextureD3D9::GenerateMipmaps() {
    if ((flags_ & FLAG_FULL_MIP) && texture_ && poolCode_ != MP_SYSTEM_MEMORY)
        texture_->GenerateMipSubLevels();
}

bool TextureD3D9::CopyFromRenderTarget(RenderTarget* target, TextureBase* scratch) {
    if (!target || !target->GetD3DSurface() || !d3dDevice_)
        return false;
    // Reads the target's surface into a system-memory texture's level 0.
    auto readBack = [&](TextureBase* into) {
        IDirect3DTexture9* texture = into ? into->GetDeviceTexture() : nullptr;
        IDirect3DSurface9* surface = nullptr;
        if (!texture || FAILED(texture->GetSurfaceLevel(0, &surface)))
            return false;
        const HRESULT hr = d3dDevice_->GetRenderTargetData(target->GetD3DSurface(), surface);
        surface->Release();
        return SUCCEEDED(hr);
    };
    if (poolCode_ == MP_SYSTEM_MEMORY) {
        const bool ok = readBack(this);
        if (ok)
            OnContentChanged();
        return ok;
    }
    if (scratch) {
        if (!readBack(scratch) || !CopyFrom(scratch, nullptr))
            return false;
        GenerateMipmaps();
        return true;
    }
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    TextureBase* temporary =
        textures ? textures->CreateTexture(MP_SYSTEM_MEMORY, KIND_2D) : nullptr;
    if (!temporary)
        return false;
    const bool ok = temporary->Create(width_, height_, depth_, KIND_2D, format_, 0, false) &&
                    readBack(temporary) && CopyFrom(temporary, nullptr);
    textures->ForceRemove(temporary);
    if (ok)
        GenerateMipmaps();
    return ok;
}

bool TextureD3D9::SaveToFile(const char* path, int imageKind) {
    static const D3DXIMAGE_FILEFORMAT kFormats[] = {D3DXIFF_BMP, D3DXIFF_JPG, D3DXIFF_TGA,
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

std::string TextureD3D9::DdsSibling(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".dds";
    return path.substr(0, dot) + ".dds";
}

HRESULT TextureD3D9::LoadFile(const std::string& path, int width, int height,
                              IDirect3DTexture9** out) {
    const UINT w = width > 0 ? UINT(width) : D3DX_DEFAULT_NONPOW2;
    const UINT h = height > 0 ? UINT(height) : D3DX_DEFAULT_NONPOW2;
    VFS::IFile* file = VFS::Hfopen(path.c_str(), "rb", nullptr);
    if (!file)
        return D3DXCreateTextureFromFileExA(d3dDevice_, path.c_str(), w, h, 1, 0, D3DFMT_UNKNOWN,
                                            DevicePool(), D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                            nullptr, out);
    const std::size_t size = file->GetSize();
    if (size == 0) {
        LogTyped(LOG_ENGINE_INIT, "无法得到Pak文件长度:%s", path.c_str());
        VFS::Hfclose(file);
        return D3DERR_INVALIDCALL;
    }
    std::vector<std::uint8_t> bytes(size + 1);
    const bool read = VFS::Hfread(bytes.data(), size, 1, file) == 1;
    VFS::Hfclose(file);
    if (!read) {
        LogTyped(LOG_ENGINE_INIT, "无法打开Pak文件:%s", path.c_str());
        return D3DERR_INVALIDCALL;
    }
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        d3dDevice_, bytes.data(), UINT(size), w, h, 1, 0, D3DFMT_UNKNOWN, DevicePool(),
        D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, out);
    if (FAILED(hr)) {
        const std::string detail = "Texture=" + path;
        LogDeviceError("CreateTexture", hr, detail.c_str());
    }
    return hr;
}

bool TextureD3D9::ReloadFromFile(int width, int height, bool asynchronous) {
    locksection* mainLock = threadmng::GetInstance()->GetLock(threadmng::kMainLock);
    SectionGuard guard(*mainLock);
    if (name_.empty() || !d3dDevice_ || (asynchronous && GetRefCount() != 2))
        return false;
    if (texture_) {
        D3DSURFACE_DESC desc{};
        texture_->GetLevelDesc(0, &desc);
        if ((width <= 0 || int(desc.Width) == width) && (height <= 0 || int(desc.Height) == height))
            return true;
    }
    if (asynchronous)
        ioBusy_ = 1;
    if (format_ < int(PF_DXT1) || format_ > int(PF_DXT5))
        LogTyped(LOG_ENGINE_INIT, "name = %s  ", name_.c_str());
    IDirect3DTexture9* made = nullptr;
    const std::string sibling = DdsSibling(name_);
    HRESULT hr = D3DERR_INVALIDCALL;
    if (sibling != name_)
        hr = LoadFile(sibling, width, height, &made);
    if (FAILED(hr))
        hr = LoadFile(name_, width, height, &made);
    ioBusy_ = 0;
    if (FAILED(hr)) {
        if (hr == D3DERR_INVALIDCALL)
            LogTyped(LOG_ENGINE_INIT, "CreateFromImage失败,返回值D3DERR_INVALIDCALL=%s",
                     name_.c_str());
        else if (hr == D3DERR_OUTOFVIDEOMEMORY)
            LogTyped(LOG_ENGINE_INIT,
                     "CreateFromImage失败,CreateFromImage失败,返回值D3DERR_OUTOFVIDEOMEMORY:=%s",
                     name_.c_str());
        else
            LogTyped(LOG_ENGINE_INIT,
                     "CreateFromImage失败,CreateFromImage失败,返回值=%ld,filename=%s", long(hr),
                     name_.c_str());
        return false;
    }
    ReleaseDeviceObjects();
    texture_ = made;
    D3DSURFACE_DESC desc{};
    texture_->GetLevelDesc(0, &desc);
    width_ = int(desc.Width);
    height_ = int(desc.Height);
    usedWidth_ = width_;
    usedHeight_ = height_;
    levels_ = 1;
    AccountBytes(AccountedSize(width_, height_, depth_, format_));
    refill_ = 0;
    OnContentChanged();
    return true;
}

HDC TextureD3D9::GetDC() {
    if (dcSurface_) {
        LogTyped(LOG_ENGINE_INIT, "Error! recursive GetDC not allowed! %s", name_.c_str());
        return nullptr;
    }
    IDirect3DSurface9* surface = nullptr;
    if (!texture_ || FAILED(texture_->GetSurfaceLevel(0, &surface)) || !surface) {
        LogTyped(LOG_ENGINE_INIT, "Error! get surface failed! %s", name_.c_str());
        return nullptr;
    }
    HDC dc = nullptr;
    if (FAILED(surface->GetDC(&dc))) {
        surface->Release();
        LogTyped(LOG_ENGINE_INIT, "Error! get DC failed! %s", name_.c_str());
        return nullptr;
    }
    dcSurface_ = surface;
    surface->AddRef();
    dcSurfaceCount_ = surface->Release();
    return dc;
}

void TextureD3D9::ReleaseDC(HDC dc) {
    if (!dcSurface_) {
        LogTyped(LOG_ENGINE_INIT, "Error! can't release HDC! %s", name_.c_str());
        return;
    }
    if (!dc) {
        LogTyped(LOG_ENGINE_INIT, "Error! can't release NULL HDC!  %s", name_.c_str());
        return;
    }
    if (FAILED(dcSurface_->ReleaseDC(dc))) {
        LogTyped(LOG_ENGINE_INIT, "Error! Error! release DC failed! %s", name_.c_str());
        return;
    }
    const ULONG left = dcSurface_->Release();
    if (left + 1 != dcSurfaceCount_) {
        LogTyped(LOG_ENGINE_INIT, "Error! recursive release not allowed! %s", name_.c_str());
        dcSurface_->AddRef();
        return;
    }
    dcSurface_ = nullptr;
    dcSurfaceCount_ = 0;
    OnContentChanged();
}

}  // namespace Zel
