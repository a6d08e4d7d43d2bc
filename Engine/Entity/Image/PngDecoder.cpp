#include "Entity/Image/PngDecoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <emmintrin.h>

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

// The scanlines of the image data in stream order, inflated a stretch at a time into a buffer
// that holds a few rows, so the image is never held inflated in full. The stream must end
// exactly after the scanlines the header gives; more or less data is refused.
class ScanlineStream {
public:
    ScanlineStream(const Chunks& chunks, std::uint64_t expected, std::size_t longestScanline)
        : chunks_(chunks), outLeft_(expected) {
        // Big enough that zlib's window copy after each call (at most 32 KiB) stays small next
        // to what the call inflated; small enough to stay in the processor's cache.
        capacity_ = static_cast<std::size_t>(expected < kStretch ? expected : kStretch);
        if (capacity_ < longestScanline)
            capacity_ = longestScanline;
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity_);
        ready_ = inflateInit(&stream_) == Z_OK;
    }
    ~ScanlineStream() {
        if (ready_)
            inflateEnd(&stream_);
    }
    ScanlineStream(const ScanlineStream&) = delete;
    ScanlineStream& operator=(const ScanlineStream&) = delete;

    bool Ready() const { return ready_; }

    // The next scanline of bytes bytes (at most longestScanline), valid until the next call;
    // null when the stream is corrupt or ends first.
    const std::uint8_t* Next(std::size_t bytes) {
        if (end_ - begin_ < bytes) {
            std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
            while (end_ < bytes)
                if (!Fill())
                    return nullptr;
        }
        const std::uint8_t* scanline = buffer_.get() + begin_;
        begin_ += bytes;
        return scanline;
    }

    // After the last scanline: whether the stream ended there, with nothing left over.
    bool EndedExactly() {
        if (begin_ != end_ || outLeft_ != 0)
            return false;
        // The stream's end may still lie ahead of the last byte of output: inflate on into one
        // spare byte, which a stream that is too long fills.
        std::uint8_t spare;
        while (status_ == Z_OK) {
            stream_.next_out = &spare;
            stream_.avail_out = 1;
            Inflate();
            if (stream_.avail_out == 0)
                return false;
        }
        return status_ == Z_STREAM_END;
    }

private:
    static constexpr std::uint64_t kStretch = 256 * 1024;

    // One inflate call into the free end of the buffer; false when no more output can come.
    bool Fill() {
        if (status_ != Z_OK)
            return false;
        const std::size_t space = capacity_ - end_;
        const std::size_t step =
            static_cast<std::size_t>(outLeft_ < space ? outLeft_ : std::uint64_t(space));
        if (step == 0)
            return false;  // the scanlines asked for run past the size the header gives
        stream_.next_out = buffer_.get() + end_;
        stream_.avail_out = static_cast<uInt>(step);
        Inflate();
        const std::size_t produced = step - stream_.avail_out;
        end_ += produced;
        outLeft_ -= produced;
        return status_ == Z_OK || (status_ == Z_STREAM_END && produced > 0);
    }

    // One inflate call, feeding the next IDAT piece when the last one is used up. Leaves status_
    // Z_OK while progress is still possible.
    void Inflate() {
        if (stream_.avail_in == 0 && piece_ < chunks_.idat.size()) {
            stream_.next_in = const_cast<Bytef*>(chunks_.idat[piece_].first);
            stream_.avail_in = static_cast<uInt>(chunks_.idat[piece_].second);
            ++piece_;
        }
        const bool lastInput = piece_ == chunks_.idat.size();
        status_ = inflate(&stream_, lastInput ? Z_FINISH : Z_NO_FLUSH);
        if (status_ == Z_BUF_ERROR) {
            // Only a buffer that can be refilled lets it go on: more input, or a full output.
            const bool moreInput = stream_.avail_in == 0 && piece_ < chunks_.idat.size();
            if (moreInput || stream_.avail_out == 0)
                status_ = Z_OK;
        }
    }

    const Chunks& chunks_;
    z_stream stream_{};
    bool ready_ = false;
    int status_ = Z_OK;
    std::size_t piece_ = 0;
    std::uint64_t outLeft_;  // bytes the stream must still produce
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0, end_ = 0;  // the inflated bytes not yet handed out
};

