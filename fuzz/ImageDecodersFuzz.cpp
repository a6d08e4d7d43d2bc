// libFuzzer target over every image decoder and the DXT encoder.
//
//   ImageDecodersFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   ImageDecodersFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Entity/BmpDecoder.h"
#include "Entity/DdsDecoder.h"
#include "Entity/DxtEncoder.h"
#include "Entity/JpegDecoder.h"
#include "Entity/PixelFormat.h"
#include "Entity/PngDecoder.h"
#include "Entity/TgaDecoder.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;

// Reads every byte of a decoded record, so that a size or pitch larger than the buffer shows up
// as an out-of-bounds read, and checks the record's own arithmetic.
void Inspect(const Zel::DecodedImage& image) {
    if (image.IsEmpty())
        return;
    const std::uint64_t rows = image.blockRows ? image.blockRows : image.height;
    if (std::uint64_t(image.pitch) * rows != image.size)
        std::abort();
    if (image.width == 0 || image.height == 0 || image.width > Zel::kMaxDecodedImageSide ||
        image.height > Zel::kMaxDecodedImageSide)
        std::abort();
    volatile std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < image.size; ++i) sum = sum + image.data[i];
}

void Save(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteSeeds(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const auto image = ZelFixtures::MakePatternImage(7, 5);
    const auto indexed = ZelFixtures::MakeIndexedImage(9, 5, 12);
    for (int bits : {24, 32})
        for (bool topDown : {false, true})
            Save(dir, "bmp" + std::to_string(bits) + (topDown ? "td" : ""),
                 ZelFixtures::WriteBmpTrueColour(image, bits, topDown));
    for (int bits : {4, 8})
        Save(dir, "bmp" + std::to_string(bits), ZelFixtures::WriteBmpIndexed(indexed, bits, true));
    for (bool topDown : {false, true}) {
        const std::string suffix = topDown ? "td" : "";
        Save(dir, "tga24" + suffix, ZelFixtures::WriteTgaTrueColour(image, 24, topDown, "id"));
        Save(dir, "tga32" + suffix, ZelFixtures::WriteTgaTrueColour(image, 32, topDown));
        Save(dir, "tgagrey" + suffix, ZelFixtures::WriteTgaGrey(indexed, topDown));
        Save(dir, "tgamap" + suffix, ZelFixtures::WriteTgaColourMapped(indexed, 3, topDown));
    }
    for (bool alpha : {false, true}) {
        for (bool interlaced : {false, true}) {
            auto spec = ZelFixtures::PngFromRgba(image, alpha);
            spec.interlaced = interlaced;
            spec.idatPieces = 2;
            Save(dir, std::string("png") + (alpha ? "6" : "2") + (interlaced ? "i" : ""),
                 ZelFixtures::WritePng(spec));
        }
    }
    for (int depth : {1, 2, 4, 8}) {
        auto small = ZelFixtures::MakeIndexedImage(11, 6, 1u << std::min(depth, 4));
        auto spec = ZelFixtures::PngFromIndexed(small, depth);
        spec.transparency = {0, 100};
        Save(dir, "png3d" + std::to_string(depth), ZelFixtures::WritePng(spec));
    }
    auto interlacedPalette = ZelFixtures::PngFromIndexed(indexed, 8);
    interlacedPalette.interlaced = true;
    Save(dir, "png3i", ZelFixtures::WritePng(interlacedPalette));
    for (int version = 1; version <= 5; ++version) {
        const std::string code = "DXT" + std::to_string(version);
        Save(dir, "dds" + code,
             ZelFixtures::WriteDdsBlocks(code, 8, 4, Bytes(version == 1 ? 16 : 32, 0x5A)));
    }
    Save(dir, "dds24", ZelFixtures::WriteDdsRgb(image, 24, false, 0, false));
    Save(dir, "dds24pitch", ZelFixtures::WriteDdsRgb(image, 24, false, 24, true));
    Save(dir, "dds32", ZelFixtures::WriteDdsRgb(image, 32, false, 0, false));
    Save(dir, "ddsargb", ZelFixtures::WriteDdsRgb(image, 32, true, 0, false));
    Save(dir, "jpeg", ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(16, 16), 80));
    Save(dir, "jpeggrey", ZelFixtures::WriteGreyJpeg(16, 8));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::string flag = "--write-seeds=";
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], flag.c_str(), flag.size()) == 0) {
            WriteSeeds((*argv)[i] + flag.size());
            std::exit(0);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Zel::IsBmpImage(data, size);
    Zel::IsTgaImage(data, size);
    Zel::IsPngImage(data, size);
    Zel::IsDdsImage(data, size);
    Zel::IsJpegImage(data, size);
    Inspect(Zel::DecodeBmpImage(data, size));
    Inspect(Zel::DecodeTgaImage(data, size));
    Inspect(Zel::DecodePngImage(data, size));
    Inspect(Zel::DecodeDdsImage(data, size));
    Inspect(Zel::DecodeJpegImage(data, size));

    // The encoder over the input taken as a small B, G, R, A image.
    if (size >= 3) {
        const std::uint32_t width = data[0] % 13 + 1, height = data[1] % 13 + 1;
        static constexpr std::uint32_t kFormats[] = {Zel::PF_DXT1, Zel::PF_DXT3, Zel::PF_DXT5};
        const std::uint32_t format = kFormats[data[2] % 3];
        if (size - 3 >= std::size_t(width) * height * 4) {
            std::vector<std::uint8_t> blocks(((width + 3) / 4) * ((height + 3) / 4) * 16);
            Zel::DxtEncodeImage(1, data + 3, width, height, format, blocks.data());
        }
    }
    return 0;
}
