#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/TgaDecoder.h"
#include "tests/Entity/Image/ImageExpect.h"
#include "fixtures/ByteWriter.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
using ZelTest::Expected;
using ZelTest::Order;
using ZelTest::PutLe16;
using ZelTest::PutLe32;
using ZelTest::SameImage;

TEST(BmpFixture, WriterMatchesHandTypedBytes) {
    ZelFixtures::RgbaImage image{1, 1, {0x11, 0x22, 0x33, 0x44}};
    const Bytes expected = {
        'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0,    54,   0,    0,    0,  // file header
        40,  0,   0,  0, 1, 0, 0, 0, 1, 0,    0,    0,    1,    0,    24,
        0,   0,   0,  0, 0, 4, 0, 0, 0, 0x13, 0x0B, 0,    0,    0x13, 0x0B,
        0,   0,   0,  0, 0, 0, 0, 0, 0, 0,    0x33, 0x22, 0x11, 0};
    EXPECT_EQ(ZelFixtures::WriteBmpTrueColour(image, 24, false), expected);
}

TEST(BmpDecoder, TrueColourDecodesTopRowFirstInBothRowOrders) {
    for (int bits : {24, 32}) {
        for (bool topDown : {false, true}) {
            for (std::uint32_t width : {1u, 3u, 5u}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, top-down " << topDown << ", width " << width);
                const auto image = ZelFixtures::MakePatternImage(width, 3);
                const Bytes file = ZelFixtures::WriteBmpTrueColour(image, bits, topDown);
                ASSERT_TRUE(Zel::IsBmpImage(file.data(), file.size()));
                const int channels = bits / 8;
                EXPECT_TRUE(SameImage(Zel::DecodeBmpImage(file.data(), file.size()),
                                      bits == 32 ? 1 : 2, width, 3, width * channels,
                                      Expected(image, Order::Bgr, channels)));
            }
        }
    }
}

TEST(BmpFixture, V5InfoHeaderMatchesHandTypedBytes) {
    // A 1 x 1 8-bit image with one palette entry after a 124-byte info header.
    ZelFixtures::IndexedImage image{1, 1, {0}, {0x11, 0x22, 0x33}};
    Bytes expected = {
        'B', 'M', 146, 0, 0, 0, 0, 0, 0,    0,    142, 0, 0,    0,           // file header
        124, 0,   0,   0, 1, 0, 0, 0, 1,    0,    0,   0, 1,    0,    8, 0,  // size, sides, bits
        0,   0,   0,   0, 4, 0, 0, 0, 0x13, 0x0B, 0,   0, 0x13, 0x0B, 0, 0,
        1,   0,   0,   0, 0, 0, 0, 0};         // colours used 1, important 0
    expected.resize(expected.size() + 16, 0);  // masks
    for (std::uint8_t b : {0x42, 0x47, 0x52, 0x73}) expected.push_back(b);  // "sRGB"
    expected.resize(expected.size() + 48, 0);                               // end points, gamma
    for (std::uint8_t b : {4, 0, 0, 0}) expected.push_back(b);              // LCS_GM_IMAGES
    expected.resize(expected.size() + 12, 0);  // profile offset and size, reserved
    for (std::uint8_t b : {0x33, 0x22, 0x11, 0}) expected.push_back(b);  // palette entry 0
    for (std::uint8_t b : {0, 0, 0, 0}) expected.push_back(b);           // the row
    ASSERT_EQ(expected.size(), 146u);
    EXPECT_EQ(ZelFixtures::WriteBmpIndexed(image, 8, false, 124), expected);
}

TEST(BmpDecoder, PaletteImagesTakeTheirEntriesAndOddWidthsStopAtTheLastPixel) {
    for (std::uint32_t header : {40u, 108u, 124u}) {
        for (int bits : {4, 8}) {
            for (bool topDown : {false, true}) {
                SCOPED_TRACE(testing::Message() << header << "-byte info header, " << bits
                                                << " bits, top-down " << topDown);
                const auto indexed = ZelFixtures::MakeIndexedImage(5, 4, bits == 4 ? 16 : 200);
                const Bytes file = ZelFixtures::WriteBmpIndexed(indexed, bits, topDown, header);
                ASSERT_TRUE(Zel::IsBmpImage(file.data(), file.size()));
                EXPECT_TRUE(SameImage(Zel::DecodeBmpImage(file.data(), file.size()), 2, 5, 4, 15,
                                      Expected(ZelTest::ThroughPalette(indexed), Order::Bgr, 3)));
            }
        }
    }
}

