// Cloth companions: the companion's name, the switches and the same-name rule, and what a
// companion that does not load leaves in its slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "ActorFixture.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Character/Cloth.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/SubEntity.h"
#include "modelgen/ModelFiles.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"

namespace {

using namespace ZelTest;
using Zel::Actor;

class ActorClothTest : public ActorTest {
protected:
    // Part 6's file saved again under the name, and the cloth recipe's piece as its companion.
    void SavePart(const std::string& name, const std::string& companion) {
        ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(ZelModelGen::ActorBodyPart(6)).Save(name));
        if (!companion.empty()) {
            ASSERT_TRUE(
                ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save(companion));
        }
    }
};

TEST_F(ActorClothTest, ThePartLoadsItsCompanion) {
    SavePart("coat.v2.bp3", "coat.v2_cloth.bp3");
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(6, "coat.v2.bp3"));
    // Everything before the last dot, then "_cloth.bp3".
    EXPECT_EQ(a->GetBodyPartName(15), "coat.v2_cloth.bp3");
    ASSERT_NE(a->GetClothGeometry(15), nullptr);
    EXPECT_EQ(a->GetSlotSubEntities(15).size(), 1u) << "one sub-entity per cloth sub-mesh";
    Zel::GeometryCloth* first = a->GetClothGeometry(15);
    EXPECT_FALSE(a->LoadClothPart(15, "coat.v2_cloth.bp3", false)) << "same name: nothing";
    EXPECT_EQ(a->GetClothGeometry(15), first);
    EXPECT_TRUE(a->LoadClothPart(15, "coat.v2_cloth.bp3", true)) << "forced: loaded again";
    EXPECT_NE(a->GetClothGeometry(15), nullptr);
    a->ReleaseBodypart(15);
    EXPECT_EQ(a->GetClothGeometry(15), nullptr);
}

TEST_F(ActorClothTest, SwitchesAndFailuresLeaveTheSlotEmpty) {
    SavePart("coat.bp3", "coat_cloth.bp3");
    SavePart("vest.bp3", "");
    struct Case {
        const char* name;
        std::uint32_t switchIndex;  // 0: none
        const char* part;
        const char* slotName;  // the companion slot's name afterwards
    };
    const Case cases[] = {
        {"switch 32", Actor::kNoClothSwitch, "coat.bp3", ""},
        {"switch 33", Actor::kNoClothSwitch2, "coat.bp3", ""},
        {"a missing companion keeps its name", 0, "vest.bp3", "vest_cloth.bp3"},
    };
    for (const Case& c : cases) {
        Actor* a = Dressed();
        Zel::GlobalConfigManager& config = *G()->GetConfigManager();
        if (c.switchIndex)
            config.SetValue(c.switchIndex, 1);
        ASSERT_TRUE(a->SetBodyPart(6, c.part)) << c.name;
        EXPECT_EQ(a->GetBodyPartName(15), c.slotName) << c.name;
        EXPECT_EQ(a->GetClothGeometry(15), nullptr) << c.name;
        EXPECT_TRUE(a->GetSlotSubEntities(15).empty()) << c.name;
        if (c.switchIndex)
            config.SetValue(c.switchIndex, 0);
    }
    Actor* a = Dressed();
    EXPECT_FALSE(a->LoadClothPart(15, "skirt.bp5", true)) << "no such bp5 cloth";
    EXPECT_FALSE(a->LoadClothPart(6, "coat_cloth.bp3", true)) << "parts' slots take no cloth";
}

}  // namespace

namespace {

using namespace ZelTest;
using Zel::Actor;

// The companion's pieces as the physics switch and runtime allow, and the per-frame step under
// the physics binding.
class ActorClothPieces : public ActorTest {
protected:
    void SetUp() override {
        ActorTest::SetUp();
        ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(ZelModelGen::ActorBodyPart(6)).Save("coat.bp3"));
    }
    void SaveCompanion(const ZelModelGen::ClothGeometryDesc& cloth) {
        ASSERT_TRUE(ZelModelGen::WriteClothGeometryFile(cloth).Save("coat_cloth.bp3"));
    }
    void UsePhysics(bool enabled, bool runtime) {
        G()->GetConfigManager()->SetValue(79, enabled ? 1 : 0);
        if (runtime) {
            Zel::SetPhysicsRuntimeMissing(false);
            ASSERT_TRUE(Zel::LoadPhysicsSDK());
            // A scene made before the runtime loaded stays inert: start a live one.
            G()->GetPhysicsWorld()->Clear();
        }
    }
    static std::vector<Zel::Cloth*> Pieces(const Actor& a, std::uint32_t slot = 15) {
        std::vector<Zel::Cloth*> out;
        for (Zel::SubEntity* sub : a.GetSlotSubEntities(slot))
            if (auto* piece = dynamic_cast<Zel::Cloth*>(sub->GetMesh()))
                out.push_back(piece);
        return out;
    }
};

