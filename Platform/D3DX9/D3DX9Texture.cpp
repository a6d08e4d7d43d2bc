#include "Platform/D3DX9/D3DX9Texture.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Platform/D3DX9/D3DX9ImageFile.h"
#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/D3DX9/D3DX9Pixels.h"
#include "Platform/Win32/Win32Files.h"

namespace {

bool TakesFileSize(UINT side) {
    return side == 0 || side == D3DX_DEFAULT || side == D3DX_DEFAULT_NONPOW2 ||
           side == D3DX_FROM_FILE;
}

// The resampling a filter argument asks for; false for a filter that is none of the known ones.
bool ResampleKindOf(DWORD filter, D3DXResampleKind* kind) {
    if (filter == D3DX_DEFAULT) {
        *kind = D3DXResampleKind::Average;
        return true;
    }
    switch (filter & 0xFF) {
        case D3DX_FILTER_NONE:
            *kind = D3DXResampleKind::None;
            return true;
        case D3DX_FILTER_POINT:
            *kind = D3DXResampleKind::Point;
            return true;
        case D3DX_FILTER_LINEAR:
        case D3DX_FILTER_TRIANGLE:
        case D3DX_FILTER_BOX:
            *kind = D3DXResampleKind::Average;
            return true;
        default:
            return false;
    }
}

// Makes the pixels of each texture level from the decoded file.
class LevelSource {
public:
    LevelSource(const D3DXImageFile& file, UINT width, UINT height, D3DXResampleKind filter,
                D3DXResampleKind mipFilter, D3DCOLOR colorKey)
        : file_(file),
          width_(width),
          height_(height),
          filter_(filter),
          mipFilter_(mipFilter),
          colorKey_(colorKey) {}

    // Level i's blocks exactly as the file holds them, when the texture takes them unchanged.
    const std::vector<BYTE>* FileBlocks(UINT level, D3DFORMAT format) const {
        if (format != file_.blockFormat || !SameSize() || colorKey_ != 0 ||
            level >= file_.levels.size())
            return nullptr;
        return &file_.levels[level];
    }

    // Level i's pixels (B, G, R, A): from the file when it holds the level at the texture's
    // size, else made from level i - 1 (made first when it has not been).
    const std::vector<BYTE>& Pixels(UINT level) {
        if (level == made_)
            return current_;
        if (level == 0) {
            current_ =
                Resampled(FilePixels(0), file_.width, file_.height, width_, height_, filter_);
        } else if (SameSize() && colorKey_ == 0 && level < file_.levels.size()) {
            current_ = FilePixels(level);
        } else {
            if (made_ != level - 1)
                Pixels(level - 1);
            current_ = D3DXResamplePixels(
                current_, D3DXLevelSide(width_, level - 1), D3DXLevelSide(height_, level - 1),
                D3DXLevelSide(width_, level), D3DXLevelSide(height_, level), mipFilter_);
        }
        made_ = level;
        return current_;
    }

private:
    bool SameSize() const { return width_ == file_.width && height_ == file_.height; }

    std::vector<BYTE> FilePixels(UINT level) const {
        const UINT w = D3DXLevelSide(file_.width, level), h = D3DXLevelSide(file_.height, level);
        if (file_.blockFormat == D3DFMT_UNKNOWN)
            return file_.levels[level];
        return D3DXReadPixels(file_.blockFormat, file_.levels[level].data(),
                              D3DXBlockRowBytes(file_.blockFormat, w), w, h);
    }

    std::vector<BYTE> Resampled(std::vector<BYTE> pixels, UINT sw, UINT sh, UINT dw, UINT dh,
                                D3DXResampleKind kind) const {
        if (colorKey_ != 0)
            for (std::size_t i = 0; i < pixels.size(); i += 4) {
                const D3DCOLOR argb = D3DCOLOR(pixels[i + 3]) << 24 |
                                      D3DCOLOR(pixels[i + 2]) << 16 | D3DCOLOR(pixels[i + 1]) << 8 |
                                      pixels[i];
                if (argb == colorKey_)
                    pixels[i] = pixels[i + 1] = pixels[i + 2] = pixels[i + 3] = 0;
            }
        return D3DXResamplePixels(pixels, sw, sh, dw, dh, kind);
    }

