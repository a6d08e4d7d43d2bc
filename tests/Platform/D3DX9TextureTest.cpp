// Textures from image files: what each accepted file becomes (source format, size, texels), what
// is refused with a debug message, sizes, mip levels, formats, pools and the colour key.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/D3DX9/D3DX9Texture.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"
#include "support/TempDir.h"
#include "tests/Entity/Image/ImageExpect.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

using ZelFixtures::Bytes;
using ZelFixtures::RgbaImage;

ZelFixtures::PngSpec PngSpecOf(std::uint32_t w, std::uint32_t h, BYTE colourType, BYTE depth,
                               bool interlaced = false) {
    ZelFixtures::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colourType = colourType;
    spec.bitDepth = depth;
    spec.interlaced = interlaced;
    return spec;
}

ZelFixtures::DdsSpec DdsSpecOf(std::uint32_t w, std::uint32_t h, std::uint32_t pixelFlags,
                               const std::string& fourCc, std::uint32_t rgbBits = 0) {
    ZelFixtures::DdsSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixelFlags = pixelFlags;
    spec.fourCc = fourCc;
    spec.rgbBits = rgbBits;
    return spec;
}

Bytes Bgra(const RgbaImage& image, bool keepAlpha) {
    return ZelTest::BgraBytes(image, keepAlpha);
}

// Grey levels as B, G, R, A with the given alphas (255 when none).
Bytes GreyBgra(const Bytes& levels, const Bytes& alphas = {}) {
    Bytes out;
    for (std::size_t i = 0; i < levels.size(); ++i)
        out.insert(out.end(),
                   {levels[i], levels[i], levels[i], alphas.empty() ? BYTE(255) : alphas[i]});
    return out;
}

// A grey image whose levels come out of a sample counter.
ZelFixtures::IndexedImage GreyImage(std::uint32_t w, std::uint32_t h, int levels) {
    ZelFixtures::IndexedImage grey{w, h, Bytes(std::size_t(w) * h), {}};
    for (std::size_t i = 0; i < grey.indices.size(); ++i)
        grey.indices[i] = BYTE((i * 7 + i / w) % levels);
    return grey;
}

// Bytes of a mostly flat image, so that run-length files have runs of every length.
RgbaImage RunsImage(std::uint32_t w, std::uint32_t h) {
    RgbaImage image{w, h, Bytes(std::size_t(w) * h * 4)};
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        const BYTE v = i % 37 < 30 ? BYTE(i / 37 * 40) : BYTE(i * 13);
        image.rgba[4 * i] = v;
        image.rgba[4 * i + 1] = BYTE(v + 1);
        image.rgba[4 * i + 2] = BYTE(v + 2);
        image.rgba[4 * i + 3] = BYTE(200 + i % 3);
    }
    return image;
}

std::mutex g_messagesMutex;
std::vector<std::string> g_messages;

void CaptureMessage(const char* text) {
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    g_messages.emplace_back(text);
}

class D3DXTexture : public D3D9Fixture {
protected:
    void SetUp() override {
        D3D9Fixture::SetUp();
        MakeDevice(&device_);
        previousSink_ = D3DXSetDebugSink(&CaptureMessage);
        std::lock_guard<std::mutex> lock(g_messagesMutex);
        g_messages.clear();
    }

    void TearDown() override {
        D3DXSetDebugSink(previousSink_);
        device_.Reset();
        D3D9Fixture::TearDown();
    }

    struct Options {
        UINT width = D3DX_DEFAULT_NONPOW2;
        UINT height = D3DX_DEFAULT_NONPOW2;
        UINT levels = 1;
        DWORD usage = 0;
        D3DFORMAT format = D3DFMT_UNKNOWN;
        D3DPOOL pool = D3DPOOL_MANAGED;
        DWORD filter = D3DX_DEFAULT;
        DWORD mipFilter = D3DX_DEFAULT;
        D3DCOLOR colorKey = 0;
    };

    HRESULT Load(const Bytes& file, ComRef<IDirect3DTexture9>* texture, D3DXIMAGE_INFO* info,
                 const Options& o) {
        return D3DXCreateTextureFromFileInMemoryEx(
            device_.Get(), file.data(), UINT(file.size()), o.width, o.height, o.levels, o.usage,
            o.format, o.pool, o.filter, o.mipFilter, o.colorKey, info, nullptr, texture->Out());
    }
    HRESULT Load(const Bytes& file, ComRef<IDirect3DTexture9>* texture, D3DXIMAGE_INFO* info) {
        return Load(file, texture, info, Options());
    }

