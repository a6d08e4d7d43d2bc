// The scene's start-up in a temporary install tree ("<root>/Bin" as working directory, "data",
// "resources" beside it): the render system's creation, the count of running instances through
// their lock files, the effect cache of the first and of a later instance, the run mode, and the
// two numbered reports.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Core/EnginePaths.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderCodes.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/Win32/Win32.h"
#include "Render/RenderSystem.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

namespace fs = std::filesystem;

class SceneStartupTest : public ZelTest::DeviceTest {
protected:
    void SetUp() override {
        ZelTest::DeviceTest::SetUp();
        root_ = dir_.Path();
        dir_.Write("data/include/common.fxh", "float4 c;\n");
        dir_.Write("data/include/common.fx", "float4 c;\n");
        dir_.Write("data/Materials/basic.xml", "<Materials/>\n");
        fs::create_directories(root_ / "resources");
        fs::create_directories(root_ / "Bin");
        fs::current_path(root_ / "Bin");
    }
    void TearDown() override {
        for (int fd : held_) ::close(fd);
        G()->Shutdown();
        fs::current_path(root_);
        ZelTest::DeviceTest::TearDown();
    }
    Zel::SceneManager& Scene() { return *G()->GetSceneManager(); }

    // Another running instance: its lock file, locked for the rest of the test.
    void HoldInstanceFile(const std::string& name) {
        const int fd = ::open((root_ / name).c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        held_.push_back(fd);
    }

    fs::path root_;
    std::vector<int> held_;
};

TEST_F(SceneStartupTest, TheFirstInstanceClearsOldCachesAndIgnoresACrashedInstancesFile) {
    dir_.Write("data/Effects/Legacy5/4242/old.fx", "stale");
    dir_.Write("data/Effects/Legacy5/broken.fx", "this is not an effect");
    // Left by an instance that ended without its shutdown: nobody holds its lock.
    dir_.Write("RuqMultiRunCount.4242", "");

    ASSERT_NE(Scene().CreateRenderSystem(Settings()), nullptr);
    Scene().Init(nullptr);

    EXPECT_EQ(Zel::GetEngineEffectRoot(), "../Data/Effects/Legacy5/");
    EXPECT_FALSE(fs::exists(root_ / "data/Effects/Legacy5/4242"));
    EXPECT_FALSE(fs::exists(root_ / "RuqMultiRunCount.4242"));
    EXPECT_EQ(Zel::SceneManager::GetRunningInstanceCount(), 1u);
    EXPECT_TRUE(fs::exists(root_ / "data/Effects/Legacy"));
    // The roots come from the working directory.
    const std::string parent = root_.string();
    EXPECT_EQ(Zel::GetEngineDataRoot(), parent + "/Bin/");
    EXPECT_EQ(Zel::GetEffectIncludeRoot(), parent + "/data/");
    EXPECT_EQ(Zel::GetIncludeRoot(), parent + "/data/include/");
    EXPECT_EQ(Zel::GetResourcesRoot(), parent + "/resources/");
    // Built-in materials exist and a cached effect that does not compile is reported.
    EXPECT_NE(G()->GetMaterialManager()->FindMaterial("Simple", false), nullptr);
    const std::string log = LogText();
    EXPECT_NE(log.find("引擎是否多开：否"), std::string::npos);
    EXPECT_NE(log.find("预加载Fx失败：../Data/Effects/Legacy5/broken.fx"), std::string::npos);
    EXPECT_NE(log.find("SM初始化结束."), std::string::npos);
}

TEST_F(SceneStartupTest, ASecondInstanceKeepsItsOwnCacheAndLeavesTheSharedOne) {
    dir_.Write("data/Effects/Legacy5/4242/old.fx", "in use by the first instance");
    HoldInstanceFile("RuqMultiRunCount.4242");

    ASSERT_NE(Scene().CreateRenderSystem(Settings()), nullptr);
    Scene().Init(nullptr);

    const std::string pid = std::to_string(GetCurrentProcessId());
    EXPECT_EQ(Zel::GetEngineEffectRoot(), "../Data/Effects/Legacy5/" + pid + "\\");
    EXPECT_TRUE(fs::exists(root_ / "data/Effects/Legacy5/4242/old.fx"));
    EXPECT_TRUE(fs::is_directory(root_ / "data/Effects/Legacy5" / pid));
    EXPECT_EQ(Zel::SceneManager::GetRunningInstanceCount(), 2u);
    EXPECT_NE(LogText().find("引擎是否多开：是"), std::string::npos);

    // Shutdown gives the instance's file back.
    G()->Shutdown();
    EXPECT_FALSE(fs::exists(root_ / ("RuqMultiRunCount." + pid)));
    EXPECT_TRUE(fs::exists(root_ / "RuqMultiRunCount.4242"));
}

TEST_F(SceneStartupTest, TheRenderSystemStartsWorkerZeroAndTheUnloadStepStopsIt) {
    ASSERT_NE(Scene().CreateRenderSystem(Settings()), nullptr);
    // A second call answers the same system.
    EXPECT_EQ(Scene().CreateRenderSystem(Settings()), Scene().GetRenderSystem());
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetThread(0);
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(worker->IsStarted());
    // What the library's unload runs before its static destructors.
    Zel::threadmng::StopWorkers();
    EXPECT_FALSE(worker->IsStarted());
}

// The device goes last among what touches it: a live window, a render target bound to a slot
// and a managed texture bound to a material stage at shutdown, which AddressSanitizer checks.
TEST_F(SceneStartupTest, ShutsDownWithALiveWindowTargetAndBoundTexture) {
    Zel::RenderSystem* system = Scene().CreateRenderSystem(Settings());
    ASSERT_NE(system, nullptr);
    Scene().Init(nullptr);
    ASSERT_NE(system->GetMainWindow(), nullptr);
    Zel::TextureManager* textures = G()->GetTextureManager();
    Zel::RenderTarget* target = textures->CreateRenderTarget(false);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(target->Create(16, 16, 1, 0, Zel::PF_A8R8G8B8, 1, false));
    system->SetRenderTarget(1, target);
    Zel::TextureBase* texture = textures->CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(texture->Create(8, 8, 1, 0, Zel::PF_A8R8G8B8, 1, false));
    Zel::Material* quad = G()->GetMaterialManager()->FindMaterial("DrawQuad", false);
    ASSERT_NE(quad, nullptr);
    quad->GetPass(0)->renderState.stages[0].SetTexture(texture);
    G()->Shutdown();
    EXPECT_EQ(G()->GetTextureManager(), nullptr);
}

TEST_F(SceneStartupTest, WithoutADeviceCreateRenderSystemFailsWithAMessageBox) {
    SetModuleMissing("d3d9.dll", TRUE);
    EXPECT_EQ(Scene().CreateRenderSystem(Settings()), nullptr);
    EXPECT_EQ(Scene().GetRenderSystem(), nullptr);
    ASSERT_EQ(Boxes().size(), 2u);  // the device's own box, then the render core's
    EXPECT_EQ(Boxes().back().caption, "ERROR");
    EXPECT_NE(LogText().find("Creating RenderSystem Failed"), std::string::npos);
}

TEST_F(SceneStartupTest, TheOptionTextSetsTheRunMode) {
    Zel::RenderSystem system(&Scene());
    Scene().SetRenderSystem(&system);
    struct Case {
        const char* options;
        std::int32_t mode;
    };
    const Case cases[] = {{"mode=test", 1},    {"mode=normal", 0}, {"test", 0},
                          {"mode=test", 1},    {"normal", 1},      {nullptr, 1},
                          {"mode = normal", 0}};
    for (const Case& c : cases) {
        Scene().Init(c.options);
        EXPECT_EQ(Scene().GetRunMode(), c.mode) << (c.options ? c.options : "(null)");
    }
    Scene().SetRenderSystem(nullptr);
}

std::vector<std::string> FilesStartingWith(const fs::path& directory, const std::string& prefix) {
    std::vector<std::string> names;
    if (!fs::exists(directory))
        return names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SceneStartupTest, ReportsAreNumberedPerKindAndNeedTheirDirectory) {
    fs::create_directories(root_ / "Bin/ResInfo");
    Zel::SceneManager::WriteResourceReport();
    Zel::SceneManager::WriteResourceReport();
    Zel::SceneManager::WriteInstanceReport();
    Zel::SceneManager::WriteInstanceReport();
    const auto resources = FilesStartingWith(root_ / "Bin/ResInfo", "ResInfo_");
    const auto instances = FilesStartingWith(root_ / "Bin/ResInfo", "Instance_");
    ASSERT_EQ(resources.size(), 2u);
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(resources[0].rfind("ResInfo_0_", 0), 0u);
    EXPECT_EQ(resources[1].rfind("ResInfo_1_", 0), 0u);
    EXPECT_EQ(instances[0].rfind("Instance_0_", 0), 0u);
    EXPECT_EQ(instances[1].rfind("Instance_2_", 0), 0u);

    std::ifstream in(root_ / "Bin/ResInfo" / instances[0]);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("SceneNodeFactory : Used="), std::string::npos);
    EXPECT_NE(text.find("SceneManager::EntityList=0,total=0"), std::string::npos);
    EXPECT_NE(text.find("IAnimationChannelImplRCFactory Used=0,UnUsed=0,total=0"),
              std::string::npos);
    EXPECT_NE(text.find("实例大小: "), std::string::npos);
    std::ifstream resourceIn(root_ / "Bin/ResInfo" / resources[0]);
    const std::string resourceText((std::istreambuf_iterator<char>(resourceIn)), {});
    EXPECT_NE(resourceText.find("资源大小 total="), std::string::npos);
    EXPECT_NE(resourceText.find(std::string(68, '*')), std::string::npos);

    // Without the directory nothing is written anywhere.
    fs::remove_all(root_ / "Bin/ResInfo");
    const auto before = std::distance(fs::directory_iterator(root_ / "Bin"), {});
    Zel::SceneManager::WriteResourceReport();
    Zel::SceneManager::WriteInstanceReport();
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "Bin"), {}), before);
    EXPECT_FALSE(fs::exists(root_ / "Bin/ResInfo"));
}

}  // namespace
