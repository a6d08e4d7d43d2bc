#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ActionFixture.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/ActionRegistry.h"
#include "Entity/Character/ActionTreeNode.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Action;

class TreeOwner : public Zel::ActionOwner {
public:
    Zel::ActionManager* manager = nullptr;
    Zel::Skeleton* skeleton = nullptr;
    std::uint8_t figure = 0;
    bool newActor = false;

    Action* FindAction(std::string_view) override { return nullptr; }
    Action* FindTreeAction(std::string_view name) override {
        Action* a = nullptr;
        return manager->GetTreeItemAction(*this, name, &a) ? a : nullptr;
    }
    Zel::Skeleton* GetSkeleton() override { return skeleton; }
    std::uint8_t GetFigure() const override { return figure; }
    bool IsNewActor() const override { return newActor; }
};

class ActionTreeTest : public ActionTest {
protected:
    void SetUp() override {
        small_ = Small();
        other_ = Build("other.fig", SmallSkeletonNodes());
        ASSERT_NE(small_, nullptr);
        ASSERT_NE(other_, nullptr);
        owner_.manager = &Actions();
        owner_.skeleton = small_;
        // ".tst" files: counted, and read as a small compressed action unless named "bad".
        Actions().SetReader("tst", [this](Zel::ActionResource& r, const std::string& path) {
            ++reads_[path];
            if (path.find("bad") != std::string::npos)
                return false;
            const std::vector<std::uint8_t> bytes =
                mg::WriteCompressedActionFile(SmallAction(5, 1.0f)).bytes;
            return r.ReadCompressed(bytes.data(), bytes.size());
        });
    }

    void Text(const std::string& name, const std::string& text) {
        WriteFile(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // base.xml (other.fig): walk, tank_idle; top.xml (small.fig) includes base: run (twice),
    // an item without a file, jump, bad.
    void WriteTrees(const std::string& baseInclude = "") {
        Text("list.xml",
             "<DANCE><XMLNode file=\"base.xml\"/><XMLNode file=\"top.xml\"/><XMLNode/></DANCE>");
        Text("base.xml",
             "<DANCE><FigNode RootFigFileName=\"other.fig\"/>" +
                 (baseInclude.empty() ? std::string()
                                      : "<IncludeAction ActionFileName=\"" + baseInclude + "\"/>") +
                 "<ActionNode><Item id=\"walk\" file=\"walk.tst\"/>"
                 "<Item id=\"tank_idle\" file=\"stand.tst\"/></ActionNode></DANCE>");
        Text("top.xml",
             "<DANCE><FigNode RootFigFileName=\"small.fig\"/>"
             "<IncludeAction ActionFileName=\"base.xml\"/><ActionNode>"
             "<Item id=\"run\" file=\"run.tst\"/><Item id=\"run\" file=\"dup.tst\"/>"
             "<Item id=\"nofile\"/><Item id=\"jump\" file=\"jump.tst\"/>"
             "<Item id=\"bad\" file=\"bad.tst\"/></ActionNode></DANCE>");
    }

    Zel::Skeleton* small_ = nullptr;
    Zel::Skeleton* other_ = nullptr;
    TreeOwner owner_;
    std::map<std::string, int> reads_;
};

TEST_F(ActionTreeTest, ItemsResolveThroughIncludesAndAreReadOnce) {
    WriteTrees();
    LogCapture log;
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    EXPECT_EQ(log.Count("动作库缺少ID或FILE标记!"), 1);
    EXPECT_EQ(log.Count("发现重名动作! run"), 1);
    EXPECT_EQ(log.Count("打开动作库文件失败! "), 1);  // the entry without a file
    Zel::ActionTreeNode* top = Actions().GetActionTree(small_);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->GetIncluded(), Actions().GetActionTree(other_));
    EXPECT_EQ(top->FindOwnItem("run")->file, "run.tst");

    Action* run = nullptr;
    Action* again = nullptr;
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "run", &run), 1);
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "run", &again), 1);
    EXPECT_EQ(run, again);
    EXPECT_EQ(reads_["run.tst"], 1);
    EXPECT_EQ(run->GetName(), "run.tst");
    EXPECT_EQ(Actions().FindTreeItemAction("run", owner_), run);
    // walk comes from the included tree.
    EXPECT_NE(owner_.FindTreeAction("walk"), nullptr);
    EXPECT_EQ(reads_["walk.tst"], 1);
    // Unknown ids are logged.
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "nope"), 0);
    EXPECT_EQ(log.Count("没有此动作的记录! nope"), 1);
    // A tree item's action released when only the tree holds it.
    EXPECT_TRUE(Actions().ReleaseTreeAction(owner_, "run"));
    EXPECT_EQ(Actions().FindTreeItemAction("run", owner_), nullptr);
}

