// The material copies of ".bp5" parts: naming, sharing by key, the paired cloth copies and
// their collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Core/ZelLogMng.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Math/BoundSphere.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SubEntity.h"
#include "Platform/Win32/Win32System.h"
#include "support/LogCapture.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

using Zel::ActorMaterialLibrary;
using Zel::Material;
using Zel::Mesh;

int boxesShown = 0;

TEST(ActorMaterialNames, KeysAndPaths) {
    struct Case {
        const char* part;
        const char* mesh;
        const char* partKey;
        const char* clothKey;
    };
    const Case cases[] = {
        {"dir\\sub/hero.bp5", "21", "hero_21", "hero_2"},
        {"hero.bp5", "2", "hero_2", "hero_2"},
        {"a.b.bp5", "07x", "a.b_7", "a.b_0"},
        {"hero", "x", "hero_0", "hero_72"},
        // Meshes named "<base>_<index>" by the load take their index.
        {"dir/part3.bp4", "part3_1", "part3_1", "part3_64"},
        {"110000000.bp5", "110000000_2", "110000000_2", "110000000_1"},
        {"hero.bp5", "hero_", "hero_0", "hero_56"},
        // Cloth meshes as the readers name them, and their pieces: keyed by the mesh number.
        {"hero.bp5", "Mesh0", "hero_0", "hero_0"},
        {"hero.bp5", "Mesh1_0", "hero_0", "hero_1"},
        {"hero.bp5", "Mesh2_3", "hero_0", "hero_2"},
        {"hero.bp5", "Meshx", "hero_0", "hero_29"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ActorMaterialLibrary::PartMaterialKey(c.part, c.mesh), c.partKey) << c.part;
        EXPECT_EQ(ActorMaterialLibrary::ClothMaterialKey(c.part, c.mesh), c.clothKey) << c.part;
    }
    struct PathCase {
        const char* part;
        const char* actor;
        const char* description;
        const char* cloth;
    };
    const PathCase paths[] = {
        {"coat.bp5", "data/role/actor.act", "data/newbpoutput/coat.xml",
         "data/newbpoutput/coat_cloth.bp5"},
        {"coat.bp5", "actor.act", "newbpoutput/coat.xml", "newbpoutput/coat_cloth.bp5"},
        {"./parts/coat.bp5", "data/role/actor.act", "./parts/coat.xml", "./parts/coat_cloth.bp5"},
        {"c:/parts/coat.bp5", "data/role/actor.act", "c:/parts/coat.xml",
         "c:/parts/coat_cloth.bp5"},
        {"coat", "data/role/actor.act", "data/newbpoutput/coat.xml", ""},
        // A name already inside the new-part folder is not joined to it again.
        {"data/newbpoutput/coat.bp5", "data/role/actor.act", "data/newbpoutput/coat.xml",
         "data/newbpoutput/coat_cloth.bp5"},
    };
    for (const PathCase& c : paths) {
        EXPECT_EQ(ActorMaterialLibrary::DescriptionPath(c.part, c.actor), c.description) << c.part;
        EXPECT_EQ(ActorMaterialLibrary::ClothCompanionName(c.part, c.actor), c.cloth) << c.part;
    }
}

TEST(ActorMaterialNames, Bp5LayoutSharesRectanglesOfSlotsOneAndTwo) {
    const Zel::TextureRect one = ActorMaterialLibrary::GetPartTexRect(1);
    const Zel::TextureRect two = ActorMaterialLibrary::GetPartTexRect(2);
    EXPECT_EQ(std::vector<float>(one.atlas, one.atlas + 4),
              std::vector<float>(two.atlas, two.atlas + 4));
    const Zel::TextureRect eight = ActorMaterialLibrary::GetPartTexRect(8);
    EXPECT_EQ(std::vector<float>(eight.atlas, eight.atlas + 4),
              (std::vector<float>{0.625f, 0.0f, 0.375f, 0.25f}));
    EXPECT_EQ(std::vector<float>(eight.source, eight.source + 4),
              (std::vector<float>{0.0f, 0.0f, 1.0f, 1.0f}));
    EXPECT_EQ(ActorMaterialLibrary::GetPartTexSize(5).width, 384u);
    EXPECT_EQ(ActorMaterialLibrary::GetPartTexSize(5).height, 256u);
    EXPECT_EQ(ActorMaterialLibrary::GetPartTexSize(30).width, 1024u);  // outside: slot 0
}

