// Saving surfaces: every save format read back by the engine's own decoders (the decode road of
// the image resource), rectangles, DXT surfaces, render targets and refusals.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Entity/Image/BmpDecoder.h"
#include "Entity/Image/DdsDecoder.h"
#include "Entity/Image/ImageFileKind.h"
#include "Entity/Image/ImageSwizzle.h"
#include "Entity/Image/JpegDecoder.h"
#include "Entity/Image/PngDecoder.h"
#include "Entity/Image/TgaDecoder.h"
#include "Platform/D3DX9/D3DX9Log.h"
#include "Platform/D3DX9/D3DX9Save.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"
#include "support/TempDir.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

using ZelFixtures::Bytes;

void Quiet(const char*) {}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The engine's decoder for the file kind.
Zel::DecodedImage Decode(int kind, const Bytes& file) {
    switch (kind) {
        case Zel::IMAGE_KIND_BMP:
            return Zel::DecodeBmpImage(file.data(), file.size());
        case Zel::IMAGE_KIND_TGA:
            return Zel::DecodeTgaImage(file.data(), file.size());
        case Zel::IMAGE_KIND_PNG:
            return Zel::DecodePngImage(file.data(), file.size());
        case Zel::IMAGE_KIND_JPEG:
            return Zel::DecodeJpegImage(file.data(), file.size());
        default:
            return Zel::DecodeDdsImage(file.data(), file.size());
    }
}

// The decoded record as the B, G, R, A bytes of a level-0 surface, through the engine's swizzle.
Bytes AsSurface(const Zel::DecodedImage& image, int kind) {
    Bytes out(Zel::DecodedSurfaceSize(image));
    Zel::CopyDecodedToSurface(image, Zel::ImageKindHasRgbOrder(kind), out.data());
    return out;
}

// The mean absolute difference per byte.
double MeanDifference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size() || a.empty())
        return 1000;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

int MaxDifference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size())
        return 1000;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

class D3DXSave : public D3D9Fixture {
protected:
    void SetUp() override {
        D3D9Fixture::SetUp();
        MakeDevice(&device_);
        previousSink_ = D3DXSetDebugSink(&Quiet);
    }
    void TearDown() override {
        D3DXSetDebugSink(previousSink_);
        device_.Reset();
        D3D9Fixture::TearDown();
    }

    // A MANAGED texture of the format whose level 0 holds the bytes (rows of pixels or blocks).
    void MakeTexture(ComRef<IDirect3DTexture9>* texture, UINT w, UINT h, D3DFORMAT format,
                     const Bytes& bytes) {
        ASSERT_EQ(
            device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, texture->Out(), nullptr),
            D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ((*texture)->LockRect(0, &locked, nullptr, 0), D3D_OK);
        const bool blocks = format == D3DFMT_DXT1 || format == D3DFMT_DXT5;
        const std::size_t rows = blocks ? (h + 3) / 4 : h;
        const std::size_t rowBytes = bytes.size() / rows;
        for (std::size_t y = 0; y < rows; ++y)
            std::memcpy(static_cast<BYTE*>(locked.pBits) + std::size_t(locked.Pitch) * y,
                        bytes.data() + rowBytes * y, rowBytes);
        (*texture)->UnlockRect(0);
    }

    HRESULT Save(const std::string& path, D3DXIMAGE_FILEFORMAT format, IDirect3DTexture9* texture,
                 const RECT* rect = nullptr) {
        ComRef<IDirect3DSurface9> surface;
        EXPECT_EQ(texture->GetSurfaceLevel(0, surface.Out()), D3D_OK);
        return D3DXSaveSurfaceToFileA(path.c_str(), format, surface.Get(), nullptr, rect);
    }

    ComRef<IDirect3DDevice9> device_;
    D3DXDebugSink previousSink_ = nullptr;
    ZelTest::TempDir dir_;
};

// One surface format: its level-0 bytes, the B, G, R, A pixels they stand for, and whether the
// format has alpha. DXT pixels come from the reference decoder, whose interpolated colours may
// round one step away from the device's.
struct Surface {
    const char* name;
    D3DFORMAT format;
    UINT width, height;
    Bytes bytes;
    Bytes pixels;
    bool alpha;
};