TEST(BmpDecoder, AnIndexPastTheColoursUsedIsBlack) {
    auto indexed = ZelFixtures::MakeIndexedImage(6, 2, 8);
    indexed.paletteRgb.resize(3 * 3);  // three colours used, indices up to 7
    const Bytes file = ZelFixtures::WriteBmpIndexed(indexed, 8, false);
    EXPECT_TRUE(SameImage(Zel::DecodeBmpImage(file.data(), file.size()), 2, 6, 2, 18,
                          Expected(ZelTest::ThroughPalette(indexed), Order::Bgr, 3)));
}

TEST(BmpDecoder, SidesUpTo16384AreDecoded) {
    const auto image = ZelFixtures::MakePatternImage(16384, 1);
    Bytes file = ZelFixtures::WriteBmpTrueColour(image, 24, false);
    EXPECT_FALSE(Zel::DecodeBmpImage(file.data(), file.size()).IsEmpty());
    PutLe32(file, 18, 16385);
    file.resize(file.size() + 4);
    PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
    EXPECT_TRUE(Zel::DecodeBmpImage(file.data(), file.size()).IsEmpty());
}

struct Mutation {
    const char* name;
    std::function<void(Bytes&)> apply;
    bool testPasses;  // the signature test still answers true; only the decoder refuses
};

TEST(BmpDecoder, RefusesWhatItCannotReadSafely) {
    const auto image = ZelFixtures::MakePatternImage(4, 3);
    const auto indexed = ZelFixtures::MakeIndexedImage(4, 3, 4);
    const Mutation cases[] = {
        {"shorter than the header", [](Bytes& f) { f.resize(53); }, false},
        {"wrong magic", [](Bytes& f) { f[1] = 'X'; }, false},
        {"compressed", [](Bytes& f) { PutLe32(f, 30, 1); }, false},
        {"two planes", [](Bytes& f) { PutLe16(f, 26, 2); }, false},
        {"8 bits without colours used", [](Bytes& f) { PutLe16(f, 28, 8); }, false},
        {"16 bits", [](Bytes& f) { PutLe16(f, 28, 16); }, false},
        {"pixel offset past the end", [](Bytes& f) { PutLe32(f, 10, 100000); }, false},
        {"rows cut short", [](Bytes& f) { f.resize(f.size() - 1); }, true},
        {"zero width", [](Bytes& f) { PutLe32(f, 18, 0); }, true},
        {"negative width", [](Bytes& f) { PutLe32(f, 18, 0xFFFFFFFC); }, true},
        {"height INT_MIN", [](Bytes& f) { PutLe32(f, 22, 0x80000000u); }, true},
        {"huge height", [](Bytes& f) { PutLe32(f, 22, 0x7FFFFFFF); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = ZelFixtures::WriteBmpTrueColour(image, 24, false);
        c.apply(file);
        EXPECT_EQ(Zel::IsBmpImage(file.data(), file.size()), c.testPasses);
        EXPECT_TRUE(Zel::DecodeBmpImage(file.data(), file.size()).IsEmpty());
    }
    Bytes palette = ZelFixtures::WriteBmpIndexed(indexed, 8, false);
    PutLe32(palette, 46, 0x40000000);  // a palette far past the end of the file
    EXPECT_TRUE(Zel::DecodeBmpImage(palette.data(), palette.size()).IsEmpty());
    // An info header that ends past the file, or one too small to hold the fields read.
    for (std::uint32_t header : {0xFFFFFFF0u, 12u}) {
        SCOPED_TRACE(header);
        palette = ZelFixtures::WriteBmpIndexed(indexed, 8, false);
        PutLe32(palette, 14, header);
        EXPECT_TRUE(Zel::IsBmpImage(palette.data(), palette.size()));
        EXPECT_TRUE(Zel::DecodeBmpImage(palette.data(), palette.size()).IsEmpty());
    }
    EXPECT_FALSE(Zel::IsBmpImage(nullptr, 0));
}

TEST(TgaDecoder, TrueColourHonoursTheRowOrderBitAndSkipsTheIdentifier) {
    for (int bits : {24, 32}) {
        for (bool topDown : {false, true}) {
            for (const char* identifier : {"", "fixture id"}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown << ", id '"
                                                << identifier << "'");
                const auto image = ZelFixtures::MakePatternImage(5, 3);
                const Bytes file =
                    ZelFixtures::WriteTgaTrueColour(image, bits, topDown, identifier);
                ASSERT_TRUE(Zel::IsTgaImage(file.data(), file.size()));
                const int channels = bits / 8;
                EXPECT_TRUE(SameImage(Zel::DecodeTgaImage(file.data(), file.size()),
                                      bits == 32 ? 1 : 2, 5, 3, 5 * channels,
                                      Expected(image, Order::Bgr, channels)));
            }
        }
    }
}

TEST(TgaDecoder, GreyRepeatsEachByteAndColourMapsCountFromTheirFirstEntry) {
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(testing::Message() << "top-down " << topDown);
        const auto grey = ZelFixtures::MakeIndexedImage(7, 3, 256);
        const Bytes greyFile = ZelFixtures::WriteTgaGrey(grey, topDown);
        ZelFixtures::IndexedImage greyAsPalette = grey;
        for (int i = 0; i < 256; ++i)
            greyAsPalette.paletteRgb[3 * i] = greyAsPalette.paletteRgb[3 * i + 1] =
                greyAsPalette.paletteRgb[3 * i + 2] = static_cast<std::uint8_t>(i);
        ASSERT_TRUE(Zel::IsTgaImage(greyFile.data(), greyFile.size()));
        EXPECT_TRUE(SameImage(Zel::DecodeTgaImage(greyFile.data(), greyFile.size()), 2, 7, 3, 21,
                              Expected(ZelTest::ThroughPalette(greyAsPalette), Order::Bgr, 3)));

        for (std::uint16_t first : {0, 5}) {
            const auto indexed = ZelFixtures::MakeIndexedImage(6, 4, 9);
            const Bytes file = ZelFixtures::WriteTgaColourMapped(indexed, first, topDown);
            ASSERT_TRUE(Zel::IsTgaImage(file.data(), file.size()));
            EXPECT_TRUE(SameImage(Zel::DecodeTgaImage(file.data(), file.size()), 2, 6, 4, 18,
                                  Expected(ZelTest::ThroughPalette(indexed), Order::Bgr, 3)));
        }
    }
}

