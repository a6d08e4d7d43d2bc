// Object creation through the root interface in direct and queued mode: the model loading task
// gives the model the direct road gives, the asynchronous forms fill their slots when the host
// pumps, refuse names their task record cannot hold, and fail the kinds they cannot make.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/QueueMode.h"
#include "Core/threadmng.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureScale.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/Recipes.h"
#include "Interface/IActor.h"
#include "Interface/IModel.h"
#include "support/LogCapture.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

int Occurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

constexpr const char* kCube = "../resources/models/lit_cube.dm3";

class ObjectCreationTest : public OpenWindowTest {
protected:
    ~ObjectCreationTest() override {
        Zel::SetQueueMode(0);
        for (ZelI::IObject* object : kept_) object->Release();
    }
    template <class T>
    T* Keep(T* object) {
        if (object)
            kept_.push_back(object);
        return object;
    }
    // Pumps until the task has left the worker's lists; answers its last state (0 done, a
    // failure code, or 9 for an id no list holds).
    int Finish(std::uint32_t id) {
        for (int cycle = 0; cycle < 100000; ++cycle) {
            const int state = Render()->GetTaskState(id);
            if (state == 0 || state > 10 || state == 9)
                return state;
            Render()->WaitForIOTasks(0);
        }
        return -1;
    }
    std::size_t RegisteredEntities() { return G()->GetSceneManager()->GetEntityCount(); }

private:
    std::vector<ZelI::IObject*> kept_;
};

TEST_F(ObjectCreationTest, AQueuedModelEqualsTheDirectOne) {
    ZelI::IModel* direct = Keep(Render()->CreateModel(kCube, 0));
    ASSERT_NE(direct, nullptr);
    Zel::SetQueueMode(1);
    ZelI::IModel* queued = Keep(Render()->CreateModel(kCube, 0));
    ASSERT_NE(queued, nullptr);
    EXPECT_NE(queued, direct);
    EXPECT_EQ(queued->GetMaterialCount(), direct->GetMaterialCount());
    EXPECT_EQ(queued->GetChildEntityCount(), direct->GetChildEntityCount());
    // The first form places the queued model by its local matrix as well.
    const float matrix[16] = {1, 0, 0, 4, 0, 1, 0, 5, 0, 0, 1, 6, 0, 0, 0, 1};
    ZelI::IModel* placed = Keep(Render()->CreateModel(kCube, matrix, 0, 0));
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->GetLocalMatrix()[7], 5.0f);
}

