// Image decoding next to its limits and its rivals on the same data:
//   BM_Png/<side>       the PNG decoder next to zlib inflating the same IDAT bytes alone (the
//                       limit: inflating is the one step a decoder cannot skip), at sides 256 to
//                       4096; time_x is the decoder's time over inflate's (lower is better) and
//                       ns_per_pixel shows whether the cost stays linear in the pixels.
//   BM_Png_Stb/Libpng   the 1024 x 1024 file through ours next to stb_image and libpng (time_x
//                       as above).
//   BM_DxtToPixels/<n>  DXT1 and DXT5 blocks to 32-bit pixels through the read-back every D3DX
//                       conversion uses, next to a plain decoder written here from the block
//                       tables (colour table, then one lookup a texel); speed_x is the
//                       reference's time over ours (higher is better).
//   BM_DxtBlocks/<n>    the block decoder alone beside the same reference, both writing into
//                       buffers kept between calls.
//   BM_Jpeg_Stb         JPEG through ours next to stb_image; the two decoders may round the
//                       inverse transform differently, which max_diff shows.
// The DXT encoder's own rows are in DxtEncodeBench.
// Paired rows run both sides once an iteration, alternating which goes first, timed in thread
// CPU time so that a shared machine's other work is not counted; the row's time is ours, and
// the medians of both sides are printed beside it. diff_bytes counts output bytes that differ
// from the anchor's output (for PNG, from the image the file was written from), max_diff the
// largest difference.
//
//   ImageDecodeBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <png.h>
#include <stb/stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/DxtEncoder.h"
#include "Entity/Image/JpegDecoder.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Image/PngDecoder.h"
#include "Platform/D3D9/DxtBlock.h"
#include "Platform/D3DX9/D3DX9Pixels.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
constexpr std::uint32_t kSide = 1024;

struct Files {
    ZelFixtures::RgbaImage image = ZelFixtures::MakeSmoothImage(kSide, kSide);
    Bytes png, dds1, dds5, jpeg;

    Files() {
        png = PngOf(image);
        const Bytes bgra = image.Bgra();
        Bytes blocks(std::size_t(kSide) * kSide);
        Zel::DxtEncodeImage(1, bgra.data(), kSide, kSide, Zel::PF_DXT5, blocks.data());
        dds5 = ZelFixtures::WriteDdsBlocks("DXT5", kSide, kSide, blocks);
        blocks.resize(blocks.size() / 2);
        Zel::DxtEncodeImage(1, bgra.data(), kSide, kSide, Zel::PF_DXT1, blocks.data());
        dds1 = ZelFixtures::WriteDdsBlocks("DXT1", kSide, kSide, blocks);
        jpeg = ZelFixtures::WriteJpeg(image, 90);
    }

    static Bytes PngOf(const ZelFixtures::RgbaImage& rgba) {
        ZelFixtures::PngSpec spec = ZelFixtures::PngFromRgba(rgba, true);
        spec.filter = 4;  // Paeth, what encoders pick for photographs and painted textures
        return ZelFixtures::WritePng(spec);
    }
};

const Files& GetFiles() {
    static const Files files;
    return files;
}

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// How a paired row states its ratio.
enum class Ratio {
    Time,   // time_x: our time over the anchor's, lower is better
    Speed,  // speed_x: the anchor's time over ours, higher is better
};

// Runs ours and the anchor once an iteration, alternating which goes first so that neither
// always meets the caches the other left, and reports both medians and their ratio.
template <class Ours, class Anchor>
void RunPaired(benchmark::State& state, Ratio ratio, Ours&& ours, Anchor&& anchor) {
    std::vector<double> oursSeconds, anchorSeconds;
    bool anchorFirst = false;
    for (auto _ : state) {
        double a = 0, o = 0;
        if (anchorFirst) {
            const double t0 = ThreadSeconds();
            anchor();
            const double t1 = ThreadSeconds();
            ours();
            a = t1 - t0;
            o = ThreadSeconds() - t1;
        } else {
            const double t0 = ThreadSeconds();
            ours();
            const double t1 = ThreadSeconds();
            anchor();
            o = t1 - t0;
            a = ThreadSeconds() - t1;
        }
        anchorFirst = !anchorFirst;
        oursSeconds.push_back(o);
        anchorSeconds.push_back(a);
        state.SetIterationTime(o);
    }
    const double oursMedian = Median(oursSeconds), anchorMedian = Median(anchorSeconds);
    state.counters["ours_ms"] = oursMedian * 1e3;
    state.counters["anchor_ms"] = anchorMedian * 1e3;
    if (ratio == Ratio::Time)
        state.counters["time_x"] = anchorMedian > 0 ? oursMedian / anchorMedian : 0.0;
    else
        state.counters["speed_x"] = oursMedian > 0 ? anchorMedian / oursMedian : 0.0;
}

