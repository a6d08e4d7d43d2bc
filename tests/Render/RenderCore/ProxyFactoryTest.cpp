// The proxy factory a host tool gets from CreateIProxyFactory: the environment's cached manager
// proxies, the pool proxies under their lock, the window proxies and the service proxies.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/ZelEngine.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "Render/RenderSystem.h"
#include "Render/RenderWindow.h"
#include "Render/WidgetRenderImpl.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

struct FactoryDeleter {
    void operator()(ZelI::IProxyFactory* factory) const { delete factory; }
};
using FactoryPtr = std::unique_ptr<ZelI::IProxyFactory, FactoryDeleter>;

class ProxyFactoryTest : public CoreRootTest {
protected:
    FactoryPtr factory_{CreateIProxyFactory()};
    ZelI::IGlobalEnvironment* Env() { return factory_->GetGlobalEnvironment(); }
};

TEST_F(ProxyFactoryTest, EachCallMakesANewFactoryAndEnvironmentProxiesAreCached) {
    FactoryPtr other(CreateIProxyFactory());
    ASSERT_TRUE(factory_ && other);
    EXPECT_NE(factory_.get(), other.get());
    EXPECT_EQ(factory_->GetGlobalEnvironment(), factory_->GetGlobalEnvironment());
    EXPECT_NE(factory_->GetGlobalEnvironment(), other->GetGlobalEnvironment());
    EXPECT_EQ(factory_->GetRenderProxy(), factory_->GetRenderProxy());

    ZelI::IResMngProxy* materials = Env()->GetMaterialManager();
    ASSERT_NE(materials, nullptr);
    // The host's Release on a cached proxy leaves it to the environment (freed once, at the end).
    materials->Release();
    EXPECT_EQ(Env()->GetMaterialManager(), materials);
    EXPECT_FALSE(materials->Exists("nothing.mtl"));

    ZelI::IModelProxy* a = factory_->CreateModelProxy(nullptr);
    ZelI::IModelProxy* b = factory_->CreateModelProxy(nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->GetMeshCount(), 0u);
    EXPECT_EQ(a->GetMaterialCount(), 0);
    EXPECT_FALSE(a->IsTextureGenerated(0));
    a->Release();
    b->Release();
}

TEST_F(ProxyFactoryTest, EveryEnvironmentPositionAnswers) {
    using Getter = void* (*)(ZelI::IGlobalEnvironment*);
    const std::vector<std::pair<const char*, Getter>> positions = {
        {"materials", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetMaterialManager(); }},
        {"textures", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetTextureManager(); }},
        {"targets",
         [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetRenderTargetManager(); }},
        {"actions", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetActionManager(); }},
        {"geometry", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetGeometryManager(); }},
        {"effects", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetEffectManager(); }},
        {"index", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetIndexBufferManager(); }},
        {"vertex",
         [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetVertexBufferManager(); }},
        {"skeletons", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetSkeletonManager(); }},
        {"nodes", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetSceneNodeFactory(); }},
        {"scene", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetSceneManager(); }},
        {"actors", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetActorFactory(); }},
        {"lights", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetLightFactory(); }},
        {"effect factory",
         [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetEffectFactory(); }},
        {"io", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetIOTaskInfo(); }},
        {"config", [](ZelI::IGlobalEnvironment* e) -> void* { return e->GetGlobalConfig(); }},
    };
    for (const auto& [name, get] : positions) {
        void* first = get(Env());
        EXPECT_NE(first, nullptr) << name;
        EXPECT_EQ(get(Env()), first) << name;
    }
}

TEST_F(ProxyFactoryTest, EffectProxiesAnswerNothingWithoutAHostManager) {
    ZelI::IResMngProxy* effects = Env()->GetEffectManager();
    EXPECT_FALSE(effects->Exists("fire"));
    EXPECT_EQ(effects->GetResList(), nullptr);
    EXPECT_FALSE(effects->Unload("fire"));
    ZelI::IEffFactoryProxy* instances = Env()->GetEffectFactory();
    EXPECT_EQ(instances->GetInUseList(), nullptr);
    EXPECT_EQ(instances->CollectUnused(), 0u);
}

void CountAcquire(void*, std::uint32_t) {}

TEST_F(ProxyFactoryTest, PoolListenersReuseFreedIndexesAndListsFollowThePool) {
    ZelI::IInsFactoryProxy* entities = Env()->GetEntityFactory();
    EXPECT_EQ(entities->AddAcquireListener(&CountAcquire), 0u);
    EXPECT_EQ(entities->AddAcquireListener(&CountAcquire), 1u);
    EXPECT_EQ(entities->AddAcquireListener(&CountAcquire), 2u);
    entities->RemoveAcquireListener(5);  // past the end: nothing
    EXPECT_EQ(entities->AddAcquireListener(&CountAcquire), 3u);
    entities->RemoveAcquireListener(1);
    EXPECT_EQ(entities->AddAcquireListener(&CountAcquire), 1u);

    Zel::Factory<Zel::Entity>* factory = G()->GetEntityFactory();
    const std::uint32_t before = entities->GetInUseList()->GetCount();
    Zel::Entity* entity = factory->Acquire();
    ASSERT_NE(entity, nullptr);
    EXPECT_TRUE(entities->IsInUse(entity));
    ZelI::IInsList* inUse = entities->GetInUseList();
    EXPECT_EQ(inUse->GetCount(), before + 1);
    EXPECT_EQ(inUse->GetAt(inUse->GetCount()), nullptr);
    factory->Release(entity);
    EXPECT_FALSE(entities->IsInUse(entity));
    EXPECT_NE(entities->GetFreeList(), nullptr);
    for (std::uint32_t i = 0; i < 4; ++i) entities->RemoveAcquireListener(i);
}

