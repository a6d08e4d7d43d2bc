// The render queue and its groups: which group every pass of a piece lands in, the per-slot,
// per-light, per-pass batches of the solid groups, the far-to-near order and the two-sided pairs of
// the transparent groups, and that a steady frame allocates nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <new>
#include <set>
#include <tuple>

#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderableGroup.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

// Counts the heap allocations of the calling thread while counting is on.
thread_local bool tCounting = false;
thread_local std::size_t tAllocations = 0;

}  // namespace

// The replacements hand out and take back malloc blocks, every form of them, so that no block
// crosses to another allocator; the compiler, seeing free after an inlined operator new, would
// take them for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
void* Counted(std::size_t size) noexcept {
    if (tCounting)
        ++tAllocations;
    return std::malloc(size ? size : 1);
}
}  // namespace
void* operator new(std::size_t size) {
    if (void* p = Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using namespace Zel;
using ZelTest::PassSpec;

class RenderQueueTest : public ZelTest::SceneTest {
protected:
    RenderableGroupSolid* Solid(std::uint32_t id) {
        return dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(id));
    }
    RenderableGroupTransparent* Transparent(std::uint32_t id) {
        return dynamic_cast<RenderableGroupTransparent*>(Queue().FindGroup(id));
    }
    // Every (group, pass index) a piece was filed under, over the solid and transparent groups.
    std::multiset<std::pair<std::uint32_t, std::uint32_t>> Filed() {
        std::multiset<std::pair<std::uint32_t, std::uint32_t>> out;
        for (std::uint32_t id = 0; id < RENDER_GROUP_COUNT; ++id) {
            if (auto* solid = Solid(id)) {
                solid->ForEachList([&](std::int32_t, Light*, const RenderableList& list) {
                    for (std::size_t i = 0; i < list.renderables.size(); ++i)
                        out.insert({id, list.pass->passIndex});
                });
            } else if (auto* transparent = Transparent(id)) {
                for (const auto& entry : transparent->GetEntries())
                    out.insert({id, entry.pass->passIndex});
            }
        }
        return out;
    }
};

TEST_F(RenderQueueTest, EachPassLandsInItsGroupAndBlendingMovesTheRestOfTheMaterial) {
    struct Case {
        const char* name;
        std::vector<PassSpec> passes;
        std::uint32_t group;
        std::multiset<std::pair<std::uint32_t, std::uint32_t>> filed;
    };
    const PassSpec solid, blend{true};
    const std::vector<Case> cases = {
        {"solid entity pass", {solid}, 9, {{9, 0}}},
        {"first pass blends", {blend, solid}, 9, {{13, 0}, {13, 1}}},
        {"second pass blends", {solid, blend}, 11, {{11, 0}, {13, 1}}},
        {"level pass blends", {blend}, 8, {{12, 0}}},
        {"shadow casters keep their group", {blend}, 2, {{2, 0}}},
        {"receivers keep their group", {blend, solid}, 3, {{3, 0}, {3, 1}}},
    };
    Mesh& mesh = MakeMesh();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material& material = MakeMaterial(c.passes);
        Entity& entity = MakeEntity({&mesh}, &material);
        Queue().AddRenderable(entity.GetSubEntity(0), nullptr, c.group, 0, nullptr);
        EXPECT_EQ(Filed(), c.filed);
        Queue().ClearAll();
    }
}

TEST_F(RenderQueueTest, APieceWithoutAReadyProgramOrMaterialIsNotQueued) {
    Mesh& mesh = MakeMesh();
    Entity& unready = MakeEntity({&mesh}, &MakeMaterial({{}}, false));
    Entity& bare = MakeEntity({&mesh}, nullptr);
    unready.AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    bare.AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    EXPECT_TRUE(Filed().empty());
}

