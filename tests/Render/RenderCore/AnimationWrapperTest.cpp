// The host's animation wrappers: channel actions played directly and through the loading
// thread, the limits of queued names, action names copied into the host's buffer, and actions
// and their tracks reached through their wrappers.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Core/QueueMode.h"
#include "Core/TaskFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActionOwner.h"
#include "Render/RenderCore/AnimationWrappers.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "Render/RenderCore/SkeletonWrappers.h"
#include "Thread/ActionTasks.h"
#include "Thread/HostTasks.h"
#include "tests/Entity/Character/ActionFixture.h"

namespace ZelTest {
namespace {

// The task types made through the factory while a test counts them.
std::vector<std::int32_t> g_tasksMade;
Zel::itask* CountingFactory(std::int32_t type) {
    g_tasksMade.push_back(type);
    return Zel::CreateHostTask(type);
}

class AnimationWrapperTest : public ActionTest {
protected:
    void SetUp() override {
        owner_.skeleton = Small();
        ASSERT_NE(owner_.skeleton, nullptr);
        for (const char* name : {"walk", "run"}) {
            Zel::Action* action =
                Load("small.fig", std::string(name) + ".ac6", SmallAction(5, 1.0f));
            ASSERT_NE(action, nullptr);
            action->SetName(name);
            owner_.actions[name] = action;
        }
        channel_.SetOwner(&owner_);
        host_ = channel_.GetInterface();
        ASSERT_NE(host_, nullptr);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
        g_tasksMade.clear();
        previousFactory_ = Zel::SetTaskFactory(&CountingFactory);
    }
    void TearDown() override {
        Zel::SetTaskFactory(previousFactory_);
        Zel::SetQueueMode(0);
    }