    // The level's bytes without row padding: pixels, or rows of blocks.
    static Bytes ReadLevel(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const bool blocks = desc.Format == D3DFMT_DXT1 || desc.Format == D3DFMT_DXT2 ||
                            desc.Format == D3DFMT_DXT3 || desc.Format == D3DFMT_DXT4 ||
                            desc.Format == D3DFMT_DXT5;
        const UINT bytes = desc.Format == D3DFMT_R5G6B5 ? 2 : 4;
        const std::size_t rowBytes =
            blocks ? (desc.Width + 3) / 4 * (desc.Format == D3DFMT_DXT1 ? 8 : 16)
                   : std::size_t(desc.Width) * bytes;
        const UINT rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
        Bytes out;
        for (UINT y = 0; y < rows; ++y) {
            const auto* row =
                static_cast<const BYTE*>(locked.pBits) + std::size_t(locked.Pitch) * y;
            out.insert(out.end(), row, row + rowBytes);
        }
        texture->UnlockRect(level);
        return out;
    }

    static int MessageCount() {
        std::lock_guard<std::mutex> lock(g_messagesMutex);
        return int(g_messages.size());
    }

    ComRef<IDirect3DDevice9> device_;
    D3DXDebugSink previousSink_ = nullptr;
};

::testing::AssertionResult Near(const Bytes& actual, const Bytes& expected, int tolerance) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "size " << actual.size() << ", expected " << expected.size();
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (std::abs(int(actual[i]) - int(expected[i])) > tolerance)
            return ::testing::AssertionFailure()
                   << "byte " << i << " is " << int(actual[i]) << ", expected " << int(expected[i]);
    return ::testing::AssertionSuccess();
}

struct Accepted {
    std::string name;
    std::function<Bytes()> file;
    D3DXIMAGE_FILEFORMAT fileFormat;
    D3DFORMAT sourceFormat;
    D3DFORMAT textureFormat;
    UINT width, height;
    std::function<Bytes()> texels;  // level 0 as the texture holds it
    int tolerance;
};

