// The PNG and JPEG readers of D3DX9ImageFile.h. stb_image decodes; the header is checked here
// first, so that only the accepted kinds reach it and no hostile header makes it allocate for
// pixels the file's bytes cannot code.
#include "Platform/D3DX9/D3DX9ImageFile.h"

#include <stb/stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "Platform/D3DX9/JpegTableCheck.h"

namespace {

using U64 = std::uint64_t;

DWORD Be32(const BYTE* p, U64 at) {
    return DWORD(p[at]) << 24 | DWORD(p[at + 1]) << 16 | DWORD(p[at + 2]) << 8 | DWORD(p[at + 3]);
}

void PutBe32(std::vector<BYTE>& out, DWORD value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(BYTE(value >> shift));
}

bool ValidSide(U64 side) {
    return side >= 1 && side <= kD3DXMaxImageSide;
}

// Deflate codes at most 1032 output bytes a compressed byte.
constexpr U64 kMaxInflateRatio = 1032;
// Every 8x8 block of every component costs at least one bit of entropy-coded data.
constexpr U64 kMaxJpegPixelsPerByte = 512;

// Channels handed out by stb_image for each accepted PNG: transparency counts for palettes only.
int PngChannels(BYTE colourType, bool paletteAlpha) {
    switch (colourType) {
        case 0:
            return 1;
        case 4:
            return 2;
        case 2:
            return 3;
        case 6:
            return 4;
        default:
            return paletteAlpha ? 4 : 3;
    }
}

bool PngDepthAccepted(BYTE colourType, BYTE depth, bool interlaced) {
    if (interlaced && depth < 8)
        return false;
    switch (colourType) {
        case 0:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case 3:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case 2:
        case 4:
        case 6:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

void PutChunk(std::vector<BYTE>& out, const char* type, const BYTE* data, std::size_t length) {
    PutBe32(out, DWORD(length));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + length);
    PutBe32(out, DWORD(crc32(0, out.data() + typeAt, uInt(out.size() - typeAt))));
}

// The file with its palette grown to 2^depth entries of black and its transparency table cut to
// the palette's own entries, so that an index past the palette reads as opaque black.
std::vector<BYTE> WithFullPalette(const BYTE* data, std::size_t size, BYTE depth,
                                  U64 paletteEntries) {
    std::vector<BYTE> out(data, data + 8);
    bool ended = false;
    for (U64 at = 8; !ended && at + 12 <= size;) {
        const U64 length = Be32(data, at);
        if (length > size - at - 12)
            break;
        const BYTE* type = data + at + 4;
        ended = std::memcmp(type, "IEND", 4) == 0;
        const BYTE* body = type + 4;
        if (std::memcmp(type, "PLTE", 4) == 0) {
            std::vector<BYTE> palette(body, body + length);
            palette.resize(std::size_t(3) << depth, 0);
            PutChunk(out, "PLTE", palette.data(), palette.size());
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            PutChunk(out, "tRNS", body, std::size_t(std::min(length, paletteEntries)));
        } else {
            out.insert(out.end(), data + at, data + at + 12 + length);
        }
        at += 12 + length;
    }
    return out;
}

// stb_image's R, G, B, A (or grey) samples as B, G, R, A pixels.
void StorePixels(const stbi_uc* samples, int channels, UINT width, UINT height,
                 std::vector<BYTE>& pixels) {
    pixels.resize(std::size_t(width) * height * 4);
    BYTE* out = pixels.data();
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i, out += 4) {
        const stbi_uc* s = samples + i * channels;
        if (channels <= 2) {
            out[0] = out[1] = out[2] = s[0];
            out[3] = channels == 2 ? s[1] : 255;
        } else {
            out[0] = s[2];
            out[1] = s[1];
            out[2] = s[0];
            out[3] = channels == 4 ? s[3] : 255;
        }
    }
}

D3DFORMAT FormatOfChannels(int channels) {
    switch (channels) {
        case 1:
            return D3DFMT_L8;
        case 2:
            return D3DFMT_A8L8;
        case 3:
            return D3DFMT_R8G8B8;
        default:
            return D3DFMT_A8R8G8B8;
    }
}

const char* Decode(const BYTE* data, std::size_t size, int channels, D3DXIMAGE_FILEFORMAT kind,
                   D3DXImageFile* out) {
    if (size > INT_MAX)
        return "file too large";
    int width = 0, height = 0, fileChannels = 0;
    stbi_uc* samples =
        stbi_load_from_memory(data, int(size), &width, &height, &fileChannels, channels);
    if (samples == nullptr)
        return kind == D3DXIFF_PNG ? "PNG data could not be decoded"
                                   : "JPEG data could not be decoded";
    out->fileFormat = kind;
    out->sourceFormat = FormatOfChannels(channels);
    out->blockFormat = D3DFMT_UNKNOWN;
    out->alpha = channels == 2 || channels == 4;
    out->width = UINT(width);
    out->height = UINT(height);
    out->levels.resize(1);
    StorePixels(samples, channels, out->width, out->height, out->levels[0]);
    stbi_image_free(samples);
    return nullptr;
}

}  // namespace

