#include <gtest/gtest.h>

#include "Core/GlobalConfigManager.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Interface/IGlobalConfig.h"
#include "Render/RenderCore/IGlobalConfigImpl.h"
#include "CoreRootFixture.h"

namespace {

using Zel::GlobalConfigManager;
using GlobalConfigTest = ZelTest::CoreRootTest;

TEST(GlobalConfigManagerTest, DefaultsOfTheSwitchTable) {
    GlobalConfigManager config;
    // (index, default)
    const std::pair<std::uint32_t, std::int32_t> cases[] = {
        {0, 1},  {4, 0},   {7, 0},    {9, 1},  {20, 0}, {23, 0}, {32, 0},
        {47, 0}, {48, 1},  {59, 1},   {60, 1}, {62, 1}, {63, 0}, {65, 0},
        {67, 1}, {69, 30}, {70, 100}, {82, 0}, {83, 1}, {84, 1}, {85, 0},
    };
    for (auto [index, value] : cases) EXPECT_EQ(config.GetValue(index), value) << index;
    EXPECT_EQ(config.GetFloatValue(0), 1.0f);
    EXPECT_EQ(config.GetSwitchDescription(3), "是否优先读二进制文件");
    EXPECT_TRUE(config.GetSwitchDescription(63).empty());
    EXPECT_FALSE(config.GetBlockedDirsDescription(1).empty());
    EXPECT_FALSE(config.IsConfigLoaded());
    EXPECT_TRUE(Zel::GetTextureLoadFlags() & Zel::TEXTURE_LOAD_IMMEDIATE);
}

TEST(GlobalConfigManagerTest, AnOnOffReaderWantsExactlyOne) {
    GlobalConfigManager config;
    config.SetValue(82, 2);
    EXPECT_FALSE(config.ShowErrorDialog());
    config.SetValue(82, 1);
    EXPECT_TRUE(config.ShowErrorDialog());
    config.SetCompressToDDS(false);
    EXPECT_EQ(config.GetValue(6), 0);
}

TEST(GlobalConfigManagerTest, IndexesOutOfRangeWriteNothingAndReadZero) {
    GlobalConfigManager config;
    config.SetValue(86, 7);
    config.SetValue(0xFFFFFFFFu, 7);
    config.SetFloatValue(1, 2.0f);
    config.SetBlockedDirs(2, "x");
    EXPECT_EQ(config.GetValue(86), 0);
    EXPECT_EQ(config.GetValue(0xFFFFFFFFu), 0);
    EXPECT_EQ(config.GetFloatValue(1), 0.0f);
    EXPECT_FALSE(config.HasBlockedDirs(2));
    EXPECT_FALSE(config.IsPathBlocked(2, "x"));
    EXPECT_TRUE(config.GetSwitchDescription(86).empty());
    EXPECT_EQ(config.GetValue(85), 0);  // the last switch is untouched
}

TEST(GlobalConfigManagerTest, BlockedDirectoryLists) {
    struct Case {
        const char* list;
        const char* path;
        bool blocked;
    };
    const Case cases[] = {
        {"Data/Effects/Fire", "..\\data\\effects\\fire\\a.fx", true},
        {"a;b", "x/B/y", true},
        {"a;b", "x/c/y", false},
        // An empty entry names no directory: it blocks nothing.
        {"a;;b", "x/c/y", false},
        {";a", "zzz", false},
        {";", "zzz", false},
        {"", "anything", false},
    };
    for (const Case& c : cases) {
        GlobalConfigManager config;
        config.SetBlockedDirs(0, c.list);
        EXPECT_EQ(config.IsPathBlocked(0, c.path), c.blocked) << c.list << " / " << c.path;
        EXPECT_EQ(config.HasBlockedDirs(0), c.list[0] != '\0') << c.list;
        EXPECT_FALSE(config.IsPathBlocked(1, c.path));
    }
    GlobalConfigManager config;
    config.SetBlockedDirs(1, "Role/Link");
    EXPECT_EQ(config.GetBlockedDirs(1), "role\\link");
}

TEST_F(GlobalConfigTest, ReloadOfAMissingFileRestoresEveryDefaultAndReportsOnce) {
    GlobalConfigManager defaults;
    GlobalConfigManager* config = G()->GetConfigManager();
    for (std::uint32_t i = 0; i < GlobalConfigManager::kSwitchCount; ++i) config->SetValue(i, 9);
    config->SetBlockedDirs(0, "x");
    EXPECT_FALSE(config->Reload("NoSuchConfig.txt"));
    EXPECT_FALSE(config->IsConfigLoaded());
    for (std::uint32_t i = 0; i < GlobalConfigManager::kSwitchCount; ++i)
        EXPECT_EQ(config->GetValue(i), defaults.GetValue(i)) << i;
    EXPECT_FALSE(config->HasBlockedDirs(0));
    const std::string log = LogText();
    EXPECT_NE(log.find(":ERROR:加载EngineConfig失败!\nErrorCode=2,\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(":ERROR:"), log.rfind(":ERROR:")) << log;
}

TEST_F(GlobalConfigTest, ReloadRunsTheScriptAndKeepsItsResult) {
    dir_.Write("ok.txt", "draw actor off\nset viewmsgbox\n");
    GlobalConfigManager* config = G()->GetConfigManager();
    EXPECT_TRUE(config->Reload("ok.txt"));
    EXPECT_TRUE(config->IsConfigLoaded());
    EXPECT_EQ(config->GetValue(15), 0);
    EXPECT_EQ(config->GetValue(82), 1);
}

TEST_F(GlobalConfigTest, TheHostInterfaceForwardsAndIsInertAfterShutdown) {
    ZelI::IGlobalConfig* host = G()->GetGlobalConfigImpl();
    host->SetValue(15, 0);
    host->SetFloatValue(0, 0.5f);
    host->SetBlockedDirs(1, "A/B");
    EXPECT_EQ(G()->GetConfigManager()->GetValue(15), 0);
    EXPECT_EQ(host->GetFloatValue(0), 0.5f);
    EXPECT_TRUE(host->HasBlockedDirs(1));
    EXPECT_TRUE(host->IsPathBlocked(1, "x\\a\\b\\c.chr"));
    host->SetValue(200, 1);
    EXPECT_EQ(host->GetValue(200), 0);
    EXPECT_EQ(host->GetClassId(), 74u);
    EXPECT_STREQ(host->GetClassName(), "ZelIGlobalConfigImpl");

    // An interface the host kept past shutdown answers 0 and writes nothing.
    Zel::IGlobalConfigImpl stale;
    G()->Shutdown();
    stale.SetValue(15, 1);
    EXPECT_EQ(stale.GetValue(9), 0);
    EXPECT_FALSE(stale.HasBlockedDirs(0));
}

}  // namespace