std::vector<Surface> Surfaces() {
    std::vector<Surface> out;
    const auto image = ZelFixtures::MakePatternImage(7, 5);
    Bytes argb, xrgb, xrgbPixels, r5g6b5, r5g6b5Pixels;
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        const BYTE r = image.rgba[i], g = image.rgba[i + 1], b = image.rgba[i + 2],
                   a = image.rgba[i + 3];
        argb.insert(argb.end(), {b, g, r, a});
        xrgb.insert(xrgb.end(), {b, g, r, 0x3C});  // the X byte is not alpha
        xrgbPixels.insert(xrgbPixels.end(), {b, g, r, 255});
        const WORD v = WORD((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        r5g6b5.insert(r5g6b5.end(), {BYTE(v), BYTE(v >> 8)});
        auto expand = [](int value, int max) { return BYTE((value * 255 + max / 2) / max); };
        r5g6b5Pixels.insert(r5g6b5Pixels.end(),
                            {expand(b >> 3, 31), expand(g >> 2, 63), expand(r >> 3, 31), 255});
    }
    out.push_back({"A8R8G8B8", D3DFMT_A8R8G8B8, 7, 5, argb, argb, true});
    out.push_back({"X8R8G8B8", D3DFMT_X8R8G8B8, 7, 5, xrgb, xrgbPixels, false});
    out.push_back({"R5G6B5", D3DFMT_R5G6B5, 7, 5, r5g6b5, r5g6b5Pixels, false});
    for (int version : {1, 5}) {
        Bytes blocks(std::size_t(version == 1 ? 8 : 16) * 3 * 2);
        for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = BYTE(i * 37 + 11);
        const auto decoded = ZelFixtures::DecodeDxtImage(version, blocks.data(), 12, 8);
        Bytes pixels;
        for (std::size_t i = 0; i < decoded.rgba.size(); i += 4)
            pixels.insert(pixels.end(), {decoded.rgba[i + 2], decoded.rgba[i + 1], decoded.rgba[i],
                                         decoded.rgba[i + 3]});
        out.push_back({version == 1 ? "DXT1" : "DXT5", version == 1 ? D3DFMT_DXT1 : D3DFMT_DXT5, 12,
                       8, blocks, pixels, true});
    }
    return out;
}

TEST_F(D3DXSave, EverySaveFormatDecodesWithTheEnginesDecoders) {
    const struct {
        D3DXIMAGE_FILEFORMAT format;
        const char* extension;
    } files[] = {{D3DXIFF_BMP, ".bmp"},
                 {D3DXIFF_TGA, ".tga"},
                 {D3DXIFF_PNG, ".png"},
                 {D3DXIFF_JPG, ".jpg"},
                 {D3DXIFF_DDS, ".dds"}};
    for (const Surface& s : Surfaces()) {
        ComRef<IDirect3DTexture9> texture;
        MakeTexture(&texture, s.width, s.height, s.format, s.bytes);
        for (const auto& f : files) {
            SCOPED_TRACE(std::string(s.name) + " as " + f.extension);
            const std::string path = (dir_.Path() / (std::string(s.name) + f.extension)).string();
            ASSERT_EQ(Save(path, f.format, texture.Get()), D3D_OK);
            const int kind = Zel::GetImageFileKind(path);
            const Zel::DecodedImage image = Decode(kind, ReadFile(path));
            ASSERT_FALSE(image.IsEmpty());
            EXPECT_EQ(image.width, s.width);
            EXPECT_EQ(image.height, s.height);
            const bool blocks = s.format == D3DFMT_DXT1 || s.format == D3DFMT_DXT5;
            if (f.format == D3DXIFF_DDS && blocks) {
                EXPECT_EQ(image.format, s.format == D3DFMT_DXT1 ? 6u : 10u);
                EXPECT_EQ(Bytes(image.data.get(), image.data.get() + image.size), s.bytes);
                continue;
            }
            const bool alpha = s.alpha && f.format != D3DXIFF_JPG;
            EXPECT_EQ(image.format, alpha ? 1u : 2u);
            Bytes expected = s.pixels;
            if (!alpha)
                for (std::size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
            // A JPEG of these noisy test patterns is only roughly the same; the smooth case below
            // bounds it closely.
            if (f.format == D3DXIFF_JPG) {
                EXPECT_LT(MeanDifference(AsSurface(image, kind), expected), 24.0);
            } else {
                EXPECT_LE(MaxDifference(AsSurface(image, kind), expected), blocks ? 1 : 0);
            }
        }
    }
}

TEST_F(D3DXSave, JpegFilesAreCloseToASmoothSurface) {
    const auto smooth = ZelFixtures::MakeSmoothImage(32, 24);
    Bytes pixels;
    for (std::size_t i = 0; i < smooth.rgba.size(); i += 4)
        pixels.insert(pixels.end(), {smooth.rgba[i + 2], smooth.rgba[i + 1], smooth.rgba[i], 255});
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 32, 24, D3DFMT_X8R8G8B8, pixels);
    const std::string path = (dir_.Path() / "smooth.jpg").string();
    ASSERT_EQ(Save(path, D3DXIFF_JPG, texture.Get()), D3D_OK);
    const auto image = Decode(Zel::IMAGE_KIND_JPEG, ReadFile(path));
    EXPECT_LE(MaxDifference(AsSurface(image, Zel::IMAGE_KIND_JPEG), pixels), 24);
    EXPECT_LT(MeanDifference(AsSurface(image, Zel::IMAGE_KIND_JPEG), pixels), 3.0);
}

TEST_F(D3DXSave, FileHeadersAreTheOnesTheEngineReads) {
    const Surface argb = Surfaces()[0], xrgb = Surfaces()[1];
    ComRef<IDirect3DTexture9> withAlpha;
    MakeTexture(&withAlpha, 7, 5, argb.format, argb.bytes);
    ComRef<IDirect3DTexture9> without;
    MakeTexture(&without, 7, 5, xrgb.format, xrgb.bytes);
    const std::string path = (dir_.Path() / "header").string();
    // BMP: BI_RGB, 32 bits with alpha, 24 without, rows bottom-up (positive height).
    ASSERT_EQ(Save(path, D3DXIFF_BMP, withAlpha.Get()), D3D_OK);
    Bytes file = ReadFile(path);
    EXPECT_EQ(file[28], 32);
    EXPECT_EQ(file[30], 0);
    EXPECT_EQ(file[22], 5);
    ASSERT_EQ(Save(path, D3DXIFF_BMP, without.Get()), D3D_OK);
    file = ReadFile(path);
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(file.size(), 54u + 5 * 24);  // 21 bytes of pixels padded to 24
    // TGA: uncompressed true colour.
    ASSERT_EQ(Save(path, D3DXIFF_TGA, withAlpha.Get()), D3D_OK);
    file = ReadFile(path);
    EXPECT_EQ(file[2], 2);
    EXPECT_EQ(file[16], 32);
    // DDS of an X8R8G8B8 surface: RGB without the alpha flag.
    ASSERT_EQ(Save(path, D3DXIFF_DDS, without.Get()), D3D_OK);
    file = ReadFile(path);
    EXPECT_EQ(file[80], 0x40);
    EXPECT_EQ(file[88], 32);
}

TEST_F(D3DXSave, RectanglesAreSavedAlone) {
    const Surface argb = Surfaces()[0];
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 7, 5, argb.format, argb.bytes);
    const RECT rect{2, 1, 6, 4};
    Bytes expected;
    for (int y = 1; y < 4; ++y)
        expected.insert(expected.end(), argb.bytes.begin() + (y * 7 + 2) * 4,
                        argb.bytes.begin() + (y * 7 + 6) * 4);
    for (auto [format, kind] : {std::pair{D3DXIFF_PNG, Zel::IMAGE_KIND_PNG},
                                {D3DXIFF_BMP, Zel::IMAGE_KIND_BMP},
                                {D3DXIFF_DDS, Zel::IMAGE_KIND_DDS}}) {
        SCOPED_TRACE(kind);
        const std::string path = (dir_.Path() / "rect").string();
        ASSERT_EQ(Save(path, format, texture.Get(), &rect), D3D_OK);
        const auto image = Decode(kind, ReadFile(path));
        ASSERT_EQ(image.width, 4u);
        ASSERT_EQ(image.height, 3u);
        EXPECT_EQ(AsSurface(image, kind), expected);
    }

    // A DXT surface keeps its blocks on block bounds and is converted off them.
    const Surface dxt5 = Surfaces()[4];
    ComRef<IDirect3DTexture9> blocks;
    MakeTexture(&blocks, 12, 8, dxt5.format, dxt5.bytes);
    const std::string path = (dir_.Path() / "blocks.dds").string();
    const RECT onBounds{4, 4, 12, 8};
    ASSERT_EQ(Save(path, D3DXIFF_DDS, blocks.Get(), &onBounds), D3D_OK);
    auto image = Decode(Zel::IMAGE_KIND_DDS, ReadFile(path));
    EXPECT_EQ(image.format, 10u);
    EXPECT_EQ(Bytes(image.data.get(), image.data.get() + image.size),
              Bytes(dxt5.bytes.begin() + 3 * 16 + 16, dxt5.bytes.end()));
    const RECT offBounds{1, 2, 4, 7};
    ASSERT_EQ(Save(path, D3DXIFF_DDS, blocks.Get(), &offBounds), D3D_OK);
    image = Decode(Zel::IMAGE_KIND_DDS, ReadFile(path));
    EXPECT_EQ(image.format, 1u);
    Bytes offExpected;
    for (int y = 2; y < 7; ++y)
        offExpected.insert(offExpected.end(), dxt5.pixels.begin() + (y * 12 + 1) * 4,
                           dxt5.pixels.begin() + (y * 12 + 4) * 4);
    EXPECT_LE(MaxDifference(AsSurface(image, Zel::IMAGE_KIND_DDS), offExpected), 1);
}

