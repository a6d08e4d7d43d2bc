// The host's actor wrapper: levels of detail in tenths, placement under the actor-move switch,
// the sex-dependent height of a placement matrix, queued level changes, queued body parts, taking
// a part off, the parts flag and the cloth rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Core/QueueMode.h"
#include "Core/TaskFactory.h"
#include "Core/itask.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Geometry/Animation.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IBone.h"
#include "Interface/ISkeleton.h"
#include "Math/Matrix4.h"
#include "support/LogCapture.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Scene/SubEntity.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Render/RenderCore/ActorWrapper.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Thread/ActorTasks.h"
#include "Thread/CreationRecords.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

class ActorWrapperTest : public ActorTest {
protected:
    ZelI::IActor* Host(Zel::Actor* actor) {
        return dynamic_cast<ZelI::IActor*>(actor->GetInterface());
    }
    void RespondToMoves(bool on) { G()->GetConfigManager()->SetValue(64, on ? 1 : 0); }
    static Zel::threadio* StartedWorker() {
        Zel::threadio* worker = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        EXPECT_NE(worker, nullptr);
        if (worker) {
            EXPECT_EQ(worker->Start(nullptr), 0);
        }
        return worker;
    }
};

// A body-part task that keeps the record it was given and succeeds, so that what the actor
// queues can be read whatever the real task does with it.
// What a queued part task was handed: the part record (6) or the ".bp5" record (7), read into
// one shape.
struct PartRecord {
    std::string name;
    Zel::Actor* actor = nullptr;
    Zel::ActorMaterialLibrary* library = nullptr;
    std::uint32_t slot = 0;
};

class RecordingPartTask final : public Zel::itask {
public:
    explicit RecordingPartTask(std::int32_t type) : type_(type) {}
    std::int32_t GetType() const override { return type_; }
    void SetParameter(const void* parameter) override {
        if (!parameter)
            return;
        PartRecord& last = Last();
        last = PartRecord();
        if (type_ == Zel::kBodyPart5TaskType) {
            const auto& record = *static_cast<const Zel::BodyPart5TaskParameter*>(parameter);
            last.name = record.name;
            last.library = record.library;
            last.slot = record.slot;
        } else {
            const auto& record = *static_cast<const Zel::BodyPartTaskParameter*>(parameter);
            last.name = record.name;
            last.actor = record.actor;
            last.slot = record.slot;
        }
    }
    static PartRecord& Last() {
        static PartRecord last;
        return last;
    }

private:
    std::int32_t type_;
};

Zel::TaskFactoryFunction g_hostFactory = nullptr;

Zel::itask* RecordingFactory(std::int32_t type) {
    if (type == Zel::kBodyPartTaskType || type == Zel::kBodyPart5TaskType)
        return new RecordingPartTask(type);
    return g_hostFactory ? g_hostFactory(type) : nullptr;
}

TEST_F(ActorWrapperTest, LevelsOfDetailTravelAsTenthsTruncated) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->GetObjectKind(), 4);
    struct Case {
        float level;
        std::int32_t stored;  // what the actor keeps afterwards
        float readBack;
    };
    const Case cases[] = {
        {1.0f, 10, 1.0f}, {0.35f, 3, 0.3f},
        {1.2f, 3, 0.3f},                     // 12: above the actor's levels, ignored
        {0.0f, 0, 0.0f},  {-0.5f, 0, 0.0f},  // negative levels are ignored
        {0.7f, 7, 0.7f},
    };
    for (const Case& c : cases) {
        host->SetLod(c.level);
        EXPECT_EQ(actor->GetLodLevel(), c.stored) << c.level;
        EXPECT_FLOAT_EQ(host->GetLod(), c.readBack) << c.level;
    }
}

TEST_F(ActorWrapperTest, AQueuedLevelChangeIsMadeByItsTask) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    Zel::threadio* worker = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
    ASSERT_NE(worker, nullptr);
    ASSERT_EQ(worker->Start(nullptr), 0);
    host->SetLod(0.2f);
    const std::uint32_t id = host->SetLodAsyn(0.5f, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker->SyncTask(id), 0);
    EXPECT_EQ(actor->GetLodLevel(), 5);
}

