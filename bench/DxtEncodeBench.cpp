// The system's DXT block encoder against NVIDIA Texture Tools' fastest mode on the same
// 1024 x 1024 image, in the same iterations in alternating order. The counters give both medians,
// the speed ratio (nvtt's time over the encoder's: above 1 the encoder is faster), each side's
// RMSE against the source (R, G, B, and alpha for DXT5) and the RMSE between the two decoded
// pictures.
//
// Run: build/rel/bench/DxtEncodeBench [--benchmark_repetitions=N].
#include <benchmark/benchmark.h>
#include <nvtt/nvtt.h>

#include <cstdint>
#include <vector>

#include "Entity/Image/DxtEncoder.h"
#include "Entity/Image/PixelFormat.h"
#include "NvttCollect.h"
#include "PairedTiming.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
constexpr std::uint32_t kSide = 1024;

using BenchNvtt::Collect;

bool Nvtt(const Bytes& bgra, bool dxt5, Collect& output) {
    output.bytes.clear();
    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, kSide, kSide, 1);
    input.setMipmapData(bgra.data(), kSide, kSide, 1, 0, 0);
    input.setMipmapGeneration(false);
    nvtt::OutputOptions options;
    options.setOutputHandler(&output);
    options.setOutputHeader(false);
    nvtt::CompressionOptions compression;
    compression.setFormat(dxt5 ? nvtt::Format_DXT5 : nvtt::Format_DXT1);
    compression.setQuality(nvtt::Quality_Fastest);
    return nvtt::Compressor().process(input, compression, options);
}

// Argument: 0 for DXT1, 1 for DXT5.
void DxtEncode(benchmark::State& state) {
    const bool dxt5 = state.range(0) != 0;
    const ZelFixtures::RgbaImage image = ZelFixtures::MakeSmoothImage(kSide, kSide);
    const Bytes bgra = image.Bgra();
    Bytes blocks(std::size_t(kSide) * kSide / (dxt5 ? 1 : 2));
    Collect output;
    bool ok = true;
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                Zel::DxtEncodeImage(1, bgra.data(), kSide, kSide,
                                    dxt5 ? Zel::PF_DXT5 : Zel::PF_DXT1, blocks.data());
                benchmark::DoNotOptimize(blocks.data());
            },
            [&] { ok = Nvtt(bgra, dxt5, output) && ok; });
    }
    if (!ok || output.bytes.size() != blocks.size()) {
        state.SkipWithError("nvtt failed");
        return;
    }
    times.Report(state, "nvtt_ms");
    const int version = dxt5 ? 5 : 1;
    const auto own = ZelFixtures::DecodeDxtImage(version, blocks.data(), kSide, kSide);
    const auto theirs = ZelFixtures::DecodeDxtImage(version, output.bytes.data(), kSide, kSide);
    state.counters["rmse"] = ZelFixtures::RgbaRmse(own, image, dxt5);
    state.counters["nvtt_rmse"] = ZelFixtures::RgbaRmse(theirs, image, dxt5);
    state.counters["rmse_between"] = ZelFixtures::RgbaRmse(own, theirs, dxt5);
}
BENCHMARK(DxtEncode)
    ->ArgName("dxt5")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
