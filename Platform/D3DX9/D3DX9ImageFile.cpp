#include "Platform/D3DX9/D3DX9ImageFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Platform/D3DX9/D3DX9Pixels.h"

namespace {

using U64 = std::uint64_t;

WORD Le16(const BYTE* p, std::size_t at) {
    return static_cast<WORD>(p[at] | p[at + 1] << 8);
}

DWORD Le32(const BYTE* p, std::size_t at) {
    return DWORD(p[at]) | DWORD(p[at + 1]) << 8 | DWORD(p[at + 2]) << 16 | DWORD(p[at + 3]) << 24;
}

// [offset, offset + length) inside size bytes, for any 64-bit operands.
bool Inside(U64 offset, U64 length, U64 size) {
    return offset <= size && length <= size - offset;
}

bool ValidSide(std::int64_t side) {
    return side >= 1 && side <= std::int64_t(kD3DXMaxImageSide);
}

// The file's description; no levels yet.
void Describe(D3DXImageFile* out, D3DXIMAGE_FILEFORMAT fileFormat, D3DFORMAT sourceFormat,
              D3DFORMAT blockFormat, bool alpha, UINT width, UINT height) {
    out->fileFormat = fileFormat;
    out->sourceFormat = sourceFormat;
    out->blockFormat = blockFormat;
    out->alpha = alpha;
    out->width = width;
    out->height = height;
    out->levels.clear();
}

// A file of one level of width x height pixels, pixels unset.
void StartPixels(D3DXImageFile* out, D3DXIMAGE_FILEFORMAT fileFormat, D3DFORMAT sourceFormat,
                 bool alpha, UINT width, UINT height) {
    Describe(out, fileFormat, sourceFormat, D3DFMT_UNKNOWN, alpha, width, height);
    out->levels.assign(1, std::vector<BYTE>(std::size_t(width) * height * 4));
}

void PutBgra(BYTE* pixel, BYTE b, BYTE g, BYTE r, BYTE a) {
    pixel[0] = b;
    pixel[1] = g;
    pixel[2] = r;
    pixel[3] = a;
}

// The palette entry (B, G, R first, entryBytes apart) of the index, opaque; black for an index
// past the entries.
void PutPaletteEntry(BYTE* pixel, const BYTE* palette, std::size_t entryBytes, U64 index,
                     U64 entries) {
    if (index >= entries) {
        PutBgra(pixel, 0, 0, 0, 255);
        return;
    }
    const BYTE* entry = palette + index * entryBytes;
    PutBgra(pixel, entry[0], entry[1], entry[2], 255);
}

}  // namespace

// ---- BMP ----------------------------------------------------------------------------------------

namespace {
constexpr std::size_t kBmpHeaderSize = 54;
constexpr std::size_t kBmpFileHeaderSize = 14;
// BITMAPINFOHEADER, the smallest info header with the fields read here; the palette follows the
// whole info header, which the later forms make 108 or 124 bytes long.
constexpr DWORD kBmpMinInfoHeaderSize = 40;
}  // namespace