TEST_F(ActorWrapperTest, PlacementFollowsTheActorMoveSwitch) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    const float at[3] = {3.0f, 4.0f, 5.0f};
    struct Case {
        bool respond;
        bool keepZ;  // SetPositionAlt rather than SetPosition
        std::vector<float> expected;
    };
    const Case cases[] = {
        {true, false, {3, 4, 0}},
        {true, true, {3, 4, 5}},
        {false, false, {0, 0, 0}},  // not ignored: put at the origin
        {false, true, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        RespondToMoves(true);
        const float away[3] = {9.0f, 9.0f, 9.0f};
        host->SetPositionDirect(away);
        RespondToMoves(c.respond);
        c.keepZ ? host->SetPositionAlt(at) : host->SetPosition(at);
        float out[3] = {};
        host->GetPosition(out);
        EXPECT_EQ(std::vector<float>(out, out + 3), c.expected) << c.respond << c.keepZ;
    }

    float shifted[16] = {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 7, 0, 0, 0, 1};
    RespondToMoves(false);
    host->SetLocalMatrix(shifted);
    EXPECT_EQ(host->GetLocalMatrix()[3], 0.0f);  // identity instead
    RespondToMoves(true);
}

TEST_F(ActorWrapperTest, APlacementMatrixTakesItsHeightFromTheSex) {
    for (std::uint8_t sex : {0, 1}) {
        Zel::Actor* actor = NewActor(sex);
        ZelI::IActor* host = Host(actor);
        const float matrix[16] = {1, 0, 0, 2, 0, 1, 0, 3, 0, 0, 1, 7, 0, 0, 0, 1};
        host->SetPlacement(matrix);
        EXPECT_FLOAT_EQ(host->GetLocalMatrix()[11], sex ? -0.025f : 0.0f) << int(sex);
        EXPECT_FLOAT_EQ(host->GetLocalMatrix()[3], 2.0f);
    }
}

