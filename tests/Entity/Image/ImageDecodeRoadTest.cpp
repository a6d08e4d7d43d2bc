// The decode road of the image resource: files to surfaces, the path rules (scale level and
// compression), mip chains, DXT compression, the ".dds" preference and the loader's log lines.
#include <cmath>

#include "Entity/Image/PixelFormat.h"
#include "fixtures/DxtReference.h"
#include "tests/Entity/Image/ImageResourceFixture.h"

namespace {

using ZelFixtures::Bytes;
using ZelFixtures::RgbaImage;
using ImageDecodeRoad = ZelTest::ImageResourceTest;

TEST(ImageLoadRule, PathsChooseScaleAndCompression) {
    struct Case {
        const char* path;
        int level;
        int expectedLevel;
        bool compress;
    };
    const Case cases[] = {
        {"..\\Data\\Models\\body.png", 2, 2, true},
        {"..\\resources\\media\\shaders\\ui\\button.png", 2, 1, false},
        {"../Resources/Media/Shaders/UI/button.png", 1, 0, false},
        {"shaders\\effects\\item_effect\\glow.tga", 0, 0, false},
        {"SHADERS/x/UI_EFFECT/a.dds", 2, 1, false},
        {"data\\ui\\button.png", 2, 2, true},   // "ui" without "shaders"
        {"shaders\\guide\\a.png", 2, 2, true},  // "ui" inside a word, no separator before it
        {"role\\makeup\\female\\lips.png", 2, 0, false},
        {"Role\\MakeUp\\Male\\brow.png", 1, 0, false},
        {"role/makeup/female/lips.png", 2, 2, true},  // the make-up rule looks for backslashes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Zel::Image::LoadRule rule = Zel::Image::GetLoadRule(c.path, c.level);
        EXPECT_EQ(rule.scaleLevel, c.expectedLevel);
        EXPECT_EQ(rule.compress, c.compress);
    }
}

TEST_F(ImageDecodeRoad, EachFormatBecomesItsLevelZeroSurface) {
    const RgbaImage image = ZelFixtures::MakePatternImage(7, 5);
    Bytes blocks(16 * 2 * 2);
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = BYTE(i * 11 + 3);
    const struct {
        const char* path;
        Bytes file;
        std::uint32_t format;
        std::uint32_t width, height;
        Bytes pixels;
        bool dxt;
    } cases[] = {
        {"a.bmp", ZelFixtures::WriteBmpTrueColour(image, 24, true), Zel::PF_X8R8G8B8, 7, 5,
         Bgra(image, false), false},
        {"b.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false), Zel::PF_A8R8G8B8, 7, 5,
         Bgra(image, true), false},
        {"c.PNG", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, true)), Zel::PF_A8R8G8B8, 7,
         5, Bgra(image, true), false},
        {"d.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false)), Zel::PF_X8R8G8B8,
         7, 5, Bgra(image, false), false},
        {"e.dds", ZelFixtures::WriteDdsBlocks("DXT5", 8, 8, blocks), Zel::PF_DXT5, 8, 8, blocks,
         true},
        {"f.dds", ZelFixtures::WriteDdsRgb(image, 24, false, 0, false), Zel::PF_X8R8G8B8, 7, 5,
         Bgra(image, false), false},
    };
    std::uint32_t bytes = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Zel::Image* loaded = NewImage(c.path);
        ASSERT_TRUE(loaded->LoadPreferDds(Write(c.path, c.file)));
        EXPECT_TRUE(loaded->IsLoaded());
        EXPECT_TRUE(loaded->IsLoadSucceeded());
        EXPECT_EQ(loaded->GetLoadPath(), c.path);
        EXPECT_EQ(loaded->GetFormat(), c.format);
        EXPECT_EQ(loaded->GetMipCount(), 1u);
        EXPECT_EQ(loaded->IsNotDxt(), !c.dxt);
        ASSERT_EQ(loaded->GetSurfaceCount(), 1u);
        const Zel::ImageSurface* surface = loaded->GetFirstSurface();
        EXPECT_EQ(surface->GetWidth(), c.width);
        EXPECT_EQ(surface->GetHeight(), c.height);
        EXPECT_EQ(surface->GetLevel(), 0u);
        EXPECT_EQ(SurfaceBytes(surface), c.pixels);
        EXPECT_EQ(loaded->GetSizeField(), c.pixels.size());
        bytes += loaded->GetSizeField();
        EXPECT_EQ(Images()->GetActiveBytes(), bytes);
        // A second decode-road load of a loaded image changes nothing.
        EXPECT_TRUE(loaded->LoadPreferDds(c.path));
        EXPECT_EQ(loaded->GetSurfaceCount(), 1u);
    }
    // The JPEG decoder delivers R, G, B: exchanged like PNG's.
    const RgbaImage smooth = ZelFixtures::MakeSmoothImage(16, 16);
    Zel::Image* jpeg = NewImage("g.jpg");
    ASSERT_TRUE(jpeg->LoadPreferDds(Write("g.JPG", ZelFixtures::WriteJpeg(smooth, 95))));
    EXPECT_EQ(jpeg->GetFormat(), Zel::PF_X8R8G8B8);
    const Bytes expected = Bgra(smooth, false), actual = SurfaceBytes(jpeg->GetFirstSurface());
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 16) << i;
}

