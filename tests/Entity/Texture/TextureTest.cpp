// Textures on the software device: the image road, uploads at padded pitches, device loss, copies,
// the reload's ".dds" sibling, byte accounting, saving, the memory check and DCs.
#include <filesystem>
#include <fstream>

#include "Entity/Image/PixelFormat.h"
#include "tests/Entity/Texture/FakeRenderTarget.h"
#include "Entity/Texture/TextureCubeMap.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Render/d3d9/TextureD3D9.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using ZelFixtures::RgbaImage;
using Texture = ZelTest::TextureTest;
using Bytes = std::vector<std::uint8_t>;

TEST_F(Texture, APngFromTheImageManagerReadsBackExactlyAtAPaddedPitch) {
    SoftAdapter::Current().rowPitchAlignment = 64;
    const RgbaImage image = ZelFixtures::MakePatternImage(9, 6);
    Write("pics\\a.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(image, false)));
    auto* loaded = static_cast<Zel::Image*>(Images()->Load("pics\\a.png"));
    ASSERT_TRUE(loaded->IsLoadSucceeded());
    Zel::TextureBase* texture = loaded->GetTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetName(), "pics\\a.png");
    std::int32_t pitch = 0;
    EXPECT_EQ(LockedLevel(texture, 0, 9 * 4, 6, &pitch), Bgra(image, false));
    EXPECT_EQ(pitch, 64);
    // Accounted at its real size, not a placeholder.
    EXPECT_EQ(texture->GetSizeInBytes(), 9u * 6 * 4);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 9u * 6 * 4 * 4 / 3);
}

TEST_F(Texture, CreateFromImageCopiesRowByRowAtThePitchOfTheLock) {
    SoftAdapter::Current().rowPitchAlignment = 64;
    const RgbaImage image = ZelFixtures::MakePatternImage(9, 5);
    Zel::Image* decoded = NewImage("skin");
    ASSERT_TRUE(decoded->LoadPreferDds(
        Write("skin.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false))));
    const Bytes pixels = SurfaceBytes(decoded->GetFirstSurface());
    ASSERT_TRUE(decoded->CreateTexture());
    EXPECT_EQ(LockedLevel(decoded->GetTexture(), 0, 9 * 4, 5), pixels);
}

TEST_F(Texture, ALostDeviceRestoresDefaultPoolTexturesFromTheirImages) {
    const RgbaImage image = ZelFixtures::MakePatternImage(8, 4);
    Zel::Image* decoded = NewImage("plain");
    ASSERT_TRUE(decoded->LoadPreferDds(
        Write("plain.tga", ZelFixtures::WriteTgaTrueColour(image, 32, false))));
    const Bytes pixels = SurfaceBytes(decoded->GetFirstSurface());
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_DEFAULT, 2);
    Zel::TextureBase* managed = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(managed->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    texture->SetImage(Zel::SharedPtr<Zel::Image>(decoded));
    ASSERT_TRUE(texture->CreateFromImage());
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 0, 32, 4), pixels);
    const std::uint32_t bytes = Textures()->GetDeviceTextureBytes();

    Textures()->OnLostDevice();
    EXPECT_EQ(texture->GetDeviceTexture(), nullptr);
    IDirect3DTexture9* kept = managed->GetDeviceTexture();
    EXPECT_NE(kept, nullptr);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), bytes - 8 * 4 * 4 * 4 / 3);
    Soft(device_)->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS parameters = Parameters();
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    Textures()->OnResetDevice();
    ASSERT_NE(texture->GetDeviceTexture(), nullptr);
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 0, 32, 4), pixels);
    EXPECT_EQ(managed->GetDeviceTexture(), kept);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), bytes);
    texture->ReleaseImage();
}

