// The texture manager: listeners, removal rules, render-target lookup, counts and the texture
// report.
#include <fstream>
#include <sstream>

#include "Core/IResList_Impl.h"
#include "Entity/Image/PixelFormat.h"
#include "tests/Entity/Texture/FakeRenderTarget.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Manager = ZelTest::TextureTest;

std::vector<std::string>* g_heard[4];

template <int List>
void Hear(const char* name, DWORD /*thread*/) {
    g_heard[List - 1]->push_back(name);
}

class TextureManagerListeners : public Manager {
protected:
    void SetUp() override {
        Manager::SetUp();
        for (int i = 0; i < 4; ++i) g_heard[i] = &heard_[i];
        Textures()->AddListener(1, &Hear<1>);
        Textures()->AddListener(2, &Hear<2>);
        Textures()->AddListener(3, &Hear<3>);
        Textures()->AddListener(4, &Hear<4>);
    }
    void TearDown() override {
        for (int i = 0; i < 4; ++i) Textures()->RemoveListener(i + 1, 0);
        Manager::TearDown();
    }
    std::vector<std::string> heard_[4];
};

TEST_F(TextureManagerListeners, EachListHearsItsOwnEvents) {
    Zel::TextureBase* kept = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    kept->SetName("Kept");
    idle->SetName("Idle");
    kept->AddRef();
    auto* target = Textures()->AddRenderTarget(new ZelTest::FakeRenderTarget());
    auto* heldTarget = Textures()->AddRenderTarget(new ZelTest::FakeRenderTarget());
    heldTarget->AddRef();
    EXPECT_EQ(heard_[0].size(), 2u);
    EXPECT_EQ(heard_[2].size(), 2u);
    EXPECT_EQ(Textures()->GetRenderTargetCount(), 2u);

    // A shared texture is refused; the default texture is never removed and nobody is told.
    EXPECT_FALSE(Textures()->ForceRemove(kept));
    Zel::TextureBase* fallback = Textures()->GetDefaultTexture();
    ASSERT_NE(fallback, nullptr);
    const std::size_t created = heard_[0].size();
    EXPECT_TRUE(Textures()->ForceRemove(fallback));
    EXPECT_TRUE(Textures()->Contains(fallback));
    EXPECT_TRUE(heard_[1].empty());

    // Purging removes the idle texture and the idle target: list 4 for the target, never list 2.
    Textures()->PurgeUnused();
    EXPECT_FALSE(Textures()->Contains(idle));
    EXPECT_FALSE(Textures()->Contains(target));
    EXPECT_TRUE(Textures()->Contains(heldTarget));
    // Every render target is named "RT".
    EXPECT_EQ(heard_[3], std::vector<std::string>{"RT"});
    EXPECT_TRUE(heard_[1].empty());

    // Force-removing a target tells list 4 and list 2.
    heldTarget->DecRef();
    EXPECT_TRUE(Textures()->ForceRemove(heldTarget));
    EXPECT_EQ(heard_[3].size(), 2u);
    kept->DecRef();
    EXPECT_TRUE(Textures()->ForceRemove(kept));
    EXPECT_EQ(heard_[1], (std::vector<std::string>{"RT", "kept"}));
    EXPECT_EQ(heard_[0].size(), created);
    EXPECT_EQ(Occurrences(LogText(), "Can't forceremove this resource!"), 1);
}

TEST_F(Manager, PurgingKeepsWhatTheHostHoldsWithoutAReference) {
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    Zel::TextureBase* hosts = Textures()->CreateTexture(Zel::MP_MANAGED, 2);
    hosts->SetFlags(hosts->GetFlags() | Zel::TextureBase::FLAG_CLIENT_OWNED);
    auto* hostTarget = Textures()->AddRenderTarget(new ZelTest::FakeRenderTarget());
    hostTarget->SetFlags(hostTarget->GetFlags() | Zel::TextureBase::FLAG_CLIENT_OWNED);
    Textures()->PurgeUnused();
    EXPECT_FALSE(Textures()->Contains(idle));
    EXPECT_TRUE(Textures()->Contains(hosts));
    EXPECT_TRUE(Textures()->Contains(hostTarget));
    // The host's own release still removes them.
    EXPECT_TRUE(Textures()->ForceRemove(hosts));
    EXPECT_TRUE(Textures()->ForceRemove(hostTarget));
    EXPECT_FALSE(Textures()->Contains(hosts));
}