TEST_F(ActorWrapperTest, CloningFromNothingAnswersZeroAndAnUnboundWrapperDoesNothing) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    EXPECT_EQ(host->CloneFrom(nullptr), 0);
    EXPECT_EQ(host->RenderSnapshot(0, 0, 0, 0, 0, 0, 0, 0), 1);

    actor->DetachInterface();
    EXPECT_FALSE(host->IsValid());
    host->SetLod(0.5f);
    EXPECT_EQ(host->GetLod(), 0.0f);
    EXPECT_EQ(host->SetLodAsyn(0.5f, 0), 0u);
    EXPECT_FALSE(host->SetBodyPart(0, "part0.bp3"));
    EXPECT_EQ(host->RenderSnapshot(0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_NE(actor->GetLodLevel(), 5);
}

TEST_F(ActorWrapperTest, QueuedBodyPartsHandTheirRecordToThePartTask) {
    Zel::threadio* worker = StartedWorker();
    ASSERT_NE(worker, nullptr);
    g_hostFactory = Zel::SetTaskFactory(&RecordingFactory);
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    struct Case {
        const char* name;
        std::int32_t slot;
        std::int32_t type;  // of the task queued; 0: none, the row answers -1
    };
    const std::string longest(Zel::kTaskNameCapacity, 'a');
    const Case cases[] = {
        {"part3.bp3", 3, Zel::kBodyPartTaskType},
        {"coat_cloth.bp3", 15, Zel::kBodyPartTaskType},
        {"dress.bp5", 4, Zel::kBodyPart5TaskType},
        {"dress.BP5", 12, 0},  // ".bp5" parts only in part slots
        {"part3.bp3", 18, 0},
        {nullptr, 3, 0},
        {"part3.bp3", -1, 0},
    };
    for (const Case& c : cases) {
        const std::int32_t id = host->SetBodyPartEx(c.slot, c.name, 1);
        if (c.type == 0) {
            EXPECT_EQ(id, -1) << c.slot;
            continue;
        }
        ASSERT_GT(id, 0) << c.name;
        EXPECT_EQ(actor->GetLastBodyPartTask(), static_cast<std::uint32_t>(id));
        Zel::itask* task = worker->FindTask(static_cast<std::uint32_t>(id));
        ASSERT_NE(task, nullptr) << c.name;
        EXPECT_EQ(task->GetType(), c.type) << c.name;
        EXPECT_EQ(task->GetPriority(), 1u) << "the mode is the task's priority";
        const PartRecord& record = RecordingPartTask::Last();
        EXPECT_EQ(record.name, c.name);
        if (c.type == Zel::kBodyPart5TaskType)
            EXPECT_EQ(record.library, &actor->GetMaterialLibrary());
        else
            EXPECT_EQ(record.actor, actor);
        EXPECT_EQ(record.slot, static_cast<std::uint32_t>(c.slot));
        EXPECT_EQ(worker->SyncTask(static_cast<std::uint32_t>(id)), 0) << c.name;
    }

    // The whole name fits with its terminator; one character more would be cut, so nothing is
    // queued.
    const std::int32_t id = host->SetBodyPartEx(0, (longest + ".bp3").c_str(), 0);
    EXPECT_EQ(id, -1);
    ASSERT_GT(host->SetBodyPartEx(0, longest.c_str(), 0), 0);
    EXPECT_EQ(RecordingPartTask::Last().name, longest);
    EXPECT_EQ(worker->SyncTask(actor->GetLastBodyPartTask()), 0);

    // Queued mode: the set runs its task at once, first in the queue.
    Zel::SetQueueMode(1);
    EXPECT_TRUE(host->SetBodyPart(5, "part5.bp3"));
    Zel::SetQueueMode(0);
    EXPECT_EQ(RecordingPartTask::Last().name, "part5.bp3");
    EXPECT_EQ(RecordingPartTask::Last().slot, 5u);
    EXPECT_EQ(worker->GetQueueSizes().submitted + worker->GetQueueSizes().active, 0u);

    // Without an actor description nothing can load the part.
    Zel::Actor* bare = G()->GetActorFactory()->Acquire();
    EXPECT_EQ(Zel::QueueBodyPart(*bare, 0, "part0.bp3", 0), -1);
    G()->GetActorFactory()->Release(bare);

    actor->DetachInterface();
    EXPECT_EQ(host->SetBodyPartEx(3, "part3.bp3", 0), 0);
    Zel::SetTaskFactory(g_hostFactory);
}

TEST_F(ActorWrapperTest, APartTakenOffLeavesNothingToDraw) {
    Zel::Actor* actor = Dressed();
    ZelI::IActor* host = Host(actor);
    actor->RebuildMaterials();
    const auto drawn = [&] {
        return actor->GetOpaqueList().size() + actor->GetBlendedList().size();
    };
    const std::size_t before = drawn();
    const std::size_t removed = actor->GetSlotSubEntities(3).size();
    ASSERT_GT(removed, 0u);
    host->RemoveBodyPart(3);
    EXPECT_TRUE(actor->GetSlotSubEntities(3).empty());
    EXPECT_EQ(actor->GetBodyPartName(3), "");
    EXPECT_EQ(drawn(), before - removed) << "the render lists drop the part's sub-entities";
    for (std::uint32_t m = 0; m < Zel::Actor::kMaterialSlotCount; ++m)
        for (Zel::SubEntity* sub : actor->GetMaterialList(m)) EXPECT_NE(sub->GetMesh(), nullptr);
    EXPECT_TRUE(actor->GetFlagWord() & Zel::Actor::kBodyTextureDirty);
    for (std::int32_t slot : {-1, 18}) host->RemoveBodyPart(slot);  // nothing
    EXPECT_EQ(actor->GetBodyPartName(4), "part4.bp3");
}

TEST_F(ActorWrapperTest, ThePartsFlagReachesPartMeshesAndSimulatedClothOnly) {
    ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(ZelModelGen::ActorBodyPart(6)).Save("coat.bp3"));
    ASSERT_TRUE(
        ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save("coat_cloth.bp3"));
    G()->GetConfigManager()->SetValue(79, 1);
    const auto pieceOf = [](Zel::Actor& a) {
        const auto& subs = a.GetSlotSubEntities(15);
        return subs.empty() ? nullptr : dynamic_cast<Zel::Cloth*>(subs[0]->GetMesh());
    };
    // A dressed actor in the coat, and the coat's cloth piece.
    const auto coated = [&](Zel::Actor*& actor) {
        actor = Dressed();
        EXPECT_TRUE(actor->SetBodyPart(6, "coat.bp3"));
        return pieceOf(*actor);
    };
    // Without the physics runtime the piece is not simulated and keeps its enable byte.
    Zel::Actor* plain = nullptr;
    Zel::Cloth* unsimulated = coated(plain);
    ZelI::IActor* plainHost = Host(plain);
    ASSERT_NE(unsimulated, nullptr);
    ASSERT_EQ(unsimulated->GetPhysicsCloth(), nullptr);
    EXPECT_EQ(plainHost->GetPartsFlag(), 1);
    plainHost->SetPartsFlag(0);
    EXPECT_EQ(plainHost->GetPartsFlag(), 0);
    EXPECT_TRUE(unsimulated->IsEnabled());
    for (std::uint32_t slot = 0; slot < Zel::Actor::kPartCount; ++slot)
        for (Zel::SubEntity* sub : plain->GetSlotSubEntities(slot))
            EXPECT_FALSE(sub->GetMesh()->IsRenderEnabled()) << slot;
    plainHost->SetPartsFlag(2);
    EXPECT_EQ(plainHost->GetPartsFlag(), 2) << "answered as stored";
    EXPECT_TRUE(plain->GetSlotSubEntities(0)[0]->GetMesh()->IsRenderEnabled());

    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    G()->GetPhysicsWorld()->Clear();
    Zel::Actor* simulatedActor = nullptr;
    Zel::Cloth* simulated = coated(simulatedActor);
    ZelI::IActor* host = Host(simulatedActor);
    ASSERT_NE(simulated, nullptr);
    ASSERT_NE(simulated->GetPhysicsCloth(), nullptr);
    host->SetPartsFlag(0);
    EXPECT_FALSE(simulated->IsEnabled());
    host->SetPartsFlag(1);
    EXPECT_TRUE(simulated->IsEnabled());

    EXPECT_TRUE(host->IsClothPhysicsEnabled());
    simulatedActor->SetClothPhysics(false);
    EXPECT_FALSE(host->IsClothPhysicsEnabled());
    host->RebuildCloth();
    ASSERT_NE(pieceOf(*simulatedActor), nullptr);
    EXPECT_NE(pieceOf(*simulatedActor), simulated) << "rebuilt from the companion's file";
    G()->GetConfigManager()->SetValue(79, 0);
}