const char* D3DXReadBmpFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    if (size < kBmpHeaderSize || data[0] != 'B' || data[1] != 'M')
        return "not a BMP file";
    const U64 pixelOffset = Le32(data, 10);
    const WORD planes = Le16(data, 26);
    const WORD bits = Le16(data, 28);
    const DWORD compression = Le32(data, 30);
    const U64 coloursUsed = Le32(data, 46);
    const DWORD infoHeaderSize = Le32(data, kBmpFileHeaderSize);
    if (infoHeaderSize < kBmpMinInfoHeaderSize)
        return "BMP info header too small";
    const U64 paletteOffset = kBmpFileHeaderSize + U64(infoHeaderSize);
    if (pixelOffset > size)
        return "BMP pixel data offset past the end of the file";
    if (compression != 0 || planes != 1)
        return "BMP is compressed or has more than one plane";
    const bool palette = coloursUsed > 0;
    if (palette ? (bits != 4 && bits != 8) : (bits != 24 && bits != 32))
        return "BMP bit count not supported";
    const std::int64_t width = std::int32_t(Le32(data, 18));
    const std::int64_t signedHeight = std::int32_t(Le32(data, 22));
    const bool topDown = signedHeight < 0;
    const std::int64_t height = topDown ? -signedHeight : signedHeight;
    if (!ValidSide(width) || !ValidSide(height))
        return "BMP size out of range";
    const U64 rowBytes = (U64(bits) * U64(width) + 31) / 32 * 4;
    if (!Inside(pixelOffset, rowBytes * U64(height), size))
        return "BMP file shorter than its rows";
    if (palette && !Inside(paletteOffset, coloursUsed * 4, size))
        return "BMP file shorter than its palette";

    const UINT w = UINT(width), h = UINT(height);
    StartPixels(out, D3DXIFF_BMP, bits == 32 ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8, bits == 32, w, h);
    const BYTE* paletteBytes = palette ? data + paletteOffset : nullptr;
    BYTE* pixels = out->levels[0].data();
    for (UINT y = 0; y < h; ++y) {
        const BYTE* row = data + pixelOffset + rowBytes * (topDown ? y : h - 1 - y);
        BYTE* target = pixels + std::size_t(y) * w * 4;
        for (UINT x = 0; x < w; ++x, target += 4) {
            if (!palette) {
                const BYTE* p = row + std::size_t(x) * (bits / 8);
                PutBgra(target, p[0], p[1], p[2], bits == 32 ? p[3] : 255);
                continue;
            }
            const U64 index = bits == 8 ? row[x] : (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            PutPaletteEntry(target, paletteBytes, 4, index, coloursUsed);
        }
    }
    return nullptr;
}

// ---- TGA ----------------------------------------------------------------------------------------

namespace {

constexpr std::size_t kTgaHeaderSize = 18;

// Reads pixel after pixel of depth bytes from the image data, stored or in run-length packets.
class TgaPixelSource {
public:
    TgaPixelSource(const BYTE* data, std::size_t size, U64 offset, UINT depthBytes, bool rle)
        : data_(data), size_(size), at_(offset), depthBytes_(depthBytes), rle_(rle) {}

    // The next pixel's bytes, or null when the data end first.
    const BYTE* Next() {
        if (!rle_)
            return Take();
        if (left_ == 0) {
            if (at_ >= size_)
                return nullptr;
            const BYTE header = data_[at_++];
            left_ = (header & 0x7F) + 1u;
            repeat_ = (header & 0x80) != 0;
            if (repeat_ && (pixel_ = Take()) == nullptr)
                return nullptr;
        }
        --left_;
        return repeat_ ? pixel_ : Take();
    }

private:
    const BYTE* Take() {
        if (!Inside(at_, depthBytes_, size_))
            return nullptr;
        const BYTE* pixel = data_ + at_;
        at_ += depthBytes_;
        return pixel;
    }

    const BYTE* data_;
    std::size_t size_;
    U64 at_;
    UINT depthBytes_;
    bool rle_;
    UINT left_ = 0;
    bool repeat_ = false;
    const BYTE* pixel_ = nullptr;
};

}  // namespace

