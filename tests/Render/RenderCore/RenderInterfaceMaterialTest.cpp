// The root interface's material rows: wrappers by name, names by index and id, the material word
// of host primitives and the pick material, and new proxy tables.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "Core/GlobalConfigManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Interface/IMatProxyTable.h"
#include "Interface/IModel.h"
#include "Interface/IShader.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "demo/DemoDataTree.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

using Zel::Material;

class RenderInterfaceMaterialTest : public OpenWindowTest {
protected:
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }
    Material* Registered(const char* name) {
        Material* material = Materials().CreateMaterial(name);
        Materials().Add(material);
        return material;
    }
    // A copy of the default material with its one pass twice: drawn, it draws twice.
    Material* TwoPasses() {
        Material* source = Materials().GetDefaultMaterial(false);
        Material* copy = Registered("twopass");
        source->CopyTo(*copy);
        Zel::Pass* second = copy->CreatePass(1);
        copy->GetPass(0)->CopyTo(*second);
        return copy;
    }
};

TEST_F(RenderInterfaceMaterialTest, LookupsHandOutTheMaterialsOneWrapper) {
    Material* rock = Registered("rock");
    ZelI::IMaterial* found = Render()->FindMaterial("rock");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->GetName(), "rock");
    EXPECT_EQ(Render()->GetShader("rock"), found);
    EXPECT_EQ(Render()->FindAndLoadMaterial("rock"), found);
    EXPECT_EQ(rock->GetRefCount(), 1);  // a look-up takes no reference

    for (const char* missing : {"absent", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(Render()->FindMaterial(missing), nullptr);
        EXPECT_EQ(Render()->GetShader(missing), nullptr);
        EXPECT_EQ(Render()->FindAndLoadMaterial(missing), nullptr);
    }

    // Found by its id; an unknown id names nothing.
    EXPECT_STREQ(Render()->GetMaterialName(static_cast<int>(rock->GetHandle())), "rock");
    EXPECT_EQ(Render()->GetMaterialName(-1), nullptr);
    EXPECT_EQ(Render()->GetMaterialName(100000), nullptr);
    found->Release();
}

TEST_F(RenderInterfaceMaterialTest, FindAndLoadReloadsAnUnloadedMaterial) {
    Material* rock = Registered("rock");
    rock->CreatePass(0);
    rock->Unload();
    ASSERT_FALSE(rock->IsLoaded());
    ZelI::IMaterial* plain = Render()->FindMaterial("rock");
    EXPECT_FALSE(rock->IsLoaded());
    EXPECT_EQ(Render()->FindAndLoadMaterial("rock"), plain);
    EXPECT_TRUE(rock->IsLoaded());
}

TEST_F(RenderInterfaceMaterialTest, MaterialsByIndexAreTheLastLibrarysNames) {
    ZelFixtures::LibMaterial first, second;
    first.name = "rock";
    second.name = "sand";
    const std::string library =
        dir_.Write("mats/index.xml", ZelFixtures::WriteMaterialLibrary({first, second}));
    G()->GetConfigManager()->SetValue(59, 1);  // material libraries switched on
    ASSERT_TRUE(Render()->LoadMaterialLib(library.c_str(), 0));
    ASSERT_EQ(Render()->GetMaterialCount(), 2);
    const auto nameAt = [&](int index) {
        return std::string(reinterpret_cast<const char*>(Render()->GetMaterialAt(index)));
    };
    EXPECT_EQ(nameAt(0), "rock");
    EXPECT_EQ(nameAt(1), "sand");
    EXPECT_EQ(nameAt(2), "invalid name");
    EXPECT_EQ(nameAt(-1), "invalid name");
}

