#include <gtest/gtest.h>

#include <functional>

#include "Entity/Image/PngDecoder.h"
#include "tests/Entity/Image/ImageExpect.h"
#include "fixtures/ImageFixtures.h"

namespace {

using ZelFixtures::Bytes;
using ZelFixtures::PngSpec;
using ZelTest::Expected;
using ZelTest::Order;
using ZelTest::SameImage;

Zel::DecodedImage Decode(const Bytes& file) {
    return Zel::DecodePngImage(file.data(), file.size());
}

TEST(PngFixture, HeaderMatchesHandTypedBytes) {
    PngSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.colourType = 3;
    spec.bitDepth = 4;
    spec.interlaced = true;
    const Bytes expected = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                            13,   'I', 'H', 'D', 'R',  0,    0,    0,    3,    0,    0,
                            0,    2,   4,   3,   0,    0,    1,    0x18, 0x5D, 0x4B, 0xBF};
    EXPECT_EQ(ZelFixtures::PngSignatureAndHeader(spec), expected);
}

TEST(PngFixture, ScanlinesOfEachFilterMatchHandComputedBytes) {
    PngSpec spec;
    spec.width = 2;
    spec.height = 2;
    spec.colourType = 0;
    spec.samples = {10, 20, 30, 50};
    const std::pair<int, Bytes> cases[] = {
        {0, {0, 10, 20, 0, 30, 50}}, {1, {1, 10, 10, 1, 30, 20}},
        {2, {2, 10, 20, 2, 20, 30}}, {3, {3, 10, 15, 3, 25, 25}},  // 50 - (30 + 20) / 2
        {4, {4, 10, 10, 4, 20, 20}},  // Paeth(30, 20, 10) = 30 for the second pixel
    };
    for (const auto& [filter, bytes] : cases) {
        spec.filter = filter;
        EXPECT_EQ(ZelFixtures::PngScanlines(spec), bytes) << "filter " << filter;
    }
}

TEST(PngDecoder, TrueColourDecodesUnderEveryFilterWithAndWithoutInterlacing) {
    // 300 x 240 inflates to more than the decoder inflates at a time, so rows straddle its
    // stretches.
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{1, 1}, {1, 6},   {2, 9},
                                                             {7, 5}, {33, 17}, {300, 240}};
    for (bool alpha : {false, true}) {
        for (bool interlaced : {false, true}) {
            for (int filter : {0, 1, 2, 3, 4, -1}) {
                for (auto [w, h] : sizes) {
                    SCOPED_TRACE(testing::Message()
                                 << "alpha " << alpha << " interlaced " << interlaced << " filter "
                                 << filter << " " << w << "x" << h);
                    const auto image = ZelFixtures::MakePatternImage(w, h);
                    PngSpec spec = ZelFixtures::PngFromRgba(image, alpha);
                    spec.interlaced = interlaced;
                    spec.filter = filter;
                    const Bytes file = ZelFixtures::WritePng(spec);
                    ASSERT_TRUE(Zel::IsPngImage(file.data(), file.size()));
                    const int channels = alpha ? 4 : 3;
                    EXPECT_TRUE(SameImage(Decode(file), alpha ? 1 : 2, w, h, w * channels,
                                          Expected(image, Order::Rgb, channels)));
                }
            }
        }
    }
}

TEST(PngDecoder, PaletteImagesOfEveryDepthUnpackTheirIndices) {
    const std::pair<int, bool> cases[] = {
        {1, false}, {2, false}, {4, false}, {8, false}, {8, true}};
    for (auto [depth, interlaced] : cases) {
        for (std::uint32_t width : {1u, 13u, 16u}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << " interlaced " << interlaced
                                            << " width " << width);
            const auto indexed = ZelFixtures::MakeIndexedImage(width, 7, 1u << std::min(depth, 6));
            PngSpec spec = ZelFixtures::PngFromIndexed(indexed, depth);
            spec.interlaced = interlaced;
            const Bytes file = ZelFixtures::WritePng(spec);
            ASSERT_TRUE(Zel::IsPngImage(file.data(), file.size()));
            EXPECT_TRUE(SameImage(Decode(file), 2, width, 7, width * 3,
                                  Expected(ZelTest::ThroughPalette(indexed), Order::Rgb, 3)));
        }
    }
}

TEST(PngDecoder, TransparencyTableGivesAlphaToTheFirstEntriesAndOpaqueToTheRest) {
    for (bool interlaced : {false, true}) {
        const auto indexed = ZelFixtures::MakeIndexedImage(9, 6, 12);
        PngSpec spec = ZelFixtures::PngFromIndexed(indexed, 8);
        spec.interlaced = interlaced;
        spec.transparency = {0, 64, 128};
        const Bytes file = ZelFixtures::WritePng(spec);
        EXPECT_TRUE(SameImage(
            Decode(file), 1, 9, 6, 36,
            Expected(ZelTest::ThroughPalette(indexed, spec.transparency), Order::Rgb, 4)));
    }
}

TEST(PngDecoder, AnIndexPastThePaletteIsOpaqueBlack) {
    auto indexed = ZelFixtures::MakeIndexedImage(8, 3, 16);
    indexed.paletteRgb.resize(3 * 5);
    PngSpec spec = ZelFixtures::PngFromIndexed(indexed, 4);
    spec.transparency = {7, 7, 7, 7, 7, 7, 7, 7};  // longer than the palette
    const Bytes file = ZelFixtures::WritePng(spec);
    EXPECT_TRUE(
        SameImage(Decode(file), 1, 8, 3, 32,
                  Expected(ZelTest::ThroughPalette(indexed, spec.transparency), Order::Rgb, 4)));
}

