// The spliced body texture: nine part images composed into the atlas against the fixtures'
// reference splice, the level-of-detail sizes, the DXT5 upload,
// custom textures, the texture registry and the texture report's Actor list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ActorFixture.h"
#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Entity/Character/ActorBodyTexture.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Image/DecodedImage.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Scene/RenderCorePipeline.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "fixtures/ActorAtlasReference.h"
#include "fixtures/DxtReference.h"
#include "fixtures/ImageFixtures.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Actor;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kAtlas = 1024;

// B, G, R, A pixels of part n's image.
Bytes PartPixels(std::uint32_t n) {
    return ZelFixtures::MakeSmoothImage(ZelFixtures::ActorPartWidth(n),
                                        ZelFixtures::ActorPartHeight(n), 7 + n)
        .Bgra();
}

// The fixtures' reference splice of the nine images.
Bytes ReferenceAtlas() {
    std::vector<Bytes> images;
    for (std::uint32_t n = 0; n < 9; ++n) images.push_back(PartPixels(n));
    Bytes atlas;
    ZelFixtures::SpliceActorAtlas(images, atlas);
    return atlas;
}

// The largest channel difference; rows of the texture run bottom-up against the atlas.
int MaxDifference(const Bytes& expected, std::uint32_t width, std::uint32_t height,
                  const std::uint8_t* bits, std::int32_t pitch) {
    int worst = 0;
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t i = 0; i < width * 4; ++i) {
            const int e = expected[std::size_t(height - 1 - r) * width * 4 + i];
            worst = std::max(worst, std::abs(e - int(bits[std::size_t(r) * pitch + i])));
        }
    return worst;
}

// 2 x 2 box average, the reference of the halving filter.
Bytes Halve(const Bytes& in, std::uint32_t width) {
    const std::uint32_t w = width / 2;
    Bytes out(std::size_t(w) * w * 4);
    for (std::uint32_t y = 0; y < w; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += in[(std::size_t(2 * y + dy) * width + 2 * x + dx) * 4 + k];
                out[(std::size_t(y) * w + x) * 4 + k] = std::uint8_t((sum + 2) / 4);
            }
    return out;
}

// A level of the device texture as the device holds it (rows at its pitch).
struct Level {
    std::int32_t pitch = 0;
    Bytes bytes;
};
Level ReadLevel(Zel::TextureBase& texture, unsigned level) {
    Level out;
    SoftBaseTexture9* soft =
        texture.GetDeviceTexture() ? SoftBaseTexture9::From(texture.GetDeviceTexture()) : nullptr;
    const SoftSurface9* surface = soft ? soft->Level(0, level) : nullptr;
    if (!surface)
        return out;
    const unsigned rows =
        texture.GetFormat() == int(Zel::PF_DXT5) ? (surface->Height() + 3) / 4 : surface->Height();
    out.pitch = std::int32_t(surface->Pitch());
    out.bytes.assign(surface->Bits(), surface->Bits() + std::size_t(rows) * surface->Pitch());
    return out;
}

std::string Element(const char* format, int size) {
    return "<TexturePoolElement MaxNumber=\"2\" TextureFormat=\"" + std::string(format) +
           "\" TexWidth=\"" + std::to_string(size) + "\" TexHeight=\"" + std::to_string(size) +
           "\"/>";
}

class ActorBodyTextureTest : public ActorTest {
protected:
    void SetUp() override {
        ActorTest::SetUp();
        Textures().SetDevice(Device().GetD3DDevice(), &Device());
        G()->GetConfigManager()->SetValue(Actor::kBodyTextureSwitch, 1);
        G()->GetConfigManager()->SetCompressToDDS(false);
        // Levels: 0 32-bit 1024, 1 32-bit 512, 2 DXT5 1024, 3 DXT5 512, 4 32-bit 2048.
        std::ofstream("LodConfig.xml")
            << "<LodConfig><TexturePool LodNumber=\"5\" MaxSize=\"64\">"
            << Element("PF_A8R8G8B8", 1024) << Element("PF_A8R8G8B8", 512)
            << Element("PF_DXT5", 1024) << Element("PF_DXT5", 512) << Element("PF_A8R8G8B8", 2048)
            << "</TexturePool></LodConfig>";
        Textures().LoadTexturePoolConfig();
    }