// Branch-free: on photographic rows the predictor's choice is close to random.
inline std::uint8_t Paeth(int left, int up, int upLeft) {
    const int dLeft = std::abs(up - upLeft);
    const int dUp = std::abs(left - upLeft);
    const int dUpLeft = std::abs(left + up - 2 * upLeft);
    const int upOrUpLeft = dUp <= dUpLeft ? up : upLeft;
    return static_cast<std::uint8_t>(dLeft <= dUp && dLeft <= dUpLeft ? left : upOrUpLeft);
}

// Reverses one row's filter from raw into out; previous is the row above as unfiltered, null
// for the first row of a pass (a row of zeros). False for a filter type above 4. The distance
// is a template argument so that the byte loops compile for it.
template <std::size_t kDistance>
bool UnfilterRow(std::uint8_t filter, const std::uint8_t* __restrict raw,
                 std::uint8_t* __restrict out, const std::uint8_t* __restrict previous,
                 std::size_t rowBytes) {
    const std::size_t head = kDistance < rowBytes ? kDistance : rowBytes;
    switch (filter) {
        case 0:
            std::memcpy(out, raw, rowBytes);
            return true;
        case 1:
            std::memcpy(out, raw, head);
            for (std::size_t i = kDistance; i < rowBytes; ++i)
                out[i] = static_cast<std::uint8_t>(raw[i] + out[i - kDistance]);
            return true;
        case 2:
            if (previous) {
                for (std::size_t i = 0; i < rowBytes; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] + previous[i]);
            } else {
                std::memcpy(out, raw, rowBytes);
            }
            return true;
        case 3:
            if (previous) {
                for (std::size_t i = 0; i < head; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] + (previous[i] >> 1));
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] +
                                                       ((out[i - kDistance] + previous[i]) >> 1));
            } else {
                std::memcpy(out, raw, head);
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] + (out[i - kDistance] >> 1));
            }
            return true;
        case 4:
            if (previous) {
                for (std::size_t i = 0; i < head; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] + previous[i]);
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    out[i] = static_cast<std::uint8_t>(
                        raw[i] + Paeth(out[i - kDistance], previous[i], previous[i - kDistance]));
            } else {
                // With no row above, Paeth always picks the left neighbour.
                std::memcpy(out, raw, head);
                for (std::size_t i = kDistance; i < rowBytes; ++i)
                    out[i] = static_cast<std::uint8_t>(raw[i] + out[i - kDistance]);
            }
            return true;
        default:
            return false;
    }
}

// ---- Paeth on two rows at once -----------------------------------------------------------------
//
// Paeth is a chain: each pixel needs the one to its left, so one row runs at the latency of the
// predictor, not at the processor's width. The row below needs only pixels already done above
// it, so it runs one pixel behind in the upper half of the same vector: one chain, two rows.
// Pixels are 16-bit lanes, the upper row in lanes 0-3 and the lower row in lanes 4-7.

inline __m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <std::size_t kDistance>
inline __m128i Pixel16(const std::uint8_t* p) {
    int bytes = 0;
    std::memcpy(&bytes, p, kDistance);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128());
}

template <std::size_t kDistance>
inline void StorePixel(std::uint8_t* p, std::uint32_t bytes) {
    std::memcpy(p, &bytes, kDistance);
}