void ReportDifference(benchmark::State& state, const std::uint8_t* ours, std::size_t oursSize,
                      const std::uint8_t* expected, std::size_t expectedSize) {
    if (ours == nullptr || oursSize != expectedSize) {
        state.SkipWithError("outputs differ in size");
        return;
    }
    std::size_t differing = 0;
    int largest = 0;
    for (std::size_t i = 0; i < oursSize; ++i) {
        const int d = std::abs(int(ours[i]) - int(expected[i]));
        differing += d != 0;
        largest = std::max(largest, d);
    }
    state.counters["diff_bytes"] = double(differing);
    state.counters["max_diff"] = double(largest);
}

// ---- PNG next to inflate alone ------------------------------------------------------------------

struct PngFile {
    ZelFixtures::RgbaImage image;
    Bytes file;
    Bytes idat;            // the IDAT chunks' data, back to back
    std::size_t rawBytes;  // the inflated scanlines: a filter byte and the row a row
};

const PngFile& GetPng(std::uint32_t side) {
    static std::map<std::uint32_t, std::unique_ptr<PngFile>> files;
    auto& entry = files[side];
    if (!entry) {
        entry = std::make_unique<PngFile>();
        entry->image = side == kSide ? GetFiles().image : ZelFixtures::MakeSmoothImage(side, side);
        entry->file = Files::PngOf(entry->image);
        const Bytes& f = entry->file;
        for (std::size_t at = 8; at + 12 <= f.size();) {
            const std::size_t length = std::size_t(f[at]) << 24 | std::size_t(f[at + 1]) << 16 |
                                       std::size_t(f[at + 2]) << 8 | f[at + 3];
            if (std::memcmp(&f[at + 4], "IDAT", 4) == 0)
                entry->idat.insert(entry->idat.end(), f.begin() + std::ptrdiff_t(at + 8),
                                   f.begin() + std::ptrdiff_t(at + 8 + length));
            at += length + 12;
        }
        entry->rawBytes = std::size_t(side) * (1 + std::size_t(side) * 4);
    }
    return *entry;
}

// zlib inflating the IDAT bytes into a buffer kept from one call to the next.
bool InflateAlone(const Bytes& idat, std::uint8_t* out, std::size_t outBytes) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(idat.data());
    stream.avail_in = uInt(idat.size());
    stream.next_out = out;
    stream.avail_out = uInt(outBytes);
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = status == Z_STREAM_END && stream.total_out == outBytes;
    inflateEnd(&stream);
    return whole;
}

void BM_Png(benchmark::State& state) {
    const std::uint32_t side = std::uint32_t(state.range(0));
    const PngFile& png = GetPng(side);
    std::vector<std::uint8_t> scanlines(png.rawBytes);
    Zel::DecodedImage decoded;
    bool inflated = true;
    RunPaired(
        state, Ratio::Time,
        [&] {
            decoded = Zel::DecodePngImage(png.file.data(), png.file.size());
            benchmark::DoNotOptimize(decoded.data.get());
        },
        [&] {
            inflated = InflateAlone(png.idat, scanlines.data(), scanlines.size()) && inflated;
            benchmark::DoNotOptimize(scanlines.data());
        });
    if (decoded.IsEmpty() || !inflated) {
        state.SkipWithError("decode or inflate failed");
        return;
    }
    state.counters["ns_per_pixel"] = state.counters["ours_ms"] * 1e6 / (double(side) * side);
    state.counters["file_bytes"] = double(png.file.size());
    ReportDifference(state, decoded.data.get(), decoded.size, png.image.rgba.data(),
                     png.image.rgba.size());
}

// ---- DXT blocks to pixels next to a plain decoder -----------------------------------------------