TEST_F(ActorClothPieces, OneSubEntityPerSubMeshAsPhysicsAllows) {
    SaveCompanion(ZelModelGen::ClothModel());
    struct Case {
        const char* what;
        bool enabled;
        bool runtime;
        bool piece;      // the sub-entity draws a cloth piece (else the sub-mesh itself)
        bool simulated;  // the piece holds a physics cloth
    };
    const Case cases[] = {
        {"physics off: solid", false, false, false, false},
        {"physics on, no runtime: an unsimulated piece", true, false, true, false},
        {"physics on with the runtime: simulated", true, true, true, true},
    };
    for (const Case& c : cases) {
        UsePhysics(c.enabled, c.runtime);
        Actor* a = Dressed();
        ASSERT_TRUE(a->SetBodyPart(6, "coat.bp3")) << c.what;
        const auto& subs = a->GetSlotSubEntities(15);
        ASSERT_EQ(subs.size(), 1u) << c.what;
        ASSERT_NE(subs[0]->GetMesh(), nullptr) << c.what;
        EXPECT_NE(subs[0]->GetMaterial(), nullptr) << c.what;
        const std::vector<Zel::Cloth*> pieces = Pieces(*a);
        ASSERT_EQ(pieces.size(), c.piece ? 1u : 0u) << c.what;
        if (!c.piece) {
            EXPECT_EQ(
                subs[0]->GetMesh()->GetName().substr(subs[0]->GetMesh()->GetName().size() - 2),
                "_0")
                << c.what << ": sub-meshes are named after their index";
            continue;
        }
        EXPECT_EQ(pieces[0]->GetPhysicsCloth() != nullptr, c.simulated) << c.what;
        EXPECT_FALSE(pieces[0]->GetVertexArray().empty()) << c.what;
    }
}

TEST_F(ActorClothPieces, SimulatedPieceStepsAndRebuilds) {
    SaveCompanion(ZelModelGen::ClothModel());
    UsePhysics(true, true);
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(6, "coat.bp3"));
    ASSERT_EQ(Pieces(*a).size(), 1u);
    Zel::PhxScene* scene = G()->GetPhysicsWorld()->GetScene();
    for (int frame = 0; frame < 3; ++frame) {
        Step(*a, 1.0f / 30);
        scene->Step(1.0f / 30);
        scene->UpdateEntities();
    }
    for (float f : Pieces(*a)[0]->GetVertexArray()) ASSERT_TRUE(std::isfinite(f));

    a->SetClothPhysics(false);
    EXPECT_FALSE(a->IsClothPhysics());
    EXPECT_TRUE(Pieces(*a)[0]->GetPhysicsCloth()->IsSleeping());
    a->SetClothPhysics(true);
    EXPECT_FALSE(Pieces(*a)[0]->GetPhysicsCloth()->IsSleeping());

    Zel::Cloth* before = Pieces(*a)[0];
    a->RebuildCloth();
    ASSERT_EQ(Pieces(*a).size(), 1u) << "rebuilt from the slot's own file";
    EXPECT_NE(Pieces(*a)[0], before);
    EXPECT_EQ(a->GetBodyPartName(15), "coat_cloth.bp3");
}

TEST_F(ActorClothPieces, TheClothsBoneBoundsGoWithItsSlot) {
    SaveCompanion(ZelModelGen::ClothModel());
    UsePhysics(true, true);
    Actor* a = Dressed();
    const std::size_t bare = a->GetBoneBounds().size();
    ASSERT_TRUE(a->SetBodyPart(6, "coat.bp3"));
    const std::size_t worn = a->GetBoneBounds().size();
    ASSERT_GT(worn, bare) << "the companion hangs a sphere on the spine";
    a->RebuildCloth();
    EXPECT_EQ(a->GetBoneBounds().size(), worn) << "a reload replaces the bounds, never adds";
    a->RemoveBodyPart(6);
    EXPECT_EQ(a->GetBoneBounds().size(), bare);
}