TEST_F(ActorWrapperTest, AnActorGoingBackToItsFactoryForgetsItsFlagsAndValue) {
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    host->SetActorValue(2.5f);
    EXPECT_EQ(host->GetActorValue(), 2.5f);
    host->SetPartsFlag(0);
    actor->SetClothPhysics(false);
    actor->DetachInterface();
    EXPECT_EQ(host->GetActorValue(), 0.0f);
    EXPECT_FALSE(host->IsClothPhysicsEnabled());
    actor->Reset();
    EXPECT_EQ(actor->GetPartsFlag(), 1);
    EXPECT_TRUE(actor->IsClothPhysics());
    EXPECT_EQ(actor->GetHostValue(), 0.0f);
}

// Numbered command 2: a model's interface pointer followed by an action id of its skeleton's tree
// gives the action that item holds.
TEST_F(ActorWrapperTest, CommandTwoAnswersTheActionAModelsTreeItemHolds) {
    Zel::Actor* actor = Dressed();
    ZelI::IActor* host = Host(actor);
    Zel::Action* walk = nullptr;
    ASSERT_EQ(G()->GetActionManager()->GetTreeItemAction(*actor, "walk", &walk), 1);
    ASSERT_NE(walk, nullptr);
    Zel::Actor* other = NewActor();
    ZelI::IActor* unbound = Host(other);
    other->DetachInterface();
    const auto record = [](ZelI::IObject* object, const std::string& id) {
        std::vector<char> bytes(sizeof object + id.size() + 1, '\0');
        std::memcpy(bytes.data(), &object, sizeof object);
        std::memcpy(bytes.data() + sizeof object, id.data(), id.size());
        return bytes;
    };
    ZelI::IAction* untouched = reinterpret_cast<ZelI::IAction*>(0x5a5a);
    struct Case {
        const char* what;
        ZelI::IObject* object;
        std::string id;
        bool found;
    };
    const Case cases[] = {
        {"a loaded item", host, "walk", true},
        {"an item not loaded yet", host, "idle", false},
        {"an id the tree does not list", host, "swim", false},
        {"no object", nullptr, "walk", false},
        {"an unbound wrapper", unbound, "walk", false},
    };
    for (const Case& c : cases) {
        const std::vector<char> input = record(c.object, c.id);
        ZelI::IAction* out = untouched;
        G()->GetRenderInterface()->DoCommand(2, input.data(), 0, &out, 0);
        EXPECT_EQ(out, c.found ? walk->GetInterface() : untouched) << c.what;
    }
    G()->GetRenderInterface()->DoCommand(2, nullptr, 0, nullptr, 0);  // nothing
}