TEST_F(Manager, AFreedListenerSlotIsReused) {
    EXPECT_EQ(Textures()->AddListener(2, &Hear<2>), 0u);
    EXPECT_EQ(Textures()->AddListener(2, &Hear<2>), 1u);
    Textures()->RemoveListener(2, 0);
    EXPECT_EQ(Textures()->AddListener(2, &Hear<2>), 0u);
    EXPECT_EQ(Textures()->AddListener(2, &Hear<2>), 2u);
    EXPECT_EQ(Textures()->AddListener(5, &Hear<2>), 0xFFFFFFFFu);
    for (std::uint32_t i = 0; i < 3; ++i) Textures()->RemoveListener(2, i);
}

TEST_F(Manager, FindFreeRenderTargetSkipsTargetsInUse) {
    auto make = [&] {
        auto* target = Textures()->AddRenderTarget(new ZelTest::FakeRenderTarget());
        target->AddRef();
        return target;
    };
    // Two targets of the same words, the first found first until it is in use.
    Zel::RenderTarget* a = make();
    Zel::RenderTarget* b = make();
    Zel::TextureBase* baseA = a;
    Zel::TextureBase* baseB = b;
    EXPECT_EQ(
        Textures()->FindFreeRenderTarget(baseA->GetWidth(), baseA->GetHeight(), baseA->GetDepth(),
                                         baseA->GetFormat(), baseA->GetType()),
        a);
    baseA->SetFlags(Zel::TextureBase::FLAG_IN_USE);
    EXPECT_EQ(
        Textures()->FindFreeRenderTarget(baseB->GetWidth(), baseB->GetHeight(), baseB->GetDepth(),
                                         baseB->GetFormat(), baseB->GetType()),
        b);
    baseB->SetFlags(Zel::TextureBase::FLAG_IN_USE);
    EXPECT_EQ(
        Textures()->FindFreeRenderTarget(baseB->GetWidth(), baseB->GetHeight(), baseB->GetDepth(),
                                         baseB->GetFormat(), baseB->GetType()),
        nullptr);
    a->DecRef();
    b->DecRef();
}