std::vector<Accepted> AcceptedFiles() {
    const RgbaImage image = ZelFixtures::MakePatternImage(7, 5);
    const auto indexed = ZelFixtures::MakeIndexedImage(9, 5, 12);
    const RgbaImage runs = RunsImage(41, 9);
    const auto greyRuns = [] {
        auto grey = GreyImage(40, 6, 3);
        for (std::size_t i = 0; i < 100; ++i) grey.indices[i] = 7;  // a run across rows
        return grey;
    }();
    const auto runsIndexed = [] {
        auto m = ZelFixtures::MakeIndexedImage(33, 4, 6);
        for (std::size_t i = 10; i < 60; ++i) m.indices[i] = 2;
        return m;
    }();
    std::vector<Accepted> cases;
    auto add = [&](std::string name, std::function<Bytes()> file, D3DXIMAGE_FILEFORMAT kind,
                   D3DFORMAT source, D3DFORMAT texture, UINT w, UINT h,
                   std::function<Bytes()> texels, int tolerance = 0) {
        cases.push_back({std::move(name), std::move(file), kind, source, texture, w, h,
                         std::move(texels), tolerance});
    };
    for (bool topDown : {false, true}) {
        const std::string order = topDown ? " top-down" : " bottom-up";
        add(
            "BMP 24" + order, [=] { return ZelFixtures::WriteBmpTrueColour(image, 24, topDown); },
            D3DXIFF_BMP, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 7, 5, [=] { return Bgra(image, false); });
        add(
            "BMP 32" + order, [=] { return ZelFixtures::WriteBmpTrueColour(image, 32, topDown); },
            D3DXIFF_BMP, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 7, 5, [=] { return Bgra(image, true); });
        // The palette follows the info header, whichever of its three sizes the file has.
        for (std::uint32_t header : {40u, 108u, 124u})
            for (int bits : {4, 8})
                add(
                    "BMP " + std::to_string(bits) + order + " header " + std::to_string(header),
                    [=] { return ZelFixtures::WriteBmpIndexed(indexed, bits, topDown, header); },
                    D3DXIFF_BMP, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 9, 5,
                    [=] { return Bgra(ZelTest::ThroughPalette(indexed), false); });
        add(
            "TGA 2 24" + order,
            [=] { return ZelFixtures::WriteTgaTrueColour(image, 24, topDown, "id"); }, D3DXIFF_TGA,
            D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 7, 5, [=] { return Bgra(image, false); });
        add(
            "TGA 2 32" + order, [=] { return ZelFixtures::WriteTgaTrueColour(image, 32, topDown); },
            D3DXIFF_TGA, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 7, 5, [=] { return Bgra(image, true); });
        add(
            "TGA 3" + order, [=] { return ZelFixtures::WriteTgaGrey(indexed, topDown); },
            D3DXIFF_TGA, D3DFMT_L8, D3DFMT_X8R8G8B8, 9, 5,
            [=] { return GreyBgra(indexed.indices); });
        add(
            "TGA 1" + order, [=] { return ZelFixtures::WriteTgaColourMapped(indexed, 3, topDown); },
            D3DXIFF_TGA, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 9, 5,
            [=] { return Bgra(ZelTest::ThroughPalette(indexed), false); });
        add(
            "TGA 10 24" + order,
            [=] {
                return ZelFixtures::TgaRunLength(
                    ZelFixtures::WriteTgaTrueColour(runs, 24, topDown));
            },
            D3DXIFF_TGA, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 41, 9, [=] { return Bgra(runs, false); });
        add(
            "TGA 10 32" + order,
            [=] {
                return ZelFixtures::TgaRunLength(
                    ZelFixtures::WriteTgaTrueColour(runs, 32, topDown, "x"));
            },
            D3DXIFF_TGA, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 41, 9, [=] { return Bgra(runs, true); });
        add(
            "TGA 11" + order,
            [=] { return ZelFixtures::TgaRunLength(ZelFixtures::WriteTgaGrey(greyRuns, topDown)); },
            D3DXIFF_TGA, D3DFMT_L8, D3DFMT_X8R8G8B8, 40, 6,
            [=] { return GreyBgra(greyRuns.indices); });
        add(
            "TGA 9" + order,
            [=] {
                return ZelFixtures::TgaRunLength(
                    ZelFixtures::WriteTgaColourMapped(runsIndexed, 5, topDown));
            },
            D3DXIFF_TGA, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 33, 4,
            [=] { return Bgra(ZelTest::ThroughPalette(runsIndexed), false); });
    }
    for (bool interlaced : {false, true}) {
        const std::string suffix = interlaced ? " interlaced" : "";
        for (bool alpha : {false, true}) {
            add(
                std::string("PNG ") + (alpha ? "6" : "2") + suffix,
                [=] {
                    auto spec = ZelFixtures::PngFromRgba(image, alpha);
                    spec.interlaced = interlaced;
                    return ZelFixtures::WritePng(spec);
                },
                D3DXIFF_PNG, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8,
                alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, 7, 5,
                [=] { return Bgra(image, alpha); });
            // 16-bit samples: the high byte is the image's, the low byte noise that must go.
            add(
                std::string("PNG ") + (alpha ? "6" : "2") + " 16-bit" + suffix,
                [=] {
                    auto spec = ZelFixtures::PngFromRgba(image, alpha);
                    Bytes wide;
                    for (BYTE s : spec.samples) wide.insert(wide.end(), {s, BYTE(s ^ 0x5A)});
                    spec.samples = wide;
                    spec.bitDepth = 16;
                    spec.interlaced = interlaced;
                    return ZelFixtures::WritePng(spec);
                },
                D3DXIFF_PNG, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8,
                alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, 7, 5,
                [=] { return Bgra(image, alpha); });
        }
        // Grey and grey with alpha, at 8 and 16 bits.
        const auto grey = GreyImage(11, 6, 256);
        for (int depth : {8, 16}) {
            add(
                "PNG 0 " + std::to_string(depth) + suffix,
                [=] {
                    ZelFixtures::PngSpec spec = PngSpecOf(11, 6, 0, BYTE(depth), interlaced);
                    for (BYTE g : grey.indices) {
                        spec.samples.push_back(g);
                        if (depth == 16)
                            spec.samples.push_back(0x77);
                    }
                    return ZelFixtures::WritePng(spec);
                },
                D3DXIFF_PNG, D3DFMT_L8, D3DFMT_X8R8G8B8, 11, 6,
                [=] { return GreyBgra(grey.indices); });
            add(
                "PNG 4 " + std::to_string(depth) + suffix,
                [=] {
                    ZelFixtures::PngSpec spec = PngSpecOf(11, 6, 4, BYTE(depth), interlaced);
                    for (std::size_t i = 0; i < grey.indices.size(); ++i) {
                        for (BYTE s : {grey.indices[i], BYTE(255 - i)}) {
                            spec.samples.push_back(s);
                            if (depth == 16)
                                spec.samples.push_back(0x11);
                        }
                    }
                    return ZelFixtures::WritePng(spec);
                },
                D3DXIFF_PNG, D3DFMT_A8L8, D3DFMT_A8R8G8B8, 11, 6,
                [=] {
                    Bytes alphas;
                    for (std::size_t i = 0; i < grey.indices.size(); ++i)
                        alphas.push_back(BYTE(255 - i));
                    return GreyBgra(grey.indices, alphas);
                });
        }
    }
    // Grey below 8 bits: samples scaled to the full 8-bit range.
    for (int depth : {1, 2, 4}) {
        const auto grey = GreyImage(13, 3, 1 << depth);
        add(
            "PNG 0 " + std::to_string(depth),
            [=] {
                ZelFixtures::PngSpec spec = PngSpecOf(13, 3, 0, BYTE(depth));
                spec.samples = grey.indices;
                return ZelFixtures::WritePng(spec);
            },
            D3DXIFF_PNG, D3DFMT_L8, D3DFMT_X8R8G8B8, 13, 3,
            [=] {
                Bytes levels;
                for (BYTE g : grey.indices) levels.push_back(BYTE(g * 255 / ((1 << depth) - 1)));
                return GreyBgra(levels);
            });
    }
    // Palettes: with tRNS for the first entries only, and an index past a short palette.
    for (int depth : {1, 2, 4, 8}) {
        auto palette = ZelFixtures::MakeIndexedImage(10, 4, 1u << std::min(depth, 3));
        palette.indices[5] = BYTE((1 << std::min(depth, 3)) - 1);
        palette.paletteRgb.resize(palette.paletteRgb.size() - 3);  // that last index is past it
        const Bytes alpha = {0, 100};
        add(
            "PNG 3 " + std::to_string(depth) + " tRNS",
            [=] {
                auto spec = ZelFixtures::PngFromIndexed(palette, depth);
                spec.transparency = alpha;
                return ZelFixtures::WritePng(spec);
            },
            D3DXIFF_PNG, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 10, 4,
            [=] { return Bgra(ZelTest::ThroughPalette(palette, alpha), true); });
        add(
            "PNG 3 " + std::to_string(depth),
            [=] { return ZelFixtures::WritePng(ZelFixtures::PngFromIndexed(palette, depth)); },
            D3DXIFF_PNG, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 10, 4,
            [=] { return Bgra(ZelTest::ThroughPalette(palette), false); });
    }
    const RgbaImage smooth = ZelFixtures::MakeSmoothImage(24, 16);
    add(
        "JPEG colour", [=] { return ZelFixtures::WriteJpeg(smooth, 95); }, D3DXIFF_JPG,
        D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 24, 16, [=] { return Bgra(smooth, false); }, 24);
    add(
        "JPEG grey", [] { return ZelFixtures::WriteGreyJpeg(16, 8); }, D3DXIFF_JPG, D3DFMT_L8,
        D3DFMT_X8R8G8B8, 16, 8, [] { return GreyBgra(Bytes(128, 128)); }, 2);
    // DDS pixels; block data is compared as blocks.
    add(
        "DDS RGB 24 with a header pitch",
        [=] { return ZelFixtures::WriteDdsRgb(image, 24, false, 24, true); }, D3DXIFF_DDS,
        D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 7, 5, [=] { return Bgra(image, false); });
    add(
        "DDS RGB 24", [=] { return ZelFixtures::WriteDdsRgb(image, 24, false, 0, false); },
        D3DXIFF_DDS, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 7, 5, [=] { return Bgra(image, false); });
    add(
        "DDS RGB 32", [=] { return ZelFixtures::WriteDdsRgb(image, 32, false, 0, false); },
        D3DXIFF_DDS, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, 7, 5, [=] { return Bgra(image, false); });
    add(
        "DDS A8R8G8B8", [=] { return ZelFixtures::WriteDdsRgb(image, 32, true, 0, false); },
        D3DXIFF_DDS, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 7, 5, [=] { return Bgra(image, true); });
    const D3DFORMAT dxt[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};
    for (int version = 1; version <= 5; ++version) {
        const std::size_t bytes = (version == 1 ? 8 : 16) * 3 * 2;
        Bytes blocks(bytes);
        for (std::size_t i = 0; i < bytes; ++i) blocks[i] = BYTE(i * 29 + version);
        add(
            "DDS DXT" + std::to_string(version),
            [=] {
                return ZelFixtures::WriteDdsBlocks("DXT" + std::to_string(version), 12, 8, blocks);
            },
            D3DXIFF_DDS, dxt[version - 1], dxt[version - 1], 12, 8, [=] { return blocks; });
    }
    return cases;
}