    NamedActionOwner owner_;
    Zel::AnimationChannel channel_;
    ZelI::IAnimationChannel* host_ = nullptr;
    Zel::threadio* worker_ = nullptr;
    Zel::TaskFactoryFunction previousFactory_ = nullptr;
};

TEST_F(AnimationWrapperTest, PlayingAndSettingTheNextActionDirectlyAndQueued) {
    struct Case {
        std::uint32_t queueMode;
        bool next;
        std::vector<std::int32_t> tasks;  // types made
    };
    const Case cases[] = {
        {0, false, {}},
        {0, true, {}},
        {1, false, {Zel::AnimationChannel_SetActionTask::kType}},
        {1, true, {Zel::AnimationChannel_SetNextActionTask::kType}},
    };
    for (const Case& c : cases) {
        channel_.Reset();
        g_tasksMade.clear();
        ASSERT_EQ(host_->PlayAction("walk", true), 0);
        g_tasksMade.clear();
        Zel::SetQueueMode(c.queueMode);
        // The task only makes the action resident; the channel change is made here all the same.
        EXPECT_EQ(c.next ? host_->SetNextAction("run", false) : host_->PlayAction("run", false), 0);
        Zel::SetQueueMode(0);
        EXPECT_EQ(g_tasksMade, c.tasks) << c.queueMode << c.next;
        EXPECT_EQ(c.next ? channel_.GetNextActionName() : channel_.GetCurrentActionName(), "run");
        EXPECT_EQ(worker_->GetActiveCount(), 0u);  // the task ran to its end at once
    }
}

TEST_F(AnimationWrapperTest, QueuedNamesStopAt127CharactersAndNeedAnOwner) {
    struct Case {
        std::size_t length;
        bool owned;
        bool queued;
    };
    const Case cases[] = {{127, true, true}, {128, true, false}, {4, false, false}};
    for (const Case& c : cases) {
        g_tasksMade.clear();
        channel_.SetOwner(c.owned ? &owner_ : nullptr);
        const std::string name(c.length, 'a');
        for (bool next : {false, true}) {
            const std::uint32_t id = next ? host_->SetNextActionAsyn(name.c_str(), true, 0)
                                          : host_->PlayActionAsyn(name.c_str(), true, 0);
            EXPECT_EQ(id != 0, c.queued) << c.length << c.owned << next;
            if (id != 0) {  // the tree knows no such action: the task fails, nothing else
                EXPECT_EQ(worker_->SyncTask(id), Zel::ChannelActionTask::kFailure);
            }
        }
        // A channel without an owner makes no task that could only fail.
        EXPECT_EQ(g_tasksMade.size(), c.queued ? 2u : 0u) << c.length << c.owned;
    }
    EXPECT_EQ(host_->PlayActionAsyn(nullptr, true, 0), 0u);
}

TEST_F(AnimationWrapperTest, ActionNamesAreCopiedWithoutOverrunningTheBuffer) {
    char buffer[8];
    EXPECT_EQ(host_->GetCurrentActionName(buffer, sizeof buffer), 0);  // no action yet
    ASSERT_EQ(host_->PlayAction("walk", true), 0);
    ASSERT_EQ(host_->SetNextAction("run", true), 0);

    struct Case {
        std::uint32_t size;
        std::int32_t answer;
        const char* contents;  // the buffer's first five bytes afterwards
    };
    const Case cases[] = {
        {3, -1, "#####"},  // too short: untouched
        {4, 1, "walk#"},   // exactly as long: no terminating zero
        {5, 1, "walk\0"},  // room to spare: terminated
    };
    for (const Case& c : cases) {
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(host_->GetCurrentActionName(buffer, c.size), c.answer) << c.size;
        EXPECT_EQ(std::string(buffer, 5), std::string(c.contents, 5)) << c.size;
    }
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(host_->GetNextActionName(buffer, 3), 1);
    EXPECT_EQ(std::string(buffer, 4), "run#");
}

TEST_F(AnimationWrapperTest, AnUnboundChannelWrapperAnswersZeroAndReachesNothing) {
    host_->Release();
    ASSERT_FALSE(host_->IsValid());
    Zel::SetQueueMode(1);
    EXPECT_EQ(host_->PlayAction("walk", true), 0);
    EXPECT_EQ(host_->PlayActionAsyn("walk", true, 0), 0u);
    EXPECT_EQ(host_->SetNextAction("walk", true), 0);
    EXPECT_EQ(host_->SetNextActionAsyn("walk", true, 0), 0u);
    EXPECT_EQ(host_->PlayTreeAction("walk", true), 0);
    EXPECT_EQ(host_->SetNextTreeAction("walk", true), 0);
    Zel::SetQueueMode(0);
    EXPECT_TRUE(g_tasksMade.empty());
    EXPECT_EQ(host_->GetCurrentAction(), nullptr);
    EXPECT_EQ(host_->IsFinished(), -1);
    EXPECT_EQ(static_cast<int>(channel_.GetState()),
              static_cast<int>(Zel::AnimationChannel::kIdle));
}

TEST_F(AnimationWrapperTest, TheCurrentActionAndItsTracksThroughTheirWrappers) {
    EXPECT_EQ(host_->GetCurrentAction(), nullptr);
    EXPECT_EQ(host_->IsFinished(), -1);
    ASSERT_EQ(host_->PlayAction("walk", false), 0);
    ZelI::IAction* action = host_->GetCurrentAction();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(host_->GetCurrentAction(), action);
    EXPECT_EQ(Zel::UnwrapInterface<Zel::Action>(action), owner_.actions["walk"]);
    EXPECT_EQ(host_->IsFinished(), 0);
    EXPECT_FLOAT_EQ(action->GetLength(), 1.0f);
    // The action's own loop flag, not the channel's.
    EXPECT_EQ(action->GetFlags(), 1u);
    owner_.actions["walk"]->SetLoop(false);
    EXPECT_EQ(action->GetFlags(), 0u);

    Zel::Action* walk = owner_.actions["walk"];
    ASSERT_GT(walk->GetBoneStateCount(), 0u);
    ZelI::IAnimation* track = action->GetPart(0);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(action->GetPart(0), track);
    EXPECT_EQ(action->GetPart(walk->GetBoneStateCount()), nullptr);

    // Root track: x = 0.1 per frame of 0.25 s (compressed keys).
    track->Sample(0.5f);
    EXPECT_NEAR(track->GetPosition()[0], 0.2f, 1e-3f);
    float key[4] = {7, 7, 7, 7};
    track->GetKeyRotation(3, key);
    EXPECT_EQ(std::vector<float>(key, key + 4), (std::vector<float>{0, 0, 0, 1}));

    // Released, the action's wrapper reaches nothing; the action itself plays on.
    action->Release();
    EXPECT_FALSE(action->IsValid());
    EXPECT_EQ(action->GetPart(0), nullptr);
    EXPECT_EQ(action->GetLength(), 0.0f);
    EXPECT_EQ(channel_.GetCurrentAction(), walk);
}

}  // namespace
}  // namespace ZelTest

