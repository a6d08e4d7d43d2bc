// The scene manager: registries that keep every object, lights and cameras with their listeners,
// the view stacks, the frame-rate window, shadow quality and the debug hot keys.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ScopedLock.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "Platform/Win32/Win32Keyboard.h"
#include "Render/RenderSystem.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Core/RecordingTasks.h"

namespace {

using namespace Zel;

class SceneManagerTest : public ZelTest::CoreRootTest {
protected:
    SceneManager& Scene() { return *G()->GetSceneManager(); }
};

TEST_F(SceneManagerTest, ANewSceneHoldsOnlyItsRoot) {
    EXPECT_EQ(Scene().GetNodeCount(), 1u);
    EXPECT_EQ(Scene().FindSceneNode("Root"), Scene().GetRootNode());
    EXPECT_EQ(Scene().GetEntityCount(), 0u);
    EXPECT_EQ(Scene().GetLightCount(), 0u);
    EXPECT_EQ(Scene().GetCameraCount(), 0u);
    EXPECT_EQ(Scene().GetLevel(), nullptr);
    EXPECT_EQ(Scene().GetFrameId(), 1u);
    EXPECT_EQ(Scene().GetShadowQuality(), SHADOW_FAKE);
    EXPECT_TRUE(Scene().IsRenderingEnabled());
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Scene().GetViewMatrix()[i], 0.0f);
        EXPECT_EQ(Scene().GetProjectionMatrix()[i], 0.0f);
    }
    // The scene's switch defaults.
    GlobalConfigManager* config = G()->GetConfigManager();
    EXPECT_EQ(config->GetValue(0), 1);
    EXPECT_EQ(config->GetValue(4), 0);
    EXPECT_EQ(config->GetValue(6), 1);
}

// Two entities under one name, released in either order: the registry keeps both, answers the
// newest and loses exactly the entry of the one released.
TEST_F(SceneManagerTest, ANameRegisteredTwiceSurvivesReleasesInEitherOrder) {
    for (bool newestFirst : {false, true}) {
        ZelTest::LogCapture log;
        Entity* older = Scene().CreateEntity("a");
        Entity* newer = Scene().CreateEntity("a");
        ASSERT_NE(older, newer);
        EXPECT_EQ(Scene().FindEntity("a"), newer);
        Entity* first = newestFirst ? newer : older;
        Entity* second = newestFirst ? older : newer;
        Scene().ReleaseEntity(first);
        EXPECT_EQ(Scene().FindEntity("a"), second) << newestFirst;
        Scene().ReleaseEntity(second);
        EXPECT_EQ(Scene().FindEntity("a"), nullptr);
        EXPECT_EQ(Scene().GetEntityCount(), 0u);
        EXPECT_EQ(log.Count("Release Unknown Entity"), 0) << newestFirst;
    }
    // Scene nodes follow the same rule.
    SceneNode* older = Scene().CreateSceneNode("n");
    SceneNode* newer = Scene().CreateSceneNode("n");
    Scene().DestroySceneNode(newer);
    EXPECT_EQ(Scene().FindSceneNode("n"), older);
}

TEST_F(SceneManagerTest, AnEntityThatWasNeverRegisteredIsLoggedAndStillReturned) {
    Entity* entity = Scene().CreateEntity("x");
    Scene().ReleaseEntity(entity);
    ZelTest::LogCapture log;
    Scene().ReleaseEntity(entity);  // already gone from the registry
    EXPECT_EQ(log.Count("Release Unknown Entity :"), 1);
    EXPECT_FALSE(G()->GetEntityFactory()->GetPool().IsInUse(entity));
}

TEST_F(SceneManagerTest, ReleasedEntitiesGoBackToTheFactoryOfTheirKind) {
    Entity* entity = Scene().CreateEntity();
    SkeletonModel* model = Scene().CreateSkeletonModel();
    Level* level = Scene().CreateLevel();
    Scene().ReleaseAllEntities();
    EXPECT_EQ(Scene().GetEntityCount(), 0u);
    EXPECT_FALSE(G()->GetEntityFactory()->GetPool().IsInUse(entity));
    EXPECT_FALSE(G()->GetSkeletonModelFactory()->GetPool().IsInUse(model));
    EXPECT_FALSE(G()->GetLevelFactory()->GetPool().IsInUse(level));
}

// A loading task on the worker creates entities while the host releases them all: the release
// must not keep the entity lock while the entity goes back (which reaches other locks).
std::atomic<SceneManager*> g_scene{nullptr};
std::atomic<int> g_blockedLookups{0};