TEST_F(D3DXTexture, EveryAcceptedFileBecomesItsTexels) {
    for (const Accepted& c : AcceptedFiles()) {
        SCOPED_TRACE(c.name);
        ComRef<IDirect3DTexture9> texture;
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(Load(c.file(), &texture, &info), D3D_OK);
        EXPECT_EQ(info.Width, c.width);
        EXPECT_EQ(info.Height, c.height);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.Format, c.sourceFormat);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
        ASSERT_EQ(texture->GetLevelCount(), 1u);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.textureFormat);
        EXPECT_EQ(desc.Width, c.width);
        EXPECT_EQ(desc.Height, c.height);
        EXPECT_TRUE(Near(ReadLevel(texture.Get(), 0), c.texels(), c.tolerance));
    }
    EXPECT_EQ(MessageCount(), 0);
}

TEST_F(D3DXTexture, RunLengthWriterMatchesHandTypedBytes) {
    // Four grey pixels 9, 9, 9, 4 then 5, 6: a run of three, then a raw packet of three.
    ZelFixtures::IndexedImage grey{6, 1, {9, 9, 9, 4, 5, 6}, {}};
    const Bytes file = ZelFixtures::TgaRunLength(ZelFixtures::WriteTgaGrey(grey, true));
    const Bytes pixels(file.begin() + 18, file.end());
    EXPECT_EQ(file[2], 11);
    EXPECT_EQ(pixels, (Bytes{0x82, 9, 0x02, 4, 5, 6}));
}

