// Material proxies of an actor's materials: edits reach the actor's own copies of the material's
// name and leave the actor to rebuild its materials; without an owner they change nothing.
#include <gtest/gtest.h>

#include <string>

#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Render/RenderCore/MaterialWrappers.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

using Zel::Material;

class ActorMaterialProxyTest : public ActorTest {
protected:
    Material* Registered(const char* name, std::uint32_t passes) {
        Zel::MaterialManager* materials = G()->GetMaterialManager();
        Material* material = materials->CreateMaterial(name);
        materials->Add(material);
        for (std::uint32_t i = 0; i < passes; ++i) material->CreatePass(i);
        return material;
    }
    // A "SHADER" element of three passes.
    static std::string ThreePasses() {
        ZelFixtures::LegacyShader shader;
        shader.passes.resize(3);
        return ZelFixtures::WriteXmlText(ZelFixtures::LegacyShaderElement(shader));
    }
};

TEST_F(ActorMaterialProxyTest, EditsReachTheActorsCopyOfTheName) {
    Zel::Actor* actor = NewActor();
    const Zel::Mesh mesh(nullptr, "2", false, false);
    Material* copy = actor->GetMaterialLibrary().GetPartMaterial(mesh, "hero.bp5", "d/hero.xml");
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetName(), "hero_2");
    ASSERT_NE(copy->GetPassCount(), 3u);
    Material* named = Registered("hero_2", 1);  // the library material the copy stands for
    Material* plain = Registered("plain", 1);   // no copy of this name

    Zel::IMatProxyTableImpl table;
    table.Add(named, 4, actor);
    table.Add(plain, 4, actor);
    ZelI::IMatProxy* toCopy = table.GetAt(0);
    ZelI::IMatProxy* toPlain = table.GetAt(1);
    ASSERT_EQ(actor->GetFlagWord() & Zel::Actor::kBodyTextureDirty, 0u);

    EXPECT_EQ(toCopy->ApplyXmlText(ThreePasses().c_str()), 1);
    EXPECT_EQ(copy->GetPassCount(), 3u);
    EXPECT_EQ(named->GetPassCount(), 1u) << "the copy took the edit in its place";
    EXPECT_NE(actor->GetFlagWord() & Zel::Actor::kBodyTextureDirty, 0u);

    // An actor's material without a copy takes the edit itself.
    EXPECT_EQ(toPlain->ApplyXmlText(ThreePasses().c_str()), 1);
    EXPECT_EQ(plain->GetPassCount(), 3u);

    EXPECT_EQ(toCopy->SetEditorColor(1, 0.5f, 0.5f, 0.5f), 1);
    EXPECT_FLOAT_EQ(copy->editorColourFactor[3], 1.0f);
    EXPECT_FLOAT_EQ(named->editorColourFactor[3], 0.0f);
    actor->GetMaterialLibrary().ReleaseMaterial(copy);
}

TEST_F(ActorMaterialProxyTest, WithoutAnOwnerActorEditsChangeNothing) {
    Zel::Actor* actor = NewActor();  // not a NewActor: the NewActor kind finds no owner
    Material* named = Registered("loose", 1);
    struct Row {
        std::int32_t kind;
        Zel::Actor* owner;
    };
    for (const Row& row : {Row{4, nullptr}, Row{3, nullptr}, Row{3, actor}}) {
        Zel::IMatProxyTableImpl table;
        table.Add(named, row.kind, row.owner);
        EXPECT_EQ(table.GetAt(0)->ApplyXmlText(ThreePasses().c_str()), 1) << row.kind;
        EXPECT_EQ(named->GetPassCount(), 1u) << row.kind;
    }
}

}  // namespace
}  // namespace ZelTest
