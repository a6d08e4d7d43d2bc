// The host's wrappers: one wrapper per object while bound, pooled and reused last in first out,
// harmless once released, unbound when their object goes away, and the camera and light rows
// reaching the scene objects.
#include <gtest/gtest.h>

#include <vector>

#include "Core/QueueMode.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "tests/Core/CoreRootFixture.h"

namespace ZelTest {
namespace {

// A wrapper class of the test's own, so that its pool is fresh in this process.
class ProbeImplRC final
    : public Zel::ISceneNodeImplRC<ZelI::IMoveObject, Zel::Entity, ProbeImplRC> {};

TEST(WrapperPoolTest, AFreshPoolHandsOutItsFourWrappersNewestFirstThenGrowsByHalf) {
    Zel::WrapperPool<ProbeImplRC>& pool = Zel::WrapperPool<ProbeImplRC>::Get();
    Zel::CObjectPool<ProbeImplRC>& objects = pool.Objects();
    ASSERT_EQ(objects.GetCapacity(), 4);
    ASSERT_EQ(objects.GetCap(), -1);

    // The free list is taken from its tail: the last wrapper made comes out first.
    Zel::IInsList_Impl* freeList = objects.GetFreeList();
    std::vector<ProbeImplRC*> freeOrder;
    for (std::uint32_t i = 0; i < freeList->GetCount(); ++i)
        freeOrder.push_back(static_cast<ProbeImplRC*>(freeList->GetAt(i)));
    std::vector<ProbeImplRC*> taken;
    for (int i = 0; i < 4; ++i) taken.push_back(pool.Acquire());
    EXPECT_EQ(taken, std::vector<ProbeImplRC*>(freeOrder.rbegin(), freeOrder.rend()));

    const int capacities[] = {6, 9, 13};
    for (int expected : capacities) {
        while (objects.GetFreeCount() > 0) taken.push_back(pool.Acquire());
        taken.push_back(pool.Acquire());
        EXPECT_EQ(objects.GetCapacity(), expected);
    }

    // A returned wrapper is the next one handed out.
    ProbeImplRC* back = taken[5];
    pool.Release(back);
    EXPECT_EQ(pool.Acquire(), back);
    for (ProbeImplRC* wrapper : taken) pool.Release(wrapper);
    EXPECT_EQ(objects.GetInUseCount(), 0);
}

class InterfaceWrapperTest : public CoreRootTest {
protected:
    Zel::SceneManager* Scene() { return G()->GetSceneManager(); }
    template <class W>
    int FreeWrappers() {
        return Zel::WrapperPool<W>::Get().Objects().GetFreeCount();
    }
};

TEST_F(InterfaceWrapperTest, AnObjectReachesTheHostAsOneWrapperWhileBound) {
    Zel::Camera* camera = Scene()->CreateCamera();
    ZelI::IMoveObject* first = camera->GetInterface();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(camera->GetInterface(), first);
    EXPECT_TRUE(first->IsValid());
    EXPECT_EQ(Zel::UnwrapInterface<Zel::Camera>(first), camera);
    EXPECT_EQ(Zel::UnwrapInterface<Zel::Light>(first), nullptr);  // another kind

    // A plain node hands out no wrapper.
    Zel::SceneNode* node = Scene()->CreateSceneNode();
    EXPECT_EQ(node->GetInterface(), nullptr);
}

TEST_F(InterfaceWrapperTest, AReleasedWrapperReachesNoObjectAndIsTheNextHandedOut) {
    Zel::Light* light = Scene()->CreateLight(1);
    auto* wrapper = static_cast<ZelI::ILight*>(light->GetInterface());
    const float at[3] = {1.0f, 2.0f, 3.0f};
    wrapper->SetPosition(at);
    const std::size_t lights = Scene()->GetLightCount();

    wrapper->Release();
    EXPECT_FALSE(wrapper->IsValid());
    EXPECT_EQ(Scene()->GetLightCount(), lights - 1);  // the light went back to the scene
    wrapper->Release();                               // a second release does nothing

    float out[4] = {7.0f, 7.0f, 7.0f, 7.0f};
    EXPECT_EQ(wrapper->GetPosition(out), nullptr);
    EXPECT_EQ(wrapper->GetDiffuse(out), nullptr);
    EXPECT_EQ(out[0], 7.0f);  // outputs untouched
    EXPECT_EQ(wrapper->GetLightType(), 0);
    EXPECT_EQ(wrapper->GetRange(), 0.0f);
    wrapper->SetPosition(at);
    wrapper->SetRange(4.0f);
    EXPECT_EQ(wrapper->GetParent(), nullptr);

    Zel::Light* next = Scene()->CreateLight(1);
    EXPECT_EQ(static_cast<ZelI::ILight*>(next->GetInterface()), wrapper);
    EXPECT_TRUE(wrapper->IsValid());
}

TEST_F(InterfaceWrapperTest, OwnersUnbindTheWrapperWhenTheirObjectGoesAway) {
    const int freeLights = FreeWrappers<Zel::ILightImplRC>();
    Zel::Light* light = Scene()->CreateLight(0);
    ZelI::IMoveObject* lightWrapper = light->GetInterface();
    EXPECT_EQ(FreeWrappers<Zel::ILightImplRC>(), freeLights - 1);
    Scene()->DestroyLight(light);
    EXPECT_FALSE(lightWrapper->IsValid());
    EXPECT_EQ(FreeWrappers<Zel::ILightImplRC>(), freeLights);

    // A pooled entity is reset when it goes back to its factory: its next user is not reachable
    // through the old wrapper.
    Zel::Entity* entity = Scene()->CreateEntity();
    ZelI::IMoveObject* modelWrapper = entity->GetInterface();
    ASSERT_NE(modelWrapper, nullptr);
    Scene()->ReleaseEntity(entity);
    EXPECT_FALSE(modelWrapper->IsValid());
    EXPECT_EQ(entity->GetBoundInterface(), nullptr);
}

TEST_F(InterfaceWrapperTest, QueuedReleaseWithoutALoadingThreadLeavesTheWrapperBound) {
    Zel::Camera* camera = Scene()->CreateCamera();
    ZelI::IMoveObject* wrapper = camera->GetInterface();
    Zel::SetQueueMode(1);
    EXPECT_EQ(wrapper->Release(), 0);
    Zel::SetQueueMode(0);
    EXPECT_TRUE(wrapper->IsValid());
    EXPECT_EQ(camera->GetInterface(), wrapper);
    // Detaching now ignores the queue mode.
    Zel::SetQueueMode(1);
    EXPECT_EQ(wrapper->DetachNow(), 0);
    Zel::SetQueueMode(0);
    EXPECT_FALSE(wrapper->IsValid());
}

TEST_F(InterfaceWrapperTest, BoxesAndTheHiddenFlagThroughTheNodeRows) {
    Zel::Camera* camera = Scene()->CreateCamera();
    ZelI::IMoveObject* eye = camera->GetInterface();
    float box[6] = {};
    eye->GetLocalBox(box);
    EXPECT_EQ(std::vector<float>(box, box + 6),
              (std::vector<float>{-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(eye->Self(0), eye);

    Zel::Entity* entity = Scene()->CreateEntity();
    auto* model = static_cast<ZelI::IModel*>(entity->GetInterface());
    model->GetLocalBox(box);  // no geometry: the unit box
    EXPECT_EQ(box[3], 0.5f);
    EXPECT_TRUE(model->IsShown());
    model->Hide();
    EXPECT_FALSE(model->IsShown());
    EXPECT_NE(entity->GetFlags() & Zel::kEntityHiddenFlag, 0u);
    model->Show();
    EXPECT_TRUE(model->IsShown());
    EXPECT_EQ(entity->GetFlags() & Zel::kEntityHiddenFlag, 0u);

    model->Release();
    float untouched[6] = {7.0f, 7.0f, 7.0f, 7.0f, 7.0f, 7.0f};
    model->GetLocalBox(untouched);
    EXPECT_EQ(untouched[0], 7.0f);
    EXPECT_FALSE(model->IsShown());
}

TEST_F(InterfaceWrapperTest, PlacementSettersActOnTopLevelNodesOnly) {
    Zel::Entity* parent = Scene()->CreateEntity();
    Zel::Entity* child = Scene()->CreateEntity();
    ZelI::IMoveObject* parentWrapper = parent->GetInterface();
    ZelI::IMoveObject* childWrapper = child->GetInterface();
    childWrapper->AttachTo(parentWrapper);
    EXPECT_EQ(childWrapper->GetParent(), parentWrapper);
    EXPECT_EQ(parentWrapper->GetChild(0), childWrapper);

    const float moved[3] = {5.0f, 0.0f, 0.0f};
    childWrapper->SetPosition(moved);
    EXPECT_EQ(child->GetPosition()[0], 0.0f);
    parentWrapper->SetPosition(moved);
    EXPECT_EQ(parent->GetPosition()[0], 5.0f);

    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    matrix[3] = 2.0f;  // translation x (column vectors)
    childWrapper->SetLocalMatrix(matrix);
    EXPECT_EQ(child->GetPosition()[0], 0.0f);
    childWrapper->ForceLocalMatrix(matrix);
    EXPECT_FLOAT_EQ(child->GetPosition()[0], 2.0f);
}

TEST_F(InterfaceWrapperTest, LightRowsReachTheLight) {
    Zel::IRenderImpl render;
    struct Case {
        int hostKind;
        int sceneKind;
        int reported;
    };
    const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 3, 2}, {9, 0, 0}, {-1, 0, 0}};
    for (const Case& c : cases) {
        ZelI::ILight* light = render.CreateLight(c.hostKind);
        ASSERT_NE(light, nullptr) << c.hostKind;
        auto* object = Zel::UnwrapInterface<Zel::Light>(light);
        EXPECT_EQ(object->GetKind(), c.sceneKind) << c.hostKind;
        EXPECT_EQ(light->GetLightType(), c.reported) << c.hostKind;
        EXPECT_EQ(light->GetObjectKind(), 7);
    }

    ZelI::ILight* sun = render.CreateLight(0);
    const float from[3] = {1.0f, 2.0f, -2.0f};
    sun->SetPosition(from);  // a directional light takes it as where it shines from
    float direction[3] = {};
    sun->GetDirection(direction);
    // The light shines along its node's turned axis: the direction comes back of unit length.
    EXPECT_NEAR(direction[0], -1.0f / 3.0f, 1e-5f);
    EXPECT_NEAR(direction[1], -2.0f / 3.0f, 1e-5f);
    EXPECT_NEAR(direction[2], 2.0f / 3.0f, 1e-5f);
    float position[3] = {9.0f, 9.0f, 9.0f};
    sun->GetPosition(position);
    EXPECT_EQ(position[0], 0.0f);  // and stays where it was

    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    sun->SetSpecular(red);
    float colour[4] = {};
    EXPECT_EQ(sun->GetSpecular(colour)[1], 0.0f);
    EXPECT_EQ(sun->GetDiffuse(colour)[1], 1.0f);  // the others keep theirs
    sun->SetRange(6.0f);
    EXPECT_EQ(sun->GetRange(), 6.0f);
}

TEST_F(InterfaceWrapperTest, CameraRowsSteerTheCamera) {
    Zel::Camera* camera = Scene()->CreateCamera();
    auto* wrapper = static_cast<ZelI::ICamera*>(camera->GetInterface());
    const float eye[3] = {0.0f, 0.0f, 10.0f};
    const float target[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    ASSERT_NE(wrapper->LookAt(eye, target, up), nullptr);
    float position[3] = {};
    wrapper->GetPosition(position);
    EXPECT_FLOAT_EQ(position[2], 10.0f);
    wrapper->MoveAlongDirection(4.0f);  // forward is towards the target
    wrapper->GetPosition(position);
    EXPECT_FLOAT_EQ(position[2], 6.0f);
    EXPECT_EQ(static_cast<Zel::ICameraImplRC*>(wrapper)->GetFrustum(),
              static_cast<Zel::Frustum*>(camera));
}

}  // namespace
}  // namespace ZelTest
