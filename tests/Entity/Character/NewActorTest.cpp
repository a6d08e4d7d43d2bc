// The newer character: ".bp4" parts drawn with per-key copies of their described materials, the
// refusal of ".bp3" parts, the skeleton by sex and its own body-texture layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Core/LogDispatch.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SubEntity.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

using Zel::Material;

class NewActorTest : public ActorTest {
protected:
    void TearDown() override {
        for (Zel::NewActor* a : made_) G()->GetNewActorFactory()->Release(a);
        made_.clear();
        ActorTest::TearDown();
    }
    Zel::NewActor* Make(std::uint8_t sex = 0) {
        Zel::NewActor* a = G()->GetNewActorFactory()->Acquire();
        made_.push_back(a);
        a->SetSex(sex);
        EXPECT_TRUE(a->LoadGeometry("actor.act"));
        return a;
    }
    static std::string Part(std::uint32_t n, const char* ext) {
        return "part" + std::to_string(n) + ext;
    }

private:
    std::vector<Zel::NewActor*> made_;
};

TEST_F(NewActorTest, OlderPartsAreRefused) {
    Zel::NewActor* a = Make();
    LogCapture log;
    EXPECT_FALSE(a->SetBodyPart(0, "part0.bp3"));
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "Error : new actor set bp3 bodypart"), 1);
    EXPECT_TRUE(a->GetBodyPartName(0).empty());
    EXPECT_EQ(a->GetBodyPartGeometry(0), nullptr);
    EXPECT_EQ(a->GetEntityKind(), Zel::NewActor::kEntityKind);
    EXPECT_TRUE(a->IsNewActor());
}

TEST_F(NewActorTest, PartsDrawWithCopiesOfTheirDescribedMaterials) {
    Zel::NewActor* a = Make();
    for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
        ASSERT_TRUE(a->SetBodyPart(n, Part(n, ".bp4"))) << n;
    for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n) {
        const auto& subs = a->GetSlotSubEntities(n);
        ASSERT_EQ(subs.size(), 1u) << n;
        const Material* m = subs[0]->GetOwnMaterial();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetName(), Part(n, "_0"));
        ASSERT_EQ(m->GetPassCount(), 1u) << n;
        EXPECT_EQ(m->GetPass(0)->diffuse[0], ZelModelGen::ActorPartRed(n)) << n;
        EXPECT_EQ(m->GetLoadPath(), Part(n, ".xml"));
        EXPECT_NE(m, a->GetActorMaterial(0));
    }
    EXPECT_EQ(a->GetMaterialCopies().GetMaterials().size(), ZelModelGen::kActorPartCount);
    // The description's own materials were given back once copied.
    const Material* described = G()->GetMaterialManager()->FindMaterial("part0_0", false);
    ASSERT_NE(described, nullptr);
    EXPECT_FALSE(described->IsLoaded());

    LogCapture log;
    for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n) a->ReleaseBodypart(n);
    // Each release collected the copy its part no longer uses.
    EXPECT_EQ(log.Count("释放所有引用计数为1的BP4材质!"), 9);
    EXPECT_TRUE(a->GetMaterialCopies().GetMaterials().empty());
    EXPECT_TRUE(a->CheckMaterialCleanup());
}

TEST_F(NewActorTest, PartAgainKeepsItsCopyAndAnotherPartCollectsIt) {
    Zel::NewActor* a = Make();
    ASSERT_TRUE(a->SetBodyPart(5, "part5.bp4"));
    Material* first = a->GetSlotSubEntities(5)[0]->GetOwnMaterial();
    ASSERT_TRUE(a->SetBodyPart(6, "part6.bp4"));
    EXPECT_EQ(a->GetMaterialCopies().GetMaterials().size(), 2u);
    ASSERT_TRUE(a->SetBodyPart(5, "part7.bp4"));
    // The replaced part's copy was collected when its slot was released.
    EXPECT_EQ(a->GetMaterialCopies().GetMaterials().count("part5_0"), 0u);
    EXPECT_NE(a->GetSlotSubEntities(5)[0]->GetOwnMaterial(), first);
}