    void TearDown() override {
        for (Zel::NewActor* n : newActors_) G()->GetNewActorFactory()->Release(n);
        newActors_.clear();
        ActorTest::TearDown();
    }

    ~ActorBodyTextureTest() override {
        if (plainDevice_)
            plainDevice_->Release();
    }

    Zel::TextureManager& Textures() { return *G()->GetTextureManager(); }

    // A dressed actor whose parts show the synthetic images.
    Actor* Painted() {
        Actor* a = Dressed();
        for (std::uint32_t n = 0; n < 9; ++n) {
            images_.push_back(
                std::make_unique<Zel::Image>(nullptr, "part" + std::to_string(n), "Image", 0));
            Zel::Image& image = *images_.back();
            Fill(image, PartPixels(n), ZelFixtures::ActorPartWidth(n),
                 ZelFixtures::ActorPartHeight(n));
            a->SetPartImage(n, &image);
        }
        return a;
    }

    // The image holds the B, G, R, A pixels, loaded.
    static void Fill(Zel::Image& image, const Bytes& pixels, std::uint32_t width,
                     std::uint32_t height) {
        Zel::DecodedImage d;
        d.format = Zel::PF_A8R8G8B8;
        d.width = width;
        d.height = height;
        d.pitch = d.width * 4;
        d.bytesPerPixel = 4;
        d.size = std::uint32_t(pixels.size());
        d.data = std::make_unique<std::uint8_t[]>(pixels.size());
        std::memcpy(d.data.get(), pixels.data(), pixels.size());
        EXPECT_TRUE(image.CreateFromDecoded(d, false));
        image.MarkLoaded();
    }

    // Level 0 of the actor's body texture against the expected pixels.
    int Level0Difference(Actor& a, const Bytes& expected, std::uint32_t size) {
        Zel::TextureBase* t = a.GetBodyTexture();
        EXPECT_NE(t, nullptr);
        if (!t)
            return 999;
        EXPECT_EQ(t->GetWidth(), int(size));
        const Level level = ReadLevel(*t, 0);
        if (level.bytes.empty())
            return 999;
        return MaxDifference(expected, size, size, level.bytes.data(), level.pitch);
    }

    std::vector<std::unique_ptr<Zel::Image>> images_;
    std::vector<Zel::NewActor*> newActors_;
    // Released after the textures made on it.
    IDirect3DDevice9* plainDevice_ = nullptr;
};

TEST_F(ActorBodyTextureTest, NinePartImagesSpliceIntoTheReferenceAtlas) {
    Actor* a = Painted();
    ASSERT_TRUE(a->GetFlagWord() & Actor::kBodyTextureDirty);
    a->RebuildBodyTexture();
    EXPECT_FALSE(a->GetFlagWord() & Actor::kBodyTextureDirty);
    EXPECT_LE(Level0Difference(*a, ReferenceAtlas(), kAtlas), 1);
    Zel::TextureBase* t = a->GetBodyTexture();
    EXPECT_EQ(t->GetName(), "actortexture");
    EXPECT_TRUE(G()->GetActorBodyTexture()->Contains(t));
    // Every pass of the actor's materials draws with it, also of a material made afterwards.
    std::uint32_t bound = 0;
    for (std::uint32_t m = 0; m < Actor::kMaterialSlotCount; ++m)
        if (Zel::Material* material = a->GetActorMaterial(m)) {
            for (std::uint32_t p = 0; p < material->GetPassCount(); ++p, ++bound)
                EXPECT_EQ(material->GetPass(p)->GetStageTexture(0), t) << m << "/" << p;
        }
    EXPECT_GT(bound, 0u);
    Zel::Material* cloth = a->GetOrCreatePartMaterial("3", true);
    EXPECT_EQ(cloth->GetPass(0)->GetStageTexture(0), t);

    // The texture report lists it with the actors' textures.
    std::ostringstream report;
    Textures().WriteResourceReport(report);
    EXPECT_NE(report.str().find("Actor List : \n0 : 1024 x 1024,  Size="), std::string::npos)
        << report.str();
}