class ActorMaterialLibraryTest : public ActorTest {
protected:
    void SetUp() override {
        ActorTest::SetUp();
        actor_ = NewActor();
        library_ = std::make_unique<ActorMaterialLibrary>(*actor_);
    }
    void TearDown() override {
        library_.reset();
        ActorTest::TearDown();
    }
    static Mesh Named(const char* name) { return Mesh(nullptr, name, false, false); }
    // Error reports go to the log file.
    std::string LogText() {
        Zel::ZelLogMng* log = G()->GetLogManager();
        std::ifstream in(log ? log->GetLogFilePath() : std::string(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Zel::Actor* actor_ = nullptr;
    std::unique_ptr<ActorMaterialLibrary> library_;
};

TEST_F(ActorMaterialLibraryTest, PartsOfOneBaseNameShareCopiesUntilReleased) {
    Mesh two = Named("2");
    Mesh three = Named("3");
    LogCapture log;
    Material* a = library_->GetPartMaterial(two, "hero.bp5", "d/hero.xml");
    Material* b = library_->GetPartMaterial(two, "other/hero.bp5", "d/hero.xml");
    Material* c = library_->GetPartMaterial(three, "hero.bp5", "d/hero.xml");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(a->GetRefCount(), 3);  // the map's and two uses
    EXPECT_EQ(a->GetLoadPath(), "d/hero.xml");
    EXPECT_TRUE(a->IsLoaded());
    EXPECT_EQ(log.Count("Can't find Material : , create one.... hero_2"), 1);
    // The copy is the library's own: the actor material it came from stays the actor's.
    EXPECT_NE(a, actor_->GetActorMaterial(Zel::Actor::GetPartMaterialIndex("", false)));

    library_->CollectUnused();
    EXPECT_EQ(library_->GetMaterials().size(), 2u);
    for (Material* m : {a, b, c}) library_->ReleaseMaterial(m);
    log.Clear();
    EXPECT_TRUE(library_->CheckCleanup());
    EXPECT_EQ(log.Count("didn't cleanup"), 0);
    EXPECT_EQ(log.Count("释放所有引用计数为1的BP5材质!"), 1);
    EXPECT_TRUE(library_->GetMaterials().empty());
}

TEST_F(ActorMaterialLibraryTest, DescribedMaterialIsCopiedAndItsLookupGivenBack) {
    Zel::MaterialManager& manager = *G()->GetMaterialManager();
    Material* described = manager.CreateMaterial("hero_4");
    ASSERT_NE(described, nullptr);
    manager.Add(described);
    described->shininess = 7.0f;
    const int before = described->GetRefCount();
    Mesh four = Named("4");
    Material* copy = library_->GetPartMaterial(four, "hero.bp5", "d/hero.xml");
    EXPECT_NE(copy, described);
    EXPECT_EQ(copy->shininess, 7.0f);
    EXPECT_EQ(copy->GetName(), "hero_4");
    EXPECT_EQ(described->GetRefCount(), before);
    library_->ReleaseMaterial(copy);
    EXPECT_TRUE(library_->CheckCleanup());
}

// A NewActor's parts: the full-number key first, then the first-digit key older descriptions use,
// then actor material 0.
TEST_F(ActorMaterialLibraryTest, NewActorKeysFallBackToTheFirstDigit) {
    ActorMaterialLibrary copies(*actor_, ActorMaterialLibrary::Flavour::NewActorParts);
    Zel::MaterialManager& manager = *G()->GetMaterialManager();
    for (const char* name : {"hero_2", "hero_31"}) {
        Material* described = manager.CreateMaterial(name);
        ASSERT_NE(described, nullptr);
        described->shininess = name[6] ? 31.0f : 2.0f;
        manager.Add(described);
    }
    struct Case {
        const char* mesh;
        const char* key;
        float shininess;  // of the source the copy came from
    };
    const Case cases[] = {
        {"21", "hero_21", 2.0f}, {"31", "hero_31", 31.0f}, {"4", "hero_4", -1.0f}};
    std::vector<Material*> taken;
    for (const Case& c : cases) {
        Mesh mesh = Named(c.mesh);
        LogCapture log;
        Material* copy = copies.GetPartMaterial(mesh, "hero.bp4", "hero.xml");
        taken.push_back(copy);
        EXPECT_EQ(copy->GetName(), c.key);
        EXPECT_EQ(log.Count("Can't find Material"), c.shininess < 0 ? 1 : 0) << c.mesh;
        if (c.shininess >= 0) {
            EXPECT_EQ(copy->shininess, c.shininess) << c.mesh;
        }
    }
    for (Material* m : taken) copies.ReleaseMaterial(m);
    LogCapture log;
    EXPECT_TRUE(copies.CheckCleanup());
    EXPECT_EQ(log.Count("释放所有引用计数为1的BP4材质!"), 1);
}

TEST_F(ActorMaterialLibraryTest, ClothPairsDifferAndReleaseTogether) {
    Mesh two = Named("2");
    Mesh twentyOne = Named("21");
    EXPECT_EQ(library_->GetClothMaterials(3, two, false, "d.xml"), nullptr);  // not a cloth slot
    Material* plain = library_->GetClothMaterials(12, two, false, "d.xml");
    Material* simulated = library_->GetClothMaterials(12, twentyOne, true, "d.xml");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(simulated, nullptr);
    EXPECT_NE(plain, simulated);
    EXPECT_FALSE(ActorMaterialLibrary::IsPhysicsClothCopy(*plain));
    EXPECT_TRUE(ActorMaterialLibrary::IsPhysicsClothCopy(*simulated));
    EXPECT_EQ(simulated->GetPass(0)->vertexFlags, ActorMaterialLibrary::kPhysicsVertexFlags);
    EXPECT_EQ(plain->GetRefCount(), 3);  // "2" and "21" share the key; each use counts on both
    EXPECT_EQ(simulated->GetRefCount(), 3);
    library_->ReleaseMaterial(plain);
    library_->ReleaseMaterial(simulated);
    EXPECT_EQ(plain->GetRefCount(), 1);
    EXPECT_EQ(simulated->GetRefCount(), 1);
    EXPECT_TRUE(library_->CheckCleanup());
    EXPECT_TRUE(library_->GetClothMaterials().empty());
    EXPECT_TRUE(library_->GetPhxClothMaterials().empty());
}

// A host still holding one half of a pair after the other half was collected: the pair is made
// again, and the replaced half is freed once the host lets it go (the leak check sees the rest).
TEST_F(ActorMaterialLibraryTest, ReplacedClothHalfIsFreedWhenItsHolderLetsGo) {
    Mesh two = Named("2");
    Material* old = library_->GetClothMaterials(10, two, false, "d.xml");
    old->AddRef();  // held elsewhere
    library_->ReleaseMaterial(old);
    library_->CollectUnused();
    EXPECT_EQ(library_->GetClothMaterials().size(), 1u);
    EXPECT_TRUE(library_->GetPhxClothMaterials().empty());

    Material* fresh = library_->GetClothMaterials(10, two, false, "d.xml");
    EXPECT_NE(fresh, old);
    EXPECT_EQ(old->GetRefCount(), 1);  // the holder's alone
    library_->ReleaseMaterial(old);
    library_->ReleaseMaterial(fresh);
    EXPECT_TRUE(library_->CheckCleanup());
}

TEST_F(ActorMaterialLibraryTest, CleanupReportsCopiesStillHeld) {
    Mesh two = Named("2");
    Material* part = library_->GetPartMaterial(two, "hero.bp5", "d.xml");
    Material* cloth = library_->GetClothMaterials(9, two, true, "d.xml");
    EXPECT_FALSE(library_->CheckCleanup());
    EXPECT_NE(LogText().find("Actor material didn't cleanup!,m_MaterialByName size = 1,"
                             "m_ClothMaterialByName size = 1,m_PhxClothMaterialByName size = 1"),
              std::string::npos);
    library_->ReleaseMaterial(part);
    library_->ReleaseMaterial(cloth);
    EXPECT_TRUE(library_->CheckCleanup());
}

// Whole ".bp5" parts on an actor: the library's copies of their described materials.
class ActorBp5Test : public ActorTest {
protected:
    void SetUp() override {
        ActorTest::SetUp();
        std::filesystem::create_directories("newbpoutput");
        for (const ZelModelGen::RecipeFile& f : ZelModelGen::ActorBp5Files())
            ASSERT_TRUE(f.file.Save(f.name)) << f.name;
    }
};

TEST_F(ActorBp5Test, PartsOfOneFileShareACopyAndLeaveNothingBehind) {
    Zel::Actor* a = NewActor();
    ASSERT_TRUE(a->SetBodyPart(3, "part3.bp5"));
    ASSERT_TRUE(a->SetBodyPart(4, "part3.bp5"));
    ASSERT_EQ(a->GetSlotSubEntities(3).size(), 1u);
    ASSERT_EQ(a->GetSlotSubEntities(4).size(), 1u);
    Material* copy = a->GetSlotSubEntities(3)[0]->GetOwnMaterial();
    EXPECT_EQ(a->GetSlotSubEntities(4)[0]->GetOwnMaterial(), copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetName(), "part3_0");
    ASSERT_EQ(copy->GetPassCount(), 1u);
    EXPECT_EQ(copy->GetPass(0)->diffuse[0], ZelModelGen::ActorPartRed(3));
    EXPECT_EQ(copy->GetLoadPath(), "newbpoutput/part3.xml");
    EXPECT_EQ(a->GetMaterialLibrary().GetMaterials().size(), 1u);
    // The description's own material was given back once copied.
    EXPECT_FALSE(G()->GetMaterialManager()->FindMaterial("part3_0", false)->IsLoaded());

    a->ReleaseBodypart(3);
    a->ReleaseBodypart(4);
    LogCapture log;
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
    EXPECT_TRUE(a->GetMaterialLibrary().GetMaterials().empty());
}

TEST_F(ActorBp5Test, APartNamingItsOwnPlaceLoadsFromThereWithItsDescription) {
    std::filesystem::create_directories("parts");
    for (const char* ext : {".bp5", ".xml"})
        std::filesystem::copy_file(std::string("newbpoutput/part3") + ext,
                                   std::string("parts/part3") + ext);
    Zel::Actor* a = NewActor();
    ASSERT_TRUE(a->SetBodyPart(3, "./parts/part3.bp5"));
    ASSERT_EQ(a->GetSlotSubEntities(3).size(), 1u);
    Material* copy = a->GetSlotSubEntities(3)[0]->GetOwnMaterial();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetLoadPath(), "./parts/part3.xml");
    EXPECT_EQ(copy->GetPass(0)->diffuse[0], ZelModelGen::ActorPartRed(3));
    a->ReleaseBodypart(3);
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
}

TEST_F(ActorBp5Test, AMissingPartIsLoggedAndLeavesTheSlotEmpty) {
    Zel::Actor* a = NewActor();
    ASSERT_TRUE(a->SetBodyPart(2, "part2.bp5"));
    LogCapture log;
    EXPECT_FALSE(a->SetBodyPart(2, "missing.bp5"));
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "test entity"), 1);
    EXPECT_TRUE(a->GetSlotSubEntities(2).empty());
    EXPECT_TRUE(a->GetBodyPartName(2).empty());
    // The released part's copy is no longer used: collection frees it.
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
    EXPECT_FALSE(a->SetBodyPart(9, "part2.bp5"));  // cloth slots take companions only
}