// A plain decoder of one block from the format's tables: the colour table (the device's
// rounding), then one lookup a texel; B, G, R, A bytes.
void ReferenceBlock(int version, const std::uint8_t* block, std::uint8_t bgra[16][4]) {
    const std::uint8_t* colour = version == 1 ? block : block + 8;
    const int c0 = colour[0] | colour[1] << 8, c1 = colour[2] | colour[3] << 8;
    int ends[2][3];
    for (int e = 0; e < 2; ++e) {
        const int c = e == 0 ? c0 : c1;
        const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
        ends[e][0] = (b << 3) | (b >> 2);
        ends[e][1] = (g << 2) | (g >> 4);
        ends[e][2] = (r << 3) | (r >> 2);
    }
    std::uint8_t table[4][4];
    const bool four = version != 1 || c0 > c1;
    for (int ch = 0; ch < 3; ++ch) {
        const int a = ends[0][ch], b = ends[1][ch];
        table[0][ch] = std::uint8_t(a);
        table[1][ch] = std::uint8_t(b);
        table[2][ch] = std::uint8_t(four ? (2 * a + b + 1) / 3 : (a + b + 1) / 2);
        table[3][ch] = std::uint8_t(four ? (a + 2 * b + 1) / 3 : 0);
    }
    table[0][3] = table[1][3] = table[2][3] = 255;
    table[3][3] = four ? 255 : 0;
    for (int i = 0; i < 16; ++i)
        std::memcpy(bgra[i], table[(colour[4 + i / 4] >> (2 * (i % 4))) & 3], 4);
    if (version == 5) {
        const int a0 = block[0], a1 = block[1];
        int alphas[8] = {a0, a1};
        if (a0 > a1) {
            for (int s = 2; s < 8; ++s) alphas[s] = ((8 - s) * a0 + (s - 1) * a1 + 3) / 7;
        } else {
            for (int s = 2; s < 6; ++s) alphas[s] = ((6 - s) * a0 + (s - 1) * a1 + 2) / 5;
            alphas[6] = 0;
            alphas[7] = 255;
        }
        std::uint64_t selectors = 0;
        for (int k = 0; k < 6; ++k) selectors |= std::uint64_t(block[2 + k]) << (8 * k);
        for (int i = 0; i < 16; ++i) bgra[i][3] = std::uint8_t(alphas[(selectors >> (3 * i)) & 7]);
    }
}

void ReferenceDecodeInto(int version, const std::uint8_t* blocks, std::size_t pitch,
                         std::uint32_t width, std::uint32_t height, BYTE* pixels) {
    const std::size_t blockBytes = version == 1 ? 8 : 16;
    for (std::uint32_t by = 0; by < (height + 3) / 4; ++by)
        for (std::uint32_t bx = 0; bx < (width + 3) / 4; ++bx) {
            std::uint8_t bgra[16][4];
            ReferenceBlock(version, blocks + pitch * by + blockBytes * bx, bgra);
            for (std::uint32_t y = 0; y < 4 && by * 4 + y < height; ++y)
                std::memcpy(&pixels[(std::size_t(by * 4 + y) * width + bx * 4) * 4], bgra[y * 4],
                            4 * std::size_t(std::min<std::uint32_t>(4, width - bx * 4)));
        }
}

// Into a fresh vector, as the read-back answers.
std::vector<BYTE> ReferenceDecode(int version, const std::uint8_t* blocks, std::size_t pitch,
                                  std::uint32_t width, std::uint32_t height) {
    std::vector<BYTE> pixels(std::size_t(width) * height * 4);
    ReferenceDecodeInto(version, blocks, pitch, width, height, pixels.data());
    return pixels;
}

// Runs one DXT row: the file of the row's DXT version (state.range(0): 1 or 5) read by the DDS
// decoder, then ours and the reference decoding its blocks, each through its decode(version,
// format, blocks) answering the pixels.
template <class Ours, class Reference>
void RunDxtRow(benchmark::State& state, Ours ours, Reference reference) {
    const int version = int(state.range(0));
    const Bytes& file = version == 1 ? GetFiles().dds1 : GetFiles().dds5;
    const Zel::DecodedImage dds = Zel::DecodeDdsImage(file.data(), file.size());
    if (dds.IsEmpty()) {
        state.SkipWithError("the DDS file was refused");
        return;
    }
    const D3DFORMAT format = version == 1 ? D3DFMT_DXT1 : D3DFMT_DXT5;
    const std::vector<BYTE>* oursPixels = nullptr;
    const std::vector<BYTE>* referencePixels = nullptr;
    RunPaired(
        state, Ratio::Speed,
        [&] {
            oursPixels = &ours(format, dds);
            benchmark::DoNotOptimize(oursPixels->data());
        },
        [&] {
            referencePixels = &reference(version, dds);
            benchmark::DoNotOptimize(referencePixels->data());
        });
    state.counters["texels"] = double(dds.width) * dds.height;
    if (oursPixels && referencePixels)
        ReportDifference(state, oursPixels->data(), oursPixels->size(), referencePixels->data(),
                         referencePixels->size());
}

