// Actors assembled from body parts: slots and their sub-entities, the actor materials chosen by
// mesh material number, the skeleton of the face part's figure kind, linked parts, and the
// channels playing on across a skeleton change.
#include <gtest/gtest.h>

#include <string>

#include "ActorFixture.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SubEntity.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Actor;

TEST_F(ActorTest, NinePartsAssembleIntoOneSubEntityPerSlotWithTheirMaterialSlots) {
    Actor* a = Dressed();
    // Part n's mesh names material n: its row of the slot table.
    const std::uint32_t expected[9] = {0, 0, 1, 4, 5, 2, 3, 6, 7};
    for (std::uint32_t n = 0; n < Actor::kPartCount; ++n) {
        ASSERT_EQ(a->GetSlotSubEntities(n).size(), 1u) << n;
        const Zel::SubEntity* sub = a->GetSlotSubEntities(n)[0];
        EXPECT_EQ(sub->GetOwner(), a);
        ASSERT_NE(sub->GetMesh(), nullptr);
        EXPECT_EQ(sub->GetMesh()->GetMaterialName(), std::to_string(n));
        EXPECT_EQ(sub->GetOwnMaterial(), a->GetActorMaterial(expected[n])) << n;
        EXPECT_EQ(a->GetBodyPartName(n), "part" + std::to_string(n) + ".bp3");
        EXPECT_EQ(a->GetBodyPartGeometry(n)->GetOwnerId(), a->GetActorId());
    }
    EXPECT_TRUE(a->GetSlotSubEntities(Actor::kSlotCount).empty());
    EXPECT_EQ(a->GetBodyPartGeometry(Actor::kSlotCount), nullptr);
    // Parts 0 and 1 share material slot 0.
    EXPECT_EQ(a->GetSlotSubEntities(0)[0]->GetOwnMaterial(),
              a->GetSlotSubEntities(1)[0]->GetOwnMaterial());
    EXPECT_EQ(a->GetFlagWord() & Actor::kBodyTextureDirty, Actor::kBodyTextureDirty);

    a->RebuildRenderLists();
    EXPECT_EQ(a->GetOpaqueList().size() + a->GetBlendedList().size(), 9u);
    a->BuildMaterialLists();
    EXPECT_EQ(a->GetMaterialList(0).size(), 2u);
    EXPECT_EQ(a->GetMaterialList(4).size(), 1u);
    ASSERT_TRUE(a->SetBodyPart(8, "part0.bp3"));
    a->RebuildMaterials();
    EXPECT_EQ(a->GetMaterialList(0).size(), 3u);
    EXPECT_EQ(a->GetMaterialList(7).size(), 0u);
    EXPECT_TRUE(a->IsRefreshAllPending());
    ASSERT_TRUE(a->SetBodyPart(8, "part8.bp3"));
    EXPECT_FALSE(a->IsRefreshAllPending()) << "cleared by the part's processing";

    // The same name again changes nothing.
    const Zel::SubEntity* before = a->GetSlotSubEntities(5)[0];
    EXPECT_TRUE(a->SetBodyPart(5, "part5.bp3"));
    EXPECT_EQ(a->GetSlotSubEntities(5)[0], before);

    a->SetPartsFloat(0.75f);
    for (std::uint32_t n = 0; n < Actor::kPartCount; ++n)
        EXPECT_EQ(a->GetSlotSubEntities(n)[0]->GetRenderOffset(), n == 1 || n == 2 ? 0.0f : 0.75f)
            << n;

    LogCapture log;
    EXPECT_FALSE(a->SetBodyPart(6, "missing.bp3"));
    EXPECT_EQ(log.Count("找不到Bodypart[6]:missing.bp3"), 1);
    EXPECT_TRUE(a->GetSlotSubEntities(6).empty());
    EXPECT_TRUE(a->GetBodyPartName(6).empty());
}