TEST_F(ProxyFactoryTest, TheActorFactoryListsTheActorsInUse) {
    ZelI::IInsFactoryProxy* actors = Env()->GetActorFactory();
    ASSERT_NE(actors, nullptr);
    Zel::Factory<Zel::Actor>* factory = G()->GetActorFactory();
    const std::uint32_t before = actors->GetInUseList()->GetCount();
    Zel::Actor* actor = factory->Acquire();
    ASSERT_NE(actor, nullptr);
    EXPECT_TRUE(actors->IsInUse(actor));
    ZelI::IInsList* inUse = actors->GetInUseList();
    ASSERT_EQ(inUse->GetCount(), before + 1);
    bool listed = false;
    for (std::uint32_t i = 0; i < inUse->GetCount(); ++i) listed = listed || inUse->GetAt(i) == actor;
    EXPECT_TRUE(listed);
    factory->Release(actor);
    EXPECT_FALSE(actors->IsInUse(actor));
    EXPECT_EQ(actors->GetInUseList()->GetCount(), before);
}

TEST_F(ProxyFactoryTest, ManagerProxiesUnloadOnlyWhatExists) {
    EXPECT_FALSE(Env()->GetMaterialManager()->Unload("no such material"));
    EXPECT_FALSE(Env()->GetTextureManager()->Unload("no such texture.dds"));
    EXPECT_FALSE(Env()->GetRenderTargetManager()->Unload("anything"));
    EXPECT_EQ(Env()->GetRenderTargetManager()->GetGarbageList(), nullptr);
    EXPECT_EQ(Env()->GetLightFactory()->GetFreeList(), nullptr);
    EXPECT_EQ(Env()->GetSceneManager()->GetFreeList(), nullptr);
    // Clean-up and the action-tree release on an idle system change nothing a tool can see.
    Env()->CollectResources();
    Env()->ReleaseActionTrees();
    EXPECT_EQ(Env()->GetMaterialManager()->GetGarbageList()->GetCount(), 0u);
}

TEST_F(ProxyFactoryTest, PreferExSwitchIsMatchedByExactName) {
    ZelI::IGlobalConfigProxy* config = Env()->GetGlobalConfig();
    const struct {
        const char* name;
        std::int32_t read;
    } cases[] = {{"EnableD3D9Ex", 1}, {"enabled3d9ex", 0}, {"EnableD3D9Ex ", 0}, {nullptr, 0}};
    config->SetValue("EnableD3D9Ex", 1);
    EXPECT_EQ(G()->GetConfigManager()->GetValue(Zel::IGlobalConfigProxyImpl::kPreferExSwitch), 1);
    for (const auto& c : cases)
        EXPECT_EQ(config->GetValue(c.name), c.read) << (c.name ? c.name : "null");
    config->SetValue("enabled3d9ex", 0);  // unknown: nothing set
    EXPECT_EQ(config->GetValue("EnableD3D9Ex"), 1);
    config->SetValue("EnableD3D9Ex", 0);
}

TEST_F(ProxyFactoryTest, ServiceProxiesComeFromGlobals) {
    EXPECT_EQ(factory_->GetLogManager(), factory_->GetLogManager());
    EXPECT_NE(factory_->GetLogManager()->GetSettings(), 0u);
    EXPECT_NE(factory_->GetCommandSystem(), nullptr);
    EXPECT_NE(factory_->GetDebugConsole(), nullptr);
    EXPECT_EQ(Env()->SetActorFlag(1), 1);
    EXPECT_EQ(Zel::GetActorEnvironmentFlag(), 1);
    Env()->SetActorFlag(0);
    ZelI::IIOTaskInfo* io = Env()->GetIOTaskInfo();
    EXPECT_EQ(io->GetActiveCount(), 0u);
    EXPECT_EQ(io->GetFinishedCount(), 0u);
}

TEST_F(OpenWindowTest, CurrentWindowProxyDrawsIntoTheMainWindowAndOutlivesTheFactory) {
    FactoryPtr factory(CreateIProxyFactory());
    ZelI::IRenderProxy* render = factory->GetRenderProxy();
    ZelI::IRenderWndProxy* main = render->GetMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->GetWindowHandle(), Render()->GetWindowHandle());
    main->MakeCurrent(true);
    EXPECT_EQ(static_cast<Zel::IRenderProxy_Impl*>(render)->GetCurrentWindow(),
              Render()->GetWindowHandle());
    System()->SetActiveRenderWindow(nullptr);
    main->BeginDraw();
    EXPECT_EQ(System()->GetActiveRenderWindow(), System()->GetMainWindow());
    factory.reset();
    // The window proxy keeps the current-window state it shares.
    main->MakeCurrent(false);
    main->BeginDraw();
    EXPECT_EQ(System()->GetActiveRenderWindow(), System()->GetMainWindow());
    delete main;
}

}  // namespace
}  // namespace ZelTest

