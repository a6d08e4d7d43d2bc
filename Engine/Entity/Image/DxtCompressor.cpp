#include "Entity/Image/DxtCompressor.h"

#include <nvtt/nvtt.h>

#include <algorithm>
#include <climits>

#include "Entity/Image/MyOutPutHandler.h"
#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

nvtt::Format NvttFormat(std::uint32_t format) {
    switch (format) {
        case PF_DXT5:
            return nvtt::Format_DXT5;
        case PF_DXT1:
            return nvtt::Format_DXT1;
        default:
            return nvtt::Format_RGB;
    }
}

}  // namespace

std::uint64_t Dxt5CompressedSize(std::uint32_t width, std::uint32_t height, bool withMipmaps) {
    std::uint64_t total = 0;
    std::uint64_t w = width, h = height;
    while (true) {
        total +=
            std::max<std::uint64_t>(1, (w + 3) / 4) * std::max<std::uint64_t>(1, (h + 3) / 4) * 16;
        if (!withMipmaps || (w <= 1 && h <= 1))
            break;
        w = std::max<std::uint64_t>(1, w / 2);
        h = std::max<std::uint64_t>(1, h / 2);
    }
    return total;
}

bool CompressDxt5(const std::uint8_t* source, std::uint32_t capacity, std::uint32_t format,
                  std::uint32_t width, std::uint32_t height, std::uint8_t* destination,
                  bool withMipmaps, std::uint32_t& outSize) {
    outSize = 0;
    if (source == nullptr || destination == nullptr || capacity == 0)
        return false;
    if (format != PF_DXT5 || width == 0 || height == 0 || width > INT_MAX / 4 || height > INT_MAX)
        return false;

    MyOutPutHandler handler;
    handler.SetDestination(destination, capacity);

    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, int(width), int(height), 1);
    input.setMipmapData(source, int(width), int(height), 1, 0, 0);
    input.setMipmapFilter(nvtt::MipmapFilter_Box);
    input.setMipmapGeneration(withMipmaps, -1);

    nvtt::OutputOptions output;
    output.setOutputHandler(&handler);
    output.setOutputHeader(false);

    nvtt::CompressionOptions compression;
    compression.setFormat(NvttFormat(format));
    compression.setQuality(nvtt::Quality_Fastest);

    const bool ok = nvtt::Compressor().process(input, compression, output);
    outSize = static_cast<std::uint32_t>(handler.BytesWritten());
    return ok && handler.BytesWritten() == Dxt5CompressedSize(width, height, withMipmaps);
}

}  // namespace Zel