TEST_F(ImageDecodeRoad, OnlyTheEnginesOwnDecodersAcceptanceCounts) {
    // Files the D3DX loaders take but the engine's decoders refuse.
    ZelFixtures::PngSpec grey;
    grey.width = 4;
    grey.height = 4;
    grey.colourType = 0;
    grey.samples.assign(16, 9);
    const auto indexed = ZelFixtures::MakeIndexedImage(4, 4, 3);
    const struct {
        const char* path;
        Bytes file;
    } cases[] = {
        {"grey.png", ZelFixtures::WritePng(grey)},
        {"rle.tga", ZelFixtures::TgaRunLength(ZelFixtures::WriteTgaGrey(indexed, false))},
        {"grey.jpg", ZelFixtures::WriteGreyJpeg(8, 8)},
        {"a.jpeg", ZelFixtures::WriteJpeg(ZelFixtures::MakeSmoothImage(8, 8), 90)},   // kind 6
        {"png.bmp", ZelFixtures::WritePng(ZelFixtures::PngFromIndexed(indexed, 8))},  // by name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Zel::Image* image = NewImage(c.path);
        EXPECT_FALSE(image->LoadPreferDds(Write(c.path, c.file)));
        EXPECT_FALSE(image->IsLoaded());
        EXPECT_EQ(image->GetSurfaceCount(), 0u);
        EXPECT_EQ(image->GetFormat(), 0u);
    }
    EXPECT_EQ(Images()->GetActiveBytes(), 0u);
}

TEST_F(ImageDecodeRoad, TheLoaderLogsItsTwoLines) {
    Zel::Image* image = NewImage("missing.png");
    EXPECT_FALSE(image->LoadPreferDds("textures\\missing.png"));
    EXPECT_FALSE(image->IsLoaded());
    EXPECT_EQ(image->GetLoadPath(), "textures\\missing.png");
    std::string log = LogText();
    EXPECT_EQ(Occurrences(log, "ReadFileStream Failed,filename=textures\\missing.png"), 1) << log;
    EXPECT_EQ(Occurrences(log, "FILE=Engine/Entity/Image"), 1) << log;
    EXPECT_EQ(Occurrences(log, "Fun=Zel::Image::LoadFromPackage"), 1) << log;
    EXPECT_EQ(Occurrences(log, "加载贴图失败！load image failed : textures\\missing.png"), 1)
        << log;

    // A file that is there but does not decode: the second line only.
    Zel::Image* broken = NewImage("broken.png");
    EXPECT_FALSE(broken->LoadPreferDds(Write("broken.png", Bytes(60, 0x42))));
    log = LogText();
    EXPECT_EQ(Occurrences(log, "ReadFileStream Failed"), 1);
    EXPECT_EQ(Occurrences(log, "加载贴图失败！load image failed : broken.png"), 1);

    // A side of 1 is logged and the load goes on.
    Zel::Image* thin = NewImage("thin.bmp");
    EXPECT_TRUE(thin->LoadPreferDds(
        Write("thin.bmp",
              ZelFixtures::WriteBmpTrueColour(ZelFixtures::MakePatternImage(1, 4), 24, false))));
    log = LogText();
    EXPECT_EQ(Occurrences(log, "贴图尺寸不能为1"), 1);
    EXPECT_EQ(Occurrences(log, "读取贴图thin.bmp，占用内存0 KB"), 1) << log;
}