TEST_F(D3DXSave, RenderTargetsAreReadThroughACopy) {
    ComRef<IDirect3DSurface9> target;
    ASSERT_EQ(device_->CreateRenderTarget(6, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                          target.Out(), nullptr),
              D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, target.Get()), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    const std::string path = (dir_.Path() / "target.png").string();
    ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, target.Get(), nullptr, nullptr),
              D3D_OK);
    const auto image = Decode(Zel::IMAGE_KIND_PNG, ReadFile(path));
    const Bytes pixels = AsSurface(image, Zel::IMAGE_KIND_PNG);
    ASSERT_EQ(pixels.size(), 6u * 4 * 4);
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        EXPECT_EQ(Bytes(pixels.begin() + i, pixels.begin() + i + 4),
                  (Bytes{0x99, 0x66, 0x33, 0xFF}));
}

TEST_F(D3DXSave, RefusalsLeaveNoFile) {
    const Surface argb = Surfaces()[0];
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 7, 5, argb.format, argb.bytes);
    ComRef<IDirect3DSurface9> surface;
    ASSERT_EQ(texture->GetSurfaceLevel(0, surface.Out()), D3D_OK);
    const std::string path = (dir_.Path() / "refused.png").string();
    const RECT outside{0, 0, 8, 5}, empty{3, 3, 3, 4}, negative{-1, 0, 2, 2};
    EXPECT_EQ(D3DXSaveSurfaceToFileA(nullptr, D3DXIFF_PNG, surface.Get(), nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PPM, surface.Get(), nullptr, nullptr),
              D3DERR_INVALIDCALL);
    for (const RECT& r : {outside, empty, negative})
        EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, surface.Get(), nullptr, &r),
                  D3DERR_INVALIDCALL);
    EXPECT_FALSE(std::filesystem::exists(path));
    const std::string noDirectory = (dir_.Path() / "missing" / "x.png").string();
    EXPECT_EQ(
        D3DXSaveSurfaceToFileA(noDirectory.c_str(), D3DXIFF_PNG, surface.Get(), nullptr, nullptr),
        E_FAIL);
}

}  // namespace