TEST(PngDecoder, ImageDataSplitOverSeveralChunksIsJoined) {
    const auto image = ZelFixtures::MakePatternImage(20, 9);
    PngSpec spec = ZelFixtures::PngFromRgba(image, true);
    spec.idatPieces = 5;
    EXPECT_TRUE(SameImage(Decode(ZelFixtures::WritePng(spec)), 1, 20, 9, 80,
                          Expected(image, Order::Rgb, 4)));
}

// A file built from parts, so that single parts can be wrong.
Bytes Assemble(const PngSpec& spec, const Bytes& scanlines) {
    Bytes file = ZelFixtures::PngSignatureAndHeader(spec);
    if (!spec.palette.empty())
        ZelFixtures::AppendPngChunk(file, "PLTE", spec.palette);
    ZelFixtures::AppendPngChunk(file, "IDAT", ZelFixtures::ZlibCompress(scanlines));
    ZelFixtures::AppendPngChunk(file, "IEND", {});
    return file;
}

TEST(PngDecoder, RefusesTypesAndDepthsOutsideTheAcceptedSet) {
    const auto image = ZelFixtures::MakePatternImage(4, 4);
    struct Case {
        std::uint8_t colourType, depth;
        bool interlaced;
    };
    const Case refused[] = {{0, 8, false},  {4, 8, false},  {7, 8, false},  {10, 8, false},
                            {11, 8, false}, {14, 8, false}, {15, 8, false}, {2, 16, false},
                            {6, 16, false}, {3, 16, false}, {2, 4, false},  {3, 4, true},
                            {3, 2, true},   {3, 1, true},   {0, 1, false},  {6, 8 | 1, false}};
    for (const auto& c : refused) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.colourType) << " depth " << int(c.depth)
                                        << " interlaced " << c.interlaced);
        PngSpec spec = ZelFixtures::PngFromRgba(image, true);
        spec.colourType = c.colourType;
        spec.bitDepth = c.depth;
        spec.interlaced = c.interlaced;
        spec.samples.assign(4 * 4 * 8, 1);
        spec.palette = {1, 2, 3};
        const Bytes file = ZelFixtures::WritePng(spec);
        EXPECT_FALSE(Zel::IsPngImage(file.data(), file.size()));
        EXPECT_TRUE(Decode(file).IsEmpty());
    }
}

TEST(PngDecoder, RefusesBrokenStructureAndData) {
    const auto image = ZelFixtures::MakePatternImage(6, 5);
    const PngSpec spec = ZelFixtures::PngFromRgba(image, false);
    const Bytes scanlines = ZelFixtures::PngScanlines(spec);
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        bool testPasses;
    };
    const Case cases[] = {
        {"bad signature",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[1] = 'Q';
             return f;
         },
         false},
        {"first chunk not IHDR",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[12] = 'X';
             return f;
         },
         false},
        {"compression method 1",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[26] = 1;
             return f;
         },
         false},
        {"filter method 1",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[27] = 1;
             return f;
         },
         false},
        {"shorter than IHDR",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f.resize(28);
             return f;
         },
         false},
        {"no IDAT",
         [&] {
             Bytes f = ZelFixtures::PngSignatureAndHeader(spec);
             ZelFixtures::AppendPngChunk(f, "IEND", {});
             return f;
         },
         true},
        {"palette without PLTE",
         [&] {
             PngSpec p = ZelFixtures::PngFromIndexed(ZelFixtures::MakeIndexedImage(6, 5, 4), 8);
             p.palette.clear();
             return ZelFixtures::WritePng(p);
         },
         true},
        {"one row short",
         [&] { return Assemble(spec, Bytes(scanlines.begin(), scanlines.end() - 19)); }, true},
        {"one byte long",
         [&] {
             Bytes longer = scanlines;
             longer.push_back(0);
             return Assemble(spec, longer);
         },
         true},
        {"far too much data", [&] { return Assemble(spec, Bytes(1 << 20, 0)); }, true},
        {"filter type 5",
         [&] {
             Bytes bad = scanlines;
             bad[19 * 2] = 5;
             return Assemble(spec, bad);
         },
         true},
        {"filter type 5 inside an interlaced image",
         [&] {
             PngSpec interlaced = spec;
             interlaced.interlaced = true;
             Bytes bad = ZelFixtures::PngScanlines(interlaced);
             bad[bad.size() - 19] = 5;  // the last row of the last pass
             return Assemble(interlaced, bad);
         },
         true},
        {"corrupt zlib stream",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[33 + 8 + 4] ^= 0xFF;  // inside the first IDAT's data
             return f;
         },
         true},
        {"chunk length past the end",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[33] = 0x7F;  // IDAT length
             return f;
         },
         true},
        {"zero width",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[19] = 0;
             return f;
         },
         true},
        {"width 16385",
         [&] {
             Bytes f = ZelFixtures::WritePng(spec);
             f[16] = 0, f[17] = 0, f[18] = 0x40, f[19] = 0x01;
             return f;
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = c.make();
        EXPECT_EQ(Zel::IsPngImage(file.data(), file.size()), c.testPasses);
        EXPECT_TRUE(Decode(file).IsEmpty());
    }
}

TEST(PngDecoder, ChunkCrcsAreNotChecked) {
    const auto image = ZelFixtures::MakePatternImage(3, 3);
    Bytes file = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false));
    file[29] ^= 0xFF;  // IHDR's CRC
    EXPECT_FALSE(Decode(file).IsEmpty());
}

}  // namespace
