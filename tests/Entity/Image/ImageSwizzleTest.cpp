#include <gtest/gtest.h>

#include <vector>

#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/ImageFileKind.h"
#include "Entity/Image/ImageSwizzle.h"
#include "Entity/Image/PngDecoder.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;

TEST(ImageFileKind, ExtensionsByTheirLastDot) {
    const std::pair<const char*, int> cases[] = {
        {"a/b.DDS", Zel::IMAGE_KIND_DDS},
        {"x.tga", Zel::IMAGE_KIND_TGA},
        {"x.Png", Zel::IMAGE_KIND_PNG},
        {"x.bmp", Zel::IMAGE_KIND_BMP},
        {"face.JPG", Zel::IMAGE_KIND_JPEG},
        {"face.jpeg", Zel::IMAGE_KIND_NONE},
        {"noextension", Zel::IMAGE_KIND_NONE},
        {"dir.png/file", Zel::IMAGE_KIND_PNG} /* a substring test from the last dot */,
        {"a.bmp.tga", Zel::IMAGE_KIND_TGA}};
    for (const auto& [name, kind] : cases) EXPECT_EQ(Zel::GetImageFileKind(name), kind) << name;
    EXPECT_TRUE(Zel::ImageKindHasRgbOrder(Zel::IMAGE_KIND_PNG));
    EXPECT_TRUE(Zel::ImageKindHasRgbOrder(Zel::IMAGE_KIND_JPEG));
    EXPECT_FALSE(Zel::ImageKindHasRgbOrder(Zel::IMAGE_KIND_BMP));
    EXPECT_FALSE(Zel::ImageKindHasRgbOrder(Zel::IMAGE_KIND_DDS));
}

// The same picture from a B, G, R file and an R, G, B file gives the same surface, and a 3-byte
// source is read without touching the byte after its last pixel.
TEST(ImageSwizzle, BothChannelOrdersGiveTheSameArgbSurface) {
    const auto image = ZelFixtures::MakePatternImage(5, 3);
    const Bytes bmp = ZelFixtures::WriteBmpTrueColour(image, 24, false);
    const Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false));
    const auto fromBmp = Zel::DecodeBmpImage(bmp.data(), bmp.size());
    const auto fromPng = Zel::DecodePngImage(png.data(), png.size());
    ASSERT_EQ(Zel::DecodedSurfaceSize(fromBmp), 60u);
    std::vector<std::uint8_t> a(60), b(60);
    Zel::CopyDecodedToSurface(fromBmp, false, a.data());
    Zel::CopyDecodedToSurface(fromPng, true, b.data());
    EXPECT_EQ(a, b);
    const std::uint8_t* last = image.Pixel(4, 2);
    EXPECT_EQ(a[56], last[2]);  // B
    EXPECT_EQ(a[57], last[1]);  // G
    EXPECT_EQ(a[58], last[0]);  // R
    EXPECT_EQ(a[59], 255);
}

TEST(ImageSwizzle, AlphaIsKeptAndBlockDataCopied) {
    const auto image = ZelFixtures::MakePatternImage(2, 2);
    const Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, true));
    const auto decoded = Zel::DecodePngImage(png.data(), png.size());
    std::vector<std::uint8_t> surface(16);
    Zel::CopyDecodedToSurface(decoded, true, surface.data());
    EXPECT_EQ(surface[3], image.rgba[3]);
    EXPECT_EQ(surface[0], image.rgba[2]);

    Zel::DecodedImage blocks;
    blocks.format = 6;
    blocks.size = 8;
    blocks.data = std::make_unique<std::uint8_t[]>(8);
    blocks.data[7] = 42;
    std::vector<std::uint8_t> out(8);
    Zel::CopyDecodedToSurface(blocks, false, out.data());
    EXPECT_EQ(out[7], 42);
}

}  // namespace