TEST_F(ActorBodyTextureTest, TheLevelOfDetailSizesTheTexture) {
    const Bytes atlas = ReferenceAtlas();
    const Bytes half = Halve(atlas, kAtlas);
    struct Case {
        std::int32_t level;
        std::uint32_t size;
        bool dxt;
    };
    // A 2048 level is refused and built at 1024.
    const Case cases[] = {{1, 512, false}, {4, 1024, false}, {2, 1024, true}, {3, 512, true}};
    for (const Case& c : cases) {
        Actor* a = Painted();
        a->SetLodLevel(c.level);
        a->MarkBodyTextureDirty();
        a->RebuildBodyTexture();
        Zel::TextureBase* t = a->GetBodyTexture();
        ASSERT_NE(t, nullptr) << c.level;
        EXPECT_EQ(t->GetWidth(), int(c.size)) << c.level;
        EXPECT_EQ(t->GetHeight(), int(c.size)) << c.level;
        const Bytes& expected = c.size == kAtlas ? atlas : half;
        if (!c.dxt) {
            EXPECT_LE(Level0Difference(*a, expected, c.size), 2) << c.level;
            continue;
        }
        EXPECT_EQ(t->GetFormat(), int(Zel::PF_DXT5));
        const Level level = ReadLevel(*t, 0);
        ASSERT_EQ(level.pitch, std::int32_t(c.size / 4 * 16));
        const ZelFixtures::RgbaImage decoded =
            ZelFixtures::DecodeDxtImage(5, level.bytes.data(), c.size, c.size);
        // The reference, bottom-up as the texture holds it, in R, G, B, A order.
        ZelFixtures::RgbaImage want{c.size, c.size, Bytes(expected.size())};
        for (std::uint32_t r = 0; r < c.size; ++r)
            for (std::uint32_t i = 0; i < c.size * 4; i += 4) {
                const std::uint8_t* s = &expected[std::size_t(c.size - 1 - r) * c.size * 4 + i];
                std::uint8_t* d = &want.rgba[std::size_t(r) * c.size * 4 + i];
                d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
            }
        EXPECT_LT(ZelFixtures::RgbaRmse(decoded, want, true), 6.0) << c.level;
    }
}