TEST_F(Texture, CopiesGoByBlockRowsWithEachLevelsSizeAndPitch) {
    SoftAdapter::Current().rowPitchAlignment = 64;
    const struct {
        int format, width, height;
    } cases[] = {{Zel::PF_DXT1, 8, 8},
                 {Zel::PF_DXT5, 12, 8},
                 {Zel::PF_DXT3, 16, 4},
                 {Zel::PF_A8R8G8B8, 6, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        Zel::TextureBase* from = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
        Zel::TextureBase* to = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
        ASSERT_TRUE(from->Create(c.width, c.height, 1, 2, c.format, 3, false));
        ASSERT_TRUE(to->Create(c.width, c.height, 1, 2, c.format, 3, false));
        std::vector<Bytes> levels;
        std::vector<std::pair<std::size_t, UINT>> shapes;
        for (int level = 0; level < 3; ++level) {
            const auto w = std::uint32_t(std::max(1, c.width >> level));
            const auto h = std::uint32_t(std::max(1, c.height >> level));
            const bool blocks = Zel::IsPixelFormatCompressed(std::uint32_t(c.format));
            const std::size_t rowBytes =
                blocks ? std::size_t(Zel::GetPixelFormatByteSize(w, 4, 1, std::uint32_t(c.format)))
                       : std::size_t(w) * 4;
            const UINT rows = blocks ? (h + 3) / 4 : h;
            shapes.emplace_back(rowBytes, rows);
            levels.push_back(Counting(rowBytes * rows, std::uint8_t(level * 50 + 1)));
            ASSERT_TRUE(FillLevel(from, level, levels.back(), rowBytes));
        }
        ASSERT_TRUE(to->CopyFrom(from, nullptr));
        EXPECT_EQ(LockedLevel(to, 0, shapes[0].first, shapes[0].second), levels[0]);
        ASSERT_TRUE(to->CopyLevelsFrom(3, from, nullptr));
        for (int level = 0; level < 3; ++level)
            EXPECT_EQ(LockedLevel(to, level, shapes[std::size_t(level)].first,
                                  shapes[std::size_t(level)].second),
                      levels[std::size_t(level)])
                << "level " << level;
    }
}

TEST_F(Texture, CopiesAreRefusedBetweenUnlikeTextures) {
    Zel::TextureBase* a = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    Zel::TextureBase* b = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(a->Create(8, 8, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    ASSERT_TRUE(b->Create(8, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_FALSE(a->CanCopyFrom(a));
    EXPECT_FALSE(a->CopyFrom(a, nullptr));
    EXPECT_FALSE(a->CopyFrom(b, nullptr));
    EXPECT_FALSE(a->CopyFrom(nullptr, nullptr));
    ASSERT_TRUE(b->Create(8, 8, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    a->SetFlags(Zel::TextureBase::FLAG_IN_USE);
    EXPECT_FALSE(a->CopyFrom(b, nullptr));
    // In use: only read locks.
    std::int32_t pitch = 1;
    void* bits = &pitch;
    EXPECT_FALSE(a->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_NORMAL));
    EXPECT_EQ(pitch, 0);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(LockedLevel(a, 0, 32, 8).size(), 256u);
    a->SetFlags(0);
    EXPECT_TRUE(a->CopyFrom(b, nullptr));
}

TEST_F(Texture, TheReloadTriesTheDdsSiblingByReplacingTheExtension) {
    const struct {
        const char* path;
        const char* sibling;
    } names[] = {{"x.jpeg", "x.dds"},
                 {"a\\b.c\\x.jpeg", "a\\b.c\\x.dds"},
                 {"a.d\\x", "a.d\\x.dds"},
                 {"y.png", "y.dds"}};
    for (const auto& n : names) EXPECT_EQ(Zel::TextureD3D9::DdsSibling(n.path), n.sibling);

    Write("x.dds", ZelFixtures::WriteDdsBlocks("DXT1", 8, 8, Bytes(32, 5)));
    Write("x.jpeg", Bytes(40, 0x22));
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    texture->SetName("x.jpeg");
    ASSERT_TRUE(texture->ReloadFromFile(0, 0, false));
    D3DSURFACE_DESC desc{};
    texture->GetDeviceTexture()->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_DXT1);
    EXPECT_EQ(texture->GetWidth(), 8);
    EXPECT_EQ(texture->GetUsedWidth(), 8);
    // Already that size: nothing to do.
    IDirect3DTexture9* before = texture->GetDeviceTexture();
    EXPECT_TRUE(texture->ReloadFromFile(8, 8, false));
    EXPECT_EQ(texture->GetDeviceTexture(), before);
    // An asynchronous reload needs exactly the manager's and one holder's reference.
    EXPECT_FALSE(texture->ReloadFromFile(4, 4, true));
    // Neither file loads.
    Zel::TextureBase* missing = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    missing->SetName("gone.png");
    EXPECT_FALSE(missing->ReloadFromFile(0, 0, false));
    EXPECT_EQ(Occurrences(LogText(), "CreateFromImage失败,返回值D3DERR_INVALIDCALL=gone.png"), 1);
}

TEST_F(Texture, ReleaseTakesBackExactlyWhatCreationAccounted) {
    Zel::TextureBase* plain = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(plain->Create(16, 16, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 1024u * 4 / 3);
    // A smaller used size changes the reported size, not what is given back.
    plain->SetUsedSize(8, 8);
    EXPECT_EQ(plain->GetSizeInBytes(), 256u);
    EXPECT_TRUE(Textures()->ForceRemove(plain));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);

    Zel::TextureBase* cube = Textures()->CreateTexture(Zel::MP_MANAGED, 4);
    ASSERT_TRUE(cube->Create(8, 8, 1, 4, Zel::PF_A8R8G8B8, 0, false));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 256u * 24 / 3);
    EXPECT_TRUE(Textures()->ForceRemove(cube));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);

    // A cube from six face images (uploaded per face), then released.
    std::array<Zel::SharedPtr<Zel::Image>, 6> faces;
    for (int i = 0; i < 6; ++i) {
        Zel::Image* face = NewImage("face" + std::to_string(i));
        const std::string name = "face" + std::to_string(i) + ".tga";
        ASSERT_TRUE(face->LoadPreferDds(
            Write(name, ZelFixtures::WriteTgaTrueColour(ZelFixtures::MakePatternImage(4, 4, i + 1),
                                                        32, false))));
        faces[std::size_t(i)].Assign(face);
    }
    auto* fromImages = static_cast<Zel::TextureCubeMap*>(Textures()->CreateTexture(0, 4));
    ASSERT_TRUE(fromImages->SetImages(faces));
    ASSERT_TRUE(fromImages->CreateFromImage());
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 64u * 24 / 3);
    fromImages->ReleaseImage();
    EXPECT_TRUE(Textures()->ForceRemove(fromImages));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 0u);
    // Faces that differ are not bound.
    Zel::Image* odd = NewImage("odd");
    ASSERT_TRUE(
        odd->LoadPreferDds(Write("odd.tga", ZelFixtures::WriteTgaTrueColour(
                                                ZelFixtures::MakePatternImage(8, 4), 32, false))));
    faces[3].Assign(odd);
    auto* mismatched = static_cast<Zel::TextureCubeMap*>(Textures()->CreateTexture(1, 4));
    EXPECT_FALSE(mismatched->SetImages(faces));
    EXPECT_EQ(mismatched->GetFaceImage(0), nullptr);
}

TEST_F(Texture, SavingMapsEachImageKindToItsFileFormat) {
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(texture->Create(8, 8, 1, 2, Zel::PF_X8R8G8B8, 1, false));
    const struct {
        int kind;
        const char* file;
        Bytes magic;
    } cases[] = {{0, "s.bmp", {'B', 'M'}},
                 {1, "s.jpg", {0xFF, 0xD8}},
                 {2, "s.tga", {0, 0, 2}},
                 {3, "s.png", {0x89, 'P', 'N', 'G'}},
                 {4, "s.dds", {'D', 'D', 'S', ' '}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(texture->SaveToFile(c.file, c.kind));
        std::ifstream in(c.file, std::ios::binary);
        Bytes head(c.magic.size());
        in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
        EXPECT_EQ(head, c.magic);
    }
    EXPECT_FALSE(texture->SaveToFile("s.xyz", 5));
}

TEST_F(Texture, TheMemoryCheckRefusesWhatDoesNotFitAfterCollecting) {
    Textures()->SetVideoMemoryBudget(2048);
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(idle->Create(16, 16, 1, 2, Zel::PF_A8R8G8B8, 1, false));  // 1365 bytes
    // 3000 bytes need 1500 free: the idle texture is purged to make room.
    Zel::TextureBase* big = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    big->AddRef();
    ASSERT_TRUE(big->Create(25, 30, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_FALSE(Textures()->Contains(idle));
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 25u * 30 * 4 * 4 / 3);
    // Nothing left to purge: refused, nothing accounted, no device texture.
    Zel::TextureBase* refused = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    refused->AddRef();
    EXPECT_FALSE(refused->Create(32, 32, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_EQ(refused->GetDeviceTexture(), nullptr);
    EXPECT_EQ(Textures()->GetDeviceTextureBytes(), 25u * 30 * 4 * 4 / 3);
    EXPECT_EQ(Occurrences(LogText(), " 创建贴图失败，显存不足"), 1);
    // Without a budget figure everything fits.
    Textures()->SetVideoMemoryBudget(0);
    EXPECT_TRUE(refused->Create(32, 32, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_GE(Occurrences(LogText(), "可用显存返回0!,直接返回true"), 1);
    big->DecRef();
    refused->DecRef();
}

TEST_F(Texture, ASecondGetDcFailsAndKeepsTheFirst) {
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    texture->SetName("dc.png");
    ASSERT_TRUE(texture->Create(8, 8, 1, 2, Zel::PF_X8R8G8B8, 1, false));
    HDC dc = texture->GetDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(texture->GetDC(), nullptr);
    texture->ReleaseDC(nullptr);
    texture->ReleaseDC(dc);
    texture->ReleaseDC(dc);
    const std::string log = LogText();
    EXPECT_EQ(Occurrences(log, "Error! recursive GetDC not allowed! dc.png"), 1);
    EXPECT_EQ(Occurrences(log, "Error! can't release NULL HDC!  dc.png"), 1);
    EXPECT_EQ(Occurrences(log, "Error! can't release HDC! dc.png"), 1);
    // The level can be locked again once the DC is back.
    EXPECT_EQ(LockedLevel(texture, 0, 32, 8).size(), 256u);
}

}  // namespace

namespace {

TEST_F(Texture, OnA9ExDeviceManagedTexturesAreWrittenThroughASystemCopy) {
    ComRef<IDirect3DDevice9> ex;
    MakeDevice(&ex, true);
    Textures()->SetDevice(ex.Get());
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(texture->Create(8, 4, 1, 2, Zel::PF_A8R8G8B8, 2, false));
    D3DSURFACE_DESC desc{};
    texture->GetDeviceTexture()->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    const Bytes level0 = Counting(8 * 4 * 4), level1 = Counting(4 * 2 * 4, 90);
    ASSERT_TRUE(FillLevel(texture, 0, level0, 32));
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 0, 32, 4), level0);
    ASSERT_TRUE(FillLevel(texture, 1, level1, 16));
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 1, 16, 2), level1);
    // All levels at once: the copy is uploaded and let go at the end.
    std::vector<Zel::TextureBase::LockRecord> records;
    ASSERT_TRUE(texture->LockAllLevels(records));
    ASSERT_EQ(records.size(), 2u);
    static_cast<std::uint8_t*>(records[1].bits)[0] = 0xAB;
    texture->UnlockAllLevels();
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 1, 16, 2)[0], 0xAB);
    EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 0, 32, 4), level0);
    EXPECT_TRUE(Textures()->ForceRemove(texture));
}