TEST_F(D3DXTexture, RefusedFilesGiveInvalidDataAndAMessage) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 4);
    auto patched = [](Bytes file, std::size_t at, BYTE value) {
        file[at] = value;
        return file;
    };
    auto png = [&](BYTE colourType, BYTE depth, bool interlaced) {
        ZelFixtures::PngSpec spec = PngSpecOf(8, 4, colourType, depth, interlaced);
        const int channels = colourType == 2 ? 3 : colourType == 6 ? 4 : colourType == 4 ? 2 : 1;
        spec.samples.assign(std::size_t(8) * 4 * channels * (depth == 16 ? 2 : 1), 1);
        if (colourType == 3)
            spec.palette = {1, 2, 3, 4, 5, 6};
        return ZelFixtures::WritePng(spec);
    };
    const Bytes tga = ZelFixtures::WriteTgaTrueColour(image, 24, false);
    const Bytes rle = ZelFixtures::TgaRunLength(tga);
    const Bytes bmp = ZelFixtures::WriteBmpTrueColour(image, 24, false);
    const Bytes jpeg = ZelFixtures::WriteJpeg(image, 90);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"empty input", Bytes{}},
        {"garbage", Bytes(40, 0xEE)},
        {"TGA with a non-zero origin", patched(tga, 8, 1)},
        {"TGA type 12", patched(rle, 2, 12)},
        {"TGA type 26", patched(rle, 2, 26)},
        {"TGA 16-bit", patched(tga, 16, 16)},
        {"TGA run-length data cut short", Bytes(rle.begin(), rle.end() - 2)},
        {"TGA rows cut short", Bytes(tga.begin(), tga.end() - 1)},
        {"BMP compressed", patched(bmp, 30, 1)},
        {"BMP 16-bit", patched(bmp, 28, 16)},
        {"BMP rows cut short", Bytes(bmp.begin(), bmp.end() - 1)},
        {"BMP info header of 12 bytes", patched(bmp, 14, 12)},
        {"PNG colour type 7", png(7, 8, false)},
        {"PNG palette at 16 bits", png(3, 16, false)},
        {"PNG interlaced 4-bit palette", png(3, 4, true)},
        {"PNG interlaced 2-bit grey", png(0, 2, true)},
        {"PNG grey alpha at 4 bits", png(4, 4, false)},
        {"PNG palette without PLTE",
         [&] {
             ZelFixtures::PngSpec spec = PngSpecOf(8, 4, 3, 8);
             spec.samples.assign(32, 0);
             return ZelFixtures::WritePng(spec);
         }()},
        {"PNG chunk past the end",
         [&] {
             Bytes file = png(2, 8, false);
             file.resize(file.size() - 20);
             return file;
         }()},
        {"PNG 16384 x 16384 from a few bytes",
         [&] {
             Bytes file = png(2, 8, false);
             ZelTest::PutLe32(file, 16, 0x00400000);  // big-endian 16384
             ZelTest::PutLe32(file, 20, 0x00400000);
             return file;
         }()},
        {"PNG 16385 wide",
         [&] {
             Bytes file = png(2, 8, false);
             ZelTest::PutLe32(file, 16, 0x01400000);
             return file;
         }()},
        {"JPEG cut to its header", Bytes(jpeg.begin(), jpeg.begin() + 2)},
        {"JPEG without Huffman tables", ZelTest::WithoutHuffmanTables(jpeg)},
        {"grey JPEG without Huffman tables",
         ZelTest::WithoutHuffmanTables(ZelFixtures::WriteGreyJpeg(8, 8))},
        {"DDS DX10", ZelFixtures::WriteDdsBlocks("DX10", 4, 4, Bytes(200))},
        {"DDS 16-bit RGB",
         [] {
             ZelFixtures::DdsSpec spec = DdsSpecOf(4, 4, 0x40, "", 16);
             spec.data.assign(32, 0);
             return ZelFixtures::WriteDds(spec);
         }()},
        {"DDS blocks cut short", ZelFixtures::WriteDdsBlocks("DXT5", 8, 8, Bytes(63))},
        {"DDS 16385 wide", ZelFixtures::WriteDdsBlocks("DXT1", 16385, 1, Bytes(8 * 4097))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = MessageCount();
        ComRef<IDirect3DTexture9> texture;
        D3DXIMAGE_INFO info{};
        const BYTE dummy = 0;
        const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
            device_.Get(), c.file.empty() ? &dummy : c.file.data(), UINT(c.file.size()),
            D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
            D3DX_DEFAULT, 0, &info, nullptr, texture.Out());
        EXPECT_EQ(hr, c.file.empty() ? D3DERR_INVALIDCALL : D3DXERR_INVALIDDATA);
        EXPECT_FALSE(texture);
        EXPECT_EQ(MessageCount(), before + 1);
    }
}