TEST_F(Manager, CountsSplitReferencedFromUnreferencedTextures) {
    Zel::TextureBase* held = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    ASSERT_TRUE(held->Create(8, 8, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    ASSERT_TRUE(idle->Create(4, 4, 1, 2, Zel::PF_DXT1, 1, false));
    held->AddRef();
    EXPECT_EQ(Textures()->GetActiveTextureCount(), 1u);
    EXPECT_EQ(Textures()->GetUnreferencedTextureCount(), 1u);
    EXPECT_EQ(Textures()->GetActiveTextureBytes(), 256u);
    EXPECT_EQ(Textures()->GetUnreferencedTextureBytes(), 8u);
    held->DecRef();
}

TEST_F(Manager, HostLookupsFindByNameAndListEveryTextureWithItsCountAndBytes) {
    Zel::TextureBase* held = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    Zel::TextureBase* idle = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
    ASSERT_TRUE(held->Create(8, 8, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    ASSERT_TRUE(idle->Create(4, 4, 1, 2, Zel::PF_DXT1, 1, false));
    held->SetName("Textures/Held.DDS");
    idle->SetName("idle.dds");
    held->AddRef();
    Zel::RenderTarget* target = Textures()->AddRenderTarget(new ZelTest::FakeRenderTarget());

    // Textures by the normalised form of the name asked for, render targets by the name as given.
    const std::pair<const char*, Zel::TextureBase*> textures[] = {{"textures\\held.dds", held},
                                                                  {"TEXTURES/HELD.DDS", held},
                                                                  {"held.dds", nullptr},
                                                                  {"Idle.DDS", idle},
                                                                  {"", nullptr}};
    for (const auto& [name, found] : textures)
        EXPECT_EQ(Textures()->FindByName(name), found) << name;
    EXPECT_EQ(Textures()->FindRenderTargetByName("RT"), target);
    EXPECT_EQ(Textures()->FindRenderTargetByName("rt"), nullptr);

    // Every texture of the list (the target is one too), as it is now.
    Zel::IResList_Impl* list = Textures()->GetResList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 3u);
    const struct {
        const char* name;
        std::int32_t refs;
        std::uint32_t bytes;
    } expected[] = {{"textures\\held.dds", 2, 256}, {"idle.dds", 1, 8}};
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_STREQ(list->GetAt(i)->GetName(), expected[i].name);
        EXPECT_EQ(list->GetAt(i)->GetRefCount(), expected[i].refs);
        EXPECT_EQ(list->GetAt(i)->GetSize(), expected[i].bytes);
    }
    EXPECT_STREQ(list->GetAt(2)->GetName(), "RT");
    EXPECT_EQ(list->GetAt(3), nullptr);
    // The entries outlive their textures; the next call replaces the list.
    ASSERT_TRUE(Textures()->ForceRemove(idle));
    EXPECT_STREQ(list->GetAt(1)->GetName(), "idle.dds");
    list = Textures()->GetResList();
    EXPECT_EQ(list->GetCount(), 2u);
    Zel::IResList_Impl* targets = Textures()->GetRenderTargetResList();
    ASSERT_EQ(targets->GetCount(), 1u);
    EXPECT_STREQ(targets->GetAt(0)->GetName(), "RT");
    EXPECT_EQ(targets->GetAt(0)->GetRefCount(), 1);
    held->DecRef();
}

TEST_F(Manager, TheStagingTextureIsOneSystemMemoryLevel) {
    Zel::TextureBase* staging = Textures()->CreateStagingTexture(16, 8);
    ASSERT_NE(staging, nullptr);
    EXPECT_EQ(staging->GetPool(), Zel::MP_SYSTEM_MEMORY);
    EXPECT_EQ(staging->GetDeviceTexture()->GetLevelCount(), 1u);
    EXPECT_EQ(LockedLevel(staging, 0, 64, 8).size(), 512u);
}

TEST_F(Manager, TheScratchBuffersAreZeroedOnceAndKept) {
    std::uint8_t* big = Textures()->GetScratchBuffer4M();
    std::uint8_t* small = Textures()->GetScratchBuffer2M();
    EXPECT_EQ(big[0x3FFFFF], 0);
    EXPECT_EQ(small[0x1FFFFF], 0);
    big[5] = 9;
    EXPECT_EQ(Textures()->GetScratchBuffer4M(), big);
    EXPECT_EQ(big[5], 9);
    EXPECT_EQ(Textures()->GetScratchBufferRoom(big + 16), 0x400000u - 16);
    EXPECT_EQ(Textures()->GetScratchBufferRoom(small), 0x200000u);
    const int outside = 0;
    EXPECT_EQ(Textures()->GetScratchBufferRoom(&outside), 0u);
}

// Six textures, one per group; their names pick the group.
TEST_F(Manager, TheReportGroupsTexturesByTheWordsOfTheirNames) {
    const struct {
        const char* name;
        int width, height;
    } textures[] = {
        {"ui\\a.dds", 4, 4},          // UI
        {"effect\\ui.dds", 8, 4},     // Effect before UI
        {"x\\scenes\\ui.dds", 4, 8},  // Scene before UI
        {"Client\\b", 16, 16},        // Client (names keep their case here)
        {"other\\c", 32, 32},         // Other
        {"Actor\\d", 2, 2},           // Actor
    };
    for (const auto& t : textures) {
        Zel::TextureBase* texture = Textures()->CreateTexture(Zel::MP_SYSTEM_MEMORY, 2);
        ASSERT_TRUE(texture->Create(t.width, t.height, 1, 2, Zel::PF_A8R8G8B8, 1, false));
        texture->SetName(t.name);
    }
    // Names are normalised to lower case; the group words match in any case.
    const std::string stars(68, '*');
    const std::string equals(71, '=');
    const std::string expected = stars + "\n" +
                                 "Client List : \n"
                                 "0 : 16 x 16, Size=1024 Byte,client\\b,Ref=1\n"
                                 "Count : 1, FootPrint : 1 KB\n" +
                                 equals + "\n" +
                                 "UI List : \n"
                                 "0 : 4 x 4,  Size=64 Byte,ui\\a.dds,Ref=1\n"
                                 "Count : 1, FootPrint : 0 KB\n" +
                                 equals + "\n" +
                                 "Effect List : \n"
                                 "0 : 8 x 4,  Size=128 Byte,effect\\ui.dds,Ref=1\n"
                                 "Count : 1, FootPrint : 0 KB\n" +
                                 equals + "\n" +
                                 "Scene List : \n"
                                 "0 : 4 x 8,  Size=128 Byte,x\\scenes\\ui.dds,Ref=1\n"
                                 "Count : 1, FootPrint : 0 KB\n" +
                                 equals + "\n" +
                                 "Actor List : \n"
                                 "0 : 2 x 2,  Size=16 Byte,actor\\d,Ref=1\n"
                                 "Count : 1, FootPrint : 0 KB\n" +
                                 equals + "\n" +
                                 "Other List : \n"
                                 "0 : 32 x 32,  Size=4096 Byte,other\\c,Ref=1\n"
                                 "Count : 1, FootPrint : 4 KB\n" +
                                 equals + "\n" + "Total Count : 6, Total FootPrint : 5 KB\n" +
                                 stars + "\n";
    std::ostringstream stream;
    Textures()->WriteResourceReport(stream);
    EXPECT_EQ(stream.str(), expected);

    // The file form; a second dump appends.
    const std::string path = (dir_->Path() / "report.txt").string();
    Textures()->DumpResources(path.c_str());
    Textures()->DumpResources(path.c_str());
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    EXPECT_EQ(Occurrences(file, "UI List : \nTexture : Ref=1, 4 x 4,  Size=64 Byte,ui\\a.dds\n"), 2)
        << file;
    EXPECT_EQ(Occurrences(file, "Texture : Ref=1, 16 x 16, Size=1024 Byte,client\\b\n"), 2);
    EXPECT_EQ(Occurrences(file, "Actor List : \nTexture : Ref=1,2 x 2,  Size=16 Byte,actor\\d\n"),
              2);
    EXPECT_EQ(Occurrences(file, "Count : 1, FootPrint : 4 KB\n"), 2);
    EXPECT_EQ(Occurrences(file, "Total Count : 6, Total FootPrint : 5 KB\n" + stars + "\n"), 2);
}

}  // namespace

namespace {

TEST_F(Manager, ImagesLoadByPathOrFromAStreamAndFallBackToTheDefaultImage) {
    Write("pics\\a.png", ZelFixtures::WritePng(
                             ZelFixtures::PngFromRgba(ZelFixtures::MakePatternImage(4, 4), false)));
    Zel::SharedPtr<Zel::Image> image;
    Textures()->LoadImage("pics/a.png", image);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetName(), "pics\\a.png");
    EXPECT_TRUE(image->IsLoadSucceeded());
    Textures()->LoadImage("missing.png", image);
    EXPECT_EQ(image.Get(), Images()->GetDefaultImage());
    Zel::SharedPtr<Zel::Image> untouched;
    Textures()->LoadImageFromMem("mem.png", nullptr, untouched);
    EXPECT_FALSE(untouched);
    EXPECT_EQ(Occurrences(LogText(), "pstream==NULL"), 1);
    EXPECT_EQ(Occurrences(LogText(), "Fun=Zel::TextureManager::LoadImageFromMem"), 1);
    image.Reset();
}

}  // namespace
