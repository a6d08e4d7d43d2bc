// The texture pool configured from "LodConfig.xml" fixtures, and taking and returning textures.
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureScale.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Pool = ZelTest::TextureTest;

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string LodFile(const std::string& poolAttributes, const std::string& elements) {
    return "<?xml version=\"1.0\"?>\n<LodConfig>\n  <TexturePool " + poolAttributes + ">\n" +
           elements + "  </TexturePool>\n</LodConfig>\n";
}

std::string Element(int maxNumber, const char* format, int width, int height) {
    return "    <TexturePoolElement MaxNumber=\"" + std::to_string(maxNumber) +
           "\" TextureFormat=\"" + format + "\" TexWidth=\"" + std::to_string(width) +
           "\" TexHeight=\"" + std::to_string(height) + "\"/>\n";
}

struct Level {
    int maxNumber, format, width, height;
    bool operator==(const Level&) const = default;
};

std::vector<Level> Levels(const Zel::TexturePool& pool) {
    std::vector<Level> out;
    for (const Zel::TexturePoolElement& e : pool.GetLevels())
        out.push_back({e.MaxNumber, e.TextureFormat, e.TexWidth, e.TexHeight});
    return out;
}

TEST_F(Pool, TheSettingsFileGivesTheLevels) {
    const std::string three = Element(2, "PF_A8R8G8B8", 1024, 512) +
                              Element(3, "PF_DXT5", 512, 512) + Element(0, "PF_DXT1", 256, 128) +
                              Element(9, "PF_DXT5", 8, 8);
    const Level fallback{1, 1, 1024, 1024};
    const struct {
        const char* name;
        std::string file;  // empty: no file
        int scale;
        bool toDds;
        std::vector<Level> levels;
        std::uint32_t maxSize;
    } cases[] = {
        {"three levels, the fourth element ignored",
         LodFile("LodNumber=\"3\" MaxSize=\"40\"", three),
         0,
         false,
         {{2, 1, 1024, 512}, {3, 10, 512, 512}, {0, 1, 256, 128}},
         40u << 20},
        {"the texture scale shifts the sizes",
         LodFile("LodNumber=\"2\" MaxSize=\"1\"", three),
         1,
         false,
         {{2, 1, 512, 256}, {3, 10, 256, 256}},
         1u << 20},
        {"compressing to DDS makes every format DXT5",
         LodFile("LodNumber=\"3\"", three),
         0,
         true,
         {{2, 10, 1024, 512}, {3, 10, 512, 512}, {0, 10, 256, 128}},
         0},
        {"levels without an element keep the defaults",
         LodFile("LodNumber=\"2\"", Element(4, "PF_DXT5", 64, 32)),
         0,
         false,
         {{4, 10, 64, 32}, fallback},
         0},
        {"a missing attribute reads as 0",
         LodFile("LodNumber=\"1\"", "    <TexturePoolElement TexWidth=\"16\"/>\n"),
         0,
         false,
         {{0, 1, 16, 0}},
         0},
        {"a negative count gives no levels", LodFile("LodNumber=\"-3\"", three), 0, false, {}, 0},
        {"a huge count is held to 16", LodFile("LodNumber=\"99999999999\"", three), 0, false,
         [&] {
             std::vector<Level> l{
                 {2, 1, 1024, 512}, {3, 10, 512, 512}, {0, 1, 256, 128}, {9, 10, 8, 8}};
             l.resize(16, fallback);
             return l;
         }(),
         0},
        {"without the pool element the defaults stay",
         "<LodConfig/>",
         0,
         false,
         {fallback},
         26214400},
        {"without the file the defaults stay", "", 0, false, {fallback}, 26214400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (!c.file.empty())
            Write("LodConfig.xml", Text(c.file));
        Zel::SetTextureScaleLevel(c.scale);
        Config()->SetCompressToDDS(c.toDds);
        Textures()->LoadTexturePoolConfig();
        EXPECT_EQ(Levels(Textures()->GetTexturePool()), c.levels);
        EXPECT_EQ(Textures()->GetTexturePool().GetMaxSize(), c.maxSize);
    }
}

TEST_F(Pool, WithoutLevelsNothingIsTakenAndTheLevelQueryAnswersNo) {
    Write("LodConfig.xml", Text(LodFile("LodNumber=\"0\"", "")));
    Textures()->LoadTexturePoolConfig();
    std::int32_t level = 3, format = 7, width = 7, height = 7;
    EXPECT_FALSE(Textures()->GetTexturePoolLevel(&level, &format, &width, &height));
    EXPECT_EQ(format, 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(Textures()->TakeFromTexturePool(0), nullptr);
}

class PoolWithLevels : public Pool {
protected:
    void SetUp() override {
        Pool::SetUp();
        Write("LodConfig.xml",
              Text(LodFile("LodNumber=\"3\"", Element(2, "PF_A8R8G8B8", 256, 256) +
                                                  Element(1, "PF_DXT5", 256, 256) +
                                                  Element(0, "PF_A8R8G8B8", 64, 64))));
        Textures()->LoadTexturePoolConfig();
    }
    Zel::TextureBase* Make(int size, int format) {
        Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
        EXPECT_TRUE(texture->Create(size, size, 1, 2, format, 1, false));
        return texture;
    }
};

TEST_F(PoolWithLevels, ReturnedTexturesAreKeptPerLevelAndTakenBack) {
    Zel::TextureBase* a = Make(256, Zel::PF_A8R8G8B8);
    Zel::TextureBase* b = Make(256, Zel::PF_A8R8G8B8);
    Zel::TextureBase* c = Make(256, Zel::PF_A8R8G8B8);
    Zel::TextureBase* d = Make(256, Zel::PF_DXT5);
    Zel::TextureBase* small = Make(64, Zel::PF_A8R8G8B8);
    Zel::TextureBase* odd = Make(128, Zel::PF_A8R8G8B8);
    EXPECT_TRUE(Textures()->ReturnToTexturePool(a));
    EXPECT_TRUE(Textures()->ReturnToTexturePool(b));
    EXPECT_FALSE(Textures()->ReturnToTexturePool(c));      // level 0 is full
    EXPECT_TRUE(Textures()->ReturnToTexturePool(d));       // the DXT5 level
    EXPECT_FALSE(Textures()->ReturnToTexturePool(small));  // MaxNumber 0 keeps nothing
    EXPECT_FALSE(Textures()->ReturnToTexturePool(odd));    // no level of that size
    EXPECT_EQ(a->GetRefCount(), 2);
    EXPECT_EQ(d->GetPoolLevel(), 1u);
    EXPECT_EQ(Textures()->GetTexturePool().GetPooledBytes(), 2u * 262144 + 65536);

    // A level beyond the last is the last; an empty level gives nothing.
    std::int32_t level = 7, format = 0, width = 0, height = 0;
    EXPECT_TRUE(Textures()->GetTexturePoolLevel(&level, &format, &width, &height));
    EXPECT_EQ(level, 2);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(Textures()->TakeFromTexturePool(7), nullptr);
    EXPECT_EQ(Textures()->TakeFromTexturePool(1), d);
    EXPECT_EQ(d->GetRefCount(), 1);
    EXPECT_EQ(Textures()->TakeFromTexturePool(0), a);
    EXPECT_EQ(Textures()->GetTexturePool().GetPooledBytes(), 262144u);

    // Reading the file again lets the pooled texture go, as clearing does.
    Textures()->LoadTexturePoolConfig();
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_EQ(Textures()->GetTexturePool().GetPooledBytes(), 0u);
    EXPECT_TRUE(Textures()->ReturnToTexturePool(b));
    Textures()->ClearTexturePool();
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_EQ(Textures()->TakeFromTexturePool(0), nullptr);
    // Cleared textures stay with the manager until a purge.
    EXPECT_TRUE(Textures()->Contains(b));
    Textures()->PurgeUnused();
    EXPECT_FALSE(Textures()->Contains(b));
}

}  // namespace