// A loaded part names its meshes "<base>_<index>": each mesh takes the material of its own index,
// not the one a whole-name number would give every mesh of a base that starts with a letter.
TEST_F(NewActorTest, EachMeshOfAPartTakesTheMaterialOfItsOwnIndex) {
    ZelModelGen::BodyPartDesc twin = ZelModelGen::ActorBodyPart(5);
    auto& meshes = twin.skins[0].skin.geometry.parts;
    meshes.push_back(meshes[0]);
    ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(twin).Save("twin.bp4"));
    std::vector<ZelFixtures::LibMaterial> described(2);
    for (int i = 0; i < 2; ++i) {
        ZelFixtures::MaterialPass pass;
        pass.colours = {{"Diffuse", i == 0 ? "0.25 1 1" : "0.75 1 1"}};
        described[i].name = "twin_" + std::to_string(i);
        described[i].passes = {pass};
    }
    std::ofstream("twin.xml", std::ios::binary) << ZelFixtures::WriteMaterialLibrary(described);

    Zel::NewActor* a = Make();
    ASSERT_TRUE(a->SetBodyPart(5, "twin.bp4"));
    const auto& subs = a->GetSlotSubEntities(5);
    ASSERT_EQ(subs.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const Material* m = subs[i]->GetOwnMaterial();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetName(), "twin_" + std::to_string(i));
        ASSERT_EQ(m->GetPassCount(), 1u);
        EXPECT_EQ(m->GetPass(0)->diffuse[0], i == 0 ? 0.25f : 0.75f) << i;
    }
}

// The companion of a ".bp4" part is "<part>_cloth.bp4", loaded only when the file is there.
TEST_F(NewActorTest, APartLoadsItsClothCompanionOnlyWhenItExists) {
    ASSERT_TRUE(
        ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save("part6_cloth.bp4"));
    Zel::NewActor* a = Make();
    LogCapture log;
    ASSERT_TRUE(a->SetBodyPart(6, "part6.bp4"));
    EXPECT_EQ(a->GetBodyPartName(15), "part6_cloth.bp4");
    EXPECT_NE(a->GetClothGeometry(15), nullptr);
    ASSERT_TRUE(a->SetBodyPart(5, "part5.bp4"));
    EXPECT_TRUE(a->GetBodyPartName(14).empty());
    EXPECT_EQ(log.Count("part5_cloth"), 0) << "no companion is tried for";
}

// The companion's pieces draw with the character's cloth copies: the plain one for a solid
// sub-entity, the physics one for a simulated piece, each given back with the slot.
TEST_F(NewActorTest, ClothPiecesDrawWithTheCharactersClothCopies) {
    ASSERT_TRUE(
        ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save("part6_cloth.bp4"));
    for (const bool physics : {false, true}) {
        G()->GetConfigManager()->SetValue(79, physics ? 1 : 0);
        Zel::NewActor* a = Make();
        ASSERT_TRUE(a->SetBodyPart(6, "part6.bp4")) << physics;
        const auto& subs = a->GetSlotSubEntities(15);
        ASSERT_EQ(subs.size(), 1u) << physics;
        const Material* material = subs[0]->GetOwnMaterial();
        ASSERT_NE(material, nullptr) << physics;
        const Zel::ActorMaterialLibrary& copies = a->GetMaterialCopies();
        const auto& map = physics ? copies.GetPhxClothMaterials() : copies.GetClothMaterials();
        ASSERT_EQ(map.size(), 1u) << physics;
        EXPECT_EQ(map.begin()->second, material) << physics;
        EXPECT_EQ(Zel::ActorMaterialLibrary::IsPhysicsClothCopy(*material), physics);
        a->RemoveBodyPart(6);
        EXPECT_TRUE(a->CheckMaterialCleanup()) << physics;
        EXPECT_TRUE(copies.GetClothMaterials().empty()) << physics;
    }
}

