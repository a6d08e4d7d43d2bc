// The scene's own frame: the group draws in their fixed order under the render-group flags, the
// level culled against the render camera, and the lights' visibility for that camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "Core/FrameStats.h"
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

    // Switched on and near, switched on behind the camera, switched off, and a light without
    // position.
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

TEST_F(SceneRenderTest, WithoutAMainCameraTheFrameKeepsTheMatrixStacks) {
    const float view[16] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Scene().SetViewMatrix(view);
    Scene().SetMainCamera(nullptr);
    Scene().RenderScene();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(Scene().GetViewMatrix()[i], view[i]);
}

TEST_F(SceneRenderTest, TheSceneGraphUpdateWalksEveryNodeOnceAFrame) {
    const float at[3] = {4, 5, 6}, turn[4] = {0, 0, 0, 1};
    SceneNode* child = Scene().GetRootNode()->CreateChild(at, turn);
    ASSERT_NE(child, nullptr);
    FrameStats& stats = *G()->GetFrameStats();
    const std::uint32_t before = stats[FRAME_NODE_UPDATES];
    Scene().UpdateSceneGraph();
    EXPECT_GE(stats[FRAME_NODE_UPDATES], before + 2);  // the root and its child at least
    EXPECT_EQ(child->GetWorldPosition()[1], 5.0f);
}

TEST_F(SceneRenderTest, TheLightQueryTakesLightsMeetingTheViewUpToTheCapacity) {
    const float eye[3] = {0, 0, 0}, target[3] = {0, 0, -10};
    Camera* camera = LookingAt(eye, target);
    const struct {
        std::int32_t kind;
        bool on;
        float z;  // the view looks down -z
    } made[] = {{1, true, -5}, {1, false, -6}, {1, true, 50}, {0, true, 60}, {2, true, -7}};
    std::vector<Light*> lights;
    for (const auto& m : made) {
        Light* light = Scene().CreateLight(m.kind);
        const float at[3] = {0, 0, m.z};
        light->SetPosition(at);
        light->SetRange(1);
        if (m.on)
            light->SetStateBits(128);
        else
            light->ClearStateBits(128);
        lights.push_back(light);
    }
    // Switched off or not, but never a light whose sphere is out of view, whatever its kind.
    const struct {
        std::uint32_t capacity;
        std::vector<Light*> found;
    } cases[] = {
        {8, {lights[0], lights[1], lights[4]}},
        {2, {lights[0], lights[1]}},
        {1, {lights[0]}},
    };
    for (const auto& c : cases) {
        Light* out[8];
        std::fill(std::begin(out), std::end(out), lights[2]);
        const std::uint32_t n = Scene().QueryLightsInFrustum(*camera, out, c.capacity);
        ASSERT_EQ(n, c.found.size()) << "capacity " << c.capacity;
        for (std::uint32_t i = 0; i < c.capacity; ++i)
            EXPECT_EQ(out[i], i < n ? c.found[i] : nullptr) << "entry " << i;
        if (c.capacity < 8) {
            EXPECT_EQ(out[c.capacity], lights[2]);  // nothing written past the capacity
        }
    }
}

}  // namespace