TEST_F(RenderQueueTest, PiecesBatchIntoOneListPerSlotLightAndPass) {
    // 3 entities x 2 materials (2 passes each) x 2 lights, every piece per light through the
    // lit road: each (slot, light, pass) list holds the three entities' pieces in queue order.
    constexpr int kEntities = 3, kLights = 2;
    Material& a = MakeMaterial({{}, {}});
    Material& b = MakeMaterial({{}, {}});
    a.flags = b.flags = MF_LIT;
    a.firstSettingWord = 4;
    b.firstSettingWord = 5;
    Light* lights[kLights] = {Scene().CreateLight(1), Scene().CreateLight(1)};
    std::vector<Entity*> entities;
    for (int e = 0; e < kEntities; ++e) {
        Entity& entity = MakeEntity({}, nullptr);
        AddPiece(entity, MakeMesh(float(e)), &a);
        AddPiece(entity, MakeMesh(float(e)), &b);
        entities.push_back(&entity);
    }
    for (Light* light : lights)
        for (Entity* entity : entities) entity->AddSubEntitiesForLight(&Queue(), light, nullptr);

    RenderableGroupSolid* group = Solid(RENDER_GROUP_ENTITY_PER_LIGHT);
    ASSERT_NE(group, nullptr);
    std::size_t lists = 0;
    for (const auto& [material, slot] : {std::pair{&a, 4}, std::pair{&b, 5}}) {
        const PerLightPipelineMap* map = group->FindLightPipelineMap(slot);
        ASSERT_NE(map, nullptr);
        ASSERT_EQ(map->GetPipelines().size(), std::size_t(kLights));
        for (const auto& [light, pipeline] : map->GetPipelines()) {
            EXPECT_EQ(pipeline->GetLight(), light);
            ASSERT_EQ(pipeline->GetLists().size(), 2u);
            for (const RenderableList* list : pipeline->GetLists()) {
                EXPECT_EQ(list->pass->GetOwner(), material);
                ASSERT_EQ(list->renderables.size(), std::size_t(kEntities));
                for (int e = 0; e < kEntities; ++e)
                    EXPECT_EQ(list->renderables[e], entities[e]->GetSubEntity(slot - 4));
                ++lists;
            }
        }
    }
    EXPECT_EQ(lists, std::size_t(2 * 2 * kLights));
}

TEST_F(RenderQueueTest, PiecesOfAnInvisibleLightAreDroppedAndANullLightAlwaysTakes) {
    Material& material = MakeMaterial({{}});
    material.flags = MF_LIT;
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    Light* light = Scene().CreateLight(1);
    light->ClearStateBits(NODE_VISIBLE);
    entity.AddSubEntitiesForLight(&Queue(), light, nullptr);
    Queue().AddRenderable(entity.GetSubEntity(0), nullptr, RENDER_GROUP_ENTITY_PER_LIGHT, 4,
                          nullptr);
    const PerLightPipelineMap* map = Solid(RENDER_GROUP_ENTITY_PER_LIGHT)->FindLightPipelineMap(4);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->GetPipelines().at(light)->IsEmpty());
    EXPECT_FALSE(map->GetPipelines().at(nullptr)->IsEmpty());
}

TEST_F(RenderQueueTest, ADestroyedLightLeavesNoBatchesBehind) {
    Material& material = MakeMaterial({{}});
    material.flags = MF_LIT;
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    Light* kept = Scene().CreateLight(1);
    Light* gone = Scene().CreateLight(1);
    for (Light* light : {kept, gone}) entity.AddSubEntitiesForLight(&Queue(), light, nullptr);
    Scene().DestroyLight(gone);
    const auto& pipelines =
        Solid(RENDER_GROUP_ENTITY_PER_LIGHT)->FindLightPipelineMap(4)->GetPipelines();
    ASSERT_EQ(pipelines.size(), 1u);
    EXPECT_EQ(pipelines.begin()->first, kept);
    // The group takes pieces for the kept light as before.
    Queue().ClearAll();
    entity.AddSubEntitiesForLight(&Queue(), kept, nullptr);
    EXPECT_FALSE(pipelines.at(kept)->IsEmpty());
}

