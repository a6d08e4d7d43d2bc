// Expected decoder output built straight from a fixture image, and a compact comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Entity/Image/DecodedImage.h"
#include "fixtures/ImageFixtures.h"

namespace ZelTest {

enum class Order { Bgr, Rgb };

// Overwrites a little-endian field of a fixture file, to break one header field.
inline void PutLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutLe16(std::vector<std::uint8_t>& file, std::size_t at, std::uint16_t v) {
    file[at] = static_cast<std::uint8_t>(v);
    file[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Rows of channels bytes a pixel (3 or 4), in the given order, each row padded to pitch bytes.
inline std::vector<std::uint8_t> Expected(const ZelFixtures::RgbaImage& image, Order order,
                                          int channels, std::size_t pitch = 0) {
    if (pitch == 0)
        pitch = std::size_t(image.width) * channels;
    std::vector<std::uint8_t> out(pitch * image.height, 0);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.Pixel(x, y);
            std::uint8_t* o = out.data() + y * pitch + std::size_t(x) * channels;
            o[0] = order == Order::Bgr ? p[2] : p[0];
            o[1] = p[1];
            o[2] = order == Order::Bgr ? p[0] : p[2];
            if (channels == 4)
                o[3] = p[3];
        }
    }
    return out;
}

// B, G, R, A bytes of the image (the A8R8G8B8 memory order); alpha 255 unless kept.
inline std::vector<std::uint8_t> BgraBytes(const ZelFixtures::RgbaImage& image, bool keepAlpha) {
    std::vector<std::uint8_t> out(image.rgba.size());
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        out[i] = image.rgba[i + 2];
        out[i + 1] = image.rgba[i + 1];
        out[i + 2] = image.rgba[i];
        out[i + 3] = keepAlpha ? image.rgba[i + 3] : 255;
    }
    return out;
}

// The JPEG with every DHT segment before its first scan taken out, so that the scan uses tables
// the file never defines.
inline std::vector<std::uint8_t> WithoutHuffmanTables(const std::vector<std::uint8_t>& jpeg) {
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at + 1] != 0xDA) {
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] != 0xC4)
            out.insert(out.end(), jpeg.begin() + at, jpeg.begin() + at + 2 + length);
        at += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + at, jpeg.end());
    return out;
}

// The indexed image as RGBA through its palette; an index past the palette is opaque black, and
// alpha comes from the transparency table when the index is inside it.
inline ZelFixtures::RgbaImage ThroughPalette(const ZelFixtures::IndexedImage& image,
                                             const std::vector<std::uint8_t>& alpha = {}) {
    ZelFixtures::RgbaImage out{
        image.width, image.height,
        std::vector<std::uint8_t>(std::size_t(image.width) * image.height * 4)};
    const std::size_t entries = image.paletteRgb.size() / 3;
    for (std::size_t i = 0; i < image.indices.size(); ++i) {
        const std::size_t index = image.indices[i];
        std::uint8_t* o = out.rgba.data() + 4 * i;
        if (index < entries) {
            std::memcpy(o, image.paletteRgb.data() + 3 * index, 3);
        } else {
            o[0] = o[1] = o[2] = 0;
        }
        o[3] = index < alpha.size() && index < entries ? alpha[index] : 255;
    }
    return out;
}

inline ::testing::AssertionResult SameImage(const Zel::DecodedImage& image, std::uint32_t format,
                                            std::uint32_t width, std::uint32_t height,
                                            std::uint32_t pitch,
                                            const std::vector<std::uint8_t>& pixels) {
    if (image.IsEmpty())
        return ::testing::AssertionFailure() << "empty record";
    if (image.format != format || image.width != width || image.height != height ||
        image.pitch != pitch || image.size != pixels.size())
        return ::testing::AssertionFailure()
               << "format " << image.format << " " << image.width << "x" << image.height
               << " pitch " << image.pitch << " size " << image.size << ", expected format "
               << format << " " << width << "x" << height << " pitch " << pitch << " size "
               << pixels.size();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        if (image.data[i] != pixels[i])
            return ::testing::AssertionFailure() << "byte " << i << " is " << int(image.data[i])
                                                 << ", expected " << int(pixels[i]);
    return ::testing::AssertionSuccess();
}

}  // namespace ZelTest