int CountBoxes(HWND, LPCSTR, LPCSTR, UINT) {
    ++boxesShown;
    return 1;
}

// Taking a loaded entry over: the bounds hung on the slot's bones go before the new record is
// stored; an entry that is missing is logged, with no message box, and the slot stays released.
TEST_F(ActorBp5Test, TakingAnEntryOverRemovesTheSlotsAttachments) {
    // Bounds hang on the bones only in a live physics scene.
    Zel::SetPhysicsRuntimeMissing(false);
    ASSERT_TRUE(Zel::LoadPhysicsSDK());
    G()->GetPhysicsWorld()->Clear();
    Zel::Actor* a = NewActor();
    ASSERT_NE(a->GetSkeleton(), nullptr);
    const auto attach = [&](std::uint32_t slot) {
        Zel::BoundSphere* sphere = Zel::AcquireBoundSphere();
        ASSERT_NE(sphere, nullptr);
        sphere->SetName("Bip01 Head");
        sphere->SetRadius(0.2f);
        a->AddBodyPartBound(*sphere, slot);
        sphere->Recycle();
    };
    const auto attached = [&](std::uint32_t slot) {
        return std::count_if(a->GetBoneBounds().begin(), a->GetBoneBounds().end(),
                             [slot](const Zel::BoundBase* b) { return b->GetIdentifier() == slot; });
    };
    Zel::BodyPartEntry* entry = a->BeginLoadBodyPart5(2, "part2.bp5");
    ASSERT_NE(entry, nullptr);
    attach(2);
    attach(3);
    ASSERT_EQ(attached(2), 1);
    ASSERT_TRUE(a->TakeBodyPart5(2, entry, "part2.bp5"));
    EXPECT_EQ(attached(2), 0);
    EXPECT_EQ(attached(3), 1) << "another slot's bounds stay";
    EXPECT_EQ(a->GetBodyPartName(2), "part2.bp5");

    boxesShown = 0;
    const MessageBoxSink previous = SetMessageBoxSink(&CountBoxes);
    LogCapture log;
    EXPECT_EQ(a->BeginLoadBodyPart5(2, "missing.bp5"), nullptr);
    EXPECT_FALSE(a->TakeBodyPart5(2, nullptr, "missing.bp5"));
    SetMessageBoxSink(previous);
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, "test entity"), 1);
    EXPECT_EQ(boxesShown, 0);
    EXPECT_TRUE(a->GetBodyPartName(2).empty());
    EXPECT_TRUE(a->GetSlotSubEntities(2).empty());
    EXPECT_EQ(a->GetBodyPartGeometry(2), nullptr);
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
}