TEST_F(ActorTest, MaterialNamesSelectSlotsByNumber) {
    struct Case {
        const char* name;
        bool cloth;
        std::uint32_t slot;
        bool logged;
    };
    const Case cases[] = {
        {"3", false, 4, false},   {"03", false, 4, false}, {"0", false, 0, false},
        {"20", false, 29, false}, {"20", true, 39, false}, {"abc", false, 0, false},
        {"abc", true, 10, false}, {"21", false, 0, true},  {"45", true, 10, true},
        {"-1", false, 0, true},   {"x", false, 0, false},  {"11", false, 20, false},
        {"15", true, 32, false},  {"", false, 0, false},
    };
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_EQ(Actor::GetPartMaterialIndex(c.name, c.cloth), c.slot) << c.name;
        EXPECT_EQ(log.Count("非法BP3材质名称"), c.logged ? 1 : 0) << c.name;
    }
}

TEST_F(ActorTest, MaterialSettingsShapeThePasses) {
    Actor* a = NewActor();
    struct Case {
        std::uint32_t slot;
        std::uint32_t cull;
        bool blend;
        std::uint32_t destination;
        bool depthWrite;
    };
    // 96: depth test and write, one-sided; 67: two-sided and blended, no depth write; 192:
    // depth test, added on.
    const Case cases[] = {{0, Zel::CULL_CLOCKWISE, false, Zel::BLEND_ZERO, true},
                          {3, Zel::CULL_NONE, true, Zel::BLEND_INV_SRC_ALPHA, false},
                          {8, Zel::CULL_CLOCKWISE, true, Zel::BLEND_ONE, false}};
    for (const Case& c : cases) {
        Zel::Material* m =
            a->GetOrCreatePartMaterial(c.slot == 0 ? "0" : (c.slot == 3 ? "6" : "9"), false);
        ASSERT_EQ(m, a->GetActorMaterial(c.slot));
        EXPECT_EQ(m->GetName(), "ActorMaterial");
        ASSERT_EQ(m->GetPassCount(), 1u) << "no two-pass effect through this road";
        const Zel::RenderState& s = m->GetPass(0)->renderState;
        EXPECT_EQ(s.cullMode, c.cull) << c.slot;
        EXPECT_EQ((s.flags & Zel::RSF_ALPHA_BLEND) != 0, c.blend) << c.slot;
        EXPECT_EQ(s.destBlend, c.destination) << c.slot;
        EXPECT_EQ((s.flags & Zel::RSF_DEPTH_WRITE) != 0, c.depthWrite) << c.slot;
    }
}

TEST_F(ActorTest, ReleasingMaterialsKeepsThoseStillHeld) {
    Actor* a = Dressed();
    Zel::Material* shared = a->GetActorMaterial(4);
    ASSERT_NE(shared, nullptr);
    Zel::SharedPtr<Zel::Material> held(shared);
    a->ReleaseAll(false);
    EXPECT_EQ(a->GetActorMaterial(4), nullptr);
    EXPECT_EQ(shared->GetRefCount(), 2) << "the holder's and the actor's, given up later";
    EXPECT_EQ(shared->GetName(), "ActorMaterial");
    held = Zel::SharedPtr<Zel::Material>();
}

TEST_F(ActorTest, BodyPartKindFollowsTheLastThreeCharacters) {
    struct Case {
        const char* name;
        int kind;
    };
    const Case cases[] = {{"a.bp3", 15}, {"a.BP3", 15}, {"a.bp4", 16}, {"a.BP4", 16},
                          {"a.bp5", 17}, {"a.BP5", 17}, {"a.Bp3", -1}, {"a.bP3", -1},
                          {"p3", -1},    {"3", -1},     {"", -1},      {"bp3", 15}};
    for (const Case& c : cases) EXPECT_EQ(Actor::BodyPartKind(c.name), c.kind) << c.name;
}

TEST_F(ActorTest, LevelsOfDetailAboveTenAreIgnored) {
    Actor* a = NewActor();
    const std::int32_t levels[][2] = {{3, 3}, {10, 10}, {11, 10}, {-1, 10}, {0, 0}, {12, 0}};
    for (const auto& l : levels) {
        a->SetLodLevel(l[0]);
        EXPECT_EQ(a->GetLodLevel(), l[1]) << l[0];
    }
}