namespace ZelTest {
namespace {

// The debug-drawing services: the render system's auxiliary renderer, one widget renderer per
// factory (freed with it) and widget boxes that leave it when released.
TEST_F(OpenWindowTest, TheFactoryHandsOutTheDrawingServicesAndFreesItsWidgetRenderer) {
    FactoryPtr factory(CreateIProxyFactory());
    EXPECT_EQ(factory->GetAuxRender(), System()->GetAuxRenderer());
    ASSERT_NE(factory->GetAuxRender(), nullptr);
    ZelI::IWidgetRender* widgets = factory->GetWidgetRender();
    ASSERT_NE(widgets, nullptr);
    EXPECT_EQ(factory->GetWidgetRender(), widgets);
    FactoryPtr other(CreateIProxyFactory());
    EXPECT_NE(other->GetWidgetRender(), widgets);

    struct Case {
        bool minimum;
        bool maximum;
        std::vector<float> corners;  // minimum then maximum, as read back
    };
    const float low[3] = {-1.0f, -2.0f, -3.0f};
    const float high[3] = {1.0f, 2.0f, 3.0f};
    const Case cases[] = {
        {true, true, {-1, -2, -3, 1, 2, 3}},
        {false, true, {0, 0, 0, 1, 2, 3}},  // a missing corner is the origin
        {true, false, {-1, -2, -3, 0, 0, 0}},
    };
    std::vector<ZelI::IWidgetAABB*> boxes;
    for (const Case& c : cases) {
        ZelI::IWidgetAABB* box =
            factory->CreateWidgetAABB(c.minimum ? low : nullptr, c.maximum ? high : nullptr);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), box), 0) << "a new box per call";
        float corners[6] = {};
        box->GetMinMax(corners, corners + 3);
        EXPECT_EQ(std::vector<float>(corners, corners + 6), c.corners);
        box->SetDrawModes(true, false);
        widgets->AddWidget(box);
        boxes.push_back(box);
    }
    auto* renderer = static_cast<Zel::WidgetRenderImpl*>(widgets);
    renderer->Render();
    ASSERT_EQ(renderer->GetBoxRenderer().GetLastDraws().size(), 1u);
    EXPECT_EQ(renderer->GetBoxRenderer().GetLastDraws()[0].boxes, 3u);
    boxes[0]->Release();
    EXPECT_EQ(renderer->GetList(0).size(), 2u);
    // The factory frees its renderer; boxes still held by the host forget it.
    factory.reset();
    for (std::size_t i = 1; i < boxes.size(); ++i) boxes[i]->Release();
}

// A host may delete its factory after the renderer: the widget renderer's device objects and
// effect program went with the renderer (AddressSanitizer sees a late release).
TEST_F(OpenWindowTest, AFactoryDeletedAfterTheRendererFreesNothingTwice) {
    FactoryPtr factory(CreateIProxyFactory());
    ZelI::IWidgetRender* widgets = factory->GetWidgetRender();
    ASSERT_NE(widgets, nullptr);
    const float corner[3] = {1.0f, 1.0f, 1.0f};
    ZelI::IWidgetAABB* box = factory->CreateWidgetAABB(nullptr, corner);
    widgets->AddWidget(box);
    Zel::Globals::DeleteSingleton();
    box->Release();
    factory.reset();
}

// A textured cube of the data tree seen through a model proxy: its meshes, sub-entities and
// textures.
TEST_F(OpenWindowTest, ModelProxyCountsTheModelsMeshesAndTextures) {
    FactoryPtr factory(CreateIProxyFactory());
    ZelI::IModel* model =
        Render()->CreateModel(ZelDemo::HostModelName("models/textured_cube.dm3").c_str(), 0);
    ASSERT_NE(model, nullptr);
    ZelI::IModelProxy* proxy = factory->CreateModelProxy(model);
    EXPECT_GE(proxy->GetMeshCount(), 1u);
    EXPECT_GE(proxy->GetVertexCount(), 24u);  // a cube with its own normals per face
    EXPECT_GE(proxy->GetIndexCount(), 36u);
    EXPECT_GE(proxy->GetSubEntityCount(), 1u);
    EXPECT_GE(proxy->GetTextureCount(), 1u);
    EXPECT_FALSE(proxy->IsTextureGenerated(proxy->GetTextureCount()));
    // The model's material table: the cube's one material, nothing past the end.
    ASSERT_EQ(proxy->GetMaterialCount(), 1);
    EXPECT_EQ(proxy->GetMaterial(0)->GetName(), ZelDemo::DemoNames().texturedMaterial);
    EXPECT_EQ(proxy->GetMaterial(proxy->GetMaterialCount()), nullptr);
    proxy->Release();
    model->Release();
}

}  // namespace
}  // namespace ZelTest