void LookUpFromAnotherThread(void*, std::uint32_t) {
    auto lookup = std::async(std::launch::async, [] { g_scene.load()->FindEntity("any"); });
    if (lookup.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
        ++g_blockedLookups;
    lookup.wait();
}

TEST_F(SceneManagerTest, ReleasingEveryEntityLeavesTheEntityLockFreeDuringEachRelease) {
    g_scene = &Scene();
    g_blockedLookups = 0;
    for (int i = 0; i < 3; ++i) Scene().CreateEntity();
    CObjectPool<Entity>& pool = G()->GetEntityFactory()->GetPool();
    const std::uint32_t slot = pool.AddListener(POOL_LISTENER_RELEASE, &LookUpFromAnotherThread);
    Scene().ReleaseAllEntities();
    pool.RemoveListener(POOL_LISTENER_RELEASE, slot);
    EXPECT_EQ(g_blockedLookups, 0);
    EXPECT_EQ(Scene().GetEntityCount(), 0u);
}

// A loading task holds the main lock (the worker runs each step under it) while the host releases
// every entity: the release never waits for the main lock with the entity lock held.
TEST_F(SceneManagerTest, ReleasingEveryEntityWhileALoadingTaskHoldsTheMainLockFinishes) {
    ZelTest::RecordingFactoryScope factory;
    Zel::threadio worker(Zel::WorkerDriver::Thread);
    ASSERT_EQ(worker.Start(nullptr), 0);
    ZelTest::Gate gate;
    ZelTest::TaskParameter blocking;
    blocking.gate = &gate;
    worker.CreateTask(ZelTest::kBlockingTask, &blocking, 0);
    auto pumpUntil = [&worker](auto done) {
        for (long spins = 0; !done(); ++spins) {
            worker.Pump();
            ASSERT_LT(spins, 200000000L);
        }
    };
    std::atomic<bool> entered{false};
    auto waiting = std::async(std::launch::async, [&] {
        gate.WaitUntilEntered();
        entered = true;
    });
    pumpUntil([&] { return entered.load(); });
    for (int i = 0; i < 3; ++i) Scene().CreateEntity();
    auto release = std::async(std::launch::async, [this] { Scene().ReleaseAllEntities(); });
    const bool finished = release.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    gate.Open();
    release.wait();
    EXPECT_TRUE(finished) << "the release waited on the loading task";
    EXPECT_EQ(Scene().GetEntityCount(), 0u);
    for (int i = 0; i < 1000 && worker.GetQueueSizes().active != 0; ++i) worker.Pump();
    EXPECT_EQ(worker.Stop(), 0);
}

std::vector<void*> g_created, g_released;
void OnCreate(void* object, std::uint32_t) {
    g_created.push_back(object);
}
void OnRelease(void* object, std::uint32_t) {
    g_released.push_back(object);
}

TEST_F(SceneManagerTest, LightKindsListingAndListeners) {
    g_created.clear();
    g_released.clear();
    const std::uint32_t createSlot = Scene().AddListener(&OnCreate);
    Scene().AddListener2(&OnRelease);
    const struct {
        std::int32_t type;
        bool made;
    } cases[] = {{-1, false}, {0, true}, {1, true}, {2, true}, {3, true}, {4, false}};
    for (const auto& c : cases) {
        Light* light = Scene().CreateLight("l", c.type);
        EXPECT_EQ(light != nullptr, c.made) << c.type;
        if (light) {
            EXPECT_EQ(light->GetKind(), c.type);
            EXPECT_EQ(light->GetName(), "l");
            EXPECT_TRUE(Scene().Contains(light));
        }
    }
    EXPECT_EQ(Scene().GetLightCount(), 4u);
    EXPECT_EQ(g_created.size(), 4u);
    EXPECT_EQ(Scene().FindEntity("l"), nullptr);  // lights are not entities of the registry

    Light stray;
    Scene().DestroyLight(&stray);
    EXPECT_TRUE(g_released.empty());
    Scene().DestroyLight(static_cast<Light*>(g_created[0]));
    EXPECT_EQ(g_released.size(), 1u);
    EXPECT_EQ(Scene().GetLightCount(), 3u);

    Scene().RemoveListener(createSlot);
    EXPECT_EQ(Scene().AddListener(&OnCreate), createSlot);  // an emptied slot is reused
    IInsList_Impl* list = Scene().GetInsList();
    EXPECT_EQ(list->GetCount(), 3u);
    Scene().DestroyAllLights();
    EXPECT_EQ(g_released.size(), 4u);
}

TEST_F(SceneManagerTest, DestroyingEveryCameraForgetsTheMainAndRenderCameras) {
    Camera* main = Scene().CreateCamera();
    Camera* render = Scene().CreateCamera();
    Scene().SetMainCamera(main);
    Scene().SetRenderCamera(render);
    const float at[3] = {1, 2, 3};
    main->SetPosition(at);
    EXPECT_FLOAT_EQ(Scene().GetMainCameraPosition()[2], 3.0f);
    Scene().DestroyAllCameras();
    EXPECT_EQ(Scene().GetMainCamera(), nullptr);
    EXPECT_EQ(Scene().GetCurrentCamera(), nullptr);
    EXPECT_EQ(Scene().GetCameraCount(), 0u);
    EXPECT_FLOAT_EQ(Scene().GetMainCameraPosition()[2], 0.0f);
}

TEST_F(SceneManagerTest, MatrixStacksGrowByHalfAndKeepEveryPushedMatrix) {
    float m[16] = {};
    for (int i = 0; i < 16; ++i) {
        m[0] = static_cast<float>(i);
        Scene().SetViewMatrix(m);
        Scene().PushViewMatrix();
    }
    const MatrixStack& stack = Scene().GetViewStack();
    EXPECT_EQ(stack.GetCapacity(), 24);
    EXPECT_EQ(stack.GetTop(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(stack.At(i)[0], static_cast<float>(i)) << i;
    for (int i = 0; i < 20; ++i) Scene().PopViewMatrix();
    EXPECT_EQ(stack.GetTop(), 0);

    // projection x view, cached at every change.
    const float view[16] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float projection[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    Scene().SetViewMatrix(view);
    Scene().SetProjectionMatrix(projection);
    const float* vp = Scene().GetViewProjectionMatrix();
    EXPECT_FLOAT_EQ(vp[3], 10.0f);
    EXPECT_FLOAT_EQ(vp[14], 1.0f);
    Scene().PushProjectionMatrix();
    Scene().SetProjectionMatrix(view);
    Scene().PopProjectionMatrix();
    EXPECT_FLOAT_EQ(Scene().GetViewProjectionMatrix()[3], 10.0f);
}

TEST_F(SceneManagerTest, FramesPerSecondOverAWindowOfMoreThanOneSecond) {
    Scene().UpdateFrameRateAt(5000);  // the window begins
    for (int i = 1; i < 59; ++i) Scene().UpdateFrameRateAt(5000 + i);
    Scene().UpdateFrameRateAt(6000);  // exactly a second: nothing yet
    EXPECT_EQ(Scene().GetFramesPerSecond(), 0u);
    Scene().UpdateFrameRateAt(6001);  // 61 calls over 1001 ms
    EXPECT_EQ(Scene().GetFramesPerSecond(), 60u);
    for (int i = 0; i < 59; ++i) Scene().UpdateFrameRateAt(6500);
    Scene().UpdateFrameRateAt(7002);  // 60 calls over 1001 ms
    EXPECT_EQ(Scene().GetFramesPerSecond(), 59u);
}

TEST_F(SceneManagerTest, ShadowQualityOnAFixedFunctionDeviceIsFakeOrOff) {
    const struct {
        bool fixedFunction;
        std::int32_t request, stored;
    } cases[] = {{true, 2, 3}, {true, 1, 3}, {true, 0, 0}, {false, 2, 2}, {false, 0, 0}};
    RenderSystem renderSystem;
    Scene().SetRenderSystem(&renderSystem);
    for (const auto& c : cases) {
        Scene().SetDX7Mode(c.fixedFunction);
        Scene().SetShadowQuality(c.request);
        EXPECT_EQ(Scene().GetShadowQuality(), c.stored) << c.fixedFunction << " " << c.request;
    }
    Scene().SetRenderSystem(nullptr);
    EXPECT_TRUE(Scene().IsDX7Mode());
}

TEST_F(SceneManagerTest, CtrlF8ReloadsTheConfigurationOncePerPress) {
    std::ofstream("EngineConfig.txt") << "draw actor off\r\n";
    GlobalConfigManager* config = G()->GetConfigManager();
    ASSERT_EQ(config->GetValue(15), 1);
    ResetKeyboardState();
    SetKeyDown(VK_F8, true);  // without Ctrl: nothing
    Scene().PollDebugHotKeys();
    SetKeyDown(VK_F8, false);
    Scene().PollDebugHotKeys();
    EXPECT_EQ(config->GetValue(15), 1);
    SetKeyDown(VK_CONTROL, true);
    SetKeyDown(VK_F8, true);
    Scene().PollDebugHotKeys();
    EXPECT_EQ(config->GetValue(15), 0);
    // Still held: the changed file is not read again until the key goes up and down.
    std::ofstream("EngineConfig.txt") << "draw actor on\r\n";
    Scene().PollDebugHotKeys();
    EXPECT_EQ(config->GetValue(15), 0);
    SetKeyDown(VK_F8, false);
    Scene().PollDebugHotKeys();
    SetKeyDown(VK_F8, true);
    Scene().PollDebugHotKeys();
    EXPECT_EQ(config->GetValue(15), 1);
    ResetKeyboardState();
}

}  // namespace
