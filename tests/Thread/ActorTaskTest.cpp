// The actor tasks on a running loading thread 0: a queued body part ends as the direct set does,
// ".bp5" parts through the actor's material library, and a part that does not load fails the
// task; a queued part's cloth companion gets its physics cloth; a clone takes the source's parts
// in its four steps, with a copy of its body texture, and hands its value back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/QueueMode.h"
#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Thread/ActorTasks.h"
#include "Thread/HostTasks.h"
#include "modelgen/ActorRecipe.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Character/ActorFixture.h"
#include "tests/Thread/WorkerFixture.h"

namespace ZelTest {
namespace {

// Level 0 of the texture as the software device holds it; null without one.
SoftSurface9* Level0(Zel::TextureBase& texture) {
    IDirect3DTexture9* device = texture.GetDeviceTexture();
    return device ? SoftBaseTexture9::From(device)->Level(0, 0) : nullptr;
}

class ActorTaskTest : public WithLoadingThread<ActorTest> {
protected:
    void SetUp() override {
        WithLoadingThread<ActorTest>::SetUp();
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    }
};

TEST_F(ActorTaskTest, AQueuedPartEndsAsTheDirectSetDoes) {
    struct Case {
        std::uint32_t slot;
        const char* name;
        bool loads;
    };
    const Case cases[] = {
        {0, "part0.bp3", true},
        {0, "missing.bp3", false},
        {2, "part2.bp5", true},  // through the material library's task
        {2, "missing.bp5", false},
        {ZelModelGen::kActorBp5ClothPart, "part5.bp5", true},  // with its cloth companion
    };
    for (const Case& c : cases) {
        Zel::Actor* direct = NewActor();
        Zel::Actor* queued = NewActor();
        EXPECT_EQ(direct->SetBodyPart(c.slot, c.name), c.loads) << c.name;
        EXPECT_EQ(Zel::SetBodyPartQueued(*queued, c.slot, c.name), c.loads) << c.name;
        EXPECT_EQ(queued->GetBodyPartName(c.slot), direct->GetBodyPartName(c.slot)) << c.name;
        EXPECT_EQ(queued->GetSlotSubEntities(c.slot).size(),
                  direct->GetSlotSubEntities(c.slot).size())
            << c.name;
        EXPECT_EQ(queued->GetSlotSubEntities(c.slot).empty(), !c.loads) << c.name;
        const std::uint32_t cloth = c.slot + Zel::Actor::kPartCount;
        EXPECT_EQ(queued->GetBodyPartName(cloth), direct->GetBodyPartName(cloth)) << c.name;
        EXPECT_EQ(queued->GetSlotSubEntities(cloth).size(),
                  direct->GetSlotSubEntities(cloth).size())
            << c.name;
    }
}

TEST_F(ActorTaskTest, AQueuedPartFailsWithoutAnActorGeometry) {
    Zel::Actor* bare = G()->GetActorFactory()->Acquire();
    EXPECT_EQ(Zel::QueueBodyPart(*bare, 0, "part0.bp3", 0), -1);
    G()->GetActorFactory()->Release(bare);
}

TEST_F(ActorTaskTest, AQueuedClothPartGetsItsPhysicsCloth) {
    ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(ZelModelGen::ActorBodyPart(6)).Save("coat.bp3"));
    ASSERT_TRUE(
        ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save("coat_cloth.bp3"));
    G()->GetConfigManager()->SetValue(79, 1);
    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    G()->GetPhysicsWorld()->Clear();  // a scene made before the runtime loaded stays inert
    Zel::PhxScene* scene = G()->GetPhysicsWorld()->GetScene();
    ASSERT_NE(scene, nullptr);
    Zel::Actor* direct = Dressed();
    Zel::Actor* queued = Dressed();
    std::size_t entities = scene->GetEntityCount();
    ASSERT_TRUE(direct->SetBodyPart(6, "coat.bp3"));
    const std::size_t directlyMade = scene->GetEntityCount() - entities;
    entities = scene->GetEntityCount();
    ASSERT_TRUE(Zel::SetBodyPartQueued(*queued, 6, "coat.bp3"));
    EXPECT_EQ(queued->GetBodyPartName(15), "coat_cloth.bp3");
    std::vector<Zel::Cloth*> pieces;
    for (Zel::SubEntity* sub : queued->GetSlotSubEntities(15))
        if (auto* piece = dynamic_cast<Zel::Cloth*>(sub->GetMesh()))
            pieces.push_back(piece);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_NE(pieces[0]->GetPhysicsCloth(), nullptr);
    // The cloth made on the loading thread serves the piece: no other is left behind.
    EXPECT_EQ(scene->GetEntityCount() - entities, directlyMade);
}

// A queued ".bp5" part's companion takes the physics cloth made on the loading thread, and its
// piece the library's physics copy.
TEST_F(ActorTaskTest, AQueuedBp5ClothPartGetsItsPhysicsCloth) {
    G()->GetConfigManager()->SetValue(79, 1);
    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    G()->GetPhysicsWorld()->Clear();
    Zel::PhxScene* scene = G()->GetPhysicsWorld()->GetScene();
    ASSERT_NE(scene, nullptr);
    const std::uint32_t part = ZelModelGen::kActorBp5ClothPart;
    const std::uint32_t slot = part + Zel::Actor::kPartCount;
    const std::string name = "part" + std::to_string(part) + ".bp5";
    Zel::Actor* direct = NewActor();
    Zel::Actor* queued = NewActor();
    std::size_t entities = scene->GetEntityCount();
    ASSERT_TRUE(direct->SetBodyPart(part, name));
    const std::size_t directlyMade = scene->GetEntityCount() - entities;
    ASSERT_GT(directlyMade, 0u);
    entities = scene->GetEntityCount();
    ASSERT_TRUE(Zel::SetBodyPartQueued(*queued, part, name));
    EXPECT_EQ(queued->GetBodyPartName(slot), direct->GetBodyPartName(slot));
    const auto& subs = queued->GetSlotSubEntities(slot);
    ASSERT_EQ(subs.size(), 1u);
    auto* piece = dynamic_cast<Zel::Cloth*>(subs[0]->GetMesh());
    ASSERT_NE(piece, nullptr);
    EXPECT_NE(piece->GetPhysicsCloth(), nullptr);
    EXPECT_TRUE(Zel::ActorMaterialLibrary::IsPhysicsClothCopy(*subs[0]->GetOwnMaterial()));
    EXPECT_EQ(scene->GetEntityCount() - entities, directlyMade);
    queued->RemoveBodyPart(part);
    EXPECT_TRUE(queued->GetMaterialLibrary().CheckCleanup());
}

TEST_F(ActorTaskTest, ACloneTakesTheSourcesPartsAndHandsItsValueBack) {
    Zel::TextureManager& textures = *G()->GetTextureManager();
    textures.SetDevice(Device().GetD3DDevice(), &Device());
    // A device with shaders (the fixture's draws with them): the clone's texture is copied on
    // the device, not rebuilt from the parts.
    Zel::DeviceCaps& caps = *G()->GetDeviceCaps();
    const std::uint32_t savedFeatures = caps.featureFlags;
    caps.featureFlags |= Zel::DEVICE_VS_1_1 | Zel::DEVICE_PS_1_1;
    G()->GetConfigManager()->SetValue(Zel::Actor::kBodyTextureSwitch, 1);
    G()->GetConfigManager()->SetCompressToDDS(false);
    Zel::Actor* source = Dressed();
    source->MarkBodyTextureDirty();
    source->RebuildBodyTexture();
    ASSERT_NE(source->GetBodyTexture(), nullptr);
    // A pattern of the source's own, so that a copy cannot pass for a rebuild from the parts.
    SoftSurface9* painted = Level0(*source->GetBodyTexture());
    ASSERT_NE(painted, nullptr);
    const std::size_t bytes = std::size_t(painted->Pitch()) * painted->Height();
    for (std::size_t i = 0; i < bytes; ++i) painted->Bits()[i] = std::uint8_t(i * 7 + 3);
    struct Case {
        bool withSource;
        int result;
        std::intptr_t handedBack;
    };
    const Case cases[] = {
        {true, 0, 42}, {false, 19, 0},  // nothing to clone from: the first step fails
    };
    for (const Case& c : cases) {
        Zel::Actor* destination = NewActor();
        ASSERT_TRUE(destination->SetBodyPart(0, "part1.bp3"));
        Zel::ActorCloneTaskParameter record;
        record.destination = destination;
        record.source = c.withSource ? source : nullptr;
        record.value = 42;
        std::intptr_t out = -1;
        record.result = &out;
        LogCapture log;
        const std::uint32_t id = worker_->CreateTask(Zel::kActorCloneTaskType, &record, 0);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(worker_->SyncTask(id), c.result);
        EXPECT_EQ(out, c.handedBack);
        EXPECT_EQ(log.Count("UpdateTexture By Hand"), 0);
        EXPECT_EQ(log.Count("Copy Clone Texture Failed"), 0);
        if (!c.withSource) {
            EXPECT_EQ(log.Count("thread-FAILED actor clone,err=19"), 1);
            EXPECT_EQ(destination->GetBodyPartName(0), "part1.bp3");
            continue;
        }
        for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
            EXPECT_EQ(destination->GetBodyPartName(n), source->GetBodyPartName(n)) << n;
        // The clone's texture is a copy: another texture with the source's pixels.
        Zel::TextureBase* copy = destination->GetBodyTexture();
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, source->GetBodyTexture());
        const SoftSurface9* copied = Level0(*copy);
        ASSERT_NE(copied, nullptr);
        ASSERT_EQ(std::size_t(copied->Pitch()) * copied->Height(), bytes);
        EXPECT_EQ(std::memcmp(copied->Bits(), painted->Bits(), bytes), 0);
    }
    caps.featureFlags = savedFeatures;

}

