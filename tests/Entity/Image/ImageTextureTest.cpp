// The image resource with the texture manager: the ordinary load road, textures made from decoded
// images, the default image and texture, and unloading.
#include "Core/IZelStream.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureBase.h"
#include "tests/Entity/Image/ImageResourceFixture.h"

namespace {

using ZelFixtures::Bytes;
using ZelFixtures::RgbaImage;
using ImageTexture = ZelTest::ImageResourceTest;

// Level bytes of a texture, without row padding.
Bytes ReadLevel(IDirect3DTexture9* texture, UINT level, std::size_t rowBytes, UINT rows) {
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    Bytes out;
    for (UINT y = 0; y < rows; ++y) {
        const auto* row = static_cast<const BYTE*>(locked.pBits) + std::size_t(locked.Pitch) * y;
        out.insert(out.end(), row, row + rowBytes);
    }
    texture->UnlockRect(level);
    return out;
}

TEST_F(ImageTexture, TheOrdinaryLoadHandsTheFileToTheTextureManager) {
    AttachDevice();
    const RgbaImage image = ZelFixtures::MakePatternImage(9, 6);
    Write("pics\\colour.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false)));
    Write("pics\\alpha.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false));
    Write("pics\\blocks.dds", ZelFixtures::WriteDdsBlocks("DXT3", 8, 4, Bytes(32, 7)));
    const struct {
        const char* name;
        std::uint32_t format;
        int width, height;
    } cases[] = {{"pics\\colour.png", Zel::PF_X8R8G8B8, 9, 6},
                 {"pics\\alpha.tga", Zel::PF_A8R8G8B8, 9, 6},
                 {"pics\\blocks.dds", Zel::PF_DXT3, 8, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* loaded = static_cast<Zel::Image*>(Images()->Load(c.name));
        ASSERT_NE(loaded, nullptr);
        EXPECT_TRUE(loaded->IsLoadSucceeded());
        EXPECT_EQ(loaded->GetFormat(), c.format);
        EXPECT_EQ(loaded->GetMipCount(), 1u);
        EXPECT_EQ(loaded->GetSurfaceCount(), 0u);
        EXPECT_EQ(loaded->GetSizeField(), 0u);
        Zel::TextureBase* texture = loaded->GetTexture();
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetRefCount(), 2);  // the manager's and the image's
        EXPECT_EQ(texture->GetImage(), loaded);
        EXPECT_EQ(texture->GetWidth(), c.width);
        EXPECT_EQ(texture->GetHeight(), c.height);
        EXPECT_EQ(texture->GetFormat(), int(c.format));
        EXPECT_EQ(loaded->CreateDefaultTexture(), texture);
    }
    // The texels of the first one.
    auto* colour = static_cast<Zel::Image*>(Images()->GetByName("pics\\colour.png"));
    EXPECT_EQ(ReadLevel(colour->GetTexture()->GetDeviceTexture(), 0, 9 * 4, 6), Bgra(image, false));
    EXPECT_EQ(Textures()->GetTextureCount(), 3u);
}

TEST_F(ImageTexture, TheOrdinaryLoadPrefersTheDdsSiblingAndReportsWhatIsMissing) {
    AttachDevice();
    Write("a.png", ZelFixtures::WritePng(
                       ZelFixtures::PngFromRgba(ZelFixtures::MakePatternImage(4, 4), true)));
    Write("a.dds", ZelFixtures::WriteDdsBlocks("DXT5", 4, 4, Bytes(16, 3)));
    Config()->SetPreferDDS(true);
    auto* preferred = static_cast<Zel::Image*>(Images()->Load("a.png"));
    EXPECT_EQ(preferred->GetFormat(), Zel::PF_DXT5);

    auto* missing = static_cast<Zel::Image*>(Images()->Load("gone.png"));
    EXPECT_TRUE(missing->IsLoaded());
    EXPECT_FALSE(missing->IsLoadSucceeded());
    EXPECT_EQ(missing->GetTexture(), nullptr);
    // A file the device's loader refuses: its texture goes back to the manager.
    Write("bad.png", Bytes(64, 0x11));
    auto* bad = static_cast<Zel::Image*>(Images()->Load("bad.png"));
    EXPECT_FALSE(bad->IsLoadSucceeded());
    EXPECT_EQ(Textures()->GetTextureCount(), 1u);
    EXPECT_FALSE(bad->LoadFromStream(nullptr));
    const std::string log = LogText();
    EXPECT_EQ(Occurrences(log, " Image::LoadImpl 未找到文件, file = gone.png"), 1) << log;
    EXPECT_EQ(Occurrences(log, "读取贴图失败，gone.png"), 1) << log;
    EXPECT_EQ(Occurrences(log, " Image::LoadFromStream failed, file = bad.png"), 1) << log;
    EXPECT_EQ(Occurrences(log, "pStream==NULL"), 1) << log;
    EXPECT_EQ(Occurrences(log, "Fun=Zel::Image::LoadFromStream"), 1) << log;
}

TEST_F(ImageTexture, WithoutADeviceNoTextureIsMade) {
    const RgbaImage image = ZelFixtures::MakePatternImage(4, 4);
    Write("a.bmp", ZelFixtures::WriteBmpTrueColour(image, 24, false));
    auto* ordinary = static_cast<Zel::Image*>(Images()->Load("a.bmp"));
    EXPECT_FALSE(ordinary->IsLoadSucceeded());
    // The decode road needs no device; its texture cannot be made, the pixels stay.
    Zel::Image* decoded = NewImage("b");
    ASSERT_TRUE(decoded->LoadPreferDds("a.bmp"));
    EXPECT_FALSE(decoded->CreateTexture());
    EXPECT_EQ(decoded->GetSurfaceCount(), 1u);
    EXPECT_EQ(decoded->CreateDefaultTexture(), nullptr);
    EXPECT_EQ(Occurrences(LogText(), "Image::CreateDefaultTexture() 不应该再进入此函数"), 1);
}

TEST_F(ImageTexture, ATextureFromADecodedImageTakesEveryLevelAndTheImageLetsItsPixelsGo) {
    AttachDevice();
    Config()->SetCompressToDDS(true);
    const RgbaImage image = ZelFixtures::MakeSmoothImage(32, 16);
    Zel::Image* loaded = NewImage("skin");
    ASSERT_TRUE(loaded->LoadPreferDds(
        Write("body\\skin.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false))));
    ASSERT_EQ(loaded->GetMipCount(), 3u);  // 32x16, 16x8, 8x4
    std::vector<Bytes> levels;
    for (std::size_t i = 0; i < 3; ++i) levels.push_back(SurfaceBytes(loaded->GetSurface(i)));
    const std::uint32_t bytes = Images()->GetActiveBytes();
    ASSERT_EQ(bytes, loaded->GetSizeField());

    ASSERT_TRUE(loaded->CreateTexture());
    Zel::TextureBase* texture = loaded->GetTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetName(), "body\\skin.tga");
    EXPECT_EQ(texture->GetFormat(), int(Zel::PF_DXT5));
    IDirect3DTexture9* device = texture->GetDeviceTexture();
    ASSERT_EQ(device->GetLevelCount(), 3u);
    const UINT widths[] = {32, 16, 8}, heights[] = {16, 8, 4};
    for (UINT level = 0; level < 3; ++level)
        EXPECT_EQ(ReadLevel(device, level, widths[level] / 4 * 16, heights[level] / 4),
                  levels[level]);
    // The texture's pool restores itself: the pixels are freed and leave the manager's count.
    EXPECT_EQ(texture->GetPool(), 1u);
    EXPECT_EQ(loaded->GetSurfaceCount(), 0u);
    EXPECT_EQ(loaded->GetSizeField(), 0u);
    EXPECT_EQ(Images()->GetActiveBytes(), 0u);

    // Unloading gives the texture back and resets the image.
    loaded->Unload();
    EXPECT_FALSE(loaded->IsLoaded());
    EXPECT_EQ(loaded->GetTexture(), nullptr);
    EXPECT_EQ(loaded->GetFormat(), 0u);
    EXPECT_EQ(loaded->GetMipCount(), 0u);
    EXPECT_TRUE(loaded->IsNotDxt());
    EXPECT_EQ(Textures()->GetTextureCount(), 0u);
    EXPECT_EQ(Images()->GetActiveBytes(), 0u);
    // Only an image whose load succeeded makes a texture.
    EXPECT_FALSE(loaded->CreateTexture());
}

TEST_F(ImageTexture, OnlyTheLoadSucceededFlagLetsATextureBeMade) {
    AttachDevice();
    const Bytes file =
        ZelFixtures::WriteBmpTrueColour(ZelFixtures::MakePatternImage(8, 8), 24, false);
    Write("flags.bmp", file);
    // Bit 0 says a load ran, bit 4 that it succeeded; only bit 4 counts.
    const struct {
        bool loaded, succeeded, made;
    } cases[] = {
        {true, true, true}, {false, true, true}, {true, false, false}, {false, false, false}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "loaded " << c.loaded << ", succeeded " << c.succeeded);
        Zel::Image* image = NewImage("flags" + std::to_string(n++));
        ASSERT_TRUE(image->LoadPreferDds("flags.bmp"));
        ASSERT_EQ(image->GetSurfaceCount(), 1u);
        image->SetLoaded(c.loaded);
        image->SetLoadSucceeded(c.succeeded);
        EXPECT_EQ(image->GetFlags() & 0x11u, (c.loaded ? 0x1u : 0u) | (c.succeeded ? 0x10u : 0u));
        EXPECT_EQ(image->CreateTexture(), c.made);
        EXPECT_EQ(image->GetTexture() != nullptr, c.made);
    }
}

TEST_F(ImageTexture, UnloadingADecodedImageTakesItsBytesOffTheCount) {
    Zel::Image* loaded = NewImage("plain");
    ASSERT_TRUE(loaded->LoadPreferDds(
        Write("plain.bmp",
              ZelFixtures::WriteBmpTrueColour(ZelFixtures::MakePatternImage(8, 8), 24, false))));
    EXPECT_EQ(Images()->GetActiveBytes(), 256u);
    loaded->Unload();
    EXPECT_EQ(Images()->GetActiveBytes(), 0u);
    EXPECT_EQ(loaded->GetSurfaceCount(), 0u);
    EXPECT_EQ(loaded->GetSizeField(), 0u);
    // And it may be loaded again.
    EXPECT_TRUE(loaded->LoadPreferDds("plain.bmp"));
    EXPECT_EQ(Images()->GetActiveBytes(), 256u);
}

TEST_F(ImageTexture, TheDefaultImageIsACheckerWithItsTexture) {
    AttachDevice();
    Zel::Image* image = Images()->GetDefaultImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Images()->GetDefaultImage(), image);
    EXPECT_EQ(Images()->GetByName("DefaultImage"), image);
    EXPECT_EQ(image->GetGroup(), "");
    EXPECT_TRUE(image->IsLoaded());
    EXPECT_TRUE(image->IsLoadSucceeded());
    EXPECT_EQ(image->GetFormat(), Zel::PF_X8R8G8B8);
    Zel::TextureBase* texture = image->GetTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 32);
    EXPECT_EQ(texture->GetHeight(), 32);
    // Its pixels went to the texture: black at the top-left 8 x 8 cell, white beside it.
    EXPECT_EQ(image->GetSurfaceCount(), 0u);
    EXPECT_EQ(Images()->GetActiveBytes(), 0u);
    const Bytes texels = ReadLevel(texture->GetDeviceTexture(), 0, 32 * 4, 32);
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x) {
            const bool black = (x / 8 + y / 8) % 2 == 0;
            const BYTE* p = &texels[(y * 32 + x) * 4];
            for (int k = 0; k < 3; ++k) EXPECT_EQ(p[k], black ? 0 : 255) << x << "," << y;
        }
    // The texture manager's default texture is that texture, kept by the manager.
    EXPECT_EQ(Textures()->GetDefaultTexture(), texture);
    EXPECT_TRUE(Textures()->ForceRemove(texture));
    EXPECT_EQ(Textures()->GetDefaultTexture(), texture);
    // An image without a texture falls back to it, with the report.
    Zel::Image* empty = NewImage("empty");
    EXPECT_EQ(empty->CreateDefaultTexture(), texture);
}

TEST_F(ImageTexture, TheCheckerFillsAnySize) {
    Zel::Image* image = NewImage("checker");
    image->FillChecker(6, 3, 0xFF102030, 0xFF405060);  // cells of 1 x 1
    ASSERT_EQ(image->GetSurfaceCount(), 1u);
    const Zel::ImageSurface* surface = image->GetFirstSurface();
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 6; ++x) {
            const BYTE* p = surface->GetData() + (y * 6 + x) * 4;
            const bool b = (x + y) % 2 == 0;
            EXPECT_EQ(p[0], b ? 0x60 : 0x30);
            EXPECT_EQ(p[1], b ? 0x50 : 0x20);
            EXPECT_EQ(p[2], b ? 0x40 : 0x10);
        }
}

TEST_F(ImageTexture, AForceRemoveOfASharedTextureIsRefused) {
    AttachDevice();
    Zel::TextureBase* texture = Textures()->CreateTexture(1, 2);
    ASSERT_NE(texture, nullptr);
    texture->AddRef();
    EXPECT_FALSE(Textures()->ForceRemove(texture));
    EXPECT_EQ(Occurrences(LogText(), "Can't forceremove this resource!"), 1);
    texture->DecRef();
    EXPECT_TRUE(Textures()->ForceRemove(texture));
    EXPECT_EQ(Textures()->GetTextureCount(), 0u);
}

}  // namespace