// raw0 and raw1 are the filtered rows (no filter byte) of two Paeth rows, out0 and out1 where
// they unfilter to, previous the unfiltered row above raw0; pixels of kDistance bytes each.
template <std::size_t kDistance>
void PaethRowPair(const std::uint8_t* raw0, const std::uint8_t* raw1, std::uint8_t* out0,
                  std::uint8_t* out1, const std::uint8_t* previous, std::size_t pixels) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_set1_epi16(0xFF);
    __m128i left = zero, upLeft = zero;  // the upper row's pixel k - 1, the lower row's k - 2
    // One step: the upper row's pixel k and the lower row's pixel k - 1; answers both, packed
    // to bytes, the upper in the low 32 bits.
    auto step = [&](__m128i above, __m128i raw) {
        // The lower row's pixel above is the upper row's pixel just finished.
        const __m128i up = _mm_unpacklo_epi64(above, left);
        const __m128i toLeft = _mm_sub_epi16(up, upLeft);  // p - left, as the scalar dLeft
        const __m128i toUp = _mm_sub_epi16(left, upLeft);
        const __m128i dLeft = Abs16(toLeft), dUp = Abs16(toUp);
        const __m128i dUpLeft = Abs16(_mm_add_epi16(toLeft, toUp));
        const __m128i smallest = _mm_min_epi16(dUpLeft, _mm_min_epi16(dLeft, dUp));
        const __m128i useLeft = _mm_cmpeq_epi16(smallest, dLeft);
        const __m128i useUp = _mm_cmpeq_epi16(smallest, dUp);
        const __m128i upOrUpLeft =
            _mm_or_si128(_mm_and_si128(useUp, up), _mm_andnot_si128(useUp, upLeft));
        const __m128i predicted =
            _mm_or_si128(_mm_and_si128(useLeft, left), _mm_andnot_si128(useLeft, upOrUpLeft));
        left = _mm_and_si128(_mm_add_epi16(predicted, raw), bytes);
        upLeft = up;
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(left, left)));
    };
    // The lower row starts one step late and ends one step after the upper row: before its
    // first pixel its lanes must stay zero (the left and up-left of a row's first pixel).
    std::uint64_t done = step(Pixel16<kDistance>(previous), Pixel16<kDistance>(raw0));
    StorePixel<kDistance>(out0, static_cast<std::uint32_t>(done));
    for (std::size_t k = 1; k < pixels; ++k) {
        const std::size_t at = k * kDistance;
        done = step(Pixel16<kDistance>(previous + at),
                    _mm_unpacklo_epi64(Pixel16<kDistance>(raw0 + at),
                                       Pixel16<kDistance>(raw1 + at - kDistance)));
        StorePixel<kDistance>(out0 + at, static_cast<std::uint32_t>(done));
        StorePixel<kDistance>(out1 + at - kDistance, static_cast<std::uint32_t>(done >> 32));
    }
    done =
        step(zero, _mm_unpacklo_epi64(zero, Pixel16<kDistance>(raw1 + (pixels - 1) * kDistance)));
    StorePixel<kDistance>(out1 + (pixels - 1) * kDistance, static_cast<std::uint32_t>(done >> 32));
}

// Two consecutive scanlines (each a filter byte and rowBytes bytes) into out0 and out1;
// previous as for UnfilterRow. False for a filter type above 4.
template <std::size_t kDistance>
bool UnfilterRowPair(const std::uint8_t* scanline0, const std::uint8_t* scanline1,
                     std::uint8_t* out0, std::uint8_t* out1, const std::uint8_t* previous,
                     std::size_t rowBytes) {
    if constexpr (kDistance >= 3) {
        if (previous && scanline0[0] == 4 && scanline1[0] == 4) {
            PaethRowPair<kDistance>(scanline0 + 1, scanline1 + 1, out0, out1, previous,
                                    rowBytes / kDistance);
            return true;
        }
    }
    return UnfilterRow<kDistance>(scanline0[0], scanline0 + 1, out0, previous, rowBytes) &&
           UnfilterRow<kDistance>(scanline1[0], scanline1 + 1, out1, out0, rowBytes);
}

