#include "Entity/Image/PngDecoder.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Entity/Image/ImageBytes.h"

namespace Zel {
namespace {

using ImageBytes::Be32;
using ImageBytes::Inside;

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMinSize = 29;  // signature, IHDR header and its 13 data bytes
constexpr std::uint8_t kTypeTrueColour = 2;
constexpr std::uint8_t kTypePalette = 3;
constexpr std::uint8_t kTypeTrueColourAlpha = 6;
// Deflate cannot expand its input by more than 1032:1; a stream announcing more is corrupt, and
// refusing it up front keeps a small hostile file from allocating a large buffer.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 1024;

struct InterlacePass {
    std::uint32_t columnStart, columnStep, rowStart, rowStep;
};
constexpr InterlacePass kAdam7[7] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                            {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
constexpr InterlacePass kWholeImage = {0, 1, 0, 1};

struct Header {
    std::uint32_t width, height;
    std::uint8_t depth, colourType;
    bool interlaced;
    std::uint32_t bitsPerPixel;    // packed bits of one pixel in a row
    std::uint32_t filterDistance;  // bytes to the left neighbour for the filters
};

struct Chunks {
    std::vector<std::pair<const std::uint8_t*, std::size_t>> idat;
    std::uint64_t idatBytes = 0;
    const std::uint8_t* palette = nullptr;
    std::uint32_t paletteEntries = 0;
    const std::uint8_t* transparency = nullptr;
    std::uint32_t transparencyEntries = 0;
    bool hasPalette = false;
};

bool AcceptedColourTypeAndDepth(std::uint8_t colourType, std::uint8_t depth, bool interlaced) {
    switch (colourType) {
        case kTypeTrueColour:
        case kTypeTrueColourAlpha:
            return depth == 8;
        case kTypePalette:
            if (interlaced)
                return depth == 8;
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        default:
            return false;
    }
}

Header ReadHeader(const std::uint8_t* data) {
    Header header{};
    header.width = Be32(data, 16);
    header.height = Be32(data, 20);
    header.depth = data[24];
    header.colourType = data[25];
    header.interlaced = data[28] != 0;
    switch (header.colourType) {
        case kTypeTrueColour:
            header.bitsPerPixel = 24;
            break;
        case kTypeTrueColourAlpha:
            header.bitsPerPixel = 32;
            break;
        default:
            header.bitsPerPixel = header.depth;
            break;
    }
    header.filterDistance = header.bitsPerPixel >= 8 ? header.bitsPerPixel / 8 : 1;
    return header;
}

std::uint32_t PassColumns(const InterlacePass& pass, std::uint32_t width) {
    return width > pass.columnStart
               ? (width - pass.columnStart + pass.columnStep - 1) / pass.columnStep
               : 0;
}
std::uint32_t PassRows(const InterlacePass& pass, std::uint32_t height) {
    return height > pass.rowStart ? (height - pass.rowStart + pass.rowStep - 1) / pass.rowStep : 0;
}
std::uint64_t RowBytes(std::uint64_t columns, std::uint32_t bitsPerPixel) {
    return (columns * bitsPerPixel + 7) / 8;
}
// Bytes of one pass in the inflated stream: a filter byte and the packed pixels per row; a pass
// without columns or rows holds nothing.
std::uint64_t PassBytes(const InterlacePass& pass, const Header& header) {
    const std::uint64_t columns = PassColumns(pass, header.width);
    const std::uint64_t rows = PassRows(pass, header.height);
    if (columns == 0 || rows == 0)
        return 0;
    return rows * (1 + RowBytes(columns, header.bitsPerPixel));
}

// Walks the chunks after IHDR; false when one runs past the input.
bool CollectChunks(const std::uint8_t* data, std::size_t size, Chunks& chunks) {
    std::uint64_t offset = 20 + std::uint64_t(Be32(data, 8));
    while (Inside(offset, 8, size)) {
        const std::uint64_t length = Be32(data, offset);
        const std::uint8_t* type = data + offset + 4;
        if (!Inside(offset + 8, length + 4, size))
            return false;
        const std::uint8_t* body = data + offset + 8;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (length > 0)
                chunks.idat.emplace_back(body, std::size_t(length));
            chunks.idatBytes += length;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            chunks.palette = body;
            chunks.paletteEntries = static_cast<std::uint32_t>(length / 3);
            chunks.hasPalette = true;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            chunks.transparency = body;
            chunks.transparencyEntries = static_cast<std::uint32_t>(length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        offset += length + 12;
    }
    return true;
}

// Inflates the IDAT pieces into exactly expected bytes; false unless the stream ends exactly there.
bool InflateExactly(const Chunks& chunks, std::uint8_t* out, std::uint64_t expected) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_out = out;
    std::uint64_t outLeft = expected;
    int status = Z_OK;
    std::size_t piece = 0;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && piece < chunks.idat.size()) {
            stream.next_in = const_cast<Bytef*>(chunks.idat[piece].first);
            stream.avail_in = static_cast<uInt>(chunks.idat[piece].second);
            ++piece;
        }
        if (stream.avail_out == 0) {
            const std::uint64_t step = outLeft < UINT_MAX ? outLeft : UINT_MAX;
            stream.avail_out = static_cast<uInt>(step);
            outLeft -= step;
        }
        const bool lastInput = piece == chunks.idat.size();
        status = inflate(&stream, lastInput ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_BUF_ERROR) {
            // Progress is still possible only when zlib ran out of a buffer we can refill.
            const bool moreInput = stream.avail_in == 0 && piece < chunks.idat.size();
            const bool moreOutput = stream.avail_out == 0 && outLeft > 0;
            if (moreInput || moreOutput)
                status = Z_OK;
        }
    }
    const bool exact = status == Z_STREAM_END && stream.total_out == expected;
    inflateEnd(&stream);
    return exact;
}

// Branch-free: on photographic rows the predictor's choice is close to random.
inline std::uint8_t Paeth(int left, int up, int upLeft) {
    const int dLeft = std::abs(up - upLeft);
    const int dUp = std::abs(left - upLeft);
    const int dUpLeft = std::abs(left + up - 2 * upLeft);
    const int upOrUpLeft = dUp <= dUpLeft ? up : upLeft;
    return static_cast<std::uint8_t>(dLeft <= dUp && dLeft <= dUpLeft ? left : upOrUpLeft);
}

// Reverses one row's filter in place; previous is null for the first row of a pass (a row of
// zeros). The distance is a template argument so that the byte loops compile for it.
template <std::size_t kDistance>
bool UnfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous,
                 std::size_t rowBytes) {
    const std::size_t head = kDistance < rowBytes ? kDistance : rowBytes;
    switch (filter) {
        case 0:
            return true;
        case 1:
            for (std::size_t i = kDistance; i < rowBytes; ++i) row[i] += row[i - kDistance];
            return true;
        case 2:
            if (previous)
                for (std::size_t i = 0; i < rowBytes; ++i) row[i] += previous[i];
            return true;
        case 3:
            if (previous) {
                for (std::size_t i = 0; i < head; ++i) row[i] += previous[i] >> 1;
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    row[i] += static_cast<std::uint8_t>((row[i - kDistance] + previous[i]) >> 1);
            } else {
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    row[i] += row[i - kDistance] >> 1;
            }
            return true;
        case 4:
            if (previous) {
                for (std::size_t i = 0; i < head; ++i) row[i] += previous[i];
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    row[i] += Paeth(row[i - kDistance], previous[i], previous[i - kDistance]);
            } else {
                // With no row above, Paeth always picks the left neighbour.
                for (std::size_t i = kDistance; i < rowBytes; ++i) row[i] += row[i - kDistance];
            }
            return true;
        default:
            return false;
    }
}