TEST_F(RenderQueueTest, EveryPassObjectGetsItsOwnListUnderManyKeys) {
    // Many materials sharing one program and pass indices: their passes differ only by object.
    constexpr int kMaterials = 200;
    Mesh& mesh = MakeMesh();
    std::set<const Pass*> passes;
    for (int m = 0; m < kMaterials; ++m) {
        Material& material = MakeMaterial({{}, {}});
        Entity& entity = MakeEntity({&mesh}, &material);
        Queue().AddRenderable(entity.GetSubEntity(0), nullptr, 9, 0, nullptr);
        passes.insert(material.GetPass(0));
        passes.insert(material.GetPass(1));
    }
    const auto& pipeline = Solid(9)->FindLightPipelineMap(0)->GetPipelines().at(nullptr);
    ASSERT_EQ(pipeline->GetLists().size(), passes.size());
    for (const RenderableList* list : pipeline->GetLists()) {
        EXPECT_EQ(list->renderables.size(), 1u);
        EXPECT_EQ(pipeline->Find(PassKey::Of(*list->pass)), list);
        EXPECT_EQ(passes.erase(list->pass), 1u);
    }
}

class TransparentOrderTest : public RenderQueueTest {
protected:
    // A camera at the origin looking along -Z.
    Camera* LookDownMinusZ() {
        Camera* camera = Scene().CreateCamera();
        Scene().SetMainCamera(camera);
        return camera;
    }
    Entity& At(float z, Material& material, Mesh* mesh = nullptr) {
        Entity& entity = MakeEntity({mesh ? mesh : &MakeMesh()}, &material);
        const float position[3] = {0.0f, 0.0f, z};
        entity.SetPosition(position);
        return entity;
    }
    std::vector<Renderable*> Order() {
        std::vector<Renderable*> out;
        for (const auto& entry : Transparent(13)->GetEntries()) out.push_back(entry.renderable);
        return out;
    }
};

TEST_F(TransparentOrderTest, PiecesComeOutFarToNearEqualDepthsInQueueOrder) {
    LookDownMinusZ();
    Material& glass = MakeMaterial({{true}});
    Entity& near = At(-2.0f, glass);
    Entity& far = At(-9.0f, glass);
    Entity& tieA = At(-5.0f, glass);
    Entity& tieB = At(-5.0f, glass);
    Entity& behind = At(7.0f, glass);  // behind the camera: the depth counts as a distance
    for (Entity* e : {&near, &tieA, &far, &tieB, &behind})
        e->AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    Transparent(13)->Render();
    const std::vector<Renderable*> expected = {far.GetSubEntity(0), behind.GetSubEntity(0),
                                               tieA.GetSubEntity(0), tieB.GetSubEntity(0),
                                               near.GetSubEntity(0)};
    EXPECT_EQ(Order(), expected);
}

TEST_F(TransparentOrderTest, ManyPiecesSortLikeAStableSortByDepth) {
    // Enough pieces for several merge passes, many of them at equal depths.
    LookDownMinusZ();
    Material& glass = MakeMaterial({{true}});
    Mesh& mesh = MakeMesh();
    std::vector<std::pair<float, Renderable*>> expected;
    for (int i = 0; i < 150; ++i) {
        const float z = -float((i * 37) % 23);
        Entity& entity = At(z, glass, &mesh);
        entity.AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
        expected.push_back({-z, entity.GetSubEntity(0)});
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    Transparent(13)->Render();
    const std::vector<Renderable*> order = Order();
    ASSERT_EQ(order.size(), expected.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], expected[i].second) << "entry " << i;
}

