#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Math/BoundSphere.h"
#include "Physics/PhysicsLock.h"
#include "PhysicsFixture.h"
#include "Platform/Win32/Win32System.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using namespace Zel;
using ZelTest::BodyDesc;

namespace {

class PhysicsWorldTest : public ZelTest::PhysicsTest {};

TEST_F(PhysicsWorldTest, SceneIsMadeOnceAndAfterReleaseAfresh) {
    EXPECT_EQ(world_->GetScene(), scene_);
    EXPECT_EQ(world_->GetCurrentScene(), scene_);
    const float* g = scene_->GetGravity();
    EXPECT_EQ(g[0], 0.0f);
    EXPECT_EQ(g[1], 0.0f);
    EXPECT_EQ(g[2], -30.0f);
    const float moon[3] = {0, 0, -5};
    scene_->SetGravity(moon);
    EXPECT_EQ(scene_->GetNxScene()->getGravity().z, -5.0f);

    scene_->Release();
    EXPECT_EQ(world_->GetCurrentScene(), nullptr);
    EXPECT_TRUE(world_->IsEmpty());
    auto* fresh = static_cast<SceneNx*>(world_->GetScene());
    EXPECT_EQ(fresh->GetGravity()[2], -30.0f);
    EXPECT_EQ(fresh->GetNxScene()->getGravity().z, -30.0f);
    scene_ = fresh;

    world_->Clear();
    EXPECT_EQ(world_->GetCurrentScene(), nullptr);
}

TEST_F(PhysicsWorldTest, NewBodyHasTheDocumentedFlags) {
    PhxEntity* body = Make(BodyDesc(PHX_SHAPE_BOX, 1, 1, 1, 0));
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->IsGravityEnabled());
    EXPECT_FALSE(body->IsKinematic());
    EXPECT_FALSE(body->IsSleeping());
    EXPECT_TRUE(body->IsSyncPending());
    EXPECT_EQ(body->GetMass(), 1.0f);
    EXPECT_EQ(body->GetGroup(), 0);
}

// Bone-bound shapes keep raw body pointers; shutdown deletes the bodies first, and the shape's
// own release afterwards must find nothing to do.
TEST_F(PhysicsWorldTest, ShapeReleasesItsBodyAfterShutdownHarmlessly) {
    BoundSphere* sphere = AcquireBoundSphere();
    ASSERT_NE(sphere, nullptr);
    sphere->SetPhysicsScene(scene_);
    const float params[3] = {0.5f, 0, 0};
    ASSERT_TRUE(sphere->Setup(params));
    PhxEntity* body = sphere->GetPhysicsBody();
    EXPECT_TRUE(PhxEntity::IsLive(body));
    world_->Shutdown();
    EXPECT_FALSE(PhxEntity::IsLive(body));
    EXPECT_EQ(GetPhysicsSDK(), nullptr);
    RecycleBound(sphere);
    ASSERT_TRUE(LoadPhysicsSDK());  // for the fixture's own shutdown
}

struct RuntimeCase {
    const char* name;
    const char* missingModule;  // null: the runtime seam
    const char* expectedLog;
};

TEST(PhysicsRuntimeTest, MissingRuntimeLeavesPhysicsInert) {
    const std::string dir = std::filesystem::current_path().string();
    const RuntimeCase cases[] = {
        {"no runtime", nullptr, "无法创建物理模块！"},
        {"no loader", "/PhysXLoader.dll", "PhysXLoader.dll加载失败!"},
        {"no cooking", "/NxCooking.dll", "NxCooking.dll加载失败!"},
    };
    for (const RuntimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReleasePhysicsSDK();
        ZelTest::LogCapture log;
        if (c.missingModule != nullptr) {
            SetModuleMissing((dir + c.missingModule).c_str(), TRUE);
        } else {
            SetPhysicsRuntimeMissing(true);
        }
        EXPECT_FALSE(LoadPhysicsSDK());
        EXPECT_EQ(log.Count(c.expectedLog), 1);
        EXPECT_EQ(log.Count("无法创建物理模块！"), 1);
        EXPECT_EQ(GetPhysicsSDK(), nullptr);

        PhysicsWorld world;
        PhxScene* scene = world.GetScene();
        ASSERT_NE(scene, nullptr);
        const PhxBodyDesc box = BodyDesc(PHX_SHAPE_BOX, 1, 1, 1, 0);
        EXPECT_EQ(scene->CreateEntity(&box), nullptr);
        scene->Step(0.5f);
        scene->UpdateEntities();
        scene->DebugDraw();
        world.Shutdown();

        SetPhysicsRuntimeMissing(false);
        if (c.missingModule != nullptr) {
            SetModuleMissing((dir + c.missingModule).c_str(), FALSE);
        }
    }
}

TEST(PhysicsRuntimeTest, CorePathIsTheWorkingDirectoryUpToBin) {
    struct Case {
        const char* below;     // made inside a fresh directory and entered
        const char* expected;  // below the fresh directory, lower case
        bool notUnderBin;
    };
    const Case cases[] = {
        {"Game/bin/tools", "/game/bin", false},
        {"Game/Bin", "/game/bin", false},
        {"game", "/game", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.below);
        ZelTest::TempDir temp;
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::create_directories(temp.Path() / c.below);
        std::filesystem::current_path(temp.Path() / c.below);
        ZelTest::LogCapture log;
        SetPhysXCorePath();
        std::filesystem::current_path(cwd);

        HKEY key = nullptr;
        ASSERT_EQ(
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\AGEIA Technologies", 0, KEY_READ, &key),
            0);
        char value[512] = {};
        DWORD size = sizeof(value);
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExA(key, "PhysXcore_Path", nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size),
                  0);
        RegCloseKey(key);
        std::string expected = temp.Path().string();
        for (char& ch : expected) ch = static_cast<char>(std::tolower(ch));
        expected += c.expected;
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(std::string(value), expected);
        EXPECT_EQ(size, expected.size() + 1);
        EXPECT_EQ(log.Count("程序没有在bin下执行"), c.notUnderBin ? 1 : 0);
    }
}

TEST(PhysicsRuntimeTest, ErrorSinkLogsErrorsAndDropsDebugOutput) {
    struct Case {
        int code;
        bool logged;
    };
    const Case cases[] = {{1, true},    {4, true},    {204, true},
                          {205, false}, {206, false}, {208, false}};
    MyOutputStream sink;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ZelTest::LogCapture log;
        sink.reportError(static_cast<Nx::NxErrorCode>(c.code), "boom", "file", 1);
        EXPECT_EQ(log.CountKind(LOG_ENGINE_INIT, "Ageia Error:boom"), c.logged ? 1 : 0);
    }
    ZelTest::LogCapture log;
    EXPECT_EQ(sink.reportAssertViolation("a", "f", 1), 0);
    EXPECT_TRUE(log.Records().empty());
    sink.print("hello");
    EXPECT_EQ(log.Count("Ageia Error:hello"), 1);
}

}  // namespace
