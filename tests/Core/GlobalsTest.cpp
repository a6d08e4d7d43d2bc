#include <gtest/gtest.h>

#include "Core/ActorIdCounter.h"
#include "Core/CResourceGroupManager.h"
#include "Core/CResourceManager.h"
#include "Core/Factory.h"
#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/TaskFactory.h"
#include "Core/itask.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorTemplates.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Character/Bone.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/SceneNode.h"
#include "Entity/Scene/SimpLevel.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/SubEntity.h"
#include "Interface/SystemInfo.h"
#include "Render/RenderResourceManager.h"
#include "Render/RenderResourceRegistry.h"
#include "CoreRootFixture.h"
#include "support/LogCapture.h"

namespace {

using Zel::Globals;
using GlobalsTest = ZelTest::CoreRootTest;

// Every getter of Globals, in slot order, as "is it set".
std::vector<std::pair<const char*, bool>> Members(Globals* g) {
    return {
        {"ActionManager", g->GetActionManager()},
        {"ActorBodyTexture", g->GetActorBodyTexture()},
        {"ActorIdCounter", g->GetActorIdCounter()},
        {"AnimationManager", g->GetAnimationManager()},
        {"SceneNodeFactory", g->GetSceneNodeFactory()},
        {"SkeletonManager", g->GetSkeletonManager()},
        {"EntityFactory", g->GetEntityFactory()},
        {"SubEntityFactory", g->GetSubEntityFactory()},
        {"LevelFactory", g->GetLevelFactory()},
        {"SimpLevelFactory", g->GetSimpLevelFactory()},
        {"BoneFactory", g->GetBoneFactory()},
        {"ActionFactory", g->GetActionFactory()},
        {"SkeletonModelFactory", g->GetSkeletonModelFactory()},
        {"ActorFactory", g->GetActorFactory()},
        {"NewActorFactory", g->GetNewActorFactory()},
        {"DeformedModelFactory", g->GetDeformedModelFactory()},
        {"BillBoardFactory", g->GetBillBoardFactory()},
        {"DecalFactory", g->GetDecalFactory()},
        {"ParticleFactory", g->GetParticleFactory()},
        {"ParticleInstanceFactory", g->GetParticleInstanceFactory()},
        {"DeformedSkeletonModelFactory", g->GetDeformedSkeletonModelFactory()},
        {"BoneStatePool", g->GetBoneStatePool()},
        {"ShaderPath", g->GetShaderPath()},
        {"GeometryManager", g->GetGeometryManager()},
        {"GpuProgramManager", g->GetGpuProgramManager()},
        {"HardwareBufferManager", g->GetHardwareBufferManager()},
        {"ImageManager", g->GetImageManager()},
        {"MaterialManager", g->GetMaterialManager()},
        {"MeshSerializer", g->GetMeshSerializer()},
        {"RenderResourceRegistry", g->GetRenderResourceRegistry()},
        {"SceneManager", g->GetSceneManager()},
        {"TextureManager", g->GetTextureManager()},
        {"XMLManager", g->GetXMLManager()},
        {"TextBoxManager", g->GetTextBoxManager()},
        {"FrameProfiler", g->GetFrameProfiler()},
        {"GlobalConfigImpl", g->GetGlobalConfigImpl()},
        {"PhysicsWorld", g->GetPhysicsWorld()},
        {"GraphicsAPIManager", g->GetGraphicsAPIManager()},
        {"ResourceGroupManager", g->GetResourceGroupManager()},
        {"ConfigManager", g->GetConfigManager()},
        {"CommandSystem", g->GetCommandSystem()},
        {"DeviceCaps", g->GetDeviceCaps()},
        {"FrameStats", g->GetFrameStats()},
        {"RenderInterface", g->GetRenderInterface()},
        {"LogManager", g->GetLogManager()},
        {"DebugHelper", g->GetDebugHelper()},
        {"ActorTemplates", g->GetActorTemplates()},
        {"Timer", g->GetTimer()},
        {"DebugConsole", g->GetDebugConsole()},
        {"ConsoleTextBuffer", g->GetConsoleTextBuffer()},
        {"SystemInfo", g->GetSystemInfo()},
        {"ProcessorCaps", g->GetProcessorCaps()},
    };
}

TEST_F(GlobalsTest, InitBuildsEveryMemberAndShutdownClearsEveryOne) {
    Globals* g = G();
    ASSERT_TRUE(g->IsInitialised());
    for (auto [name, set] : Members(g)) EXPECT_TRUE(set) << name;
    EXPECT_EQ(*g->GetShaderPath(), "../Resources/Media/Shaders/");
    EXPECT_EQ(g->GetSystemInfo()->value0, 100u);
    EXPECT_EQ(g->GetSystemInfo()->value16, 6u);
    EXPECT_EQ(g->GetFrameStats()->words[Zel::FRAME_TIME_MS], 0u);

    g->Shutdown();
    for (auto [name, set] : Members(g)) EXPECT_FALSE(set) << name;
    EXPECT_EQ(g->GetFrameId(), 0u);
    // The same object comes back; nothing is built again, and a second shutdown does nothing.
    EXPECT_EQ(Globals::GetSingleton(), g);
    EXPECT_EQ(g->GetLogManager(), nullptr);
    g->Shutdown();
    g->ReleaseRenderInterface();
}

TEST_F(GlobalsTest, ManagersLeaveBothRegistriesBeforeTheyAreDestroyed) {
    Globals* g = G();
    EXPECT_EQ(g->GetRenderResourceRegistry()->GetRegisteredCount(), 4u);  // texture, GPU program,
                                                                          // buffer, text box
    for (const char* type : {"Image", "Material", "Geometry", "ActionResource", "Animation",
                             "SkeletonResource", "XML", "GpuProgram"})
        EXPECT_NE(g->GetResourceGroupManager()->GetManager(type), nullptr) << type;
    EXPECT_EQ(g->GetResourceGroupManager()->GetManagerCount(), 8u);

    // The registries report what is left when they go.
    ZelTest::LogCapture capture;
    g->Shutdown();
    EXPECT_EQ(capture.Count("still registered"), 0);
}

struct StrayManager : Zel::RenderResourceManager {
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void PurgeUnused() override {}
};

TEST_F(GlobalsTest, ARegistryReportsAManagerStillRegisteredAtShutdown) {
    StrayManager stray;
    G()->GetRenderResourceRegistry()->Register(&stray);
    ZelTest::LogCapture capture;
    G()->Shutdown();
    EXPECT_EQ(capture.CountKind(Zel::LOG_LEVEL_WARNING, "1 managers still registered"), 1);
}

// Pooled objects in use, actors held as templates and an id counter in use at shutdown: the
// holders go before what they use, which AddressSanitizer checks.
TEST_F(GlobalsTest, ShutsDownWithLiveObjectsEverywhere) {
    Globals* g = G();
    g->GetSceneNodeFactory()->Acquire();
    g->GetEntityFactory()->Acquire();
    g->GetSubEntityFactory()->Acquire();
    g->GetLevelFactory()->Acquire();
    g->GetSimpLevelFactory()->Acquire();
    g->GetBoneFactory()->Acquire();
    g->GetActionFactory()->Acquire();
    g->GetSkeletonModelFactory()->Acquire();
    g->GetNewActorFactory()->Acquire();
    g->GetDeformedModelFactory()->Acquire();
    g->GetBillBoardFactory()->Acquire();
    g->GetDecalFactory()->Acquire();
    g->GetParticleFactory()->Acquire();
    g->GetParticleInstanceFactory()->Acquire();
    g->GetDeformedSkeletonModelFactory()->Acquire();
    Zel::Actor* first = g->GetActorFactory()->Acquire();
    Zel::Actor* second = g->GetActorFactory()->Acquire();
    g->GetActorTemplates()->SetTemplate(0, first);
    g->GetActorTemplates()->SetTemplate(1, second);
    g->GetActorFactory()->Acquire();
    g->Shutdown();
    EXPECT_EQ(g->GetActorFactory(), nullptr);
}

TEST_F(GlobalsTest, ActorsTakeIdsFromTheCounterFromTheFirstPoolFillOn) {
    // The actor pool made 4 actors and the new-actor pool 4 more, ids 0-7.
    EXPECT_EQ(G()->GetActorIdCounter()->Current(), 7);
    Zel::Actor* actor = G()->GetActorFactory()->Acquire();
    EXPECT_GE(actor->GetActorId(), 0);
    EXPECT_LE(actor->GetActorId(), 3);
}

TEST_F(GlobalsTest, DeletingTheSingletonStartsAfresh) {
    Globals* first = G();
    first->GetFrameStats()->words[Zel::FRAME_PUSHED_MODELS] = 5;
    Globals::DeleteSingleton();
    EXPECT_EQ(Globals::GetExisting(), nullptr);
    EXPECT_EQ(G()->GetFrameStats()->words[Zel::FRAME_PUSHED_MODELS], 0u);
}

// A task whose completion, which runs inside the worker's pump, tears the renderer down.
class ShutdownOnCompleteTask final : public Zel::itask {
public:
    std::int32_t GetType() const override { return 0; }
    void OnComplete() override { Globals::GetSingleton()->Shutdown(); }
};
Zel::itask* MakeShutdownTask(std::int32_t type) {
    return type == 0 ? new ShutdownOnCompleteTask : nullptr;
}

TEST_F(GlobalsTest, AShutdownTheWorkerCannotStopForLeavesTheManagersUntilALaterOne) {
    const Zel::TaskFactoryFunction previous = Zel::SetTaskFactory(&MakeShutdownTask);
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
    ASSERT_EQ(worker->Start(nullptr), 0);
    ASSERT_NE(worker->CreateTask(0, nullptr, 0), 0u);
    EXPECT_EQ(worker->Stop(), 0);  // the pump runs the completion, whose stop is refused
    Zel::SetTaskFactory(previous);

    EXPECT_FALSE(G()->IsShutDown());
    EXPECT_EQ(G()->GetRenderInterface(), nullptr);
    EXPECT_NE(G()->GetSceneManager(), nullptr);
    EXPECT_NE(G()->GetLogManager(), nullptr);
    EXPECT_NE(LogText().find(":ERROR:Globals::Shutdown: worker 0 could not be stopped"),
              std::string::npos)
        << LogText();
    G()->Shutdown();
    EXPECT_TRUE(G()->IsShutDown());
    EXPECT_EQ(G()->GetSceneManager(), nullptr);
}

TEST(FrameStatsTest, SumWordsAddUpTheirParts) {
    Zel::FrameStats stats;
    stats[Zel::FRAME_DRAW_INDEXED] = 3;
    stats[Zel::FRAME_DRAW_INDEXED_USER] = 4;
    stats[Zel::FRAME_DRAW_NON_INDEXED] = 5;
    stats[Zel::FRAME_STREAM_BINDINGS] = 10;
    stats[Zel::FRAME_DYNAMIC_STREAM_BINDINGS] = 11;
    stats[Zel::FRAME_NODES_TESTED] = 100;
    stats[Zel::FRAME_INDEX_BUFFER_BINDINGS] = 13;
    stats.UpdateSums();
    EXPECT_EQ(stats.words[1], 12u);
    EXPECT_EQ(stats.words[9], 34u);
}

}  // namespace
