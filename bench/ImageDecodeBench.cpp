// Image decoding next to stb_image and libpng on the same 1024 x 1024 files, and the DXT1
// encoder's quality next to NVIDIA Texture Tools' fastest mode.
//
//   ImageDecodeBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <nvtt/nvtt.h>
#include <png.h>
#include <stb/stb_image.h>

#include <cstdint>
#include <vector>

#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/DxtEncoder.h"
#include "Entity/Image/JpegDecoder.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Image/PngDecoder.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
constexpr std::uint32_t kSide = 1024;

Bytes ToBgra(const ZelFixtures::RgbaImage& image) {
    Bytes out = image.rgba;
    for (std::size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
    return out;
}

struct Files {
    ZelFixtures::RgbaImage image = ZelFixtures::MakeSmoothImage(kSide, kSide);
    Bytes png, dds, jpeg;

    Files() {
        ZelFixtures::PngSpec spec = ZelFixtures::PngFromRgba(image, true);
        spec.filter = 4;  // Paeth, what encoders pick for photographs and painted textures
        png = ZelFixtures::WritePng(spec);
        Bytes blocks(std::size_t(kSide) * kSide);
        const Bytes bgra = ToBgra(image);
        Zel::DxtEncodeImage(1, bgra.data(), kSide, kSide, Zel::PF_DXT5, blocks.data());
        dds = ZelFixtures::WriteDdsBlocks("DXT5", kSide, kSide, blocks);
        jpeg = ZelFixtures::WriteJpeg(image, 90);
    }
};

const Files& GetFiles() {
    static const Files files;
    return files;
}

std::uint64_t Checksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < size; i += 4099) sum = sum * 31 + data[i];
    return sum;
}

void Report(benchmark::State& state, const Bytes& file, std::uint64_t checksum) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.size()));
    state.counters["file_bytes"] = double(file.size());
    // Equal pixels give equal checksums, so the rows of one file can be compared.
    state.counters["checksum"] = double(checksum % 1000000);
}

template <Zel::DecodedImage (*Decode)(const std::uint8_t*, std::size_t)>
void DecodeWithZel(benchmark::State& state, const Bytes& file) {
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        const Zel::DecodedImage image = Decode(file.data(), file.size());
        if (image.IsEmpty())
            state.SkipWithError("decode failed");
        checksum = Checksum(image.data.get(), image.size);
    }
    Report(state, file, checksum);
}

void DecodeWithStb(benchmark::State& state, const Bytes& file) {
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        int w, h, channels;
        stbi_uc* pixels =
            stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &channels, 0);
        if (pixels == nullptr)
            state.SkipWithError("decode failed");
        checksum = Checksum(pixels, std::size_t(w) * h * channels);
        stbi_image_free(pixels);
    }
    Report(state, file, checksum);
}

void BM_Png_Zel(benchmark::State& state) {
    DecodeWithZel<Zel::DecodePngImage>(state, GetFiles().png);
}
void BM_Png_Stb(benchmark::State& state) {
    DecodeWithStb(state, GetFiles().png);
}
void BM_Png_Libpng(benchmark::State& state) {
    const Bytes& file = GetFiles().png;
    std::vector<std::uint8_t> pixels(std::size_t(kSide) * kSide * 4);
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
            state.SkipWithError("libpng refused the file");
        image.format = PNG_FORMAT_RGBA;
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
            state.SkipWithError("libpng decode failed");
        checksum = Checksum(pixels.data(), pixels.size());
    }
    Report(state, file, checksum);
}
void BM_Dds_Zel(benchmark::State& state) {
    DecodeWithZel<Zel::DecodeDdsImage>(state, GetFiles().dds);
}
void BM_Jpeg_Zel(benchmark::State& state) {
    DecodeWithZel<Zel::DecodeJpegImage>(state, GetFiles().jpeg);
}
void BM_Jpeg_Stb(benchmark::State& state) {
    DecodeWithStb(state, GetFiles().jpeg);
}

// DXT1 of the same image: time to encode, and the RMSE over R, G, B of the decoded result.
void BM_Dxt1Encode_Zel(benchmark::State& state) {
    const auto& image = GetFiles().image;
    const Bytes bgra = ToBgra(image);
    Bytes blocks(std::size_t(kSide) * kSide / 2);
    for (auto _ : state) {
        Zel::DxtEncodeImage(1, bgra.data(), kSide, kSide, Zel::PF_DXT1, blocks.data());
        benchmark::DoNotOptimize(blocks.data());
    }
    const auto decoded = ZelFixtures::DecodeDxtImage(1, blocks.data(), kSide, kSide);
    state.counters["rmse"] = ZelFixtures::RgbaRmse(decoded, image, false);
}

struct Collect : nvtt::OutputHandler {
    Bytes bytes;
    void beginImage(int, int, int, int, int, int) override {}
    bool writeData(const void* data, int size) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
};

void BM_Dxt1Encode_NvttFastest(benchmark::State& state) {
    const auto& image = GetFiles().image;
    const Bytes bgra = ToBgra(image);
    Collect output;
    for (auto _ : state) {
        output.bytes.clear();
        nvtt::InputOptions input;
        input.setTextureLayout(nvtt::TextureType_2D, kSide, kSide, 1);
        input.setMipmapData(bgra.data(), kSide, kSide, 1, 0, 0);
        input.setMipmapGeneration(false);
        nvtt::OutputOptions options;
        options.setOutputHandler(&output);
        options.setOutputHeader(false);
        nvtt::CompressionOptions compression;
        compression.setFormat(nvtt::Format_DXT1);
        compression.setQuality(nvtt::Quality_Fastest);
        if (!nvtt::Compressor().process(input, compression, options))
            state.SkipWithError("nvtt failed");
    }
    const auto decoded = ZelFixtures::DecodeDxtImage(1, output.bytes.data(), kSide, kSide);
    state.counters["rmse"] = ZelFixtures::RgbaRmse(decoded, image, false);
}

BENCHMARK(BM_Png_Zel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dds_Zel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Zel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_Stb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dxt1Encode_Zel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dxt1Encode_NvttFastest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