const char* D3DXReadTgaFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    if (size < kTgaHeaderSize)
        return "file too short for any image format";
    const BYTE mapType = data[1];
    const BYTE type = data[2];
    const U64 mapFirst = Le16(data, 3);
    const U64 mapLength = Le16(data, 5);
    const BYTE mapEntryBits = data[7];
    const BYTE depth = data[16];
    const bool rle = (type & 0x08) != 0;
    const int kind = type & 0x07;
    if (Le16(data, 8) != 0 || Le16(data, 10) != 0)
        return "TGA origin not zero";
    if (rle && type != 9 && type != 10 && type != 11)
        return "unknown image format";
    bool accepted = false;
    if (kind == 2)
        accepted = mapType == 0 && mapLength == 0 && (depth == 24 || depth == 32);
    else if (kind == 1)
        accepted = mapType == 1 && mapLength > 0 && mapEntryBits == 24 && depth == 8;
    else if (kind == 3)
        accepted = depth == 8;
    if (!accepted)
        return "unknown image format or TGA type not supported";
    const UINT width = Le16(data, 12), height = Le16(data, 14);
    if (!ValidSide(width) || !ValidSide(height))
        return "TGA size out of range";

    const U64 mapOffset = kTgaHeaderSize + U64(data[0]);
    const U64 mapBytes = mapType == 1 ? mapLength * ((mapEntryBits + 7u) / 8) : 0;
    const U64 pixelOffset = mapOffset + mapBytes;
    const UINT depthBytes = depth / 8;
    const U64 pixelCount = U64(width) * height;
    if (!Inside(mapOffset, mapBytes, size) || pixelOffset > size)
        return "TGA file shorter than its colour map";
    // A packet of two bytes at the least codes at most 128 pixels.
    if (rle ? pixelCount > (size - pixelOffset) * 64
            : !Inside(pixelOffset, pixelCount * depthBytes, size))
        return "TGA file shorter than its pixels";

    const bool alpha = kind == 2 && depth == 32;
    const D3DFORMAT sourceFormat =
        alpha ? D3DFMT_A8R8G8B8 : (kind == 3 ? D3DFMT_L8 : D3DFMT_R8G8B8);
    StartPixels(out, D3DXIFF_TGA, sourceFormat, alpha, width, height);
    const bool topDown = (data[17] & 0x20) != 0;
    const BYTE* map = data + mapOffset;
    TgaPixelSource source(data, size, pixelOffset, depthBytes, rle);
    for (UINT y = 0; y < height; ++y) {
        BYTE* target =
            out->levels[0].data() + std::size_t(topDown ? y : height - 1 - y) * width * 4;
        for (UINT x = 0; x < width; ++x, target += 4) {
            const BYTE* p = source.Next();
            if (p == nullptr) {
                out->levels.clear();
                return "TGA run-length data end before the last pixel";
            }
            if (kind == 2) {
                PutBgra(target, p[0], p[1], p[2], depth == 32 ? p[3] : 255);
            } else if (kind == 3) {
                PutBgra(target, p[0], p[0], p[0], 255);
            } else {
                // An index below the map's first entry wraps past its end: black.
                PutPaletteEntry(target, map, 3, U64(p[0]) - mapFirst, mapLength);
            }
        }
    }
    return nullptr;
}

// ---- DDS ----------------------------------------------------------------------------------------

namespace {

constexpr std::size_t kDdsHeaderSize = 128;
constexpr DWORD kDdsdPitch = 0x8;
constexpr DWORD kDdsdMipMapCount = 0x20000;
constexpr DWORD kDdpfAlphaPixels = 0x1;
constexpr DWORD kDdpfFourCc = 0x4;
constexpr DWORD kDdpfRgb = 0x40;

// Level bytes of a DDS of pixels (depthBytes a pixel, rows of pitch bytes) as B, G, R, A.
std::vector<BYTE> DdsPixels(const BYTE* source, UINT width, UINT height, U64 pitch, UINT depthBytes,
                            bool alpha) {
    std::vector<BYTE> pixels(std::size_t(width) * height * 4);
    BYTE* target = pixels.data();
    for (UINT y = 0; y < height; ++y) {
        const BYTE* row = source + pitch * y;
        for (UINT x = 0; x < width; ++x, target += 4) {
            const BYTE* p = row + std::size_t(x) * depthBytes;
            PutBgra(target, p[0], p[1], p[2], alpha ? p[3] : 255);
        }
    }
    return pixels;
}

}  // namespace