TEST_F(ActionTreeTest, AFailedReadLeavesTheItemEmptyAndNoResource) {
    WriteTrees();
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "bad"), 0);
    EXPECT_EQ(Actions().GetByName("bad.tst"), nullptr);
    EXPECT_EQ(Actions().FindTreeItemAction("bad", owner_), nullptr);
    EXPECT_NE(LogText().find("读取人物动作文件失败! bad.tst,所属骨骼:name = small.fig"),
              std::string::npos);
}

TEST_F(ActionTreeTest, IncludeCyclesEnd) {
    WriteTrees("top.xml");
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    EXPECT_EQ(Actions().GetActionTree(other_)->GetIncluded(), Actions().GetActionTree(small_));
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "nope"), 0);
    EXPECT_EQ(Actions().GetTreeItemAction(owner_, "walk"), 1);
}

TEST_F(ActionTreeTest, BadListFilesAreLogged) {
    LogCapture log;
    EXPECT_FALSE(Actions().LoadActionTree("absent.xml"));
    EXPECT_EQ(log.Count("打开动作库文件失败! absent.xml"), 1);
    Text("plain.xml", "<ROOT><XMLNode file=\"x\"/></ROOT>");
    EXPECT_FALSE(Actions().LoadActionTree("plain.xml"));
    EXPECT_EQ(log.Count("动作库缺少DANCE标记! plain.xml"), 1);
}

TEST_F(ActionTreeTest, TankIdleStandsInUnderItsOwnName) {
    WriteTrees();
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    G()->GetConfigManager()->SetValue(Zel::ActionManager::kSubstituteTankIdleSwitch, 1);
    Action* jump = nullptr;
    ASSERT_EQ(Actions().GetTreeItemAction(owner_, "jump", &jump), 1);
    EXPECT_EQ(reads_["stand.tst"], 1);
    EXPECT_EQ(reads_["jump.tst"], 0);
    EXPECT_EQ(jump->GetName(), "jump.tst");
    EXPECT_EQ(jump->GetResourceName(), "stand.tst");
    EXPECT_EQ(Actions().GetByName("jump.tst"), nullptr);
}

TEST_F(ActionTreeTest, AReloadKeepsTheResourcesOfPlayingActions) {
    WriteTrees();
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    Action* run = nullptr;
    ASSERT_EQ(Actions().GetTreeItemAction(owner_, "run", &run), 1);
    Zel::SharedPtr<Action> playing(run);
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    ASSERT_NE(playing->GetResource(), nullptr);
    EXPECT_TRUE(playing->GetResource()->IsLoadSucceeded());
    EXPECT_EQ(playing->GetResource()->GetTrackCount(), 4u);
    EXPECT_EQ(Actions().GetByName("run.tst"), playing->GetResource());
}

TEST_F(ActionTreeTest, RootScalingFollowsTheFigureAndTheOwner) {
    Text("list.xml", "<DANCE><XMLNode file=\"new.xml\"/></DANCE>");
    Text("new.xml",
         "<DANCE><FigNode RootFigFileName=\"new_small.fig\"/><ActionNode>"
         "<Item id=\"run\" file=\"run.tst\"/></ActionNode></DANCE>");
    Zel::Skeleton* fresh = Build("new_small.fig", SmallSkeletonNodes());
    ASSERT_TRUE(Actions().LoadActionTree("list.xml"));
    owner_.skeleton = fresh;
    owner_.figure = 1;
    owner_.newActor = true;
    Action* run = nullptr;
    ASSERT_EQ(Actions().GetTreeItemAction(owner_, "run", &run), 1);
    EXPECT_TRUE(run->GetRootScaling().planar);
    EXPECT_TRUE(run->GetRootScaling().height);
    EXPECT_FLOAT_EQ(run->GetRootScaling().factor, 0.8434043f);
    EXPECT_TRUE(run->GetHostSampler().GetHeightScale());
}