namespace ZelTest {
namespace {

// A skinned model whose skeleton and animations the test gives instead of a skinned geometry.
class GivenSkeletonModel : public Zel::SkeletonModel {
public:
    std::map<std::string, Zel::Action*> actions;
    Zel::Skeleton* skeleton = nullptr;

    Zel::Skeleton* GetSkeleton() override { return skeleton; }
    Zel::Action* GetAnimation(const std::string& name) override {
        const auto it = actions.find(name);
        return it == actions.end() ? nullptr : it->second;
    }
};

class SkeletonModelWrapperTest : public ActionTest {
protected:
    void SetUp() override {
        model_.skeleton = Small();
        ASSERT_NE(model_.skeleton, nullptr);
        Zel::Action* walk = Load("small.fig", "walk.ac6", SmallAction(5, 1.0f));
        ASSERT_NE(walk, nullptr);
        walk->SetName("walk");
        model_.actions["walk"] = walk;
        model_.RebuildBoneStates();
        host_ = dynamic_cast<ZelI::ISkeletonModel*>(model_.GetInterface());
        ASSERT_NE(host_, nullptr);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
    }

    GivenSkeletonModel model_;
    ZelI::ISkeletonModel* host_ = nullptr;
    Zel::threadio* worker_ = nullptr;
};

TEST_F(SkeletonModelWrapperTest, ChannelsActionsAndBonesOfASkinnedModel) {
    for (std::uint32_t n = 0; n < Zel::SkeletonModel::kChannelCount; ++n) {
        ZelI::IAnimationChannel* channel = host_->GetChannel(n);
        ASSERT_NE(channel, nullptr) << n;
        EXPECT_EQ(Zel::UnwrapInterface<Zel::AnimationChannel>(channel), model_.GetChannel(n));
    }
    EXPECT_EQ(host_->GetChannel(Zel::SkeletonModel::kChannelCount), nullptr);

    EXPECT_EQ(host_->GetMainAction(), nullptr);
    EXPECT_EQ(host_->GetMainActionPart(0), nullptr);
    host_->PlayAnimation("walk");
    ZelI::IAction* main = host_->GetMainAction();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(host_->GetAnimation("walk"), main);
    EXPECT_NE(host_->GetMainActionPart(0), nullptr);
    EXPECT_EQ(host_->GetMainActionPart(model_.actions["walk"]->GetBoneStateCount()), nullptr);

    ZelI::ISkeleton* skeleton = host_->GetSkeleton();
    ASSERT_NE(skeleton, nullptr);
    EXPECT_EQ(skeleton->GetBoneCount(), model_.GetBoneStateCount());
    const std::uint32_t past = model_.GetBoneStateCount();
    EXPECT_NE(host_->GetBoneTranslation(0), nullptr);
    EXPECT_EQ(host_->GetBoneTranslation(past), nullptr);
    EXPECT_EQ(host_->GetBoneSkinMatrix(past), nullptr);
    EXPECT_EQ(host_->GetBoneRotation(past), nullptr);

    // The host keeps an address with the model: all of it comes back.
    const std::intptr_t word = static_cast<std::intptr_t>(0x12345678ABCDLL);
    host_->SetHostWord(word);
    EXPECT_EQ(host_->GetHostWord(), word);
    host_->ClearHostWord();
    EXPECT_EQ(host_->GetHostWord(), 0);
}

TEST_F(SkeletonModelWrapperTest, SharedActionSetsByTheModelsSkeleton) {
    Zel::ISharedActionManagerImplRC shared;
    WriteFile("shared_walk.ac6", mg::WriteCompressedActionFile(SmallAction(5, 1.0f)).bytes);
    WriteFile("shared_run.ac6", mg::WriteCompressedActionFile(SmallAction(9, 2.0f)).bytes);

    EXPECT_EQ(shared.GetActionCount(host_), 0u);
    ASSERT_TRUE(shared.AddAction(host_, "shared_walk.ac6", false));
    EXPECT_EQ(shared.GetActionCount(host_), 1u);
    EXPECT_TRUE(shared.HasAction(host_, "shared_walk.ac6"));
    ZelI::IAction* walk = shared.GetActionByName(host_, "shared_walk.ac6");
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(shared.GetActionByIndex(host_, 0), walk);
    EXPECT_EQ(shared.GetActionByIndex(host_, 1), nullptr);
    EXPECT_EQ(shared.GetActionByName(host_, "missing"), nullptr);

    // Queued: the load runs on loading thread 0.
    const std::uint32_t id = shared.AddActionAsyn(host_, "set", "shared_run.ac6", 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker_->SyncTask(id), 0);
    EXPECT_TRUE(shared.HasAction(host_, "shared_run.ac6"));
    EXPECT_EQ(shared.GetActionCount(host_), 2u);

    // Refused requests queue nothing.
    const std::uint32_t active = worker_->GetActiveCount();
    EXPECT_EQ(shared.AddActionAsyn(host_, "", "shared_run.ac6", 0), 0u);
    EXPECT_EQ(shared.AddActionAsyn(host_, "set", "", 0), 0u);
    EXPECT_EQ(shared.AddActionAsyn(host_, nullptr, "shared_run.ac6", 0), 0u);
    EXPECT_EQ(worker_->GetActiveCount(), active);

    // A model that is no skinned model reaches no set.
    EXPECT_EQ(shared.GetActionCount(nullptr), 0u);
    EXPECT_FALSE(shared.AddAction(nullptr, "shared_walk.ac6", false));

    // Dropping the set gives its actions back: the host's wrapper of one reaches nothing.
    shared.ReleaseSet(host_);
    EXPECT_EQ(shared.GetActionByName(host_, "shared_walk.ac6"), nullptr);
    EXPECT_FALSE(walk->IsValid());
}

// A host tool's figures of an action reached through the action's wrapper; an unbound wrapper
// gives figures of nothing.
TEST_F(AnimationWrapperTest, ActionInfoReadsTheActionBehindItsWrapper) {
    Zel::IProxyFactory_Impl factory;
    ASSERT_EQ(host_->PlayAction("walk", false), 0);
    ZelI::IAction* action = host_->GetCurrentAction();
    ASSERT_NE(action, nullptr);
    Zel::Action* walk = owner_.actions["walk"];
    ZelI::IActionInfo* info = factory.CreateActionInfo(action);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->GetName(), "walk");
    EXPECT_FLOAT_EQ(info->GetLength(), 1.0f);
    // The fixture's action has a track for each of four bones; the root's turns at each of five
    // frames.
    EXPECT_EQ(info->GetTrackCount(), 4u);
    ASSERT_EQ(info->GetBoneStateCount(), walk->GetBoneStateCount());
    ASSERT_GT(info->GetBoneStateCount(), 0u);
    EXPECT_EQ(info->GetBoneKeyCount(0), 5u);
    EXPECT_EQ(info->GetBoneKeyCount(info->GetBoneStateCount()), 0u);
    info->Release();

    action->Release();
    ZelI::IActionInfo* nothing = factory.CreateActionInfo(action);
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(nothing->GetName(), nullptr);
    EXPECT_EQ(nothing->GetLength(), 0.0f);
    EXPECT_EQ(nothing->GetBoneStateCount(), 0u);
    nothing->Release();
    ZelI::IActionInfo* none = factory.CreateActionInfo(nullptr);
    EXPECT_EQ(none->GetTrackCount(), 0u);
    none->Release();
}

}  // namespace
}  // namespace ZelTest