// Reverses the filters of one pass in place: rows of a filter byte and rowBytes bytes.
template <std::size_t kDistance>
bool UnfilterRows(std::uint8_t* rows, std::uint32_t rowCount, std::size_t rowBytes) {
    const std::size_t stride = rowBytes + 1;
    const std::uint8_t* previous = nullptr;
    for (std::uint32_t y = 0; y < rowCount; ++y) {
        std::uint8_t* row = rows + stride * y + 1;
        if (!UnfilterRow<kDistance>(row[-1], row, previous, rowBytes))
            return false;
        previous = row;
    }
    return true;
}

bool Unfilter(std::uint8_t* rows, std::uint32_t rowCount, std::size_t rowBytes,
              std::size_t distance) {
    switch (distance) {
        case 3:
            return UnfilterRows<3>(rows, rowCount, rowBytes);
        case 4:
            return UnfilterRows<4>(rows, rowCount, rowBytes);
        default:
            return UnfilterRows<1>(rows, rowCount, rowBytes);
    }
}

// Places one unfiltered pass into the output. Palette indices go through the colour table.
class PixelPlacer {
public:
    PixelPlacer(const Header& header, const Chunks& chunks, DecodedImage& image)
        : header_(header), chunks_(chunks), image_(image) {}

    void Place(const InterlacePass& pass, const std::uint8_t* rows, std::uint32_t columns,
               std::uint32_t rowCount, std::size_t rowBytes) const {
        const std::size_t outBytes = image_.bytesPerPixel;
        const bool contiguous = pass.columnStep == 1 && header_.colourType != kTypePalette;
        for (std::uint32_t j = 0; j < rowCount; ++j) {
            const std::uint8_t* row = rows + (rowBytes + 1) * j + 1;
            std::uint8_t* out =
                image_.data.get() + std::size_t(image_.pitch) * (pass.rowStart + j * pass.rowStep);
            if (contiguous) {
                std::memcpy(out, row, std::size_t(columns) * outBytes);
                continue;
            }
            for (std::uint32_t i = 0; i < columns; ++i) {
                std::uint8_t* pixel =
                    out + outBytes * (pass.columnStart + std::size_t(i) * pass.columnStep);
                if (header_.colourType != kTypePalette) {
                    std::memcpy(pixel, row + outBytes * i, outBytes);
                } else {
                    WriteIndexed(pixel, IndexAt(row, i));
                }
            }
        }
    }

private:
    std::uint32_t IndexAt(const std::uint8_t* row, std::uint32_t i) const {
        const std::uint32_t depth = header_.depth;
        if (depth == 8)
            return row[i];
        const std::uint32_t perByte = 8 / depth;
        const std::uint32_t shift = 8 - depth * (i % perByte + 1);
        return (row[i / perByte] >> shift) & ((1u << depth) - 1);
    }