TEST_F(ActionTreeTest, SharedSetsRegisterReportReleaseAndUnload) {
    const std::uint64_t set = Zel::ActionManager::SetIdOf(small_);
    EXPECT_TRUE(Actions().AddSharedAction(set, "a.tst", small_));
    EXPECT_TRUE(Actions().AddSharedAction(set, "a.tst", small_));
    EXPECT_EQ(reads_["a.tst"], 1);
    EXPECT_FALSE(Actions().AddSharedAction(set, "bad.tst", small_));
    EXPECT_FALSE(Actions().HasSharedAction(set, "bad.tst"));
    EXPECT_EQ(Actions().GetByName("bad.tst"), nullptr);
    Actions().AddToSharedSet(set, {"b.tst", "a.tst"});
    EXPECT_EQ(Actions().GetSharedSetCount(set), 2u);
    EXPECT_TRUE(Actions().HasSharedAction(set, "b.tst"));
    EXPECT_EQ(Actions().GetSharedActionByName(set, "b.tst"), nullptr);
    Action* a = Actions().GetSharedActionByIndex(set, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, Actions().GetSharedActionByName(set, "a.tst"));
    EXPECT_EQ(Actions().GetSharedSetCount(7), 0u);
    EXPECT_EQ(Actions().GetSharedActionByIndex(7, 0), nullptr);

    // A duplicate registration keeps the first.
    {
        Zel::ActionRegistry registry;
        Action* spare = G()->GetActionFactory()->Acquire();
        EXPECT_TRUE(registry.Register("x", spare, small_));
        EXPECT_FALSE(registry.Register("x", a, small_));
        EXPECT_EQ(registry.Find("x"), spare);
        EXPECT_NE(LogText().find("动作:x已经存在重复创建！动作所属骨骼：name=small.fig"),
                  std::string::npos);
        Zel::SharedPtr<Action> held(spare);
        EXPECT_EQ(registry.CheckReferences(small_), 1u);
        EXPECT_EQ(registry.ReleaseUnreferenced(), 0u);
    }
    {
        // Held elsewhere: the set keeps it.
        Zel::SharedPtr<Action> held(a);
        EXPECT_TRUE(Actions().ReleaseSharedSet(set));
        EXPECT_EQ(Actions().GetSharedActionByName(set, "a.tst"), a);
    }
    EXPECT_TRUE(Actions().AddSharedAction(set, "c.tst", small_));
    EXPECT_TRUE(Actions().ReleaseSharedSet(set));
    EXPECT_EQ(Actions().GetSharedActionByName(set, "c.tst"), nullptr);
    EXPECT_TRUE(Actions().UnloadActionLib(set));
    EXPECT_FALSE(Actions().UnloadActionLib(set));
    EXPECT_FALSE(Actions().ReleaseSharedSet(set));
}

TEST_F(ActionTreeTest, ASkeletonsOwnSetGoesWithIt) {
    const std::vector<Zel::SkeletonNode> nodes = SmallSkeletonNodes();
    Manager().SetFileLoader([&nodes](Zel::Skeleton& s, const std::string&) {
        return s.BuildFromTree(nodes) != nullptr;
    });
    Zel::Skeleton* temp = Manager().GetOrLoad("temp.fig");
    Manager().SetFileLoader(nullptr);
    ASSERT_NE(temp, nullptr);
    const std::uint64_t set = Zel::ActionManager::SetIdOf(temp);
    Actions().AddToSharedSet(set, {"x.tst"});
    EXPECT_EQ(Actions().GetSharedSetCount(set), 1u);
    Manager().ReleaseShared(temp);
    EXPECT_EQ(Actions().GetSharedSetCount(set), 0u);
    EXPECT_FALSE(Actions().UnloadActionLib(set));
}

}  // namespace