// The renderer's tree rows look up what the items of a model's tree hold (reading nothing), give
// an item's action back, and read unloaded action files again.
TEST_F(ActorWrapperTest, TheRenderersTreeRowsFindAndGiveBackWhatAModelsItemsHold) {
    ZelI::IRender* render = G()->GetRenderInterface();
    Zel::Actor* actor = Dressed();
    ZelI::IActor* host = Host(actor);
    Zel::Action* walk = nullptr;
    ASSERT_EQ(G()->GetActionManager()->GetTreeItemAction(*actor, "walk", &walk), 1);
    Zel::Actor* other = NewActor();
    ZelI::IActor* unbound = Host(other);
    other->DetachInterface();
    ZelI::IAction* const walkHost = walk->GetInterface();
    struct Case {
        const char* what;
        ZelI::IModel* model;
        const char* id;
        std::uint32_t index;  // items in id order: idle, walk
        ZelI::IAction* found;
    };
    const Case cases[] = {
        {"a loaded item", host, "walk", 1, walkHost},
        {"an item not loaded yet", host, "idle", 0, nullptr},
        {"an id or index the tree does not list", host, "swim", 2, nullptr},
        {"no id", host, nullptr, 7, nullptr},
        {"no model", nullptr, "walk", 1, nullptr},
        {"an unbound wrapper", unbound, "walk", 1, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(render->GetTreeItemActionByName(c.id, c.model), c.found) << c.what;
        EXPECT_EQ(render->GetTreeItemActionAt(c.index, c.model), c.found) << c.what;
        if (!c.found) {
            EXPECT_FALSE(render->ReleaseTreeAction(c.id, c.model)) << c.what;
        }
    }
    EXPECT_EQ(G()->GetActionManager()->FindTreeItemAction("walk", *actor), walk);

    // Unloaded, the file is read again; the lookups still answer the same action.
    Zel::ActionResource* resource = walk->GetResource();
    ASSERT_NE(resource, nullptr);
    resource->Unload();
    ASSERT_FALSE(resource->IsLoaded());
    render->ReloadActions();
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(render->GetTreeItemActionByName("walk", host), walkHost);

    EXPECT_TRUE(render->ReleaseTreeAction("walk", host));
    EXPECT_EQ(render->GetTreeItemActionByName("walk", host), nullptr);
    EXPECT_FALSE(render->ReleaseTreeAction("walk", host)) << "nothing left to give back";
}

// The model rows of the scene-node wrappers, on plain models, the skinned recipe's model and the
// actor recipe's actors.
class ModelRowsTest : public ActorWrapperTest {
protected:
    void SetUp() override {
        ActorWrapperTest::SetUp();
        std::vector<ZelModelGen::RecipeFile> files;
        std::string error;
        ASSERT_TRUE(ZelModelGen::SaveRecipe("skinned", ".", {}, files, error)) << error;
    }
    Zel::SkeletonModel* Skinned() {
        // The manager reads the file by its extension; the model then takes it by name.
        EXPECT_NE(G()->GetGeometryManager()->GetOrLoad("skinned.ch3", "skinned.ch3"), nullptr);
        Zel::SkeletonModel* skinned = Scene().CreateSkeletonModel();
        EXPECT_TRUE(skinned->LoadGeometry("skinned.ch3") && skinned->BuildFromGeometry());
        return skinned;
    }
    template <class I = ZelI::IModel>
    static I* HostOf(Zel::SceneNode* node) {
        return dynamic_cast<I*>(node->GetInterface());
    }
    static std::vector<float> PositionOf(ZelI::IMoveObject* object) {
        float at[3] = {};
        object->GetPosition(at);
        return {at[0], at[1], at[2]};
    }
};

TEST_F(ModelRowsTest, EachKindOfObjectNamesItsKind) {
    struct Case {
        const char* what;
        ZelI::IMoveObject* object;
        int kind;
    };
    const Case cases[] = {
        {"a plain model", HostOf(Scene().CreateEntity()), 0},
        {"a camera", Scene().CreateCamera()->GetInterface(), 0},
        {"a skinned model", HostOf(Skinned()), 1},
        {"an actor", Host(NewActor()), 4},
        {"a light", Scene().CreateLight(1)->GetInterface(), 7},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.object, nullptr) << c.what;
        EXPECT_EQ(c.object->GetObjectKind(), c.kind) << c.what;
    }
}