// A ".bp5" part's companion is read from the new-part folder as a newer cloth, as an actor
// reads it; its pieces draw with the character's own cloth copies.
TEST_F(NewActorTest, ABp5PartsCompanionIsReadAsTheNewerCloth) {
    std::filesystem::create_directories("newbpoutput");
    for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
        ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    const std::uint32_t part = ZelModelGen::kActorBp5ClothPart;
    Zel::NewActor* a = Make();
    ASSERT_TRUE(a->SetBodyPart(part, Part(part, ".bp5")));
    const std::uint32_t slot = part + Zel::Actor::kPartCount;
    EXPECT_NE(dynamic_cast<Zel::GeometryNewCloth*>(a->GetClothGeometry(slot)), nullptr);
    ASSERT_EQ(a->GetSlotSubEntities(slot).size(), 1u);
    EXPECT_EQ(a->GetMaterialCopies().GetClothMaterials().size(), 1u);
    a->RemoveBodyPart(part);
    EXPECT_TRUE(a->CheckMaterialCleanup());
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
}

TEST_F(NewActorTest, SkeletonFollowsSexNotTheFaceFigure) {
    for (std::uint8_t sex : {0, 1}) {
        Zel::NewActor* a = Make(sex);
        ASSERT_NE(a->GetSkeleton(), nullptr);
        EXPECT_EQ(a->GetSkeletonName(), sex ? "new_boy_fig.fig" : "new_girl_fig.fig");
        EXPECT_FALSE(a->LoadSkeleton(Zel::Actor::kFaceFigureKind));
        EXPECT_EQ(a->GetPinchState(), nullptr);
        EXPECT_EQ(a->GetSkeletonName(), sex ? "new_boy_fig.fig" : "new_girl_fig.fig");
    }
}

TEST_F(NewActorTest, BodyTextureLayoutIsTheNewerTable) {
    struct Case {
        std::uint32_t slot;
        float x, y, w, h;
        std::uint32_t width, height;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 1, 1024, 1024},
        {3, 0.5f, 0.75f, 0.5f, 0.25f, 512, 256},
        {4, 0, 0, 0.5f, 0.5f, 512, 512},
        {5, 0.5f, 0, 0.5f, 0.125f, 512, 128},
        {8, 0.5f, 0.125f, 0.5f, 0.625f, 512, 640},
        {12, 0, 0, 1, 1, 1024, 1024},
    };
    for (const Case& c : cases) {
        const Zel::TextureRect r = Zel::NewActor::GetPartTexRect(c.slot);
        EXPECT_EQ(std::vector<float>(r.atlas, r.atlas + 4),
                  (std::vector<float>{c.x, c.y, c.w, c.h}))
            << c.slot;
        EXPECT_EQ(std::vector<float>(r.source, r.source + 4), (std::vector<float>{0, 0, 1, 1}));
        EXPECT_EQ(Zel::NewActor::GetPartTexSize(c.slot).width, c.width) << c.slot;
        EXPECT_EQ(Zel::NewActor::GetPartTexSize(c.slot).height, c.height) << c.slot;
    }
}

TEST_F(NewActorTest, DescriptionPathsFollowTheActor) {
    EXPECT_EQ(Zel::NewActor::DescriptionPath("coat.bp4", "data/role/actor.act"),
              "data/role/coat.xml");
    EXPECT_EQ(Zel::NewActor::DescriptionPath("./x/coat.bp4", "data/role/actor.act"),
              "./x/coat.xml");
    EXPECT_EQ(Zel::NewActor::DescriptionPath("coat.bp4", "actor.act"), "coat.xml");
}

}  // namespace
}  // namespace ZelTest
