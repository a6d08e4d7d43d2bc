// libFuzzer target over the D3DX texture loaders' file decoding and the pixel work that follows
// it (DXT block decoding, resampling).
//
//   D3DXImageFileFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   D3DXImageFileFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Platform/D3DX9/D3DX9ImageFile.h"
#include "Platform/D3DX9/D3DX9Pixels.h"
#include "fixtures/ImageFixtures.h"
#include "fuzz/FuzzSeeds.h"
#include "fuzz/ImageSeeds.h"

namespace {

using ZelFixtures::Bytes;
using ZelFuzz::SaveSeed;

// Every level must hold exactly its pixels or blocks; each is read whole.
void Inspect(const D3DXImageFile& file) {
    if (file.levels.empty())
        return;
    if (file.width == 0 || file.height == 0 || file.width > kD3DXMaxImageSide ||
        file.height > kD3DXMaxImageSide)
        std::abort();
    for (std::size_t level = 0; level < file.levels.size(); ++level) {
        const UINT w = D3DXLevelSide(file.width, UINT(level));
        const UINT h = D3DXLevelSide(file.height, UINT(level));
        const std::size_t expected = file.blockFormat != D3DFMT_UNKNOWN
                                         ? D3DXBlockRowBytes(file.blockFormat, w) * ((h + 3) / 4)
                                         : std::size_t(w) * h * 4;
        if (file.levels[level].size() != expected)
            std::abort();
    }
    std::vector<BYTE> pixels = file.levels[0];
    if (file.blockFormat != D3DFMT_UNKNOWN)
        pixels = D3DXReadPixels(
            file.blockFormat, file.levels[0].data(),
            std::size_t((file.width + 3) / 4) * (file.blockFormat == D3DFMT_DXT1 ? 8 : 16),
            file.width, file.height);
    if (std::uint64_t(file.width) * file.height <= 4096) {
        const UINT w = file.width / 2 + 1, h = file.height / 3 + 1;
        const auto half =
            D3DXResamplePixels(pixels, file.width, file.height, w, h, D3DXResampleKind::Average);
        if (half.size() != std::size_t(w) * h * 4)
            std::abort();
    }
}

// The image decoders' seeds and the kinds only these loaders take: run-length TGA, grey PNG,
// 16-bit samples, a short palette, DDS mip levels.
void WriteSeeds(const std::filesystem::path& dir) {
    ZelFuzz::WriteImageSeeds(dir);
    const auto image = ZelFixtures::MakePatternImage(7, 5);
    const auto indexed = ZelFixtures::MakeIndexedImage(9, 5, 12);
    const Bytes tgas[] = {ZelFixtures::WriteTgaTrueColour(image, 24, false, "id"),
                          ZelFixtures::WriteTgaTrueColour(image, 32, true),
                          ZelFixtures::WriteTgaGrey(indexed, false),
                          ZelFixtures::WriteTgaColourMapped(indexed, 3, true)};
    for (std::size_t i = 0; i < std::size(tgas); ++i)
        SaveSeed(dir, "tgarle" + std::to_string(i), ZelFixtures::TgaRunLength(tgas[i]));
    for (int depth : {1, 4, 8, 16}) {
        ZelFixtures::PngSpec grey;
        grey.width = 6;
        grey.height = 3;
        grey.colourType = depth >= 8 ? 4 : 0;
        grey.bitDepth = static_cast<std::uint8_t>(depth);
        const std::size_t samples = depth >= 8 ? 6 * 3 * 2 * (depth / 8) : 6 * 3;
        for (std::size_t i = 0; i < samples; ++i)
            grey.samples.push_back(static_cast<std::uint8_t>(i % (depth >= 8 ? 256 : 1 << depth)));
        SaveSeed(dir, "pnggrey" + std::to_string(depth), ZelFixtures::WritePng(grey));
    }
    auto palette = ZelFixtures::PngFromIndexed(ZelFixtures::MakeIndexedImage(11, 6, 4), 2);
    palette.transparency = {0, 100, 7, 9, 11};
    palette.palette.resize(9);
    SaveSeed(dir, "png3short", ZelFixtures::WritePng(palette));
    ZelFixtures::DdsSpec mips;
    mips.width = 8;
    mips.height = 8;
    mips.pixelFlags = 0x4;
    mips.fourCc = "DXT5";
    mips.mipCount = 4;
    mips.data.assign(64 + 16 * 3, 0x3C);
    SaveSeed(dir, "ddsmips", ZelFixtures::WriteDds(mips));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    D3DXImageFile file;
    if (D3DXReadImageFile(data, size, &file) == nullptr)
        Inspect(file);
    return 0;
}