TEST_F(ImageDecodeRoad, TheDdsSiblingIsPreferredWhenTheSwitchSaysSo) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 8);
    Write("tex\\pic.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, true)));
    Write("tex\\pic.dds", ZelFixtures::WriteDdsBlocks("DXT1", 8, 8, Bytes(32, 0x55)));
    Write("tex\\only.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, true)));

    Zel::Image* off = NewImage("off");
    ASSERT_TRUE(off->LoadPreferDds("tex\\pic.png"));
    EXPECT_EQ(off->GetFormat(), Zel::PF_A8R8G8B8);
    EXPECT_EQ(off->GetLoadPath(), "tex\\pic.png");

    Config()->SetPreferDDS(true);
    Zel::Image* on = NewImage("on");
    ASSERT_TRUE(on->LoadPreferDds("tex\\pic.png"));
    EXPECT_EQ(on->GetFormat(), Zel::PF_DXT1);
    EXPECT_EQ(on->GetLoadPath(), "tex\\pic.dds");
    // Without the sibling the path itself loads, and nothing is reported about the sibling.
    Zel::Image* only = NewImage("only");
    ASSERT_TRUE(only->LoadPreferDds("tex\\only.png"));
    EXPECT_EQ(only->GetLoadPath(), "tex\\only.png");
    EXPECT_EQ(Occurrences(LogText(), "ReadFileStream Failed"), 0);
}

TEST_F(ImageDecodeRoad, ScaleLevelHalvesBothSidesUnlessTheyAreTooSmall) {
    struct Case {
        const char* path;
        int level;
        std::uint32_t width, height;
        std::uint32_t expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {"a.bmp", 2, 512, 4, 512, 4},  // 4 does not exceed 2^2
        {"b.bmp", 2, 512, 8, 128, 2},
        {"c.bmp", 1, 16, 6, 8, 3},
        {"d.bmp", 0, 16, 6, 16, 6},
        {"shaders\\ui\\e.bmp", 2, 16, 16, 8, 8},  // one level fewer
        {"shaders\\ui\\f.bmp", 1, 16, 16, 16, 16},
        {"role\\makeup\\female\\g.bmp", 2, 16, 16, 16, 16},  // never scaled
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Zel::SetTextureScaleLevel(c.level);
        const RgbaImage image = ZelFixtures::MakeSmoothImage(c.width, c.height);
        Zel::Image* loaded = NewImage(c.path);
        ASSERT_TRUE(loaded->LoadPreferDds(
            Write(c.path, ZelFixtures::WriteBmpTrueColour(image, 24, false))));
        const Zel::ImageSurface* surface = loaded->GetFirstSurface();
        EXPECT_EQ(surface->GetWidth(), c.expectedWidth);
        EXPECT_EQ(surface->GetHeight(), c.expectedHeight);
        EXPECT_EQ(surface->GetDataSize(), 4 * c.expectedWidth * c.expectedHeight);
        EXPECT_EQ(loaded->GetSizeField(), surface->GetDataSize());
    }
    // DXT data is never scaled.
    Zel::SetTextureScaleLevel(2);
    Zel::Image* dxt = NewImage("h.dds");
    ASSERT_TRUE(dxt->LoadPreferDds(
        Write("h.dds", ZelFixtures::WriteDdsBlocks("DXT1", 16, 16, Bytes(128, 1)))));
    EXPECT_EQ(dxt->GetFirstSurface()->GetWidth(), 16u);
    EXPECT_EQ(dxt->GetFirstSurface()->GetDataSize(), 128u);
}

TEST_F(ImageDecodeRoad, MipChainsHalveDownToFour) {
    const RgbaImage image = ZelFixtures::MakeSmoothImage(256, 64);
    Zel::Image* loaded = NewImage("chain.tga");
    ASSERT_TRUE(loaded->LoadPreferDds(
        Write("chain.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false))));
    ASSERT_TRUE(loaded->BuildMipChain());
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {256, 64}, {128, 32}, {64, 16}, {32, 8}, {16, 4}};
    ASSERT_EQ(loaded->GetSurfaceCount(), std::size(sizes));
    EXPECT_EQ(loaded->GetMipCount(), 5u);
    for (std::size_t level = 0; level < std::size(sizes); ++level) {
        const Zel::ImageSurface* surface = loaded->GetSurface(level);
        EXPECT_EQ(surface->GetLevel(), level);
        EXPECT_EQ(surface->GetWidth(), sizes[level].first);
        EXPECT_EQ(surface->GetHeight(), sizes[level].second);
    }
    // Each level is the one above resampled with the mip filter: a 2 x 2 blend, so a pixel lies
    // within the range of the four it comes from.
    const Zel::ImageSurface* top = loaded->GetSurface(0);
    const Zel::ImageSurface* next = loaded->GetSurface(1);
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 128; ++x)
            for (int k = 0; k < 4; ++k) {
                int low = 255, high = 0;
                for (int d = 0; d < 4; ++d) {
                    const int v = top->GetData()[((2 * y + d / 2) * 256 + 2 * x + d % 2) * 4 + k];
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
                const int v = next->GetData()[(y * 128 + x) * 4 + k];
                EXPECT_TRUE(v >= low && v <= high) << x << "," << y;
            }
    // A chain is built again from level 0; a square 8 x 8 ends at 4 x 4, a 4 x 4 has level 0 only.
    ASSERT_TRUE(loaded->BuildMipChain());
    EXPECT_EQ(loaded->GetSurfaceCount(), 5u);
    Zel::Image* small = NewImage("small.bmp");
    ASSERT_TRUE(small->LoadPreferDds(
        Write("small.bmp",
              ZelFixtures::WriteBmpTrueColour(ZelFixtures::MakePatternImage(4, 9), 24, false))));
    ASSERT_TRUE(small->BuildMipChain());
    EXPECT_EQ(small->GetMipCount(), 1u);
    // DXT data has no chain built.
    Zel::Image* dxt = NewImage("d.dds");
    ASSERT_TRUE(dxt->LoadPreferDds(
        Write("d.dds", ZelFixtures::WriteDdsBlocks("DXT1", 16, 16, Bytes(128, 1)))));
    EXPECT_FALSE(dxt->BuildMipChain());
}

TEST_F(ImageDecodeRoad, CompressionBuildsTheChainAndEncodesEveryLevel) {
    Config()->SetCompressToDDS(true);
    const RgbaImage image = ZelFixtures::MakeSmoothImage(64, 32);
    struct Case {
        const char* path;
        bool alpha;
        bool compressed;
    };
    const Case cases[] = {
        {"body\\skin.tga", true, true},
        {"body\\cloth.bmp", false, true},
        {"shaders\\ui\\icon.tga", true, false},
        {"role\\makeup\\male\\brow.tga", true, false},
    };
    std::uint32_t bytes = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Bytes file = c.alpha ? ZelFixtures::WriteTgaTrueColour(image, 32, false)
                                   : ZelFixtures::WriteBmpTrueColour(image, 24, false);
        Zel::Image* loaded = NewImage(c.path);
        ASSERT_TRUE(loaded->LoadPreferDds(Write(c.path, file)));
        bytes += loaded->GetSizeField();
        EXPECT_EQ(Images()->GetActiveBytes(), bytes);
        if (!c.compressed) {
            EXPECT_EQ(loaded->GetFormat(), c.alpha ? Zel::PF_A8R8G8B8 : Zel::PF_X8R8G8B8);
            EXPECT_EQ(loaded->GetMipCount(), 1u);
            EXPECT_TRUE(loaded->IsNotDxt());
            continue;
        }
        EXPECT_EQ(loaded->GetFormat(), c.alpha ? Zel::PF_DXT5 : Zel::PF_DXT1);
        EXPECT_FALSE(loaded->IsNotDxt());
        ASSERT_EQ(loaded->GetMipCount(), 4u);  // 64x32, 32x16, 16x8, 8x4
        std::uint32_t total = 0;
        for (std::size_t level = 0; level < 4; ++level) {
            const Zel::ImageSurface* surface = loaded->GetSurface(level);
            EXPECT_EQ(surface->GetDataSize(),
                      Zel::GetPixelFormatByteSize(surface->GetWidth(), surface->GetHeight(), 1,
                                                  loaded->GetFormat()));
            total += surface->GetDataSize();
        }
        EXPECT_EQ(loaded->GetSizeField(), total);
        // Level 0 decodes close to the file's pixels.
        const RgbaImage decoded = ZelFixtures::DecodeDxtImage(
            c.alpha ? 5 : 1, loaded->GetFirstSurface()->GetData(), 64, 32);
        EXPECT_LT(ZelFixtures::RgbaRmse(decoded, image, false), 10.0);
        if (c.alpha) {
            EXPECT_LT(ZelFixtures::RgbaRmse(decoded, image, true), 10.0);
        }
    }
    // Compressing an image that is loaded keeps the manager's count in step.
    Config()->SetCompressToDDS(false);
    Zel::Image* later = NewImage("later.tga");
    ASSERT_TRUE(later->LoadPreferDds(
        Write("later.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false))));
    bytes += later->GetSizeField();
    ASSERT_TRUE(later->CompressToDxt());
    EXPECT_EQ(later->GetSizeField(), 64u * 32);
    EXPECT_EQ(Images()->GetActiveBytes(), bytes - 64 * 32 * 4 + 64 * 32);
    EXPECT_FALSE(later->CompressToDxt());  // already DXT
}

}  // namespace