TEST_F(ActorTest, TheSkeletonFollowsTheFaceFigureAndTheSex) {
    Actor* girl = Dressed(0);
    ASSERT_NE(girl->GetSkeleton(), nullptr);
    // The manager keeps names in lower case.
    EXPECT_EQ(girl->GetSkeleton()->GetName(), "girl_fig.fig");
    EXPECT_EQ(girl->GetPinchState(), nullptr);
    const std::uint32_t bones = girl->GetSkeleton()->GetBoneCount();
    EXPECT_EQ(girl->GetBoneStateCount(), bones);

    ASSERT_TRUE(girl->SetBodyPart(2, "face8.bp3"));
    EXPECT_EQ(girl->GetSkeleton()->GetName(), "girl_nf_8_fig.fig");
    EXPECT_NE(girl->GetPinchState(), nullptr) << "the face figure sculpts";
    EXPECT_TRUE(girl->IsBoneScaleEnabled());

    Actor* boy = Dressed(1);
    EXPECT_EQ(boy->GetSkeleton()->GetName(), "boy_fig.fig");
    EXPECT_EQ(boy->GetSkeletonName(), "boy_fig.fig");
}

TEST_F(ActorTest, PartsLinkedToEachOtherReloadOnce) {
    Actor* a = NewActor();
    ASSERT_TRUE(a->SetBodyPart(3, "part3.bp3"));
    ASSERT_TRUE(a->SetBodyPart(4, "part4.bp3"));
    // Part 3 chose its skin by slot 4, so setting slot 4 loaded it again; part 4 links back to
    // slot 3, which the request was already loading.
    const Zel::SubEntity* upper = a->GetSlotSubEntities(3)[0];
    ASSERT_TRUE(a->SetBodyPart(4, "part4.bp3") && a->SetBodyPart(2, "part2.bp3"));
    EXPECT_EQ(a->GetSlotSubEntities(3)[0], upper) << "slot 2 links nothing";
    a->ReleaseBodypart(4);
    ASSERT_TRUE(a->SetBodyPart(4, "part4.bp3"));
    ASSERT_EQ(a->GetSlotSubEntities(3).size(), 1u);
    ASSERT_EQ(a->GetSlotSubEntities(4).size(), 1u);
    EXPECT_EQ(a->GetBodyPartName(3), "part3.bp3");
    EXPECT_EQ(a->GetBodyPartGeometry(3)->GetCurrentSkinName(), "part3");
}

TEST_F(ActorTest, ASkeletonChangeKeepsTheChannelsPlaying) {
    Actor* a = Dressed();
    Zel::AnimationChannel& channel = *a->GetChannel(0);
    ASSERT_EQ(channel.PlayAction("walk", true, 0), 0);
    ASSERT_EQ(channel.SetNextAction("idle", false, 0), 0);
    Step(*a, 0.25f);
    const Zel::AnimationChannel::State state = channel.GetState();
    const float time = channel.GetPlayTime();
    const Zel::Skeleton* before = a->GetSkeleton();

    ASSERT_TRUE(a->SetBodyPart(2, "face8.bp3"));
    ASSERT_NE(a->GetSkeleton(), before);
    EXPECT_EQ(channel.GetState(), state);
    EXPECT_FLOAT_EQ(channel.GetPlayTime(), time);
    EXPECT_EQ(channel.GetCurrentActionName(), "walk.ac6");
    EXPECT_EQ(channel.GetNextActionName(), "idle.ac6");
    EXPECT_EQ(channel.GetNextLoop(), 0);
    EXPECT_TRUE(channel.GetFlags() & Zel::AnimationChannel::kLoop);
    // The actions came through the new skeleton's tree.
    EXPECT_EQ(channel.GetCurrentAction(), G()->GetActionManager()->FindTreeItemAction("walk", *a));
}

}  // namespace