TEST_F(ActorBodyTextureTest, CustomTexturePlacementTable) {
    Actor* a = NewActor();
    const Bytes pixels(std::size_t(512) * 512 * 4, 0x80);
    struct Case {
        const char* name;
        std::uint32_t part;
        float u, v;
        std::uint32_t w, h;
        bool data;
        std::uint64_t buffer;
        bool accepted;
        const char* message;  // part of the logged refusal
    };
    const Case cases[] = {
        {"exactly the part's rectangle", 1, 0, 0, 512, 512, true, 512 * 512 * 4, true, nullptr},
        {"one pixel wider", 1, 0, 0, 513, 1, true, 513 * 4, false, "宽度"},
        {"one pixel taller", 3, 0, 0, 1, 257, true, 257 * 4, false, "高度"},
        {"part 9", 9, 0, 0, 1, 1, true, 4, false, "BodyPart不正确"},
        {"no data", 1, 0, 0, 1, 1, false, 4, false, "缺少"},
        {"buffer too small", 1, 0, 0, 2, 2, true, 15, false, "BUFFER"},
        // 2^30 x 2^30 x 4 wraps to 0 in 32 bits.
        {"size overflowing 32 bits", 1, 0, 0, 0x40000000u, 0x40000000u, true, 4, false, "BUFFER"},
        {"reaching past the rectangle", 1, 0.5f, 0, 512, 1, true, 512 * 4, false, "位置"},
        {"inside at the far corner", 1, 0.5f, 0.5f, 256, 256, true, 256 * 256 * 4, true, nullptr},
        {"negative placement", 1, -0.1f, 0, 1, 1, true, 4, false, "位置"},
        {"not a number", 1, std::nanf(""), 0, 1, 1, true, 4, false, "位置"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        const bool ok = a->SetCustomTexture(c.part, c.u, c.v, c.w, c.h,
                                            c.data ? pixels.data() : nullptr, c.buffer);
        EXPECT_EQ(ok, c.accepted) << c.name;
        EXPECT_EQ(a->GetCustomTexture().IsHeld(), c.accepted) << c.name;
        if (c.message) {
            EXPECT_EQ(log.Count(c.message), 1) << c.name;
        }
    }
    ASSERT_TRUE(a->SetCustomTexture(4, 0.25f, 0.5f, 2, 2, pixels.data(), 16));
    EXPECT_FLOAT_EQ(a->GetCustomTexture().x, 512.0f + 128.0f);
    EXPECT_FLOAT_EQ(a->GetCustomTexture().y, 512.0f + 256.0f);
}

TEST_F(ActorBodyTextureTest, AnAppliedCustomTextureIsDrawnOnceOnly) {
    Actor* a = Painted();
    a->RebuildBodyTexture();
    // An opaque 4 x 4 block at the top-left of part 0's rectangle.
    const Bytes red = [] {
        Bytes p(64);
        for (std::size_t i = 0; i < p.size(); i += 4)
            p[i] = 0, p[i + 1] = 0, p[i + 2] = 255, p[i + 3] = 255;
        return p;
    }();
    auto topLeft = [&] {
        const Level level = ReadLevel(*a->GetBodyTexture(), 0);
        // The atlas's top row is the texture's last.
        const auto at = level.bytes.begin() + std::ptrdiff_t(kAtlas - 1) * level.pitch;
        return Bytes(at, at + 4);
    };
    const Bytes before = topLeft();
    ASSERT_TRUE(a->ApplyCustomTexture(0, 0, 0, 4, 4, red.data(), red.size()));
    EXPECT_FALSE(a->GetCustomTexture().IsHeld());
    EXPECT_EQ(topLeft(), Bytes({0, 0, 255, 255}));
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    EXPECT_EQ(topLeft(), before);
}

// A part image of another size is resized to its part's size, so that it fills its rectangle.
TEST_F(ActorBodyTextureTest, ASmallerPartImageFillsItsRectangle) {
    Actor* a = Painted();
    images_.push_back(std::make_unique<Zel::Image>(nullptr, "small", "Image", 0));
    Zel::DecodedImage d;
    d.format = Zel::PF_A8R8G8B8;
    d.width = 64;
    d.height = 32;
    d.pitch = d.width * 4;
    d.bytesPerPixel = 4;
    d.size = d.pitch * d.height;
    d.data = std::make_unique<std::uint8_t[]>(d.size);
    for (std::uint32_t i = 0; i < d.size; i += 4)
        d.data[i] = 10, d.data[i + 1] = 200, d.data[i + 2] = 30, d.data[i + 3] = 255;
    ASSERT_TRUE(images_.back()->CreateFromDecoded(d, false));
    images_.back()->MarkLoaded();
    a->SetPartImage(2, images_.back().get());
    a->RebuildBodyTexture();
    const Level level = ReadLevel(*a->GetBodyTexture(), 0);
    ASSERT_FALSE(level.bytes.empty());
    // Part 2's rectangle: atlas x 0-511, y 512-1023, the texture's rows 0-511.
    int outside = 0;
    for (std::uint32_t r = 0; r < 512; ++r)
        for (std::uint32_t x = 0; x < 512; ++x) {
            const std::uint8_t* p = &level.bytes[std::size_t(r) * level.pitch + x * 4];
            outside += !(p[0] == 10 && p[1] == 200 && p[2] == 30 && p[3] == 255);
        }
    EXPECT_EQ(outside, 0);
}

// The parts' own images: built after the parts changed, unloaded afterwards and read again from
// the part files for the next build, which gives the same texture.
TEST_F(ActorBodyTextureTest, PartImagesAreReadAgainForEachBuild) {
    Actor* a = Dressed();
    a->RebuildMaterials();
    ASSERT_NE(a->GetBodyTexture(), nullptr);
    const Level first = ReadLevel(*a->GetBodyTexture(), 0);
    ASSERT_NE(a->GetPartImage(0), nullptr);
    EXPECT_FALSE(a->GetPartImage(0)->IsLoaded());
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    EXPECT_TRUE(a->GetPartImage(0)->IsLoaded());
    EXPECT_EQ(ReadLevel(*a->GetBodyTexture(), 0).bytes, first.bytes);
    Bytes clear(first.bytes.size(), 0);
    EXPECT_NE(first.bytes, clear) << "the parts' images were drawn";
}

TEST_F(ActorBodyTextureTest, SwitchOffOrNothingWornBuildsNothing) {
    Actor* bare = NewActor();
    bare->MarkBodyTextureDirty();
    bare->RebuildBodyTexture();
    EXPECT_EQ(bare->GetBodyTexture(), nullptr);
    G()->GetConfigManager()->SetValue(Actor::kBodyTextureSwitch, 0);
    Actor* a = Painted();
    a->RebuildBodyTexture();
    EXPECT_EQ(a->GetBodyTexture(), nullptr);
    EXPECT_TRUE(a->GetFlagWord() & Actor::kBodyTextureDirty);
}

// A rebuild at level 0 destroys the texture it replaces; above level 0 the old one goes to the
// recycle bin and comes back for the next rebuild of that size. A released actor leaves no
// texture behind.
TEST_F(ActorBodyTextureTest, ReplacedTexturesAreRecycledOrDestroyed) {
    Actor* a = Painted();
    a->RebuildBodyTexture();
    Zel::TextureBase* first = a->GetBodyTexture();
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    EXPECT_FALSE(Textures().Contains(first));
    EXPECT_FALSE(G()->GetActorBodyTexture()->Contains(first));

    a->SetLodLevel(1);
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    Zel::TextureBase* small = a->GetBodyTexture();
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    Zel::TextureBase* second = a->GetBodyTexture();
    EXPECT_NE(second, small);
    EXPECT_TRUE(Textures().Contains(small)) << "kept in the recycle bin";
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    EXPECT_EQ(a->GetBodyTexture(), small) << "taken back from the recycle bin";

    Actor* b = Painted();
    b->RebuildBodyTexture();
    Zel::TextureBase* held = b->GetBodyTexture();
    G()->GetActorFactory()->Release(b);
    EXPECT_FALSE(Textures().Contains(held));
    EXPECT_FALSE(G()->GetActorBodyTexture()->Contains(held));
}

// The copies a ".bp5" part and its cloth draw with take each new body texture, letting the one
// they held go, so that a replaced or released texture is destroyed.
TEST_F(ActorBodyTextureTest, TheMaterialLibrarysCopiesFollowTheBodyTexture) {
    std::filesystem::create_directories("newbpoutput");
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    const std::uint32_t part = ZelModelGen::kActorBp5ClothPart;
    const std::uint32_t slots[] = {part, part + Actor::kPartCount};
    Actor* a = G()->GetActorFactory()->Acquire();
    ASSERT_TRUE(a->LoadGeometry("actor.act"));
    ASSERT_TRUE(a->SetBodyPart(part, "part5.bp5"));
    const auto firstStages = [&] {
        std::vector<const Zel::TextureBase*> out;
        for (std::uint32_t slot : slots)
            for (const Zel::SubEntity* sub : a->GetSlotSubEntities(slot))
                for (std::uint32_t p = 0; p < sub->GetOwnMaterial()->GetPassCount(); ++p)
                    out.push_back(
                        sub->GetOwnMaterial()->GetPass(p)->renderState.stages[0].GetTexture());
        return out;
    };
    a->RebuildBodyTexture();
    Zel::TextureBase* first = a->GetBodyTexture();
    ASSERT_NE(first, nullptr);
    ASSERT_FALSE(firstStages().empty());
    for (const Zel::TextureBase* t : firstStages()) EXPECT_EQ(t, first);

    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    Zel::TextureBase* second = a->GetBodyTexture();
    for (const Zel::TextureBase* t : firstStages()) EXPECT_EQ(t, second);
    EXPECT_FALSE(Textures().Contains(first)) << "no copy keeps the replaced texture";

    G()->GetActorFactory()->Release(a);
    EXPECT_FALSE(Textures().Contains(second)) << "nor the texture of a released actor";
}

// A ".bp5" part's block is laid out by the material library's table: part 5's 384 x 256 image
// fills its block whole, where the second table would stretch it to 512 and cut it at 384.
TEST_F(ActorBodyTextureTest, ABp5PartFillsItsBlockOfTheLibrarysTable) {
    std::filesystem::create_directories("newbpoutput");
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    Actor* a = Painted();
    ASSERT_TRUE(a->SetBodyPart(5, "part5.bp5"));
    const Zel::ActorMaterialLibrary::PartSize size = Zel::ActorMaterialLibrary::GetPartTexSize(5);
    ASSERT_EQ(size.width, 384u);
    // Opaque, so that the block shows the image alone over the body part beneath it.
    Bytes pixels = ZelFixtures::MakeSmoothImage(size.width, size.height, 99).Bgra();
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    Zel::Image image(nullptr, "part5_bp5", "Image", 0);
    Fill(image, pixels, size.width, size.height);
    a->SetPartImage(5, &image);
    a->MarkBodyTextureDirty();
    a->RebuildBodyTexture();
    ASSERT_NE(a->GetBodyTexture(), nullptr);
    const Level level = ReadLevel(*a->GetBodyTexture(), 0);
    ASSERT_FALSE(level.bytes.empty());
    // The block at the atlas's origin (x 0, y 0, 0.375 x 0.25), the image's last row first;
    // texture rows run bottom-up against the atlas.
    int worst = 0;
    for (std::uint32_t y = 0; y < size.height; ++y)
        for (std::uint32_t i = 0; i < size.width * 4; ++i) {
            const int e = pixels[std::size_t(y) * size.width * 4 + i];
            const std::size_t atlasRow = size.height - 1 - y;
            const int got = level.bytes[(kAtlas - 1 - atlasRow) * level.pitch + i];
            worst = std::max(worst, std::abs(e - got));
        }
    EXPECT_LE(worst, 1);
    a->SetPartImage(5, nullptr);
}

// A clone takes its body texture by a device copy of the source's, every level, in the managed
// pool and where the texture lives only on the device (the managed pool of a 9Ex device); the clone
// wears no parts, so a texture it holds can only be the copy. Without shaders, fixed-function
// drawing, without a source or a source texture it is rebuilt from its own parts instead (none
// here: no texture).
TEST_F(ActorBodyTextureTest, AClonesBodyTextureIsACopyOfTheSources) {
    Device().ReportCaps(*G()->GetDeviceCaps(), Settings());
    // The fixture's device is a 9Ex one, where the managed pool is the default pool; a plain
    // device keeps managed textures in reach of the CPU.
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window_;
    p.Windowed = TRUE;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    const HRESULT made = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &plainDevice_);
    d3d->Release();
    ASSERT_EQ(made, D3D_OK);

    const std::uint32_t shaderFlags = G()->GetDeviceCaps()->featureFlags;
    ASSERT_EQ(shaderFlags & (Zel::DEVICE_VS_1_1 | Zel::DEVICE_PS_1_1),
              Zel::DEVICE_VS_1_1 | Zel::DEVICE_PS_1_1);
    struct Case {
        const char* name;
        bool plain;
        std::int32_t lod;
        bool withSource, sourceTexture, shaders, fixedFunction;
        const char* message;  // nullptr: copied
    };
    const Case cases[] = {
        {"32-bit, managed pool", true, 0, true, true, true, false, nullptr},
        {"32-bit, device only", false, 0, true, true, true, false, nullptr},
        {"DXT5 512, device only", false, 3, true, true, true, false, nullptr},
        {"no shaders", false, 0, true, true, false, false, "Do Not Support DX8"},
        {"fixed-function drawing", false, 0, true, true, true, true, "Do Not Support DX8"},
        {"no source", false, 0, false, true, true, false, "Clone Texture Failed"},
        {"source without texture", false, 0, true, false, true, false, "Can Not Get Clone's"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Textures().SetDevice(c.plain ? plainDevice_ : Device().GetD3DDevice(), &Device());
        G()->GetDeviceCaps()->featureFlags = c.shaders ? shaderFlags : 0;
        Device().SetFixedFunctionMode(c.fixedFunction ? Zel::MODE_FIXED_FUNCTION
                                                      : Zel::MODE_SHADER);
        Actor* source = Painted();
        source->SetLodLevel(c.lod);
        if (c.sourceTexture)
            source->RebuildBodyTexture();
        Actor* clone = NewActor();
        clone->SetLodLevel(c.lod);
        clone->MarkBodyTextureDirty();
        LogCapture log;
        EXPECT_TRUE(clone->CloneTextures(c.withSource ? source : nullptr));
        EXPECT_FALSE(clone->GetFlagWord() & Actor::kBodyTextureDirty);
        if (c.message) {
            EXPECT_EQ(log.Count(c.message), 1);
            EXPECT_EQ(clone->GetBodyTexture(), nullptr);
            continue;
        }
        EXPECT_EQ(log.Count("UpdateTexture By Hand"), 0);
        Zel::TextureBase* from = source->GetBodyTexture();
        Zel::TextureBase* to = clone->GetBodyTexture();
        ASSERT_NE(to, nullptr);
        EXPECT_NE(to, from);
        EXPECT_EQ(to->GetWidth(), from->GetWidth());
        EXPECT_EQ(to->GetFormat(), from->GetFormat());
        const UINT levels = from->GetDeviceTexture()->GetLevelCount();
        ASSERT_EQ(to->GetDeviceTexture()->GetLevelCount(), levels);
        for (UINT level = 0; level < levels; ++level) {
            const Level want = ReadLevel(*from, level);
            EXPECT_EQ(ReadLevel(*to, level).bytes, want.bytes) << "level " << level;
            if (level == 0) {
                EXPECT_NE(want.bytes, Bytes(want.bytes.size(), 0)) << "the parts were drawn";
            }
        }
    }
    Device().SetFixedFunctionMode(Zel::MODE_SHADER);
}

// Drawing builds a marked body texture once; the next draw finds it built.
TEST_F(ActorBodyTextureTest, AMarkedActorIsRebuiltOnceWhenDrawn) {
    Actor* a = Painted();
    ASSERT_TRUE(a->GetFlagWord() & Actor::kBodyTextureDirty);
    ASSERT_EQ(a->GetBodyTexture(), nullptr);
    Zel::RenderCorePipeline pipe(Zel::RenderCorePipeline::MODE_NORMAL);
    pipe.AddItem(a);
    pipe.Render(Scene().GetRenderQueue());
    Zel::TextureBase* built = a->GetBodyTexture();
    ASSERT_NE(built, nullptr);
    EXPECT_FALSE(a->GetFlagWord() & Actor::kBodyTextureDirty);
    EXPECT_LE(Level0Difference(*a, ReferenceAtlas(), kAtlas), 1);
    pipe.Render(Scene().GetRenderQueue());
    EXPECT_EQ(a->GetBodyTexture(), built) << "not built again";
    a->MarkBodyTextureDirty();
    pipe.Render(Scene().GetRenderQueue());
    EXPECT_NE(a->GetBodyTexture(), built);
    EXPECT_FALSE(a->GetFlagWord() & Actor::kBodyTextureDirty);
}

// Each character kind loads the parts of its own family; a part shared from the other kind (as a
// clone takes it) is logged at each composition and composed all the same.
TEST_F(ActorBodyTextureTest, APartOfTheOtherCharacterKindIsLoggedAndStillComposed) {
    auto newer = [&] {
        Zel::NewActor* n = G()->GetNewActorFactory()->Acquire();
        newActors_.push_back(n);
        n->SetSex(0);
        EXPECT_TRUE(n->LoadGeometry("actor.act"));
        for (std::uint32_t p = 0; p < 9; ++p)
            EXPECT_TRUE(n->SetBodyPart(p, "part" + std::to_string(p) + ".bp4")) << p;
        return n;
    };
    Actor* own = Dressed();
    Zel::NewActor* newOwn = newer();
    Actor* mixed = Dressed();
    ASSERT_TRUE(mixed->LoadClonePart(3, "part3.bp4"));
    Zel::NewActor* newMixed = newer();
    ASSERT_TRUE(newMixed->LoadClonePart(3, "part3.bp3"));
    const struct {
        const char* name;
        Actor* actor;
        const char* logged;  // nullptr: nothing
    } cases[] = {
        {"actor, .bp3", own, nullptr},
        {"newer, .bp4", newOwn, nullptr},
        {"actor, one .bp4", mixed, "：Actor figname : GeometryBodyPart4"},
        {"newer, one .bp3", newMixed, "：newActor figname : GeometryBodyPart"},
    };
    for (const auto& c : cases) {
        LogCapture log;
        c.actor->MarkBodyTextureDirty();
        c.actor->RebuildBodyTexture();
        EXPECT_EQ(log.Count("actor 类型和 GeometryBodyPart类型不匹配"), c.logged ? 1 : 0) << c.name;
        if (c.logged) {
            EXPECT_EQ(log.Count(c.logged), 1) << c.name;
        }
        EXPECT_NE(c.actor->GetBodyTexture(), nullptr) << c.name;
    }
}

TEST_F(ActorBodyTextureTest, TheRegistryForciblyRemovesWhatItHolds) {
    auto make = [&] {
        Zel::TextureBase* t = Textures().CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
        EXPECT_TRUE(t->Create(4, 4, 1, 2, Zel::PF_A8R8G8B8, 1, false));
        t->SetName("ActorTexture");
        return t;
    };
    Zel::ActorBodyTexture registry;
    registry.ReleaseAll();  // empty: nothing to do
    Zel::TextureBase* loose = make();
    Zel::TextureBase* kept = make();
    registry.Add(loose);
    registry.Add(loose);
    registry.Add(kept);
    EXPECT_EQ(registry.GetCount(), 2u);
    Zel::SharedPtr<Zel::TextureBase> holder(kept);
    registry.ReleaseAll();
    EXPECT_EQ(registry.GetCount(), 0u);
    EXPECT_FALSE(Textures().Contains(loose));
    EXPECT_TRUE(Textures().Contains(kept)) << "a texture still held is reported and left";
    EXPECT_NE(LogText().find("Can't forceremove this resource!"), std::string::npos);
}

}  // namespace