const char* D3DXReadPngFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    constexpr U64 kHeaderEnd = 8 + 8 + 13;
    if (size < kHeaderEnd || Be32(data, 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return "PNG header incomplete";
    const U64 width = Be32(data, 16), height = Be32(data, 20);
    const BYTE depth = data[24], colourType = data[25];
    const bool interlaced = data[28] != 0;
    if (data[26] != 0 || data[27] != 0 || data[28] > 1)
        return "PNG compression, filter or interlace method not supported";
    if (!PngDepthAccepted(colourType, depth, interlaced))
        return "PNG colour type and bit depth not supported";
    if (!ValidSide(width) || !ValidSide(height))
        return "PNG size out of range";

    U64 paletteLength = 0, alphaEntries = 0, compressed = 0;
    bool ended = false;
    for (U64 at = 8; !ended;) {
        if (!(at + 8 <= size))
            return "PNG file ends before its IEND chunk";
        const U64 length = Be32(data, at);
        if (!(length <= size && at + 12 + length <= size))
            return "PNG chunk runs past the end of the file";
        const BYTE* type = data + at + 4;
        if (std::memcmp(type, "PLTE", 4) == 0) {
            paletteLength = length;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            alphaEntries = length;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        at += 12 + length;
    }
    if (compressed == 0)
        return "PNG file has no image data";
    const bool palette = colourType == 3;
    if (palette && (paletteLength == 0 || paletteLength % 3 != 0 || paletteLength > 768))
        return "PNG palette missing or malformed";

    const int fileSamples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const U64 rowBytes = (width * fileSamples * depth + 7) / 8;
    if (height * (rowBytes + 1) > compressed * kMaxInflateRatio)
        return "PNG image data too short for its size";

    const int channels = PngChannels(colourType, palette && alphaEntries > 0);
    const U64 paletteEntries = paletteLength / 3;
    if (palette && (paletteEntries < (U64(1) << depth) || alphaEntries > paletteEntries)) {
        const std::vector<BYTE> file = WithFullPalette(data, size, depth, paletteEntries);
        return Decode(file.data(), file.size(), channels, D3DXIFF_PNG, out);
    }
    return Decode(data, size, channels, D3DXIFF_PNG, out);
}

const char* D3DXReadJpegFile(const BYTE* data, std::size_t size, D3DXImageFile* out) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8 || size > INT_MAX)
        return "not a JPEG file";
    // Before stb_image sees any byte: its header reader alone already overruns its tables on a
    // Huffman table segment that lies about its size.
    if (!JpegScansUseDefinedTables(data, size))
        return "JPEG scan uses a Huffman table the file does not define";
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(size), &width, &height, &channels))
        return "JPEG header could not be read";
    if (!ValidSide(U64(width)) || !ValidSide(U64(height)))
        return "JPEG size out of range";
    if (U64(width) * U64(height) > kMaxJpegPixelsPerByte * size)
        return "JPEG data too short for its size";
    if (channels != 1 && channels != 3)
        return "JPEG component count not supported";
    return Decode(data, size, channels, D3DXIFF_JPG, out);
}
