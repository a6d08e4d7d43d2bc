#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <cstdlib>
#include <functional>

#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/JpegDecoder.h"
#include "Platform/D3DX9/JpegTableCheck.h"
#include "tests/Entity/Image/ImageExpect.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
using ZelTest::Expected;
using ZelTest::Order;
using ZelTest::PutLe32;
using ZelTest::SameImage;

Bytes CountingBytes(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return bytes;
}

TEST(DdsDecoder, BlockFormatsCopyTheTopLevelBlockRows) {
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{8, 8}, {5, 3}, {1, 1}, {12, 4}};
    for (int version = 1; version <= 5; ++version) {
        for (auto [w, h] : sizes) {
            SCOPED_TRACE(testing::Message() << "DXT" << version << " " << w << "x" << h);
            const std::uint32_t blockBytes = version == 1 ? 8 : 16;
            const std::uint32_t columns = (w + 3) / 4, rows = (h + 3) / 4;
            const Bytes blocks = CountingBytes(columns * rows * blockBytes);
            Bytes withMips = blocks;
            withMips.insert(withMips.end(), 64, 0xAB);  // a following level is not read
            const Bytes file =
                ZelFixtures::WriteDdsBlocks("DXT" + std::to_string(version), w, h, withMips);
            ASSERT_TRUE(Zel::IsDdsImage(file.data(), file.size()));
            const auto image = Zel::DecodeDdsImage(file.data(), file.size());
            EXPECT_TRUE(SameImage(image, 5 + version, w, h, columns * blockBytes, blocks));
            EXPECT_EQ(image.blockColumns, columns);
            EXPECT_EQ(image.blockRows, rows);
            EXPECT_EQ(image.bytesPerPixel, blockBytes);
        }
    }
}