TEST_F(TransparentOrderTest, WithoutAMainCameraQueueOrderStaysAndPairsStillForm) {
    Material& twoSided = MakeMaterial({{true, CULL_CLOCKWISE}, {true, CULL_COUNTER_CLOCKWISE}});
    Material& glass = MakeMaterial({{true}});
    Entity& first = At(-9.0f, glass);
    Entity& pair = At(-1.0f, twoSided);
    Entity& last = At(-5.0f, glass);
    for (Entity* e : {&first, &pair, &last}) e->AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    Transparent(13)->Render();
    const auto& entries = Transparent(13)->GetEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].renderable, first.GetSubEntity(0));
    EXPECT_EQ(entries[1].pass, twoSided.GetPass(1));  // counter-clockwise culling first
    EXPECT_EQ(entries[2].pass, twoSided.GetPass(0));
    EXPECT_EQ(entries[3].renderable, last.GetSubEntity(0));
}

TEST_F(TransparentOrderTest, TwoSidedPairsPutTheCounterClockwisePassFirst) {
    struct Case {
        const char* name;
        std::uint32_t firstCull, secondCull;
        bool swapped;
    };
    const Case cases[] = {
        {"passes 1 then 2", CULL_CLOCKWISE, CULL_COUNTER_CLOCKWISE, true},
        {"passes 2 then 1", CULL_COUNTER_CLOCKWISE, CULL_CLOCKWISE, false},
        {"passes 0 then 1", CULL_NONE, CULL_CLOCKWISE, false},
        {"same culling", CULL_CLOCKWISE, CULL_CLOCKWISE, false},
    };
    LookDownMinusZ();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material& material = MakeMaterial({{true, c.firstCull}, {true, c.secondCull}});
        At(-3.0f, material).AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
        Transparent(13)->Render();
        const auto& entries = Transparent(13)->GetEntries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].pass, material.GetPass(c.swapped ? 1 : 0));
        Queue().ClearAll();
    }
}

TEST_F(TransparentOrderTest, ANanDepthSortsAsZeroAndPiecesWithoutMaterialAreDropped) {
    LookDownMinusZ();
    Material& glass = MakeMaterial({{true}});
    Entity& far = At(-4.0f, glass);
    Entity& lost = At(-3.0f, glass);
    Entity& nan = At(-2.0f, glass);
    const float nanPosition[3] = {0.0f, 0.0f, std::nanf("")};
    nan.SetPosition(nanPosition);
    for (Entity* e : {&nan, &lost, &far}) e->AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
    lost.GetSubEntity(0)->SetMaterial(nullptr);
    Transparent(13)->Render();
    const std::vector<Renderable*> expected = {far.GetSubEntity(0), nan.GetSubEntity(0)};
    EXPECT_EQ(Order(), expected);
}

TEST_F(TransparentOrderTest, ASteadyFrameAllocatesNothing) {
    LookDownMinusZ();
    Material& solid = MakeMaterial({{}, {}});
    Material& glass = MakeMaterial({{true, CULL_CLOCKWISE}, {true, CULL_COUNTER_CLOCKWISE}});
    solid.flags = MF_LIT;
    Light* light = Scene().CreateLight(1);
    std::vector<Entity*> entities;
    for (int i = 0; i < 40; ++i) {
        Entity& entity = At(-float(i), i % 3 ? solid : glass);
        entities.push_back(&entity);
    }
    const auto frame = [&] {
        for (Entity* e : entities) {
            e->AddSubEntitiesToQueue(&Queue(), nullptr, nullptr);
            e->AddSubEntitiesForLight(&Queue(), light, nullptr);
        }
        Transparent(13)->Render();
        Queue().ClearAll();
    };
    frame();
    frame();
    tAllocations = 0;
    tCounting = true;
    frame();
    tCounting = false;
    EXPECT_EQ(tAllocations, 0u);
}

TEST(LightBitCounterTest, TheFirst63LightsGetDistinctBitsAndLaterOnesNone) {
    LightBitCounter counter;
    std::uint64_t seen = 0;
    for (int light = 1; light <= 70; ++light) {
        const std::uint64_t bit = counter.Next();
        if (light <= 63) {
            EXPECT_EQ(bit, std::uint64_t(1) << light) << "light " << light;
            EXPECT_EQ(seen & bit, 0u);
            seen |= bit;
        } else {
            EXPECT_EQ(bit, 0u) << "light " << light;
        }
    }
}

}  // namespace
