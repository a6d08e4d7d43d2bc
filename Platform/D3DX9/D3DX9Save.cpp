#include "Platform/D3DX9/D3DX9Save.h"

// The image writer is compiled into this file only, with internal linkage, so that its settings
// (no run-length TGA) are this layer's alone.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/D3DX9/D3DX9Pixels.h"
#include "Platform/Win32/Win32Files.h"

namespace {

// The engine's TGA reader takes uncompressed files only.
const bool kTgaWithoutRle = (stbi_write_tga_with_rle = 0, true);

constexpr int kJpegQuality = 90;

using Bytes = std::vector<BYTE>;

void Put16(Bytes& out, DWORD value) {
    out.push_back(BYTE(value));
    out.push_back(BYTE(value >> 8));
}

void Put32(Bytes& out, DWORD value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const BYTE*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// The rectangle's pixels, as B, G, R, A, with the surface format's alpha flag.
struct Picture {
    UINT width = 0;
    UINT height = 0;
    bool alpha = false;
    Bytes pixels;
};

// R, G, B (, A) samples for stb's writer.
Bytes Samples(const Picture& picture, int channels) {
    Bytes samples(std::size_t(picture.width) * picture.height * channels);
    for (std::size_t i = 0; i < std::size_t(picture.width) * picture.height; ++i) {
        const BYTE* p = &picture.pixels[i * 4];
        BYTE* s = &samples[i * channels];
        s[0] = p[2];
        s[1] = p[1];
        s[2] = p[0];
        if (channels == 4)
            s[3] = p[3];
    }
    return samples;
}

Bytes EncodeBmp(const Picture& picture) {
    const DWORD bits = picture.alpha ? 32 : 24;
    const DWORD rowBytes = (bits * picture.width + 31) / 32 * 4;
    const DWORD imageBytes = rowBytes * picture.height;
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, picture.width);
    Put32(out, picture.height);
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0);  // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dots an inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (UINT y = picture.height; y-- > 0;) {
        const std::size_t start = out.size();
        for (UINT x = 0; x < picture.width; ++x) {
            const BYTE* p = &picture.pixels[(std::size_t(y) * picture.width + x) * 4];
            out.insert(out.end(), p, p + bits / 8);
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

Bytes EncodeWithStb(D3DXIMAGE_FILEFORMAT format, const Picture& picture) {
    const int channels = format == D3DXIFF_JPG ? 3 : picture.alpha ? 4 : 3;
    const Bytes samples = Samples(picture, channels);
    const int w = int(picture.width), h = int(picture.height);
    Bytes out;
    int ok = 0;
    if (format == D3DXIFF_TGA)
        ok = stbi_write_tga_to_func(&Append, &out, w, h, channels, samples.data());
    else if (format == D3DXIFF_PNG)
        ok = stbi_write_png_to_func(&Append, &out, w, h, channels, samples.data(), w * channels);
    else
        ok = stbi_write_jpg_to_func(&Append, &out, w, h, channels, samples.data(), kJpegQuality);
    if (!ok)
        out.clear();
    return out;
}

// A DDS header for one level of the format (DXT1-DXT5, A8R8G8B8 or X8R8G8B8).
Bytes DdsHeader(D3DFORMAT format, UINT width, UINT height, DWORD pitchOrLinearSize) {
    constexpr DWORD kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                    kLinearSize = 0x80000;
    constexpr DWORD kAlphaPixels = 0x1, kFourCc = 0x4, kRgb = 0x40, kCapsTexture = 0x1000;
    const bool blocks = D3DXIsBlockFormat(format);
    Bytes out = {'D', 'D', 'S', ' '};
    Put32(out, 124);
    Put32(out, kCaps | kHeight | kWidth | kPixelFormat | (blocks ? kLinearSize : kPitch));
    Put32(out, height);
    Put32(out, width);
    Put32(out, pitchOrLinearSize);
    Put32(out, 0);  // depth
    Put32(out, 0);  // mip count
    out.resize(out.size() + 11 * 4, 0);
    Put32(out, 32);
    if (blocks) {
        Put32(out, kFourCc);
        Put32(out, DWORD(format));
        out.resize(out.size() + 5 * 4, 0);
    } else {
        const bool alpha = format == D3DFMT_A8R8G8B8;
        Put32(out, kRgb | (alpha ? kAlphaPixels : 0));
        Put32(out, 0);
        Put32(out, 32);
        Put32(out, 0x00FF0000);
        Put32(out, 0x0000FF00);
        Put32(out, 0x000000FF);
        Put32(out, alpha ? 0xFF000000 : 0);
    }
    Put32(out, kCapsTexture);
    out.resize(128, 0);
    return out;
}

bool OnBlockBounds(const RECT& r, const D3DSURFACE_DESC& desc) {
    auto edge = [](LONG v, UINT size) { return v % 4 == 0 || UINT(v) == size; };
    return r.left % 4 == 0 && r.top % 4 == 0 && edge(r.right, desc.Width) &&
           edge(r.bottom, desc.Height);
}

// Reads the locked surface's rectangle. bits and pitch are those of the whole surface.
Picture ReadRect(const D3DSURFACE_DESC& desc, const BYTE* bits, std::size_t pitch, const RECT& r) {
    Picture picture;
    picture.width = UINT(r.right - r.left);
    picture.height = UINT(r.bottom - r.top);
    picture.alpha = D3D9Format::Find(desc.Format)->alpha;
    if (D3DXIsBlockFormat(desc.Format)) {
        const Bytes all = D3DXReadPixels(desc.Format, bits, pitch, desc.Width, desc.Height);
        picture.pixels.resize(std::size_t(picture.width) * picture.height * 4);
        for (UINT y = 0; y < picture.height; ++y)
            std::memcpy(&picture.pixels[std::size_t(y) * picture.width * 4],
                        &all[((std::size_t(r.top) + y) * desc.Width + UINT(r.left)) * 4],
                        std::size_t(picture.width) * 4);
    } else {
        const UINT depth = D3D9Format::Find(desc.Format)->bytesPerPixel;
        picture.pixels =
            D3DXReadPixels(desc.Format, bits + pitch * UINT(r.top) + depth * UINT(r.left), pitch,
                           picture.width, picture.height);
    }
    return picture;
}

Bytes EncodeDds(const D3DSURFACE_DESC& desc, const BYTE* bits, std::size_t pitch, const RECT& r) {
    const UINT width = UINT(r.right - r.left), height = UINT(r.bottom - r.top);
    if (D3DXIsBlockFormat(desc.Format) && OnBlockBounds(r, desc)) {
        const std::size_t rowBytes = D3DXBlockRowBytes(desc.Format, width), rows = (height + 3) / 4;
        Bytes out = DdsHeader(desc.Format, width, height, DWORD(rowBytes * rows));
        for (std::size_t row = 0; row < rows; ++row) {
            const BYTE* from = bits + pitch * (UINT(r.top) / 4 + row) +
                               D3DXBlockRowBytes(desc.Format, UINT(r.left));
            out.insert(out.end(), from, from + rowBytes);
        }
        return out;
    }
    const Picture picture = ReadRect(desc, bits, pitch, r);
    const D3DFORMAT format = picture.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    Bytes out = DdsHeader(format, width, height, width * 4);
    const std::size_t start = out.size();
    out.resize(start + picture.pixels.size());
    D3DXWritePixels(format, picture.pixels.data(), width, height, &out[start],
                    std::size_t(width) * 4);
    return out;
}

bool WriteFile(LPCSTR path, const Bytes& bytes) {
    std::FILE* file = fopen_resolved(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Locks the surface for reading; a render target that refuses is copied into a SYSTEMMEM surface
// first (held in copy for the caller to release after unlocking).
HRESULT LockForReading(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc,
                       IDirect3DSurface9** copy, D3DLOCKED_RECT* locked) {
    HRESULT hr = surface->LockRect(locked, nullptr, D3DLOCK_READONLY);
    if (SUCCEEDED(hr) || !(desc.Usage & D3DUSAGE_RENDERTARGET))
        return hr;
    IDirect3DDevice9* device = nullptr;
    hr = surface->GetDevice(&device);
    if (FAILED(hr))
        return hr;
    hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                             D3DPOOL_SYSTEMMEM, copy, nullptr);
    if (SUCCEEDED(hr))
        hr = device->GetRenderTargetData(surface, *copy);
    device->Release();
    if (SUCCEEDED(hr))
        hr = (*copy)->LockRect(locked, nullptr, D3DLOCK_READONLY);
    return hr;
}

}  // namespace

HRESULT D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                               LPDIRECT3DSURFACE9 srcSurface, const PALETTEENTRY* /*srcPalette*/,
                               const RECT* srcRect) {
    (void)kTgaWithoutRle;
    if (!destFile || !srcSurface) {
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: invalid parameters");
        return D3DERR_INVALIDCALL;
    }
    if (destFormat > D3DXIFF_DDS) {
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: file format %u not supported",
                        unsigned(destFormat));
        return D3DERR_INVALIDCALL;
    }
    D3DSURFACE_DESC desc{};
    HRESULT hr = srcSurface->GetDesc(&desc);
    if (FAILED(hr))
        return hr;
    if (!D3DXCanConvert(desc.Format)) {
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: surface format %u cannot be read",
                        unsigned(desc.Format));
        return D3DERR_INVALIDCALL;
    }
    const RECT whole{0, 0, LONG(desc.Width), LONG(desc.Height)};
    const RECT r = srcRect ? *srcRect : whole;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
        UINT(r.right) > desc.Width || UINT(r.bottom) > desc.Height) {
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: rectangle outside the surface");
        return D3DERR_INVALIDCALL;
    }

    IDirect3DSurface9* copy = nullptr;
    D3DLOCKED_RECT locked{};
    hr = LockForReading(srcSurface, desc, &copy, &locked);
    if (FAILED(hr)) {
        if (copy)
            copy->Release();
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: the surface cannot be read (0x%08X)",
                        unsigned(hr));
        return hr;
    }
    const auto* bits = static_cast<const BYTE*>(locked.pBits);
    const std::size_t pitch = std::size_t(locked.Pitch);
    Bytes file;
    if (destFormat == D3DXIFF_DDS) {
        file = EncodeDds(desc, bits, pitch, r);
    } else {
        const Picture picture = ReadRect(desc, bits, pitch, r);
        file = destFormat == D3DXIFF_BMP ? EncodeBmp(picture) : EncodeWithStb(destFormat, picture);
    }
    IDirect3DSurface9* locker = copy ? copy : srcSurface;
    locker->UnlockRect();
    if (copy)
        copy->Release();
    if (file.empty() || !WriteFile(destFile, file)) {
        D3DXDebugPrintf("D3DXSaveSurfaceToFileA: cannot write \"%s\"", destFile);
        return E_FAIL;
    }
    return D3D_OK;
}