TEST(TgaDecoder, AnIndexOutsideTheColourMapIsBlack) {
    const auto indexed = ZelFixtures::MakeIndexedImage(2, 1, 4);
    Bytes file = ZelFixtures::WriteTgaColourMapped(indexed, 5, true);
    const std::size_t pixels = file.size() - 2;
    file[pixels] = 4;      // below the first entry
    file[pixels + 1] = 9;  // first + length
    EXPECT_TRUE(
        SameImage(Zel::DecodeTgaImage(file.data(), file.size()), 2, 2, 1, 6, {0, 0, 0, 0, 0, 0}));
}

TEST(TgaDecoder, RefusesRunLengthOtherTypesAndShortFiles) {
    const auto image = ZelFixtures::MakePatternImage(4, 3);
    const auto indexed = ZelFixtures::MakeIndexedImage(4, 3, 4);
    const Mutation cases[] = {
        {"run-length true colour", [](Bytes& f) { f[2] = 10; }, false},
        {"run-length colour-mapped", [](Bytes& f) { f[2] = 9; }, false},
        {"run-length grey", [](Bytes& f) { f[2] = 11; }, false},
        {"no image data type", [](Bytes& f) { f[2] = 0; }, false},
        {"x origin", [](Bytes& f) { PutLe16(f, 8, 1); }, false},
        {"y origin", [](Bytes& f) { PutLe16(f, 10, 1); }, false},
        {"16-bit true colour", [](Bytes& f) { f[16] = 16; }, false},
        {"true colour with a map type", [](Bytes& f) { f[1] = 1; }, false},
        {"shorter than the header", [](Bytes& f) { f.resize(17); }, false},
        {"rows cut short", [](Bytes& f) { f.resize(f.size() - 1); }, true},
        {"identifier past the end", [](Bytes& f) { f[0] = 255; }, true},
        {"zero width", [](Bytes& f) { PutLe16(f, 12, 0); }, true},
        {"huge width", [](Bytes& f) { PutLe16(f, 12, 40000); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = ZelFixtures::WriteTgaTrueColour(image, 24, false);
        c.apply(file);
        EXPECT_EQ(Zel::IsTgaImage(file.data(), file.size()), c.testPasses);
        EXPECT_TRUE(Zel::DecodeTgaImage(file.data(), file.size()).IsEmpty());
    }
    const Mutation mapped[] = {
        {"16-bit map entries", [](Bytes& f) { f[7] = 16; }, false},
        {"16-bit indices", [](Bytes& f) { f[16] = 16; }, false},
        {"empty map", [](Bytes& f) { PutLe16(f, 5, 0); }, false},
        {"map past the end", [](Bytes& f) { PutLe16(f, 5, 60000); }, true},
    };
    for (const auto& c : mapped) {
        SCOPED_TRACE(c.name);
        Bytes file = ZelFixtures::WriteTgaColourMapped(indexed, 0, false);
        c.apply(file);
        EXPECT_EQ(Zel::IsTgaImage(file.data(), file.size()), c.testPasses);
        EXPECT_TRUE(Zel::DecodeTgaImage(file.data(), file.size()).IsEmpty());
    }
    Bytes grey = ZelFixtures::WriteTgaGrey(indexed, false);
    grey[16] = 16;
    EXPECT_FALSE(Zel::IsTgaImage(grey.data(), grey.size()));
}

}  // namespace
