// libFuzzer target over every image decoder and the DXT encoder.
//
//   ImageDecodersFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   ImageDecodersFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/DxtEncoder.h"
#include "Entity/Image/JpegDecoder.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Image/PngDecoder.h"
#include "Entity/Image/TgaDecoder.h"
#include "fixtures/ImageFixtures.h"
#include "fuzz/FuzzSeeds.h"
#include "fuzz/ImageSeeds.h"

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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &ZelFuzz::WriteImageSeeds);
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