// A clone shares the source's ".bp5" geometries but draws them with copies of its own library.
TEST_F(ActorBp5Test, ACloneWearsTheSourcesPartsWithItsOwnCopies) {
    Zel::Actor* source = NewActor();
    for (std::uint32_t n : {2u, ZelModelGen::kActorBp5ClothPart})
        ASSERT_TRUE(source->SetBodyPart(n, "part" + std::to_string(n) + ".bp5")) << n;
    Zel::Actor* clone = NewActor();
    ASSERT_TRUE(clone->CloneFrom(*source, 2));
    for (std::uint32_t n : {2u, ZelModelGen::kActorBp5ClothPart, ZelModelGen::kActorBp5ClothPart +
                                                                     Zel::Actor::kPartCount}) {
        EXPECT_EQ(clone->GetBodyPartName(n), source->GetBodyPartName(n)) << n;
        const auto& subs = clone->GetSlotSubEntities(n);
        ASSERT_EQ(subs.size(), source->GetSlotSubEntities(n).size()) << n;
        ASSERT_FALSE(subs.empty()) << n;
        EXPECT_NE(subs[0]->GetOwnMaterial(), source->GetSlotSubEntities(n)[0]->GetOwnMaterial())
            << n;
    }
    EXPECT_EQ(clone->GetBodyPartGeometry(2), source->GetBodyPartGeometry(2)) << "shared";
    EXPECT_EQ(clone->GetMaterialLibrary().GetMaterials().size(), 2u);
    for (Zel::Actor* a : {source, clone}) {
        for (std::uint32_t n = 0; n < ZelModelGen::kActorPartCount; ++n) a->RemoveBodyPart(n);
        LogCapture log;
        EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
    }
}