TEST_F(RenderInterfaceMaterialTest, HostPrimitivesDrawOncePerPassOfTheirMaterial) {
    const std::array<float, 12> positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    static constexpr std::uint16_t kIndices[6] = {0, 2, 1, 0, 3, 2};
    const auto vertices = reinterpret_cast<std::intptr_t>(positions.data());
    const auto indices = reinterpret_cast<std::intptr_t>(kIndices);
    ZelI::IMaterial* twoPasses = Zel::MaterialInterface(TwoPasses());
    const auto user = [&](ZelI::IMaterial* material) {
        const ULONGLONG before = DrawCalls();
        Render()->DrawUserPrimitive(3, vertices, 4, 12, indices, 6,
                                    reinterpret_cast<std::intptr_t>(material));
        return DrawCalls() - before;
    };
    const auto picked = [&] {
        const ULONGLONG before = DrawCalls();
        Render()->DrawPicked(3, vertices, 4, 12, indices, 6, 0, 0, 0);
        return DrawCalls() - before;
    };
    Render()->FrameBegin();
    EXPECT_EQ(user(nullptr), 1u) << "the default material";
    EXPECT_EQ(user(twoPasses), 2u);
    EXPECT_EQ(picked(), 1u) << "no pick material: the default one";
    Render()->SetPickMaterial(twoPasses);
    EXPECT_EQ(picked(), 2u);
    Render()->SetPickMaterial(nullptr);
    EXPECT_EQ(picked(), 1u);
    Render()->FrameEnd();
}

// The pick material is held while it is set: a sweep of the manager's materials (whole or of
// the unused ones) leaves it to draw with, and setting another gives it back.
TEST_F(RenderInterfaceMaterialTest, ThePickMaterialOutlivesTheManagersSweepsWhileSet) {
    const std::array<float, 9> positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0};
    static constexpr std::uint16_t kIndices[3] = {0, 2, 1};
    const auto picked = [&] {
        const ULONGLONG before = DrawCalls();
        Render()->DrawPicked(3, reinterpret_cast<std::intptr_t>(positions.data()), 3, 12,
                             reinterpret_cast<std::intptr_t>(kIndices), 3, 0, 0, 0);
        return DrawCalls() - before;
    };
    Material* twoPasses = TwoPasses();
    Render()->SetPickMaterial(Zel::MaterialInterface(twoPasses));
    for (const auto sweep :
         {&Zel::MaterialManager::RemoveUnused, &Zel::MaterialManager::RemoveAll}) {
        (Materials().*sweep)();
        EXPECT_EQ(Materials().FindMaterial("twopass", false), twoPasses);
        Render()->FrameBegin();
        EXPECT_EQ(picked(), 2u);
        Render()->FrameEnd();
    }
    Render()->SetPickMaterial(nullptr);
    Materials().RemoveUnused();
    EXPECT_EQ(Materials().FindMaterial("twopass", false), nullptr);
}

TEST_F(RenderInterfaceMaterialTest, RemovingAllMaterialsKeepsTheOnesInUseAndTheBuiltIns) {
    Material* plain = Materials().GetDefaultMaterial(false);
    Material* skeletal = Materials().GetDefaultMaterial(true);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(skeletal, nullptr);
    Registered("rock");
    ZelFixtures::LibMaterial held;
    held.name = "sand";
    const std::string library =
        dir_.Write("mats/held.xml", ZelFixtures::WriteMaterialLibrary({held}));
    bool success = false;
    Materials().LoadMaterialLibXml(library, success, false, nullptr);
    ASSERT_TRUE(success);
    Material* sand = Materials().FindMaterial("sand", false);
    ASSERT_NE(sand, nullptr);
    Materials().HoldMaterial(sand);
    Render()->SetPickMaterial(Render()->FindMaterial("rock"));
    Material* used = Registered("used");
    used->AddRef();  // as a scene object drawing with it holds it

    Render()->RemoveAllMaterials();
    for (const char* gone : {"rock", "sand"}) EXPECT_EQ(Render()->FindMaterial(gone), nullptr) << gone;
    EXPECT_EQ(Materials().FindMaterial("used", false), used);
    used->DecRef();
    EXPECT_EQ(Render()->GetMaterialCount(), 0);
    EXPECT_EQ(Materials().GetHeldList().size(), 8u);
    for (const char* builtin : {"Default", "DefaultSkeleton", "WireFrame", "DrawQuad", "ZBlend",
                                "DrawUI", "DrawProfile", "Simple"})
        EXPECT_NE(Materials().FindMaterial(builtin, false), nullptr) << builtin;
    EXPECT_EQ(Materials().GetDefaultMaterial(false), plain);
    EXPECT_EQ(Materials().GetDefaultMaterial(true), skeletal);

    // The picked draw falls back to the default material, which is still alive to draw with.
    const std::array<float, 9> positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0};
    static constexpr std::uint16_t kIndices[3] = {0, 2, 1};
    Render()->FrameBegin();
    const ULONGLONG before = DrawCalls();
    Render()->DrawPicked(3, reinterpret_cast<std::intptr_t>(positions.data()), 3, 12,
                         reinterpret_cast<std::intptr_t>(kIndices), 3, 0, 0, 0);
    EXPECT_EQ(DrawCalls() - before, 1u);
    Render()->FrameEnd();
}