    void WriteIndexed(std::uint8_t* pixel, std::uint32_t index) const {
        if (index < chunks_.paletteEntries) {
            std::memcpy(pixel, chunks_.palette + 3 * std::size_t(index), 3);
        } else {
            pixel[0] = pixel[1] = pixel[2] = 0;
        }
        if (image_.bytesPerPixel == 4) {
            const bool transparent =
                index < chunks_.transparencyEntries && index < chunks_.paletteEntries;
            pixel[3] = transparent ? chunks_.transparency[index] : 255;
        }
    }

    const Header& header_;
    const Chunks& chunks_;
    DecodedImage& image_;
};

}  // namespace

bool IsPngImage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kMinSize)
        return false;
    if (std::memcmp(data, kSignature, 8) != 0 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    if (data[26] != 0 || data[27] != 0)
        return false;
    return AcceptedColourTypeAndDepth(data[25], data[24], data[28] != 0);
}

DecodedImage DecodePngImage(const std::uint8_t* data, std::size_t size) {
    if (!IsPngImage(data, size))
        return {};
    const Header header = ReadHeader(data);
    if (!IsDecodableSide(header.width) || !IsDecodableSide(header.height))
        return {};

    Chunks chunks;
    if (!CollectChunks(data, size, chunks) || chunks.idat.empty())
        return {};
    if (header.colourType == kTypePalette && !chunks.hasPalette)
        return {};

    const InterlacePass* passes = header.interlaced ? kAdam7 : &kWholeImage;
    const int passCount = header.interlaced ? 7 : 1;
    std::uint64_t rawBytes = 0;
    for (int p = 0; p < passCount; ++p) rawBytes += PassBytes(passes[p], header);
    if (rawBytes > chunks.idatBytes * kMaxInflateRatio + kInflateSlack)
        return {};
    auto raw = std::make_unique_for_overwrite<std::uint8_t[]>(rawBytes);
    if (!InflateExactly(chunks, raw.get(), rawBytes))
        return {};

    DecodedImage image;
    if (header.colourType == kTypeTrueColourAlpha ||
        (header.colourType == kTypePalette && chunks.transparencyEntries > 0)) {
        image = AllocateDecodedRgba(header.width, header.height);
    } else {
        image = AllocateDecodedRgb(header.width, header.height);
    }
    const PixelPlacer placer(header, chunks, image);
    std::uint8_t* passData = raw.get();
    for (int p = 0; p < passCount; ++p) {
        const std::uint64_t bytes = PassBytes(passes[p], header);
        if (bytes == 0)
            continue;
        const std::uint32_t columns = PassColumns(passes[p], header.width);
        const std::uint32_t rows = PassRows(passes[p], header.height);
        const std::size_t rowBytes = RowBytes(columns, header.bitsPerPixel);
        if (!Unfilter(passData, rows, rowBytes, header.filterDistance))
            return {};
        placer.Place(passes[p], passData, columns, rows, rowBytes);
        passData += bytes;
    }
    return image;
}

}  // namespace Zel