// In queued mode a released sub-entity gives its material back to the material manager when
// only one reference is left; that last reference may be the actor's or the material library's,
// and parts 3 and 4 link each other, so each reloads the other while it is taken.
TEST_F(ActorTaskTest, QueuedLinkedPartsLoadAsTheDirectSetDoes) {
    struct QueueModeOn {
        QueueModeOn() { Zel::SetQueueMode(1); }
        ~QueueModeOn() { Zel::SetQueueMode(0); }
    };
    for (const char* extension : {".bp3", ".bp5"}) {
        const auto part = [&](std::uint32_t n) { return "part" + std::to_string(n) + extension; };
        Zel::Actor* direct = NewActor();
        for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
            ASSERT_TRUE(direct->SetBodyPart(n, part(n))) << part(n);
        Zel::Actor* queued = NewActor();
        {
            const QueueModeOn queueMode;
            for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
                ASSERT_TRUE(Zel::SetBodyPartQueued(*queued, n, part(n))) << part(n);
            // Part 3 again on a slot whose partner it is not: its partner reloads too.
            ASSERT_TRUE(Zel::SetBodyPartQueued(*queued, 4, part(3)));
            ASSERT_TRUE(Zel::SetBodyPartQueued(*queued, 4, part(4)));
        }
        for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n) {
            EXPECT_EQ(queued->GetBodyPartName(n), direct->GetBodyPartName(n)) << part(n);
            const auto& subs = queued->GetSlotSubEntities(n);
            ASSERT_EQ(subs.size(), direct->GetSlotSubEntities(n).size()) << part(n);
            for (std::size_t i = 0; i < subs.size(); ++i)
                EXPECT_EQ(subs[i]->GetOwnMaterial()->GetName(),
                          direct->GetSlotSubEntities(n)[i]->GetOwnMaterial()->GetName())
                    << part(n);
        }
        queued->ReleaseAll(false);
        LogCapture log;
        EXPECT_TRUE(queued->GetMaterialLibrary().CheckCleanup()) << extension;
    }
}

}  // namespace
}  // namespace ZelTest