TEST_F(ActorClothPieces, ASubEntityWithoutMeshDoesNotStopTheStep) {
    ZelModelGen::ClothGeometryDesc cloth = ZelModelGen::ClothModel();
    auto& mesh = std::get<ZelModelGen::ClothMeshDesc>(cloth.geometry.parts[0]);
    // Two sub-meshes skinned to the part's bone, so a posed piece moves off the origin.
    mesh.subParts[0].kind = 1;
    mesh.subParts[0].skin = std::get<ZelModelGen::SkinDesc>(
        ZelModelGen::ActorBodyPart(6).skins[0].skin.geometry.parts[0]);
    mesh.subParts.push_back(mesh.subParts[0]);
    SaveCompanion(cloth);
    UsePhysics(true, false);
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(6, "coat.bp3"));
    const auto& subs = a->GetSlotSubEntities(15);
    ASSERT_EQ(subs.size(), 2u);
    auto* second = dynamic_cast<Zel::Cloth*>(subs[1]->GetMesh());
    ASSERT_NE(second, nullptr);
    subs[0]->SetMesh(nullptr);
    Step(*a, 0.05f);
    // The posed cube lies away from the origin; an unposed array is all zeros.
    float reach = 0;
    const std::vector<float>& v = second->GetVertexArray();
    for (std::size_t i = 0; i < v.size(); i += Zel::Cloth::kVertexFloats)
        reach = std::max(reach, std::abs(v[i]) + std::abs(v[i + 1]) + std::abs(v[i + 2]));
    EXPECT_GT(reach, 0.5f) << "the piece after the empty sub-entity was posed";
}

}  // namespace

namespace {

using namespace ZelTest;
using Zel::Actor;
using Zel::ActorMaterialLibrary;

// The cloth companion of a ".bp5" part: loaded beside the part from the new-part folder, its
// pieces drawn with the actor material library's cloth copies.
class ActorBp5ClothTest : public ActorClothPieces {
protected:
    static constexpr std::uint32_t kPart = ZelModelGen::kActorBp5ClothPart;
    static constexpr std::uint32_t kClothSlot = kPart + Actor::kPartCount;

    void SetUp() override {
        ActorClothPieces::SetUp();
        std::filesystem::create_directories("newbpoutput");
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    }
    static std::string Part(std::uint32_t n) { return "part" + std::to_string(n) + ".bp5"; }
    static std::string Companion() {
        return "newbpoutput/part" + std::to_string(kPart) + "_cloth.bp5";
    }
};

TEST_F(ActorBp5ClothTest, TheCompanionsPiecesTakeTheLibrarysCopies) {
    struct Case {
        const char* what;
        bool enabled;
        bool runtime;
        bool simulated;  // a physics cloth drives the piece
    };
    const Case cases[] = {
        {"physics off: solid sub-entities with the plain copies", false, false, false},
        {"physics on: simulated pieces with the physics copies", true, true, true},
    };
    for (const Case& c : cases) {
        UsePhysics(c.enabled, c.runtime);
        Actor* a = NewActor();
        ASSERT_TRUE(a->SetBodyPart(kPart, Part(kPart))) << c.what;
        EXPECT_EQ(a->GetBodyPartName(kClothSlot), Companion()) << c.what;
        Zel::GeometryCloth* cloth = a->GetClothGeometry(kClothSlot);
        ASSERT_NE(cloth, nullptr) << c.what;
        const auto& subs = a->GetSlotSubEntities(kClothSlot);
        ASSERT_EQ(subs.size(), 1u) << c.what;
        const std::vector<Zel::Cloth*> pieces = Pieces(*a, kClothSlot);
        ASSERT_EQ(pieces.size(), c.enabled ? 1u : 0u) << c.what;
        if (c.enabled)
            EXPECT_EQ(pieces[0]->GetPhysicsCloth() != nullptr, c.simulated) << c.what;

        // The piece's sub-mesh is named after its cloth mesh and its index.
        Zel::Mesh* clothMesh = cloth->GetMesh(0);
        ASSERT_NE(clothMesh, nullptr);
        const std::string pieceName = clothMesh->GetName() + "_0";
        const auto* data = dynamic_cast<Zel::ClothMeshData*>(clothMesh);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->GetSubMesh(0)->GetName(), pieceName) << c.what;

        Zel::Material* material = subs[0]->GetOwnMaterial();
        ASSERT_NE(material, nullptr) << c.what;
        EXPECT_EQ(ActorMaterialLibrary::IsPhysicsClothCopy(*material), c.enabled) << c.what;
        const ActorMaterialLibrary& library = a->GetMaterialLibrary();
        const std::string key = ActorMaterialLibrary::ClothMaterialKey(Part(kPart), pieceName);
        // The first cloth mesh's copies carry its number, as the description names them.
        EXPECT_EQ(key, "part" + std::to_string(kPart) + "_0") << c.what;
        ASSERT_EQ(library.GetClothMaterials().count(key), 1u) << c.what;
        ASSERT_EQ(library.GetPhxClothMaterials().count(key), 1u) << c.what;
        EXPECT_EQ(c.enabled ? library.GetPhxClothMaterials().at(key)
                            : library.GetClothMaterials().at(key),
                  material)
            << c.what;
        EXPECT_EQ(material->GetLoadPath(), "newbpoutput/part5.xml") << c.what;

        // The same name again does nothing; forced, it loads again without a second suffix and
        // without a second reference on the copies.
        const int held = material->GetRefCount();
        EXPECT_FALSE(a->LoadClothPart(kClothSlot, Companion(), false)) << c.what;
        EXPECT_TRUE(a->LoadClothPart(kClothSlot, Companion(), true)) << c.what;
        EXPECT_EQ(data->GetSubMesh(0)->GetName(), pieceName) << c.what;
        ASSERT_EQ(a->GetSlotSubEntities(kClothSlot).size(), 1u) << c.what;
        EXPECT_EQ(a->GetSlotSubEntities(kClothSlot)[0]->GetOwnMaterial(), material) << c.what;
        EXPECT_EQ(material->GetRefCount(), held) << c.what;

        a->RemoveBodyPart(kPart);
        EXPECT_TRUE(a->GetSlotSubEntities(kClothSlot).empty()) << c.what;
        EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup()) << c.what;
        EXPECT_TRUE(library.GetClothMaterials().empty()) << c.what;
        EXPECT_TRUE(library.GetPhxClothMaterials().empty()) << c.what;
    }
}