    const D3DXImageFile& file_;
    UINT width_, height_;
    D3DXResampleKind filter_, mipFilter_;
    D3DCOLOR colorKey_;
    std::vector<BYTE> current_;
    UINT made_ = ~0u;  // the level current_ holds
};

// Writes every level of the texture (its level count, or level 0 alone for a texture that makes
// its own sub-levels).
HRESULT FillTexture(IDirect3DTexture9* texture, D3DFORMAT format, bool ownSubLevels,
                    LevelSource& source) {
    const UINT levels = ownSubLevels ? 1 : texture->GetLevelCount();
    for (UINT level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc{};
        HRESULT hr = texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(hr))
            hr = texture->LockRect(level, &locked, nullptr, 0);
        if (FAILED(hr)) {
            D3DXDebugPrintf("D3DXCreateTexture: level %u cannot be locked (0x%08X)", level,
                            unsigned(hr));
            return hr;
        }
        const std::size_t pitch = std::size_t(locked.Pitch);
        auto* bits = static_cast<BYTE*>(locked.pBits);
        if (const std::vector<BYTE>* blocks = source.FileBlocks(level, format)) {
            const std::size_t rowBytes = D3DXBlockRowBytes(format, desc.Width);
            for (UINT row = 0; row < (desc.Height + 3) / 4; ++row)
                std::memcpy(bits + pitch * row, blocks->data() + rowBytes * row, rowBytes);
        } else {
            const std::vector<BYTE>& pixels = source.Pixels(level);
            D3DXWritePixels(format, pixels.data(), desc.Width, desc.Height, bits, pitch);
        }
        texture->UnlockRect(level);
    }
    return D3D_OK;
}

}  // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 device, LPCVOID data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* /*palette*/,
                                            LPDIRECT3DTEXTURE9* texture) {
    if (texture)
        *texture = nullptr;
    if (!device || !data || size == 0 || !texture) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileInMemoryEx: invalid parameters");
        return D3DERR_INVALIDCALL;
    }
    D3DXResampleKind filterKind, mipFilterKind;
    if (!ResampleKindOf(filter, &filterKind) || !ResampleKindOf(mipFilter, &mipFilterKind)) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileInMemoryEx: invalid filter");
        return D3DERR_INVALIDCALL;
    }
    D3DXImageFile file;
    if (const char* why = D3DXReadImageFile(static_cast<const BYTE*>(data), size, &file)) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileInMemoryEx: %s", why);
        return D3DXERR_INVALIDDATA;
    }
    if (srcInfo)
        *srcInfo = D3DXIMAGE_INFO{
            file.width,       file.height,    1, UINT(file.levels.size()), file.sourceFormat,
            D3DRTYPE_TEXTURE, file.fileFormat};

    const UINT w = TakesFileSize(width) ? file.width : width;
    const UINT h = TakesFileSize(height) ? file.height : height;
    const UINT full = D3DXFullChainLevels(w, h);
    UINT levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? full
                  : mipLevels == D3DX_FROM_FILE               ? UINT(file.levels.size())
                                                              : mipLevels;
    if (levels > full)
        levels = full;
    if (format == D3DFMT_UNKNOWN || DWORD(format) == D3DX_FROM_FILE)
        format = file.blockFormat != D3DFMT_UNKNOWN ? file.blockFormat
                 : file.alpha || colorKey != 0      ? D3DFMT_A8R8G8B8
                                                    : D3DFMT_X8R8G8B8;
    if (!D3DXCanConvert(format)) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileInMemoryEx: format %u cannot be made",
                        unsigned(format));
        return D3DERR_INVALIDCALL;
    }
    const bool ownSubLevels = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    IDirect3DTexture9* made = nullptr;
    HRESULT hr =
        device->CreateTexture(w, h, ownSubLevels ? 0 : levels, usage, format, pool, &made, nullptr);
    if (FAILED(hr)) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileInMemoryEx: CreateTexture failed (0x%08X)",
                        unsigned(hr));
        return hr;
    }

    LevelSource source(file, w, h, filterKind, mipFilterKind, colorKey);
    // A DEFAULT-pool texture cannot be locked (unless dynamic): fill a SYSTEMMEM copy instead.
    const bool staged = pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC);
    if (staged) {
        IDirect3DTexture9* staging = nullptr;
        hr = device->CreateTexture(w, h, ownSubLevels ? 1 : made->GetLevelCount(), 0, format,
                                   D3DPOOL_SYSTEMMEM, &staging, nullptr);
        if (SUCCEEDED(hr))
            hr = FillTexture(staging, format, ownSubLevels, source);
        if (SUCCEEDED(hr))
            hr = device->UpdateTexture(staging, made);
        if (staging)
            staging->Release();
    } else {
        hr = FillTexture(made, format, ownSubLevels, source);
    }
    if (FAILED(hr)) {
        D3DXDebugPrintf(
            "D3DXCreateTextureFromFileInMemoryEx: the texture could not be filled "
            "(0x%08X)",
            unsigned(hr));
        made->Release();
        return hr;
    }
    if (ownSubLevels)
        made->GenerateMipSubLevels();
    *texture = made;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR path, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     LPDIRECT3DTEXTURE9* texture) {
    if (texture)
        *texture = nullptr;
    std::vector<BYTE> bytes;
    std::FILE* file = path ? fopen_resolved(path, "rb") : nullptr;
    if (file) {
        BYTE chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 &&
               bytes.size() + got <= 0xFFFFFFFFu)
            bytes.insert(bytes.end(), chunk, chunk + got);
        const bool failed = std::ferror(file) != 0 || got > 0;
        std::fclose(file);
        if (failed)
            bytes.clear();
    }
    if (bytes.empty()) {
        D3DXDebugPrintf("D3DXCreateTextureFromFileExA: cannot read \"%s\"", path ? path : "");
        return D3DERR_INVALIDCALL;
    }
    return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), width,
                                               height, mipLevels, usage, format, pool, filter,
                                               mipFilter, colorKey, srcInfo, palette, texture);
}