namespace {

using namespace ZelTest;
using Zel::Actor;

TEST_F(ActorTest, TwoSidedBlendedMaterialsTakeTwoPassesUnlessThePartNameSaysOtherwise) {
    Actor* source = Dressed();
    Zel::Mesh* mesh = source->GetSlotSubEntities(0)[0]->GetMesh();
    mesh->SetMaterialName("6");  // slot 3: two-sided and blended
    struct Case {
        const char* part;
        std::uint32_t passes;
    };
    const Case cases[] = {{"part0.bp3", 2}, {"ab3x.bp3", 1}, {"ab93.bp3", 1}, {"ab9x.bp3", 2}};
    for (const Case& c : cases) {
        Actor* a = NewActor();
        Zel::Material* m = a->GetPartMaterial(c.part, *mesh);
        ASSERT_EQ(m, a->GetActorMaterial(3));
        ASSERT_EQ(m->GetPassCount(), c.passes) << c.part;
        if (c.passes == 2) {
            EXPECT_EQ(m->GetPass(0)->renderState.cullMode, Zel::CULL_COUNTER_CLOCKWISE);
            EXPECT_EQ(m->GetPass(1)->renderState.cullMode, Zel::CULL_CLOCKWISE);
            EXPECT_EQ(m->GetPass(1)->passIndex, 1u);
        }
    }
}

}  // namespace

namespace {

using namespace ZelTest;
using Zel::Actor;

TEST_F(ActorTest, AClonesharesTheSourcePartsAndRestartsItsChannels) {
    Actor* source = Dressed(1);
    source->SetLodLevel(4);
    Actor* clone = NewActor();
    ASSERT_TRUE(clone->SetBodyPart(7, "part7.bp3"));
    ASSERT_EQ(clone->GetChannel(1)->PlayAction("walk", true, 0), 0);
    Step(*clone, 0.3f);
    ASSERT_GT(clone->GetChannel(1)->GetPlayTime(), 0.0f);

    ASSERT_TRUE(clone->CloneFrom(*source, 2));
    EXPECT_EQ(clone->GetLodLevel(), 4);
    EXPECT_EQ(clone->GetSex(), 1);
    for (std::uint32_t n = 0; n < Actor::kPartCount; ++n) {
        EXPECT_EQ(clone->GetBodyPartGeometry(n), source->GetBodyPartGeometry(n)) << n;
        ASSERT_EQ(clone->GetSlotSubEntities(n).size(), 1u) << n;
        EXPECT_NE(clone->GetSlotSubEntities(n)[0], source->GetSlotSubEntities(n)[0]);
    }
    EXPECT_EQ(clone->GetChannel(1)->GetPlayTime(), 0.0f) << "replayed from the start";
    EXPECT_EQ(clone->GetChannel(1)->GetCurrentActionName(), "walk.ac6");
    // A ".bp5" part that does not load leaves its slot released.
    EXPECT_FALSE(clone->SetBodyPart(3, "other.bp5"));
    EXPECT_TRUE(clone->GetBodyPartName(3).empty());
}

}  // namespace

namespace {

using namespace ZelTest;
using Zel::Actor;

TEST_F(ActorTest, ACopyWearsTheSamePartsOfItsOwn) {
    Actor* source = Dressed();
    Actor* copy = NewActor();
    source->CopyTo(copy, false);
    EXPECT_EQ(copy->GetActorGeometry(), source->GetActorGeometry());
    for (std::uint32_t n = 0; n < Actor::kPartCount; ++n) {
        EXPECT_EQ(copy->GetBodyPartName(n), source->GetBodyPartName(n)) << n;
        ASSERT_EQ(copy->GetSlotSubEntities(n).size(), 1u) << n;
        EXPECT_EQ(copy->GetSlotSubEntities(n)[0]->GetOwner(), copy);
        EXPECT_EQ(copy->GetBodyPartGeometry(n)->GetOwnerId(), copy->GetActorId());
    }
}

}  // namespace