TEST_F(ModelRowsTest, ANodePlacedAtABoneTakesTheBonesWorldPlacement) {
    Zel::SkeletonModel* skinned = Skinned();
    auto* model = HostOf<ZelI::ISkeletonModel>(skinned);
    ASSERT_NE(model, nullptr);
    // The model turned a quarter about z and moved: the bone's world matrix holds both, so the
    // node placed at it must not be turned by the model a second time.
    const float quarter[4] = {0.0f, 0.0f, std::sqrt(0.5f), std::sqrt(0.5f)};
    const float at[3] = {3.0f, -2.0f, 1.0f};
    model->SetOrientation(quarter);
    model->SetPosition(at);
    skinned->Update(nullptr, 0.5f, 1);
    ASSERT_NE(model->GetSkeleton(), nullptr);
    ZelI::IBone* lastBone = model->GetSkeleton()->GetBone(model->GetSkeleton()->GetBoneCount() - 1);
    ASSERT_NE(lastBone, nullptr);
    const std::string bone = lastBone->GetName();
    const auto index = static_cast<std::uint32_t>(skinned->GetSkeleton()->GetBoneIndex(bone));
    float boneRotation[4], bonePosition[3];
    Zel::Matrix4::Decompose(skinned->GetBoneWorldMatrix(index), nullptr, boneRotation,
                            bonePosition);

    ZelI::IMoveObject* rider = HostOf(Scene().CreateEntity());
    rider->PlaceAtBone(model, bone.c_str());
    const std::vector<float> position = PositionOf(rider);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(position[i], bonePosition[i], 1e-4f) << i;
    float rotation[4] = {};
    rider->GetOrientation(rotation);
    float dot = 0.0f;  // q and -q are the same turn
    for (int i = 0; i < 4; ++i) dot += rotation[i] * boneRotation[i];
    EXPECT_NEAR(std::abs(dot), 1.0f, 1e-4f);

    // What moves nothing: the node stays at the origin, and only a bone the model's skeleton
    // lacks is logged.
    ZelI::IModel* plain = HostOf(Scene().CreateEntity());
    struct Case {
        const char* what;
        ZelI::IModel* model;
        const char* bone;
        std::uint32_t switchOn;  // 0: none
        bool logged;
    };
    const Case cases[] = {
        {"a bone the skeleton lacks", model, "no such bone", 0, true},
        {"a model without bones or geometry", plain, bone.c_str(), 0, false},
        {"no model", nullptr, bone.c_str(), 0, false},
        {"no bone name", model, nullptr, 0, false},
        {"the mount switch", model, bone.c_str(), 34, false},
        {"the mount placement switch", model, bone.c_str(), 53, false},
    };
    for (const Case& c : cases) {
        ZelI::IMoveObject* node = HostOf(Scene().CreateEntity());
        if (c.switchOn)
            G()->GetConfigManager()->SetValue(c.switchOn, 1);
        LogCapture log;
        node->PlaceAtBone(c.model, c.bone);
        if (c.switchOn)
            G()->GetConfigManager()->SetValue(c.switchOn, 0);
        EXPECT_EQ(PositionOf(node), (std::vector<float>{0.0f, 0.0f, 0.0f})) << c.what;
        EXPECT_EQ(log.Count("坐骑绑定的骨骼不存在：chr="), c.logged ? 1 : 0) << c.what;
    }

    // A node hanging under another keeps its place, as with every top-level setter.
    ZelI::IMoveObject* child = HostOf(Scene().CreateEntity());
    child->AttachTo(rider);
    child->PlaceAtBone(model, bone.c_str());
    EXPECT_EQ(child->GetLocalMatrix()[3], 0.0f);
}