TEST_F(D3DXTexture, ArgumentsAreChecked) {
    const Bytes file =
        ZelFixtures::WriteBmpTrueColour(ZelFixtures::MakePatternImage(4, 4), 24, false);
    ComRef<IDirect3DTexture9> texture;
    auto call = [&](IDirect3DDevice9* device, const void* data, UINT size, DWORD filter,
                    D3DFORMAT format, IDirect3DTexture9** out) {
        return D3DXCreateTextureFromFileInMemoryEx(device, data, size, 0, 0, 1, 0, format,
                                                   D3DPOOL_MANAGED, filter, D3DX_DEFAULT, 0,
                                                   nullptr, nullptr, out);
    };
    const UINT size = UINT(file.size());
    EXPECT_EQ(call(nullptr, file.data(), size, D3DX_DEFAULT, D3DFMT_UNKNOWN, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(call(device_.Get(), nullptr, size, D3DX_DEFAULT, D3DFMT_UNKNOWN, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(call(device_.Get(), file.data(), 0, D3DX_DEFAULT, D3DFMT_UNKNOWN, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(call(device_.Get(), file.data(), size, D3DX_DEFAULT, D3DFMT_UNKNOWN, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(call(device_.Get(), file.data(), size, 0, D3DFMT_UNKNOWN, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(call(device_.Get(), file.data(), size, D3DX_DEFAULT, D3DFMT_R8G8B8, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(texture);
    EXPECT_EQ(MessageCount(), 6);
}

// A 2 x 2 box average of an image with even sides, rounded to nearest.
Bytes HalfSize(const Bytes& bgra, UINT w, UINT h) {
    Bytes out;
    for (UINT y = 0; y < h / 2; ++y)
        for (UINT x = 0; x < w / 2; ++x)
            for (int k = 0; k < 4; ++k) {
                int sum = 0;
                for (UINT dy = 0; dy < 2; ++dy)
                    for (UINT dx = 0; dx < 2; ++dx)
                        sum += bgra[((std::size_t(y) * 2 + dy) * w + x * 2 + dx) * 4 + k];
                out.push_back(BYTE((sum + 2) / 4));
            }
    return out;
}

TEST_F(D3DXTexture, SizesAreTheFilesUnlessGiven) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 4);
    const Bytes file = ZelFixtures::WriteTgaTrueColour(image, 32, false);
    const Bytes bgra = Bgra(image, true);
    for (UINT side : {0u, D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE}) {
        ComRef<IDirect3DTexture9> texture;
        Options o;
        o.width = o.height = side;
        ASSERT_EQ(Load(file, &texture, nullptr, o), D3D_OK);
        EXPECT_EQ(ReadLevel(texture.Get(), 0), bgra);
    }
    Options half;
    half.width = 4;
    half.height = 2;
    ComRef<IDirect3DTexture9> averaged, point, none;
    ASSERT_EQ(Load(file, &averaged, nullptr, half), D3D_OK);
    EXPECT_TRUE(Near(ReadLevel(averaged.Get(), 0), HalfSize(bgra, 8, 4), 1));

    half.filter = D3DX_FILTER_POINT | D3DX_FILTER_DITHER;
    ASSERT_EQ(Load(file, &point, nullptr, half), D3D_OK);
    Bytes odd;
    for (UINT y = 0; y < 2; ++y)
        for (UINT x = 0; x < 4; ++x)
            odd.insert(odd.end(), bgra.begin() + ((y * 2 + 1) * 8 + x * 2 + 1) * 4,
                       bgra.begin() + ((y * 2 + 1) * 8 + x * 2 + 2) * 4);
    EXPECT_EQ(ReadLevel(point.Get(), 0), odd);

    Options larger;
    larger.width = 10;
    larger.height = 5;
    larger.filter = D3DX_FILTER_NONE;
    ASSERT_EQ(Load(file, &none, nullptr, larger), D3D_OK);
    const Bytes kept = ReadLevel(none.Get(), 0);
    for (UINT y = 0; y < 5; ++y)
        for (UINT x = 0; x < 10; ++x)
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(kept[(y * 10 + x) * 4 + k],
                          x < 8 && y < 4 ? bgra[(y * 8 + x) * 4 + k] : 0);
}

TEST_F(D3DXTexture, MipLevelsComeFromTheFileOrTheLevelAbove) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 4);
    const Bytes bgra = Bgra(image, false);
    ComRef<IDirect3DTexture9> chain;
    Options full;
    full.levels = D3DX_DEFAULT;
    ASSERT_EQ(Load(ZelFixtures::WriteBmpTrueColour(image, 24, false), &chain, nullptr, full),
              D3D_OK);
    ASSERT_EQ(chain->GetLevelCount(), 4u);  // 8x4, 4x2, 2x1, 1x1
    EXPECT_EQ(ReadLevel(chain.Get(), 0), bgra);
    const Bytes level1 = HalfSize(bgra, 8, 4);
    EXPECT_TRUE(Near(ReadLevel(chain.Get(), 1), level1, 1));
    EXPECT_TRUE(Near(ReadLevel(chain.Get(), 2), HalfSize(level1, 4, 2), 2));

    // A DDS with its own levels: taken as stored, and counted in the source description.
    Bytes blocks;
    for (int level = 0; level < 4; ++level)
        for (int b = 0; b < (level == 0 ? 4 : 1) * 8; ++b) blocks.push_back(BYTE(level * 50 + b));
    ZelFixtures::DdsSpec spec = DdsSpecOf(8, 8, 0x4, "DXT1");
    spec.mipCount = 4;
    spec.data = blocks;
    const Bytes dds = ZelFixtures::WriteDds(spec);
    ComRef<IDirect3DTexture9> fromFile;
    D3DXIMAGE_INFO info{};
    Options own;
    own.levels = D3DX_FROM_FILE;
    ASSERT_EQ(Load(dds, &fromFile, &info, own), D3D_OK);
    EXPECT_EQ(info.MipLevels, 4u);
    ASSERT_EQ(fromFile->GetLevelCount(), 4u);
    std::size_t at = 0;
    for (UINT level = 0; level < 4; ++level) {
        const Bytes stored = ReadLevel(fromFile.Get(), level);
        EXPECT_EQ(stored, Bytes(blocks.begin() + at, blocks.begin() + at + stored.size()));
        at += stored.size();
    }
    // A chain cut short is not read: the one level left, the others made from it.
    spec.data.resize(spec.data.size() - 1);
    ComRef<IDirect3DTexture9> cut;
    ASSERT_EQ(Load(ZelFixtures::WriteDds(spec), &cut, &info, own), D3D_OK);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(cut->GetLevelCount(), 1u);
}

TEST_F(D3DXTexture, OtherFormatsAreConvertedOrEncoded) {
    const RgbaImage smooth = ZelFixtures::MakeSmoothImage(64, 48);
    const Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(smooth, true));
    ComRef<IDirect3DTexture9> texture;
    Options o;
    o.format = D3DFMT_R5G6B5;
    ASSERT_EQ(Load(png, &texture, nullptr, o), D3D_OK);
    const Bytes packed = ReadLevel(texture.Get(), 0);
    for (std::size_t i = 0; i < smooth.rgba.size() / 4; ++i) {
        const WORD v = WORD(packed[2 * i] | packed[2 * i + 1] << 8);
        EXPECT_NEAR((v >> 11) * 255.0 / 31, smooth.rgba[4 * i], 4.2);
        EXPECT_NEAR(((v >> 5) & 63) * 255.0 / 63, smooth.rgba[4 * i + 1], 2.1);
        EXPECT_NEAR((v & 31) * 255.0 / 31, smooth.rgba[4 * i + 2], 4.2);
    }
    // Encoded here: decoded again, the texels stay close to the file's.
    for (const auto& [format, version] :
         {std::pair{D3DFMT_DXT1, 1}, {D3DFMT_DXT3, 3}, {D3DFMT_DXT5, 5}}) {
        SCOPED_TRACE(version);
        o.format = format;
        ASSERT_EQ(Load(png, &texture, nullptr, o), D3D_OK);
        const Bytes blocks = ReadLevel(texture.Get(), 0);
        const RgbaImage decoded = ZelFixtures::DecodeDxtImage(version, blocks.data(), 64, 48);
        EXPECT_LT(ZelFixtures::RgbaRmse(decoded, smooth, false), 8.0);
        if (version != 1) {
            EXPECT_LT(ZelFixtures::RgbaRmse(decoded, smooth, true), 8.0);
        }
    }
}

TEST_F(D3DXTexture, ColourKeyedPixelsBecomeTransparentBlack) {
    RgbaImage image = ZelFixtures::MakePatternImage(4, 2);
    for (std::size_t i : {1u, 6u}) {
        image.rgba[4 * i] = 0xFF;  // R
        image.rgba[4 * i + 1] = 0x00;
        image.rgba[4 * i + 2] = 0xFF;
    }
    ComRef<IDirect3DTexture9> texture;
    Options o;
    o.colorKey = 0xFFFF00FF;
    ASSERT_EQ(Load(ZelFixtures::WriteBmpTrueColour(image, 24, false), &texture, nullptr, o),
              D3D_OK);
    Bytes expected = Bgra(image, false);
    for (std::size_t i : {1u, 6u})
        std::fill(expected.begin() + 4 * i, expected.begin() + 4 * i + 4, 0);
    EXPECT_EQ(ReadLevel(texture.Get(), 0), expected);
}

TEST_F(D3DXTexture, DefaultPoolTexturesAreFilledThroughACopy) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 8);
    const Bytes png = ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, true));
    Soft(device_)->ResetCallCounts();
    ComRef<IDirect3DTexture9> texture;
    Options o;
    o.pool = D3DPOOL_DEFAULT;
    ASSERT_EQ(Load(png, &texture, nullptr, o), D3D_OK);
    EXPECT_EQ(Soft(device_)->CallCount(D3D9Call::UpdateTexture), 1u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    // A dynamic one is locked directly.
    o.usage = D3DUSAGE_DYNAMIC;
    ASSERT_EQ(Load(png, &texture, nullptr, o), D3D_OK);
    EXPECT_EQ(Soft(device_)->CallCount(D3D9Call::UpdateTexture), 1u);
    EXPECT_EQ(ReadLevel(texture.Get(), 0), Bgra(image, true));
    // Generated sub-levels: the texture makes them from level 0.
    o.usage = D3DUSAGE_AUTOGENMIPMAP;
    o.pool = D3DPOOL_MANAGED;
    o.levels = 0;
    ASSERT_EQ(Load(png, &texture, nullptr, o), D3D_OK);
    EXPECT_EQ(ReadLevel(texture.Get(), 0), Bgra(image, true));
}

TEST_F(D3DXTexture, FilesAreReadFromDisk) {
    ZelTest::TempDir dir;
    const RgbaImage image = ZelFixtures::MakePatternImage(5, 3);
    const Bytes tga = ZelFixtures::WriteTgaTrueColour(image, 32, true);
    const std::string path = dir.Write("Images/Pic.tga", std::string(tga.begin(), tga.end()));
    ComRef<IDirect3DTexture9> texture;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(
        D3DXCreateTextureFromFileExA(device_.Get(), path.c_str(), D3DX_DEFAULT_NONPOW2,
                                     D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                     D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, texture.Out()),
        D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    EXPECT_EQ(ReadLevel(texture.Get(), 0), Bgra(image, true));

    const std::string missing = (dir.Path() / "missing.tga").string();
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device_.Get(), missing.c_str(), 0, 0, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, nullptr, nullptr, texture.Out()),
              D3DERR_INVALIDCALL);
    EXPECT_FALSE(texture);
    EXPECT_EQ(MessageCount(), 1);
}

}  // namespace