// The new-part folder is joined to a bare companion name only: a name that starts with it, or
// names its own place, is the path itself.
TEST_F(ActorBp5ClothTest, ACompanionNameIsFoundWithOrWithoutItsFolder) {
    const char* const names[] = {"newbpoutput/part5_cloth.bp5", "part5_cloth.bp5",
                                 "./newbpoutput/part5_cloth.bp5", "newbpoutput\\part5_cloth.bp5"};
    Actor* a = NewActor();
    ASSERT_TRUE(a->SetBodyPart(kPart, Part(kPart)));
    for (const char* name : names) {
        EXPECT_TRUE(a->LoadClothPart(kClothSlot, name, true)) << name;
        EXPECT_EQ(a->GetBodyPartName(kClothSlot), name);
        EXPECT_NE(a->GetClothGeometry(kClothSlot), nullptr) << name;
    }
}

TEST_F(ActorBp5ClothTest, AllPartsReleasedLeaveNoCopies) {
    UsePhysics(true, true);
    Actor* a = NewActor();
    for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n)
        ASSERT_TRUE(a->SetBodyPart(n, Part(n))) << n;
    ASSERT_EQ(a->GetSlotSubEntities(kClothSlot).size(), 1u);
    for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n) a->RemoveBodyPart(n);
    LogCapture log;
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
    EXPECT_EQ(log.Count("didn't cleanup"), 0);
}

TEST_F(ActorBp5ClothTest, NoCompanionLoadsWhereNoneIsWanted) {
    struct Case {
        const char* what;
        std::uint32_t switchIndex;  // 0: none
        std::uint32_t part;
    };
    const Case cases[] = {
        {"switch 32", Actor::kNoClothSwitch, kPart},
        {"a part without a companion", 0, kPart - 1},
    };
    Zel::GlobalConfigManager& config = *G()->GetConfigManager();
    for (const Case& c : cases) {
        if (c.switchIndex)
            config.SetValue(c.switchIndex, 1);
        Actor* a = NewActor();
        LogCapture log;
        ASSERT_TRUE(a->SetBodyPart(c.part, Part(c.part))) << c.what;
        const std::uint32_t clothSlot = c.part + Actor::kPartCount;
        EXPECT_TRUE(a->GetBodyPartName(clothSlot).empty()) << c.what;
        EXPECT_EQ(a->GetClothGeometry(clothSlot), nullptr) << c.what;
        EXPECT_TRUE(a->GetSlotSubEntities(clothSlot).empty()) << c.what;
        EXPECT_EQ(log.Count("_cloth"), 0) << c.what << ": nothing is tried for";
        if (c.switchIndex)
            config.SetValue(c.switchIndex, 0);
    }
    // Asked for by name, a companion that is not there leaves its slot empty with the name kept.
    Actor* a = NewActor();
    EXPECT_FALSE(a->LoadClothPart(12, "newbpoutput/part3_cloth.bp5", true));
    EXPECT_EQ(a->GetBodyPartName(12), "newbpoutput/part3_cloth.bp5");
    EXPECT_EQ(a->GetClothGeometry(12), nullptr);
}

}  // namespace