TEST_F(ActorBp5Test, LinkedPartsReloadWithOneReferencePerUse) {
    Zel::Actor* a = NewActor();
    // Parts 3 and 4 link each other: each set reloads the other, which must neither lose nor
    // add references on the copies it wore.
    ASSERT_TRUE(a->SetBodyPart(3, "part3.bp5"));
    ASSERT_TRUE(a->SetBodyPart(4, "part4.bp5"));
    // Each wearing sub-entity holds the reference the library gave for its use and one of its
    // own; the map holds one more.
    const auto uses = [&](const char* key) {
        const auto& copies = a->GetMaterialLibrary().GetMaterials();
        const auto it = copies.find(key);
        return it == copies.end() ? -1 : (it->second->GetRefCount() - 1) / 2.0;
    };
    EXPECT_EQ(uses("part3_0"), 1);
    EXPECT_EQ(uses("part4_0"), 1);
    // The partner of slot 3 changes: slot 3 loads again and both now wear part 3's copy.
    ASSERT_TRUE(a->SetBodyPart(4, "part3.bp5"));
    EXPECT_EQ(uses("part3_0"), 2);
    ASSERT_EQ(a->GetSlotSubEntities(3).size(), 1u);
    EXPECT_EQ(a->GetSlotSubEntities(3)[0]->GetOwnMaterial(),
              a->GetSlotSubEntities(4)[0]->GetOwnMaterial());
    a->RemoveBodyPart(3);
    EXPECT_EQ(uses("part3_0"), 1);
    a->RemoveBodyPart(4);
    LogCapture log;
    EXPECT_TRUE(a->GetMaterialLibrary().CheckCleanup());
    EXPECT_EQ(log.Count("didn't cleanup"), 0);
}

}  // namespace
}  // namespace ZelTest