TEST_F(ModelRowsTest, AClonedModelIsANewRegisteredModelOfTheSameKind) {
    for (ZelI::IModel* model : {HostOf(Scene().CreateEntity()), HostOf(Skinned())}) {
        const float at[3] = {1.0f, 2.0f, 3.0f};
        model->SetPosition(at);
        const std::size_t registered = Scene().GetEntityCount();
        ZelI::IModel* copy = model->Clone();
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, model);
        EXPECT_EQ(copy->GetObjectKind(), model->GetObjectKind());
        EXPECT_EQ(copy->GetMaterialCount(), model->GetMaterialCount());
        EXPECT_EQ(PositionOf(copy), PositionOf(model));
        EXPECT_EQ(Scene().GetEntityCount(), registered + 1);
        copy->Release();
        EXPECT_EQ(Scene().GetEntityCount(), registered);
        model->Release();
        EXPECT_EQ(model->Clone(), nullptr) << "unbound";
    }
}

// An animation that lasts a second and samples nothing.
class SecondLongAnimation final : public Zel::Animation {
public:
    SecondLongAnimation() : Zel::Animation(nullptr, "second", "Animation", 0) {}
    float GetLength() const override { return 1.0f; }
    std::uint32_t GetPositionKeyCount() const override { return 0; }
    std::uint32_t GetRotationKeyCount() const override { return 0; }
    void FillConstants(Zel::AnimationState&) const override {}
    void GetFirstPosition(float* out) const override { out[0] = out[1] = out[2] = 0.0f; }
    void GetLastPosition(float* out) const override { out[0] = out[1] = out[2] = 0.0f; }
    bool IsConstant() const override { return false; }
    bool KeepsPosition() const override { return false; }
    bool KeepsRotation() const override { return false; }
    void Evaluate(float&, Zel::AnimationState&) override {}
    std::uint32_t GetSize() override { return 0; }

protected:
    bool LoadImpl() override { return true; }
    void UnloadImpl() override {}
};

TEST_F(ModelRowsTest, TheAnimationRowsReachTheModelsTwoStates) {
    SecondLongAnimation animation;
    Zel::Entity* entity = Scene().CreateEntity();
    entity->SetupFromMeshes({}, &animation);
    ZelI::IModel* model = HostOf(entity);
    EXPECT_EQ(model->GetSecondAnimation(), nullptr);
    model->EnableAnimation(true, 0.25f);
    EXPECT_EQ(model->GetAnimationPlayValue(), 0.25f);
    EXPECT_TRUE(model->IsAnimationEnabled());
    EXPECT_TRUE(model->GetStateBit1());
    model->EnableAnimation(false, 0.5f);
    EXPECT_FALSE(model->IsAnimationEnabled());
    EXPECT_FALSE(model->GetStateBit1());

    // The first state's animation becomes the second animation too.
    model->SetAnimation(nullptr);
    EXPECT_EQ(model->GetSecondAnimation(), nullptr);
    model->SetAnimation(entity->GetAnimationState()->GetInterface());
    ASSERT_NE(entity->GetSecondAnimationState(), nullptr);
    EXPECT_EQ(entity->GetSecondAnimationState()->GetAnimation(), &animation);
    EXPECT_EQ(model->GetSecondAnimation(), entity->GetSecondAnimationState()->GetInterface());
    EXPECT_TRUE(model->GetStateBit2());
    model->EnableSecondAnimation(false, 0.75f);
    EXPECT_FALSE(model->GetStateBit2());
    EXPECT_EQ(entity->GetSecondAnimationState()->GetPlayValue(), 0.75f);

    model->Release();
    model->EnableAnimation(true, 1.0f);  // unbound: nothing
    EXPECT_EQ(model->GetAnimationPlayValue(), 0.0f);
}