const char* D3DXReadDdsFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    if (size < kDdsHeaderSize || std::memcmp(data, "DDS ", 4) != 0)
        return "not a DDS file or DDS header incomplete";
    const DWORD flags = Le32(data, 8);
    const UINT height = Le32(data, 12), width = Le32(data, 16);
    const U64 headerPitch = Le32(data, 20);
    const DWORD mipCount = Le32(data, 28);
    const DWORD pixelFlags = Le32(data, 80);
    const DWORD fourCc = Le32(data, 84);
    const DWORD bits = Le32(data, 88);
    if (!ValidSide(width) || !ValidSide(height))
        return "DDS size out of range";

    D3DFORMAT blockFormat = D3DFMT_UNKNOWN, sourceFormat = D3DFMT_UNKNOWN;
    bool alpha = false;
    if (pixelFlags & kDdpfFourCc) {
        for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5})
            if (fourCc == DWORD(f))
                blockFormat = f;
        if (blockFormat == D3DFMT_UNKNOWN)
            return "DDS FourCC not supported";
        sourceFormat = blockFormat;
        alpha = true;
    } else if (pixelFlags & kDdpfRgb) {
        alpha = (pixelFlags & kDdpfAlphaPixels) != 0;
        if (alpha ? bits != 32 : (bits != 24 && bits != 32))
            return "DDS bit count not supported";
        sourceFormat = alpha ? D3DFMT_A8R8G8B8 : (bits == 32 ? D3DFMT_X8R8G8B8 : D3DFMT_R8G8B8);
    } else {
        return "DDS pixel format not supported";
    }

    const UINT depthBytes = bits / 8;
    // The top level of 24-bit pixels may have padded rows (the header pitch); every other level
    // is tightly packed.
    U64 topPitch = U64(width) * depthBytes;
    if (blockFormat == D3DFMT_UNKNOWN && bits == 24 && (flags & kDdsdPitch) &&
        headerPitch >= topPitch && Inside(kDdsHeaderSize, headerPitch * height, size))
        topPitch = headerPitch;
    auto pitchOf = [&](UINT level) -> U64 {
        const UINT w = D3DXLevelSide(width, level);
        if (blockFormat != D3DFMT_UNKNOWN)
            return D3DXBlockRowBytes(blockFormat, w);
        return level == 0 ? topPitch : U64(w) * depthBytes;
    };
    auto bytesOf = [&](UINT level) -> U64 {
        const UINT h = D3DXLevelSide(height, level);
        return pitchOf(level) * (blockFormat != D3DFMT_UNKNOWN ? (h + 3) / 4 : h);
    };
    if (!Inside(kDdsHeaderSize, bytesOf(0), size))
        return "DDS file shorter than its top level";

    // The announced mip levels when the file holds all of them; else the top level alone.
    UINT levelCount = 1;
    if ((flags & kDdsdMipMapCount) && mipCount > 1) {
        const UINT wanted = std::min<UINT>(mipCount, D3DXFullChainLevels(width, height));
        U64 end = kDdsHeaderSize;
        UINT level = 0;
        for (; level < wanted && Inside(end, bytesOf(level), size); ++level) end += bytesOf(level);
        if (level == wanted)
            levelCount = wanted;
    }

    Describe(out, D3DXIFF_DDS, sourceFormat, blockFormat, alpha, width, height);
    U64 at = kDdsHeaderSize;
    for (UINT level = 0; level < levelCount; ++level) {
        const U64 bytes = bytesOf(level);
        if (blockFormat != D3DFMT_UNKNOWN)
            out->levels.emplace_back(data + at, data + at + bytes);
        else
            out->levels.push_back(DdsPixels(data + at, D3DXLevelSide(width, level),
                                            D3DXLevelSide(height, level), pitchOf(level),
                                            depthBytes, alpha));
        at += bytes;
    }
    return nullptr;
}

const char* D3DXReadImageFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    *out = D3DXImageFile();
    if (data == nullptr || size == 0)
        return "no file data";
    static constexpr BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const char* why;
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0)
        why = D3DXReadDdsFile(data, size, out);
    else if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        why = D3DXReadBmpFile(data, size, out);
    else if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0)
        why = D3DXReadPngFile(data, size, out);
    else if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        why = D3DXReadJpegFile(data, size, out);
    else
        why = D3DXReadTgaFile(data, size, out);
    if (why != nullptr)
        *out = D3DXImageFile();
    return why;
}