// A level the CPU cannot reach is read back from the device: after the system copy is let go (as
// every creation from an image does), a lock still sees the pixels, a copy out of the texture
// carries them, and a write to part of a level keeps the rest.
TEST_F(Texture, LocksOfDeviceOnlyTexturesSeeWhatTheDeviceHolds) {
    const struct {
        const char* name;
        std::uint32_t pool;
        bool ex;
        int format;
        std::size_t rowBytes0, rowBytes1;
        UINT rows0, rows1;
    } cases[] = {{"default A8R8G8B8", Zel::MP_DEFAULT, false, Zel::PF_A8R8G8B8, 32, 16, 8, 4},
                 {"default DXT5", Zel::MP_DEFAULT, false, Zel::PF_DXT5, 32, 16, 2, 1},
                 {"managed on 9Ex", Zel::MP_MANAGED, true, Zel::PF_A8R8G8B8, 32, 16, 8, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComRef<IDirect3DDevice9> device;
        MakeDevice(&device, c.ex);
        Textures()->SetDevice(device.Get());
        Zel::TextureBase* texture = Textures()->CreateTexture(c.pool, 2);
        ASSERT_TRUE(texture->Create(8, 8, 1, 2, c.format, 2, false));
        const Bytes level0 = Counting(c.rowBytes0 * c.rows0),
                    level1 = Counting(c.rowBytes1 * c.rows1, 90);
        ASSERT_TRUE(FillLevel(texture, 0, level0, c.rowBytes0));
        ASSERT_TRUE(FillLevel(texture, 1, level1, c.rowBytes1));
        texture->ReleaseSystemCopy();
        EXPECT_EQ(LockedLevel(texture, 0, c.rowBytes0, c.rows0), level0);
        texture->ReleaseSystemCopy();
        EXPECT_EQ(LockedLevel(texture, 1, c.rowBytes1, c.rows1), level1);

        // Out of the texture into one the CPU reaches: the pixels, not zeros.
        Zel::TextureBase* copy = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
        ASSERT_TRUE(copy->Create(8, 8, 1, 2, c.format, 2, false));
        texture->ReleaseSystemCopy();
        ASSERT_TRUE(copy->CopyLevelsFrom(2, texture, nullptr));
        EXPECT_EQ(LockedLevel(copy, 0, c.rowBytes0, c.rows0), level0);
        EXPECT_EQ(LockedLevel(copy, 1, c.rowBytes1, c.rows1), level1);

        // One block (DXT) or one 4 x 4 corner rewritten; the rest of the level stays.
        texture->ReleaseSystemCopy();
        const RECT corner{4, 4, 8, 8};
        std::int32_t pitch = 0;
        void* bits = nullptr;
        ASSERT_TRUE(texture->LockLevel(0, &pitch, &bits, &corner, Zel::LO_NORMAL));
        std::memset(bits, 0xEE, 16);
        texture->UnlockLevel();
        Bytes expected = level0;
        const std::size_t at = c.format == Zel::PF_DXT5 ? c.rowBytes0 + 16 : 4 * c.rowBytes0 + 16;
        std::fill_n(expected.begin() + std::ptrdiff_t(at), 16, std::uint8_t(0xEE));
        EXPECT_EQ(DeviceLevel(texture->GetDeviceTexture(), 0, c.rowBytes0, c.rows0), expected);

        EXPECT_TRUE(Textures()->ForceRemove(copy));
        EXPECT_TRUE(Textures()->ForceRemove(texture));
    }
}

TEST_F(Texture, ARenderTargetIsReadBackAndAFailedReadIsReported) {
    IDirect3DTexture9* colour = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, &colour, nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    colour->GetSurfaceLevel(0, &surface);
    SoftSurface9::From(surface)->FillColor(RECT{0, 0, 8, 4}, 0x80402010);
    ZelTest::FakeRenderTarget target;
    target.SetD3DSurface(surface, 8, 4);
    const Bytes expected = [] {
        Bytes b;
        for (int i = 0; i < 32; ++i) b.insert(b.end(), {0x10, 0x20, 0x40, 0x80});
        return b;
    }();
    const struct {
        std::uint32_t pool;
        bool scratch;
    } cases[] = {{Zel::MP_SYSTEM_MEMORY, false}, {Zel::MP_MANAGED, true}, {Zel::MP_MANAGED, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pool * 10 + c.scratch);
        Zel::TextureBase* texture = Textures()->CreateTexture(c.pool, 2);
        ASSERT_TRUE(texture->Create(8, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
        Zel::TextureBase* scratch = nullptr;
        if (c.scratch) {
            scratch = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
            ASSERT_TRUE(scratch->Create(8, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
        }
        ASSERT_TRUE(texture->CopyFromRenderTarget(&target, scratch));
        EXPECT_EQ(LockedLevel(texture, 0, 32, 4), expected);
    }
    // A texture of another size cannot receive the target's surface.
    Zel::TextureBase* wrong = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    ASSERT_TRUE(wrong->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_FALSE(wrong->CopyFromRenderTarget(&target, nullptr));
    const std::size_t count = Textures()->GetTextureCount();
    Zel::TextureBase* managed = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(managed->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    EXPECT_FALSE(managed->CopyFromRenderTarget(&target, nullptr));
    // The temporary texture went back to the manager.
    EXPECT_EQ(Textures()->GetTextureCount(), count + 1);
    surface->Release();
    colour->Release();
}

}  // namespace

namespace {

TEST_F(Texture, AnImageThatDoesNotFitIsHalvedUntilItDoes) {
    Zel::Image* wide = NewImage("wide");
    Zel::Image* thin = NewImage("thin");
    ASSERT_TRUE(
        wide->LoadPreferDds(Write("wide.tga", ZelFixtures::WriteTgaTrueColour(
                                                  ZelFixtures::MakeSmoothImage(8, 8), 32, false))));
    ASSERT_TRUE(thin->LoadPreferDds(
        Write("thin.tga",
              ZelFixtures::WriteTgaTrueColour(ZelFixtures::MakeSmoothImage(1, 64), 32, false))));
    // The collection a refusal runs frees images nobody holds.
    const Zel::SharedPtr<Zel::Image> holdWide(wide), holdThin(thin);
    // 8 x 8 needs 170 bytes free, 4 x 4 only 42.
    Textures()->SetVideoMemoryBudget(100);
    Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    texture->SetImage(holdWide);
    ASSERT_TRUE(texture->CreateFromImage());
    EXPECT_EQ(texture->GetWidth(), 4);
    EXPECT_EQ(wide->GetFirstSurface()->GetWidth(), 4u);
    EXPECT_EQ(LockedLevel(texture, 0, 16, 4), SurfaceBytes(wide->GetFirstSurface()));
    texture->ReleaseImage();
    // A side of 1 cannot be halved: the creation fails with the image as it was.
    Zel::TextureBase* refused = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    refused->SetImage(holdThin);
    EXPECT_FALSE(refused->CreateFromImage());
    EXPECT_EQ(thin->GetFirstSurface()->GetHeight(), 64u);
    EXPECT_EQ(refused->GetDeviceTexture(), nullptr);
    EXPECT_EQ(Occurrences(LogText(), "创建贴图失败，显存不足 thin.tga"), 1);
    refused->ReleaseImage();
}

}  // namespace

namespace {

TEST_F(Texture, AResetThatMustPurgeToMakeRoomKeepsTheTexturesItWalks) {
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    Zel::TextureBase* target = Textures()->CreateTexture(Zel::MP_DEFAULT, 2);
    ASSERT_TRUE(idle->Create(64, 64, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    ASSERT_TRUE(target->Create(64, 64, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    Textures()->OnLostDevice();
    // The default-pool texture fits again only once the idle one is purged.
    Textures()->SetVideoMemoryBudget(21845 + 10000);
    Soft(device_)->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS parameters = Parameters();
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    Textures()->OnResetDevice();
    EXPECT_FALSE(Textures()->Contains(idle));
    ASSERT_TRUE(Textures()->Contains(target));
    EXPECT_NE(target->GetDeviceTexture(), nullptr);
    EXPECT_EQ(target->GetRefCount(), 1);
}

}  // namespace

namespace {

TEST_F(Texture, CreatePassesTheUsageItComputes) {
    Zel::TextureBase::SetAutoMipmap(true);
    const struct {
        std::uint32_t pool;
        int levels;
        DWORD usage;
        UINT deviceLevels;
        bool fullChain;
    } cases[] = {
        {Zel::MP_MANAGED, 1, D3DUSAGE_AUTOGENMIPMAP, 1, true},  // the device's chain
        {Zel::MP_MANAGED, 3, 0, 3, false},                      // levels of its own
        {Zel::MP_SYSTEM_MEMORY, 1, 0, 1, false},                // never in system memory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pool * 10 + c.levels);
        Zel::TextureBase* texture = Textures()->CreateTexture(c.pool, 2);
        ASSERT_TRUE(texture->Create(8, 8, 1, 2, Zel::PF_A8R8G8B8, c.levels, false));
        D3DSURFACE_DESC desc{};
        texture->GetDeviceTexture()->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Usage & D3DUSAGE_AUTOGENMIPMAP, c.usage);
        EXPECT_EQ(texture->GetDeviceTexture()->GetLevelCount(), c.deviceLevels);
        EXPECT_EQ((texture->GetFlags() & Zel::TextureBase::FLAG_FULL_MIP) != 0, c.fullChain);
        EXPECT_EQ(texture->GetSizeInBytes(), c.fullChain ? 256u * 4 / 3 : 256u);
    }
    Zel::TextureBase::SetAutoMipmap(false);
}

}  // namespace