TEST_F(ModelRowsTest, TheModelKeepsTheHostsValuesAndHighlight) {
    Zel::Entity* entity = Scene().CreateEntity();
    ZelI::IModel* model = HostOf(entity);
    model->SetUserValue(-7);
    model->SetNodeValue(2.5f);
    model->SetModelValue(4.0f);
    EXPECT_EQ(model->GetUserValue(), -7);
    EXPECT_EQ(model->GetNodeValue(), 2.5f);
    EXPECT_EQ(entity->GetHostFloat(), 4.0f);

    const float red[4] = {1.0f, 0.0f, 0.0f, 0.5f};
    model->SetHighlight(red, true);
    EXPECT_TRUE(entity->GetRenderFlag());
    EXPECT_EQ(std::vector<float>(entity->GetColour(), entity->GetColour() + 4),
              std::vector<float>(red, red + 4));
    model->SetHighlight(nullptr, false);
    EXPECT_FALSE(entity->GetRenderFlag());
    EXPECT_EQ(std::vector<float>(entity->GetColour(), entity->GetColour() + 4),
              (std::vector<float>{1.0f, 1.0f, 1.0f, 1.0f}));

    // The shift colour reaches every piece of a model that has pieces.
    Zel::SkeletonModel* skinned = Skinned();
    ASSERT_FALSE(skinned->GetSubEntities().empty());
    HostOf(skinned)->SetShiftColor(0.25f, 0.5f, 0.75f, 1.0f, 0.5f);
    for (Zel::SubEntity* piece : skinned->GetSubEntities()) {
        const auto& floats = piece->GetShaderParameters().GetFloats();
        ASSERT_EQ(floats.count("g_fShiftColRatio"), 1u);
        EXPECT_EQ(floats.at("g_fShiftColRatio"), 0.5f);
    }

    // The values go with the entity: its next user starts from 0.
    model->Release();
    EXPECT_EQ(model->GetUserValue(), 0);
    Zel::Entity* next = Scene().CreateEntity();
    EXPECT_EQ(HostOf(next)->GetUserValue(), 0);
    EXPECT_EQ(HostOf(next)->GetNodeValue(), 0.0f);
    EXPECT_EQ(next->GetHostFloat(), 0.0f);
}

TEST_F(ModelRowsTest, BoneScaleRowsReachSkinnedModelsOnly) {
    Zel::SkeletonModel* skinned = Skinned();
    ZelI::IModel* model = HostOf(skinned);
    skinned->SetBoneScaleEnabled(1);
    model->ApplyBoneScalePreset("no such preset");
    EXPECT_FALSE(skinned->IsBoneScaleEnabled()) << "a preset that did not apply switches it off";
    float scale[3] = {7.0f, 7.0f, 7.0f};
    model->GetBoneScale(0, scale);
    EXPECT_EQ(std::vector<float>(scale, scale + 3), (std::vector<float>{1.0f, 1.0f, 1.0f}));
    skinned->SetBoneScaleEnabled(1);
    model->ResetBoneMatrices();
    EXPECT_FALSE(skinned->IsBoneScaleEnabled());

    // A plain model has no bones; an unbound wrapper reaches nothing.
    float untouched[3] = {7.0f, 7.0f, 7.0f};
    ZelI::IModel* plain = HostOf(Scene().CreateEntity());
    plain->GetBoneScale(0, untouched);
    model->Release();
    model->GetBoneScale(0, untouched);
    model->ApplyBoneScalePreset("no such preset");
    EXPECT_EQ(untouched[0], 7.0f);
}

}  // namespace
}  // namespace ZelTest