TEST(DdsDecoder, Rgb24RowsFollowTheHeaderPitchOnlyWhenItIsUsable) {
    const auto image = ZelFixtures::MakePatternImage(5, 3);
    const std::size_t outPitch = 16;  // 15 bytes of pixels padded to a multiple of 4
    const auto expected = Expected(image, Order::Bgr, 3, outPitch);
    struct Case {
        const char* name;
        std::uint32_t rowPitch;
        bool pitchFlag;
        std::size_t cut;  // bytes cut from the end of the file
    };
    const Case cases[] = {
        {"tight rows, no pitch flag", 0, false, 0},
        {"padded rows given by the pitch", 20, true, 0},
        {"pitch below 3 x width is ignored", 0, true, 0},  // written pitch 15; then patched to 12
        {"pitch whose rows the file does not hold", 15, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = ZelFixtures::WriteDdsRgb(image, 24, false, c.rowPitch, c.pitchFlag);
        if (std::string(c.name).find("below") != std::string::npos)
            PutLe32(file, 20, 12);
        if (std::string(c.name).find("does not hold") != std::string::npos)
            PutLe32(file, 20, 17);
        ASSERT_TRUE(Zel::IsDdsImage(file.data(), file.size()));
        EXPECT_TRUE(
            SameImage(Zel::DecodeDdsImage(file.data(), file.size()), 2, 5, 3, outPitch, expected));
    }
}

TEST(DdsDecoder, ThirtyTwoBitSourcesGiveThreeOrFourBytePixels) {
    const auto image = ZelFixtures::MakePatternImage(3, 4);
    const Bytes rgb = ZelFixtures::WriteDdsRgb(image, 32, false, 0, false);
    EXPECT_TRUE(SameImage(Zel::DecodeDdsImage(rgb.data(), rgb.size()), 2, 3, 4, 12,
                          Expected(image, Order::Bgr, 3, 12)));
    const Bytes argb = ZelFixtures::WriteDdsRgb(image, 32, true, 0, true);
    EXPECT_TRUE(SameImage(Zel::DecodeDdsImage(argb.data(), argb.size()), 1, 3, 4, 12,
                          Expected(image, Order::Bgr, 4)));
}

TEST(DdsDecoder, RefusesOtherFormatsAndShortFiles) {
    const auto image = ZelFixtures::MakePatternImage(4, 4);
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        bool testPasses;
    };
    const Case cases[] = {
        {"DX10", [] { return ZelFixtures::WriteDdsBlocks("DX10", 4, 4, Bytes(200)); }, false},
        {"ATI2", [] { return ZelFixtures::WriteDdsBlocks("ATI2", 4, 4, Bytes(16)); }, false},
        {"DXT6", [] { return ZelFixtures::WriteDdsBlocks("DXT6", 4, 4, Bytes(16)); }, false},
        {"no format flags",
         [] {
             ZelFixtures::DdsSpec spec;
             spec.width = spec.height = 4;
             spec.data.assign(64, 0);
             return ZelFixtures::WriteDds(spec);
         },
         false},
        {"wrong magic",
         [] {
             Bytes f = ZelFixtures::WriteDdsBlocks("DXT1", 4, 4, Bytes(8));
             f[3] = 'X';
             return f;
         },
         false},
        {"header cut short",
         [] {
             Bytes f = ZelFixtures::WriteDdsBlocks("DXT1", 4, 4, Bytes(8));
             f.resize(100);
             return f;
         },
         false},
        {"16-bit RGB",
         [&] {
             Bytes f = ZelFixtures::WriteDdsRgb(image, 32, false, 0, false);
             PutLe32(f, 88, 16);
             return f;
         },
         true},
        {"24-bit RGB with alpha",
         [&] { return ZelFixtures::WriteDdsRgb(image, 24, true, 0, false); }, true},
        {"blocks cut short", [] { return ZelFixtures::WriteDdsBlocks("DXT5", 8, 8, Bytes(63)); },
         true},
        {"rows cut short",
         [&] {
             Bytes f = ZelFixtures::WriteDdsRgb(image, 24, false, 0, false);
             f.pop_back();
             return f;
         },
         true},
        {"zero height", [] { return ZelFixtures::WriteDdsBlocks("DXT1", 4, 0, Bytes(8)); }, true},
        {"width 16385",
         [] { return ZelFixtures::WriteDdsBlocks("DXT1", 16385, 1, Bytes(8 * 4097)); }, true},
        {"a huge image in a small file",
         [] { return ZelFixtures::WriteDdsBlocks("DXT5", 16384, 16384, Bytes(64)); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = c.make();
        EXPECT_EQ(Zel::IsDdsImage(file.data(), file.size()), c.testPasses);
        EXPECT_TRUE(Zel::DecodeDdsImage(file.data(), file.size()).IsEmpty());
    }
}

TEST(JpegDecoder, ColourJpegDecodesToRgbWithinTheCodecsError) {
    const auto image = ZelFixtures::MakeSmoothImage(48, 32);
    const Bytes file = ZelFixtures::WriteJpeg(image, 95);
    ASSERT_TRUE(Zel::IsJpegImage(file.data(), file.size()));
    const auto decoded = Zel::DecodeJpegImage(file.data(), file.size());
    ASSERT_FALSE(decoded.IsEmpty());
    EXPECT_EQ(decoded.format, 2u);
    EXPECT_EQ(decoded.width, 48u);
    EXPECT_EQ(decoded.height, 32u);
    EXPECT_EQ(decoded.pitch, 48u * 3);
    EXPECT_EQ(decoded.size, 48u * 3 * 32);
    const auto expected = Expected(image, Order::Rgb, 3);
    double sum = 0;
    int worst = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const int d = std::abs(int(decoded.data[i]) - int(expected[i]));
        sum += d;
        worst = std::max(worst, d);
    }
    EXPECT_LT(sum / expected.size(), 3.0);
    EXPECT_LE(worst, 40);
}

TEST(JpegDecoder, RefusesGreyJpegsOtherFormatsAndImpossibleSizes) {
    const auto image = ZelFixtures::MakeSmoothImage(16, 16);
    const Bytes grey = ZelFixtures::WriteGreyJpeg(16, 16);
    EXPECT_TRUE(Zel::IsJpegImage(grey.data(), grey.size()));
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(grey.data(), int(grey.size()), &w, &h, &channels, 0);
    ASSERT_NE(pixels, nullptr) << "the grey fixture is a JPEG stb_image reads";
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(pixels[0], 128);
    stbi_image_free(pixels);
    EXPECT_TRUE(Zel::DecodeJpegImage(grey.data(), grey.size()).IsEmpty());

    // stb_image would read these; the JPEG decoder must not.
    const Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false));
    EXPECT_FALSE(Zel::IsJpegImage(png.data(), png.size()));
    EXPECT_TRUE(Zel::DecodeJpegImage(png.data(), png.size()).IsEmpty());

    Bytes huge = ZelFixtures::WriteJpeg(image, 90);
    for (std::size_t i = 0; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {  // SOF0: height and width, big-endian
            huge[i + 5] = 0x3E, huge[i + 6] = 0x80, huge[i + 7] = 0x3E, huge[i + 8] = 0x80;
            break;
        }
    }
    EXPECT_TRUE(Zel::DecodeJpegImage(huge.data(), huge.size()).IsEmpty());

    const Bytes cut(grey.begin(), grey.begin() + 20);
    EXPECT_TRUE(Zel::DecodeJpegImage(cut.data(), cut.size()).IsEmpty());
    EXPECT_TRUE(Zel::DecodeJpegImage(nullptr, 0).IsEmpty());
}

TEST(JpegDecoder, RefusesScansWithoutTheirHuffmanTables) {
    // stb_image would decode such a scan with uninitialised tables.
    const Bytes colour = ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(16, 16), 90);
    const Bytes grey = ZelFixtures::WriteGreyJpeg(16, 16);
    EXPECT_TRUE(JpegScansUseDefinedTables(colour.data(), colour.size()));
    EXPECT_TRUE(JpegScansUseDefinedTables(grey.data(), grey.size()));
    const Bytes stripped = ZelTest::WithoutHuffmanTables(colour);
    ASSERT_LT(stripped.size(), colour.size());
    EXPECT_FALSE(JpegScansUseDefinedTables(stripped.data(), stripped.size()));
    EXPECT_TRUE(Zel::DecodeJpegImage(stripped.data(), stripped.size()).IsEmpty());
    EXPECT_FALSE(Zel::DecodeJpegImage(colour.data(), colour.size()).IsEmpty());
    // A segment running past the end, and a DHT longer than its segment.
    Bytes cut(colour.begin(), colour.begin() + 30);
    EXPECT_FALSE(JpegScansUseDefinedTables(cut.data(), cut.size()));
    Bytes overlong = colour;
    for (std::size_t i = 2; i + 4 < overlong.size(); ++i)
        if (overlong[i] == 0xFF && overlong[i + 1] == 0xC4) {
            overlong[i + 5] = 200;  // the first table claims 200 codes of length 1
            break;
        }
    EXPECT_FALSE(JpegScansUseDefinedTables(overlong.data(), overlong.size()));
}

}  // namespace
