// The scene's own frame: the group draws in their fixed order under the render-group flags, the
// level culled against the render camera, and the lights' visibility for that camera.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/RenderQueue.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace {

using namespace Zel;

// Records the groups each group draw would draw, in order.
class RecordingScene : public SceneManager {
public:
    std::vector<int> groups;
    void DrawUnlitGroups(RenderQueue&) override { groups.insert(groups.end(), {8, 9}); }
    void DrawLevelLitGroups(RenderQueue&) override { groups.insert(groups.end(), {10, 6}); }
    void DrawEntityLitGroups(RenderQueue&) override { groups.insert(groups.end(), {11, 7}); }
    void DrawLevelTransparentGroup(RenderQueue&) override { groups.push_back(12); }
    void DrawEntityTransparentGroup(RenderQueue&) override { groups.push_back(13); }
};

using SceneRenderTest = ZelTest::LevelGridTest;

TEST_F(SceneRenderTest, TheFrameDrawsTheGroupsInOrderAsTheFlagsAllow) {
    const struct {
        std::uint32_t flags;
        std::vector<int> groups;
    } cases[] = {
        {7, {8, 9, 10, 6, 11, 7, 12, 13}}, {1, {10, 6, 12}}, {2, {11, 7, 13}}, {4, {8, 9}}, {0, {}},
    };
    for (const auto& c : cases) {
        RecordingScene scene;
        scene.SetRenderGroupFlags(c.flags);
        const std::uint32_t frame = scene.GetFrameId();
        scene.RenderScene();
        EXPECT_EQ(scene.groups, c.groups) << "flags " << c.flags;
        EXPECT_EQ(scene.GetFrameId(), frame + 1);
    }
}

TEST_F(SceneRenderTest, TheRenderCameraCullsTheLevelAndTheLights) {
    SaveGrid("sr", 12);
    Level* level = Scene().CreateAndLoadLevel("sr/grid.xml");
    ASSERT_NE(level, nullptr);
    Scene().SetLevel(level);
    const float eye[3] = {2, 2, 2}, target[3] = {5, 0, 6};
    Camera* camera = LookingAt(eye, target);

    // Switched on and near, switched on behind the camera, switched off, and a light without position.
    const struct {
        std::int32_t kind;
        bool on;
        float position[3];
        bool visible;
    } lights[] = {
        {1, true, {5, 1, 6}, true},
        {1, true, {-500, 1, -500}, false},
        {1, false, {5, 1, 6}, false},
        {0, true, {500, 1, 500}, true},
    };
    std::vector<Light*> made;
    for (const auto& l : lights) {
        Light* light = Scene().CreateLight(l.kind);
        ASSERT_NE(light, nullptr);
        light->SetRange(3);
        light->SetPosition(l.position);
        if (l.on)
            light->SetStateBits(128);
        else
            light->ClearStateBits(128);
        made.push_back(light);
    }
    // Without a render camera nothing is culled.
    level->ClearStateBits(NODE_VISIBLE);
    Scene().SetRenderCamera(nullptr);
    Scene().RenderScene();
    EXPECT_EQ(level->GetState() & NODE_VISIBLE, 0u);

    Scene().SetRenderCamera(camera);
    Scene().SetMainCamera(camera);
    Scene().RenderScene();
    EXPECT_NE(level->GetState() & NODE_VISIBLE, 0u);
    EXPECT_TRUE(level->GetOctree()->IsVisible());
    for (std::size_t i = 0; i < made.size(); ++i)
        EXPECT_EQ((made[i]->GetState() & NODE_VISIBLE) != 0, lights[i].visible) << "light " << i;
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(Scene().GetViewMatrix()[i], camera->GetViewMatrix()->m[i]);
    Scene().SetLevel(nullptr);
}

}  // namespace