void BM_DxtToPixels(benchmark::State& state) {
    std::vector<BYTE> ours, reference;
    RunDxtRow(
        state,
        [&](D3DFORMAT format, const Zel::DecodedImage& dds) -> const std::vector<BYTE>& {
            ours = D3DXReadPixels(format, dds.data.get(), dds.pitch, dds.width, dds.height);
            return ours;
        },
        [&](int version, const Zel::DecodedImage& dds) -> const std::vector<BYTE>& {
            reference = ReferenceDecode(version, dds.data.get(), dds.pitch, dds.width, dds.height);
            return reference;
        });
}

// The block decoder alone, both sides writing into buffers kept from one call to the next.
void BM_DxtBlocks(benchmark::State& state) {
    std::vector<BYTE> ours, reference;
    RunDxtRow(
        state,
        [&](D3DFORMAT format, const Zel::DecodedImage& dds) -> const std::vector<BYTE>& {
            ours.resize(std::size_t(dds.width) * dds.height * 4);
            DxtBlock::DecodeRect(format, dds.data.get(), dds.pitch, dds.width, dds.height,
                                 ours.data(), std::size_t(dds.width) * 4);
            return ours;
        },
        [&](int version, const Zel::DecodedImage& dds) -> const std::vector<BYTE>& {
            reference.resize(std::size_t(dds.width) * dds.height * 4);
            ReferenceDecodeInto(version, dds.data.get(), dds.pitch, dds.width, dds.height,
                                reference.data());
            return reference;
        });
}

// ---- Rival decoders -----------------------------------------------------------------------------

// stb_image's pixels in the file's channels, freed by the caller with stbi_image_free.
std::vector<std::uint8_t> DecodeWithStb(const Bytes& file) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &channels, 0);
    if (pixels == nullptr)
        return {};
    std::vector<std::uint8_t> out(pixels, pixels + std::size_t(w) * h * channels);
    stbi_image_free(pixels);
    return out;
}

// Ours next to a rival decoder of the same file; time_x is our time over the rival's.
template <class Rival>
void PairWithRival(benchmark::State& state, const Bytes& file,
                   Zel::DecodedImage (*decode)(const std::uint8_t*, std::size_t), Rival rival) {
    Zel::DecodedImage ours;
    std::vector<std::uint8_t> theirs;
    RunPaired(
        state, Ratio::Time,
        [&] {
            ours = decode(file.data(), file.size());
            benchmark::DoNotOptimize(ours.data.get());
        },
        [&] {
            theirs = rival(file);
            benchmark::DoNotOptimize(theirs.data());
        });
    if (ours.IsEmpty() || theirs.empty()) {
        state.SkipWithError("a decoder refused the file");
        return;
    }
    state.counters["file_bytes"] = double(file.size());
    ReportDifference(state, ours.data.get(), ours.size, theirs.data(), theirs.size());
}

void BM_Png_Stb(benchmark::State& state) {
    PairWithRival(state, GetFiles().png, Zel::DecodePngImage, DecodeWithStb);
}
void BM_Png_Libpng(benchmark::State& state) {
    PairWithRival(state, GetFiles().png, Zel::DecodePngImage, [](const Bytes& file) {
        std::vector<std::uint8_t> pixels;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
            return pixels;
        image.format = PNG_FORMAT_RGBA;
        pixels.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
            pixels.clear();
        return pixels;
    });
}
void BM_Jpeg_Stb(benchmark::State& state) {
    PairWithRival(state, GetFiles().jpeg, Zel::DecodeJpegImage, DecodeWithStb);
}

BENCHMARK(BM_Png)->Arg(256)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Png_Stb)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png_Libpng)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DxtToPixels)->Arg(1)->Arg(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DxtBlocks)->Arg(1)->Arg(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Stb)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