TEST_F(RenderInterfaceMaterialTest, ANewProxyTableIsEmptyAndDeduplicates) {
    Registered("rock");
    ZelI::IMatProxyTable* table = Render()->CreateMatProxyTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetCount(), 0);
    ZelI::IMaterial* rock = Render()->FindMaterial("rock");
    EXPECT_EQ(table->Add(rock), 1);
    EXPECT_EQ(table->Add(rock), 0);
    EXPECT_EQ(table->GetCount(), 1);
    ZelI::IMatProxyTable* second = Render()->CreateMatProxyTable();
    EXPECT_NE(second, table);
    EXPECT_EQ(second->GetCount(), 0);
    second->Release();
    table->Release();
}

TEST_F(RenderInterfaceMaterialTest, AModelsMaterialsReachTheHostAsWrappersAndProxies) {
    ZelI::IModel* model =
        Render()->CreateModel(ZelDemo::HostModelName("models/textured_cube.dm3").c_str(), 0);
    ASSERT_NE(model, nullptr);
    const std::string& textured = ZelDemo::DemoNames().texturedMaterial;
    const std::uint32_t count = model->GetMaterialCount();
    ASSERT_GE(count, 1u);
    for (std::uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(model->GetMaterial(i), Render()->FindMaterial(textured.c_str())) << i;
    EXPECT_EQ(model->GetMaterial(count), nullptr);

    // The table holds one proxy for the material, however many sub-entities draw with it.
    ZelI::IMatProxyTable* table = model->CreateMatProxyTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetCount(), 1);
    ZelI::IMatProxy* proxy = table->GetAt(0);
    EXPECT_EQ(proxy->GetName(), textured);
    // XML text applied through the proxy rebuilds the model's own material.
    ZelFixtures::LegacyShader shader;
    shader.passes.resize(2);
    const std::string text = ZelFixtures::WriteXmlText(ZelFixtures::LegacyShaderElement(shader));
    EXPECT_EQ(proxy->ApplyXmlText(text.c_str()), 1);
    EXPECT_EQ(model->GetMaterial(0)->GetPassCount(), 2u);
    EXPECT_EQ(proxy->GetPassVertexWord(1), 4u);  // unskinned
    table->Release();

    // Every sub-entity takes the material given; null changes nothing.
    ZelI::IMaterial* twoPasses = Zel::MaterialInterface(TwoPasses());
    model->SetMaterial(twoPasses);
    model->SetMaterial(nullptr);
    for (std::uint32_t i = 0; i < count; ++i) EXPECT_EQ(model->GetMaterial(i), twoPasses) << i;
    ZelI::IMatProxyTable* after = model->CreateMatProxyTable();
    ASSERT_EQ(after->GetCount(), 1);
    EXPECT_STREQ(after->GetAt(0)->GetName(), "twopass");
    after->Release();
    model->Release();
}

}  // namespace
}  // namespace ZelTest