struct RowUnfilters {
    bool (*one)(std::uint8_t, const std::uint8_t*, std::uint8_t*, const std::uint8_t*, std::size_t);
    bool (*two)(const std::uint8_t*, const std::uint8_t*, std::uint8_t*, std::uint8_t*,
                const std::uint8_t*, std::size_t);
};

template <std::size_t kDistance>
constexpr RowUnfilters kUnfilters = {&UnfilterRow<kDistance>, &UnfilterRowPair<kDistance>};

const RowUnfilters& UnfiltersFor(std::size_t distance) {
    switch (distance) {
        case 3:
            return kUnfilters<3>;
        case 4:
            return kUnfilters<4>;
        default:
            return kUnfilters<1>;
    }
}

// Places one unfiltered row of a pass into the output. Palette indices go through the colour
// table.
class PixelPlacer {
public:
    PixelPlacer(const Header& header, const Chunks& chunks, DecodedImage& image)
        : header_(header), chunks_(chunks), image_(image) {}

    void Place(const InterlacePass& pass, std::uint32_t j, const std::uint8_t* row,
               std::uint32_t columns) const {
        const std::size_t outBytes = image_.bytesPerPixel;
        std::uint8_t* out =
            image_.data.get() + std::size_t(image_.pitch) * (pass.rowStart + j * pass.rowStep);
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

    DecodedImage image;
    if (header.colourType == kTypeTrueColourAlpha ||
        (header.colourType == kTypePalette && chunks.transparencyEntries > 0)) {
        image = AllocateDecodedRgba(header.width, header.height);
    } else {
        image = AllocateDecodedRgb(header.width, header.height);
    }
    // Rows of a whole true-colour image are laid out as the output's, so they unfilter straight
    // into it; interlaced passes and palette indices unfilter into two alternating pass rows
    // and are placed from there.
    const bool direct = !header.interlaced && header.colourType != kTypePalette;
    const std::size_t longestRow = RowBytes(header.width, header.bitsPerPixel);
    std::unique_ptr<std::uint8_t[]> passRows;
    if (!direct)
        passRows = std::make_unique_for_overwrite<std::uint8_t[]>(2 * longestRow);
    // Rows go two at a time, so that two Paeth rows can unfilter together.
    ScanlineStream stream(chunks, rawBytes, 2 * (1 + longestRow));
    if (!stream.Ready())
        return {};
    const RowUnfilters& unfilter = UnfiltersFor(header.filterDistance);
    const PixelPlacer placer(header, chunks, image);
    for (int p = 0; p < passCount; ++p) {
        if (PassBytes(passes[p], header) == 0)
            continue;
        const std::uint32_t columns = PassColumns(passes[p], header.width);
        const std::uint32_t rows = PassRows(passes[p], header.height);
        const std::size_t rowBytes = RowBytes(columns, header.bitsPerPixel);
        const std::size_t stride = 1 + rowBytes;
        auto rowOut = [&](std::uint32_t j) {
            return direct ? image.data.get() + std::size_t(image.pitch) * j
                          : passRows.get() + longestRow * (j & 1);
        };
        const std::uint8_t* previous = nullptr;
        for (std::uint32_t j = 0; j < rows; j += 2) {
            const bool pair = j + 1 < rows;
            const std::uint8_t* scanlines = stream.Next(pair ? 2 * stride : stride);
            if (scanlines == nullptr)
                return {};
            std::uint8_t* row = rowOut(j);
            if (!pair) {
                if (!unfilter.one(scanlines[0], scanlines + 1, row, previous, rowBytes))
                    return {};
                if (!direct)
                    placer.Place(passes[p], j, row, columns);
                break;
            }
            std::uint8_t* below = rowOut(j + 1);
            if (!unfilter.two(scanlines, scanlines + stride, row, below, previous, rowBytes))
                return {};
            if (!direct) {
                placer.Place(passes[p], j, row, columns);
                placer.Place(passes[p], j + 1, below, columns);
            }
            previous = below;
        }
    }
    if (!stream.EndedExactly())
        return {};
    return image;
}

}  // namespace Zel
