// Lights: what the host reads and sets, the sphere that follows the node, and what a clone shares.
#include <gtest/gtest.h>

#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Entity/Scene/Shadow.h"
#include "tests/Entity/Scene/SceneFixture.h"

namespace {

using namespace Zel;

class LightTest : public ZelTest::SceneTest {};

TEST_F(LightTest, TheHostReadsKindsZeroToTwo) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2},
                                                           {4, 2}, {5, 0}, {-1, 0}};
    for (const auto& [kind, host] : cases) EXPECT_EQ(Light(kind).GetHostKind(), host) << kind;
}

TEST_F(LightTest, TheInfluenceSphereFollowsTheNodeAndTheHostsRangeScalesIt) {
    Light* light = Scene().CreateLight(1);
    const float at[3] = {1.0f, 2.0f, 3.0f};
    light->SetPosition(at);
    light->SetRangeAndScale(7.0f);
    const auto& sphere = static_cast<const Sphere&>(light->GetInfluenceVolume());
    EXPECT_EQ(sphere.GetCenter()[2], 3.0f);
    EXPECT_EQ(sphere.GetRadius(), 7.0f);
    EXPECT_EQ(light->GetScale()[1], 7.0f);
    EXPECT_EQ(light->GetWorldPosition()[0], 1.0f);
    EXPECT_TRUE(light->IsVisible());
}

TEST_F(LightTest, ACloneSharesTheBitAndRangeButNotTheColours) {
    Light* light = Scene().CreateLight("lamp", 2);
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    light->SetColours(red, red, red);
    light->SetRange(12.0f);
    auto* clone = dynamic_cast<Light*>(light->Clone(false));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetLightBit(), light->GetLightBit());
    EXPECT_EQ(clone->GetKind(), 2);
    EXPECT_EQ(clone->GetRange(), 12.0f);
    EXPECT_EQ(clone->GetDiffuse()[1], 1.0f);
    EXPECT_EQ(Scene().GetLightCount(), 2u);
}

// A shadow map's caster material, or a fake shadow.
class StubShadow final : public Shadow {
public:
    StubShadow(std::int32_t kind, Material* material) : kind_(kind), material_(material) {}
    std::int32_t GetKind() const override { return kind_; }
    Material* GetCasterMaterial(std::uint32_t) override { return material_; }
    void Render(Level*) override {}

private:
    std::int32_t kind_;
    Material* material_;
};

TEST_F(LightTest, CastersAndReceiversGoToTheShadowGroupsByMaterialFlag) {
    Material& caster = MakeMaterial({{}});
    caster.flags = MF_SHADOW_MAP;
    Material& floor = MakeMaterial({{}});
    floor.flags = MF_FLOOR;
    Material& casterPass = MakeMaterial({{}});
    Material& receiverPass = MakeMaterial({{}});
    Entity& entity = MakeEntity({&MakeMesh(), &MakeMesh()}, nullptr);
    entity.GetSubEntity(0)->SetMaterial(&caster);
    entity.GetSubEntity(1)->SetMaterial(&floor);

    StubShadow fake(SHADOW_KIND_FAKE, &casterPass);
    entity.AddShadowCasters(&Queue(), &fake);  // a fake shadow queues a blob instead
    EXPECT_EQ(Queue().FindGroup(RENDER_GROUP_SHADOW_CASTERS), nullptr);

    StubShadow map(SHADOW_KIND_MAP, &casterPass);
    entity.AddShadowCasters(&Queue(), &map);
    entity.AddShadowReceivers(&Queue(), &receiverPass);
    auto* casters =
        dynamic_cast<RenderableGroupSolid*>(Queue().FindGroup(RENDER_GROUP_SHADOW_CASTERS));
    ASSERT_NE(casters, nullptr);
    std::vector<const Pass*> casterPasses;
    casters->ForEachList([&](std::int32_t slot, Light* light, const RenderableList& list) {
        EXPECT_EQ(slot, 0);
        EXPECT_EQ(light, nullptr);
        EXPECT_EQ(list.renderables, std::vector<Renderable*>{entity.GetSubEntity(0)});
        casterPasses.push_back(list.pass);
    });
    EXPECT_EQ(casterPasses, std::vector<const Pass*>{casterPass.GetPass(0)});
    auto* receivers =
        dynamic_cast<RenderableGroupTransparent*>(Queue().FindGroup(RENDER_GROUP_ENTITY_RECEIVERS));
    ASSERT_NE(receivers, nullptr);
    ASSERT_EQ(receivers->GetEntries().size(), 1u);
    EXPECT_EQ(receivers->GetEntries()[0].renderable, entity.GetSubEntity(1));
    EXPECT_EQ(receivers->GetEntries()[0].pass, receiverPass.GetPass(0));
}

}  // namespace