TEST_F(ObjectCreationTest, AnAsynchronousModelFillsItsSlotOnceThePumpHasRunItsTask) {
    ZelI::IModel* slot = reinterpret_cast<ZelI::IModel*>(this);  // cleared at once
    const std::uint32_t id = Render()->CreateModelAsyn(kCube, &slot, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(Finish(id), 0);
    ASSERT_NE(Keep(slot), nullptr);
    EXPECT_EQ(slot->GetMaterialCount(), 1u);
    EXPECT_EQ(Render()->GetTaskState(id), 9);  // collected
}

TEST_F(ObjectCreationTest, TheModelTaskFailsNamesItCannotMakeAndLeavesTheSlotEmpty) {
    struct Case {
        const char* name;
        int result;
        const char* reported;
    };
    const Case cases[] = {
        // The kind search is case-sensitive: an upper-case extension is no character file.
        {"models/HERO.CHR", 15, "不被支持的资源文件格式！file="},
        {"models/walk.act", 15, "model_loader OnTask ,不能用于异步创建人物"},
        {"../resources/models/missing.dm3", 15, nullptr},
    };
    for (const Case& c : cases) {
        const std::size_t before = RegisteredEntities();
        const int reportsBefore = c.reported ? Occurrences(Log(), c.reported) : 0;
        ZelI::IModel* slot = nullptr;
        const std::uint32_t id = Render()->CreateModelAsyn(c.name, &slot, 0);
        ASSERT_NE(id, 0u) << c.name;
        EXPECT_EQ(Finish(id), c.result) << c.name;
        EXPECT_EQ(slot, nullptr) << c.name;
        if (c.reported) {
            // Reported from loading thread 0, into the log.
            EXPECT_EQ(Occurrences(Log(), c.reported), reportsBefore + 1) << c.name;
        }
        // What did not load was released, not left in the scene.
        EXPECT_EQ(RegisteredEntities(), before) << c.name;
    }
}

TEST_F(ObjectCreationTest, AQueuedModelWithoutANameIsAnEmptyEntity) {
    Zel::SetQueueMode(1);
    ZelI::IModel* empty = Keep(Render()->CreateModel(nullptr, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetMaterialCount(), 0u);
}

// Names that would not fit a task record with their terminator are refused whole: a cut name
// would load another file.
TEST_F(ObjectCreationTest, NamesLongerThanTheTaskRecordAreRefusedWithOneLogLine) {
    const std::string fits = "../" + std::string(248, 'a') + ".dm3";  // 255 characters
    const std::string tooLong = fits + "x";
    ASSERT_EQ(fits.size(), 255u);
    void* slot = this;
    struct Case {
        const char* operation;
        std::uint32_t (*queue)(ZelI::IRender&, const char*, void*);
    };
    const Case cases[] = {
        {"CreateModelAsyn",
         [](ZelI::IRender& r, const char* n, void* s) { return r.CreateModelAsyn(n, s, 0); }},
        {"CreateActorAsyn",
         [](ZelI::IRender& r, const char* n, void* s) { return r.CreateActorAsyn(n, s, 0, 0); }},
        {"CreateNewActorAsyn",
         [](ZelI::IRender& r, const char* n, void* s) { return r.CreateNewActorAsyn(n, s, 0, 0); }},
    };
    for (const Case& c : cases) {
        LogCapture log;
        slot = this;
        EXPECT_EQ(c.queue(*Render(), tooLong.c_str(), &slot), 0u) << c.operation;
        EXPECT_EQ(slot, nullptr) << c.operation;
        EXPECT_EQ(log.Count(std::string(c.operation) + ": name longer than 255 characters"), 1)
            << c.operation;
        const std::uint32_t id = c.queue(*Render(), fits.c_str(), &slot);
        EXPECT_NE(id, 0u) << c.operation;
        Finish(id);  // the file does not exist: it fails, but it was tried
        EXPECT_EQ(slot, nullptr) << c.operation;
    }
    // The synchronous forms answer null.
    Zel::SetQueueMode(1);
    EXPECT_EQ(Render()->CreateModel(tooLong.c_str(), 0), nullptr);
    EXPECT_EQ(Render()->CreateActor(tooLong.c_str(), 0, 0), nullptr);
    EXPECT_EQ(Render()->CreateNewActor(tooLong.c_str(), 0), nullptr);
}

// An actor whose description names no file is not made, on either road: nothing is left behind.
TEST_F(ObjectCreationTest, AnActorOfAMissingDescriptionLeavesNothingBehindOnEitherRoad) {
    const std::size_t before = RegisteredEntities();
    for (std::uint32_t mode : {0u, 1u}) {
        Zel::SetQueueMode(mode);
        EXPECT_EQ(Render()->CreateActor("../actors/missing.act", 0, 0), nullptr) << mode;
        EXPECT_EQ(Render()->CreateNewActor("../actors/missing.act", 0), nullptr) << mode;
        EXPECT_EQ(RegisteredEntities(), before) << mode;
    }
}

TEST_F(ObjectCreationTest, AMaterialLibraryLoadsAlikeOnBothRoadsWhileLibrariesAreSwitchedOn) {
    ZelFixtures::LibMaterial material;
    material.name = "creation_mat";
    const std::string library =
        dir_.Write("mats/creation.xml", ZelFixtures::WriteMaterialLibrary({material}));
    const std::string missing = (dir_.Path() / "mats/missing.xml").string();
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    Zel::MaterialManager& materials = *G()->GetMaterialManager();
    struct Case {
        std::uint32_t mode;
        std::int32_t librariesOn;
        const std::string* name;
        bool loaded;
    };
    const Case cases[] = {
        {0, 1, &library, true},  {1, 1, &library, true},  {0, 1, &missing, false},
        {1, 1, &missing, false}, {0, 0, &library, false}, {1, 0, &library, false},
    };
    for (const Case& c : cases) {
        config.SetValue(59, c.librariesOn);
        Zel::SetQueueMode(c.mode);
        EXPECT_EQ(Render()->LoadMaterialLib(c.name->c_str(), 0), c.loaded)
            << c.mode << " " << *c.name << " " << c.librariesOn;
    }
    Zel::SetQueueMode(0);
    EXPECT_NE(materials.FindMaterial("creation_mat", false), nullptr);
}

TEST_F(ObjectCreationTest, TheLibraryTaskPutsTheCompressionSwitchAndScaleLevelBack) {
    const std::string library =
        dir_.Write("mats/creation.xml", ZelFixtures::WriteMaterialLibrary({{}}));
    const std::string missing = (dir_.Path() / "mats/missing.xml").string();
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    config.SetValue(59, 1);
    struct Case {
        const std::string* name;
        int result;
    };
    const Case cases[] = {{&library, 0}, {&missing, 14}};
    for (const Case& c : cases) {
        config.SetValue(6, 0);
        Zel::SetTextureScaleLevel(1);
        const std::uint32_t id = Render()->QueueNamedTask(c.name->c_str(), 2, 1, 0);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(Finish(id), c.result) << *c.name;
        EXPECT_EQ(config.GetValue(6), 0) << *c.name;
        EXPECT_EQ(Zel::GetTextureScaleLevel(), 1) << *c.name;
    }
    Zel::SetTextureScaleLevel(0);
    // No name, no task.
    EXPECT_EQ(Render()->QueueNamedTask(nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(Render()->QueueNamedTask("", 0, 0, 0), 0u);
}

TEST_F(ObjectCreationTest, RoleActionsAreCountedOverTheFirstTreeAndBothFigureTrees) {
    std::string list;
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe("actor")) {
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
        if (f.name == "actions.xml")
            list = f.name;
    }
    ASSERT_FALSE(list.empty());
    std::filesystem::copy_file(list, "role.xml");
    char output[16] = "untouched";
    Render()->DoCommand(7, ".", 0, output, 0);
    // Two actions in each tree: the first tree's (the boy's), the boy's and the girl's.
    EXPECT_STREQ(output, "6");

    // A directory without the list: logged, nothing written.
    std::strcpy(output, "untouched");
    const int before = Occurrences(Log(), "打开动作文件失败");
    Render()->DoCommand(7, "nowhere", 0, output, 0);
    EXPECT_STREQ(output, "untouched");
    EXPECT_EQ(Occurrences(Log(), "打开动作文件失败"), before + 1);

    // No input: ends at once, tries no list and writes nothing.
    Render()->DoCommand(7, nullptr, 0, output, 0);
    EXPECT_STREQ(output, "untouched");
    EXPECT_EQ(Occurrences(Log(), "打开动作文件失败"), before + 1);
}

TEST_F(ObjectCreationTest, ModelActionPreloadTriesTheCharacterNameFirstAndMakesOneModelPerName) {
    char output[16] = "untouched";
    Render()->DoCommand(8, nullptr, 0, output, 0);
    EXPECT_STREQ(output, "untouched");

    LogCapture log;
    // Too short for an extension: tried as given only.
    Render()->DoCommand(8, "ab", 0, output, 0);
    EXPECT_EQ(log.Count("CreateModel, ab"), 1);
    EXPECT_EQ(log.Count("CreateModel, ch3"), 0);

    // A static model is made once and kept for its name; it has no actions to preload.
    const std::size_t before = RegisteredEntities();
    for (int call = 0; call < 2; ++call) Render()->DoCommand(8, kCube, 0, output, 0);
    EXPECT_EQ(log.Count("CreateModel, ../resources/models/lit_cube.ch3"), 1);
    EXPECT_EQ(log.Count(std::string("CreateModel, ") + kCube), 1);
    EXPECT_EQ(RegisteredEntities(), before + 1);
    EXPECT_STREQ(output, "untouched");
}

}  // namespace
}  // namespace ZelTest
