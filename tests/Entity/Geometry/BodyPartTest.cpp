// Body-part files: skins, embedded body textures and selectors read through the geometry manager,
// the "_lod" companion's extra strips, rule matching over the worn parts, the texture rectangle
// tables, the images dropped and decoded again from the part file, and the faults the reader
// refuses.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "Entity/Geometry/BodyPartCharacter.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOBodyPartBin.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Image/Image.h"
#include "fixtures/ImageFixtures.h"
#include "modelgen/CharacterDescription.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

// The recipe's part with a second skin and a second selector.
mg::BodyPartDesc TwoSkinPart() {
    mg::BodyPartDesc part = mg::BodyPartModel();
    mg::BodyPartSkinDesc arm = part.skins[0];
    arm.name = "arm";
    part.skins.push_back(arm);
    mg::SelectorDesc second;
    second.words[0] = 2;
    second.words[1] = 7;
    second.words[2] = 18;
    second.words[3] = 0;
    second.skinName = "arm";
    second.materialName = "body_tex";
    part.selectors.push_back(second);
    return part;
}

// A character as the loaders see it.
class StubCharacter : public BodyPartCharacter {
public:
    explicit StubCharacter(std::int32_t id, bool newActor = false) : id_(id), newActor_(newActor) {}
    std::int32_t GetCharacterId() const override { return id_; }
    std::int32_t GetSex() const override { return 0; }
    bool IsNewActor() const override { return newActor_; }
    std::string GetSkeletonName() const override { return ""; }

private:
    std::int32_t id_;
    bool newActor_;
};

class BodyPartTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }

    GeometryBodyPart* Load(const std::string& path) {
        return dynamic_cast<GeometryBodyPart*>(Manager().GetOrLoad(path, path));
    }

    GeometryBodyPart* SaveAndLoad(const mg::BodyPartDesc& part, const std::string& path) {
        if (!mg::WriteBodyPartFile(part).Save(path))
            return nullptr;
        return Load(path);
    }
};

TEST_F(BodyPartTest, PartWithTwoSkinsATextureAndTwoSelectorsLoads) {
    GeometryBodyPart* part = SaveAndLoad(TwoSkinPart(), "d/two.bp3");
    ASSERT_NE(part, nullptr);
    ASSERT_TRUE(part->IsLoadSucceeded());
    EXPECT_EQ(part->GetKind(), 15u);
    EXPECT_EQ(part->GetImageMode(), 3u);
    EXPECT_EQ(part->GetPartId(), 0x123u);
    EXPECT_EQ(part->GetFigureKind(), 5u);

    ASSERT_EQ(part->GetSkins().size(), 2u);
    GeometrySkin* body = part->FindSkin("body");
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->IsLoadSucceeded());
    ASSERT_EQ(body->GetMeshCount(), 1u);
    EXPECT_EQ(body->GetMesh(0)->GetMeshType(), 1u);
    EXPECT_NE(part->FindSkin("arm"), nullptr);
    EXPECT_EQ(part->FindSkin(""), nullptr);

    Image* image = part->FindImage("body_tex");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->IsLoadSucceeded());
    EXPECT_EQ(image->GetResourceWord(), 3u);
    EXPECT_GT(image->GetSize(), 0u);
    const BodyTextureEntry* entry = part->FindTextureEntry("body_tex");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->slot, 1u);
    EXPECT_EQ(entry->fileName, "body.bmp");

    const std::vector<PartLinkRecord>& links = part->GetLinkRecords();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].slotA, 1u);
    EXPECT_EQ(links[0].idA, 2u);
    EXPECT_EQ(links[0].slotB, 3u);
    EXPECT_EQ(links[0].idB, 4u);
    EXPECT_EQ(links[1].skinName, "arm");
    EXPECT_EQ(links[1].imageName, "body_tex");
    EXPECT_EQ(part->GetDefaultSkinName(), "body");
    EXPECT_EQ(part->GetDefaultImageName(), "body_tex");
    EXPECT_TRUE(part->HasPartLink(3));
    EXPECT_FALSE(part->HasPartLink(4));
}

TEST_F(BodyPartTest, TheLodCompanionAddsStripsAndIndices) {
    // The recipe writes the part and its companion beside it.
    for (const mg::RecipeFile& f : mg::MakeRecipe("bodypart"))
        ASSERT_TRUE(f.file.Save("lod/" + f.name));
    ASSERT_TRUE(mg::WriteBodyPartFile(mg::BodyPartModel()).Save("lod/alone.bp3"));
    const mg::BodyPartDesc model = mg::BodyPartModel();
    const mg::MeshDesc& desc = std::get<mg::SkinDesc>(model.skins[0].skin.geometry.parts[0]).mesh;
    ASSERT_FALSE(desc.lodGroups.empty());

    GeometryBodyPart* with = Load("lod/part.bp3");
    GeometryBodyPart* without = Load("lod/alone.bp3");
    ASSERT_TRUE(with && with->IsLoadSucceeded());
    ASSERT_TRUE(without && without->IsLoadSucceeded());
    const Mesh* a = with->FindSkin("body")->GetMesh(0);
    const Mesh* b = without->FindSkin("body")->GetMesh(0);
    EXPECT_EQ(a->GetRenderGroups().size(), desc.groups.size() + desc.lodGroups.size());
    EXPECT_EQ(b->GetRenderGroups().size(), desc.groups.size());
    EXPECT_EQ(a->GetIndexData()->GetIndexCount(), desc.indices.size() + desc.lodIndices.size());
}

TEST_F(BodyPartTest, CompanionNamesByForm) {
    using IOGeometryBodyPartBin::LodCompanionName;
    using IOGeometryBodyPartBin::LodForm;
    IOGeometryBodyPartBin::SetLodFolders("root/", "lods/");
    struct Case {
        const char* path;
        LodForm form;
        const char* name;
    };
    const Case cases[] = {
        {"a/output/p.bp3", LodForm::Bp3, "root/a/bp3lod/p_lod.lod"},
        {"a/Output/p.BP3", LodForm::Bp3, "root/a/bp3lod/p_lod.lod"},
        {"a/p.bp3", LodForm::Bp3, "root/a/p_lod.lod"},
        {"a/p.bp4", LodForm::Bp4, "lods/p_lod.lod"},
        {"a/p.bp5", LodForm::Bp5, "root/bp5lod/p_lod.lod"},
        {"a/p.bp4", LodForm::Bp3, ""},
        {"a/p.bpx", LodForm::Bp5, ""},
        {"bp3", LodForm::Bp3, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(LodCompanionName(c.path, c.form), c.name) << c.path;
    IOGeometryBodyPartBin::SetLodFolders("", "");
}

TEST_F(BodyPartTest, RuleMatchingPicksTheLastMatchOrTheDefaults) {
    GeometryBodyPart* part = SaveAndLoad(mg::BodyPartModel(), "d/rules.bp3");
    ASSERT_TRUE(part && part->IsLoadSucceeded());
    ASSERT_NE(part->AddSkin("short"), nullptr);
    std::vector<PartLinkRecord>& links = part->GetLinkRecords();
    links.clear();
    links.push_back({1, 7, PartLinkRecord::kNoSlot, 0, "short", ""});
    links.push_back({1, 7, 3, 9, "body", "body_tex"});
    links.push_back({40, 7, PartLinkRecord::kNoSlot, 0, "short", ""});  // slot A off the table
    links.push_back({2, 5, 3, PartLinkRecord::kAnyId, "short", "body_tex"});

    // Parts worn in slots 1, 2 and (for an id of 0 or more) 3 with those part ids.
    std::deque<GeometryBodyPart> parts;
    auto worn = [&parts](std::uint32_t id1, std::uint32_t id2, std::int32_t id3) {
        std::vector<const Geometry*> table(PartLinkRecord::kNoSlot, nullptr);
        const std::int64_t ids[3] = {id1, id2, id3};
        for (std::uint32_t slot = 1; slot <= 3; ++slot) {
            if (ids[slot - 1] < 0)
                continue;
            GeometryBodyPart& p = parts.emplace_back(nullptr, "worn", "", 0);
            p.SetHeader(0, static_cast<std::uint32_t>(ids[slot - 1]), 0);
            table[slot] = &p;
        }
        return table;
    };
    struct Case {
        const char* what;
        std::vector<const Geometry*> worn;
        const char* skin;
        const char* image;
    };
    const Case cases[] = {
        {"both conditions of the second record", worn(7, 0, 9), "body", "body_tex"},
        {"slot 3 has another id: the first record", worn(7, 0, 8), "short", ""},
        {"nothing in slot 3 satisfies the second record", worn(7, 0, -1), "body", "body_tex"},
        {"any id in slot B", worn(1, 5, 8), "short", "body_tex"},
        {"no record matches: defaults", worn(6, 0, 9), "body", "body_tex"},
        {"an empty table: defaults", {}, "body", "body_tex"},
    };
    for (const Case& c : cases) {
        GeometrySkin* skin = nullptr;
        Image* image = nullptr;
        part->MatchPartRule(c.worn, skin, image);
        EXPECT_EQ(skin, part->FindSkin(c.skin)) << c.what;
        EXPECT_EQ(part->GetCurrentSkinName(), c.skin) << c.what;
        EXPECT_EQ(part->GetCurrentImageName(), c.image) << c.what;
        EXPECT_EQ(image, *c.image ? part->FindImage(c.image) : nullptr) << c.what;
    }
}

TEST_F(BodyPartTest, TextureRectanglesFallBackToRowZero) {
    GeometryBodyPart bp3(nullptr, "a", "", 0);
    GeometryBodyPart4 bp4(nullptr, "b", "", 0);
    GeometryBodyPart5 bp5(nullptr, "c", "", 0);
    struct Case {
        const GeometryBodyPart* part;
        std::int32_t row;
        float x, y, w, h;
    };
    const Case cases[] = {
        {&bp3, 7, 0.375f, 0, 0.25f, 0.25f},
        {&bp3, 16, 0.375f, 0, 0.5f, 0.25f},
        {&bp3, 14, 0, 0, 0.375f, 0.25f},
        {&bp3, 18, 0, 0, 1, 1},
        {&bp3, -1, 0, 0, 1, 1},
        {&bp4, 3, 0.5f, 0.75f, 0.5f, 0.25f},
        {&bp4, 9, 0, 0, 1, 1},
        {&bp5, 16, 0.375f, 0, 0.5f, 0.25f},
    };
    for (const Case& c : cases) {
        const TextureRect r = c.part->GetTextureRect(c.row);
        EXPECT_EQ(std::vector<float>(r.atlas, r.atlas + 4),
                  (std::vector<float>{c.x, c.y, c.w, c.h}))
            << c.part->GetKind() << " row " << c.row;
    }
}

TEST_F(BodyPartTest, DroppedImagesAreDecodedAgainFromThePartFile) {
    GeometryBodyPart* part = SaveAndLoad(TwoSkinPart(), "d/reload.bp3");
    ASSERT_TRUE(part && part->IsLoadSucceeded());
    const std::uint32_t loadedSize = part->CalculateSize();
    part->UnloadImages();
    EXPECT_LT(part->GetSizeField(), loadedSize);
    EXPECT_EQ(part->GetSkins().size(), 2u) << "skins stay";
    Image* image = part->FindImage("body_tex");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->IsLoadSucceeded());
    EXPECT_EQ(part->CalculateSize(), loadedSize);
    EXPECT_FALSE(part->ReloadImage(*image)) << "already loaded";
}

TEST_F(BodyPartTest, FaultsFailThePart) {
    struct Case {
        const char* what;
        mg::BodyPartDesc part;
        mg::FaultPlan faults;
        const char* log;
    };
    mg::BodyPartDesc sameName = TwoSkinPart();
    sameName.skins[1].name = "body";
    mg::BodyPartDesc broken = mg::BodyPartModel();
    broken.textures[0].image.assign(40, 0x5A);
    const Case cases[] = {
        {"two skins of one name", sameName, {}, "发现同名Skin body"},
        {"an image that does not decode", broken, {}, "IOBodyTextureBin::Read时读取贴图chunk失败"},
        // The declared size covers the selectors, the default names and more: the decoder must
        // not be handed bytes past the end of the file.
        {"an image size past the end", mg::BodyPartModel(),
         mg::FaultPlan().Field("bodyPart/texture0", "imageSize", 4000),
         "IOBodyTextureBin::Read时读取贴图chunk失败"},
        {"a skin cut short", TwoSkinPart(), mg::FaultPlan().Tag("bodyPart/skin1", 3),
         "IOGeometrySkinBin::Read"},
    };
    int n = 0;
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        const std::string path = "f/fault" + std::to_string(n++) + ".bp3";
        ASSERT_TRUE(mg::WriteBodyPartFile(c.part, c.faults).Save(path)) << c.what;
        GeometryBodyPart* part = Load(path);
        ASSERT_NE(part, nullptr) << c.what;
        EXPECT_FALSE(part->IsLoadSucceeded()) << c.what;
        EXPECT_TRUE(part->GetSkins().empty()) << c.what << ": nothing stays of a failed load";
        EXPECT_GE(log.Count(c.log), 1) << c.what;
    }
}

TEST_F(BodyPartTest, ActorEntriesCountTheirReferences) {
    ASSERT_TRUE(mg::WriteBodyPartFile(mg::BodyPartModel()).Save("act/part.bp3"));
    ASSERT_TRUE(mg::WriteBodyPartFile(mg::BodyPartModel()).Save("other/part.bp3"));
    ASSERT_TRUE(mg::WriteBodyPartFile(TwoSkinPart()).Save("act/two.bp3"));
    auto* actor = dynamic_cast<GeometryActor*>(Manager().GetOrLoad("act/a.act", "act/a.act"));
    ASSERT_NE(actor, nullptr);
    ASSERT_TRUE(actor->IsLoadSucceeded());
    EXPECT_EQ(actor->GetKind(), 10u);
    const StubCharacter a(1), b(2);

    BodyPartEntry* first = actor->LoadBodyPart(0, "part.bp3", a);
    ASSERT_NE(first, nullptr);
    Geometry* part = first->geometry;
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->GetLoadPath(), "act/part.bp3");
    EXPECT_EQ(part->GetKind(), 15u);
    EXPECT_EQ(part->GetOwnerId(), 1);
    EXPECT_EQ(part->GetRefCount(), 2) << "the manager's and the entry's";
    EXPECT_EQ(actor->LoadBodyPart(0, "part.bp3", a), first) << "no second entry";
    EXPECT_EQ(actor->GetBodyPartMeshCount(), 1u);

    ZelTest::LogCapture log;
    EXPECT_EQ(actor->LoadCloneBodyPart(0, "part.bp3", 1), nullptr) << "only the owner's own";
    EXPECT_EQ(actor->LoadCloneBodyPart(5, "part.bp3", 2), nullptr);
    EXPECT_EQ(log.Count("Can Not Find Cloneable BodyPartEntry,part.bp3"), 1);
    BodyPartEntry* clone = actor->LoadCloneBodyPart(0, "part.bp3", 2);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->geometry, part);
    EXPECT_EQ(part->GetRefCount(), 3);
    EXPECT_EQ(log.Count("LoadCloneBodyPart part.bp3 push_back"), 1);

    std::uint32_t slot = 99;
    EXPECT_STREQ(actor->GetBodyPartMesh(1, slot), "part.bp3");
    EXPECT_EQ(slot, 0u);
    EXPECT_STREQ(actor->GetBodyPartMesh(2, slot), "invalid name");
    EXPECT_EQ(slot, 0u);

    // A name with a folder of its own is read from there, not from the actor's folder.
    BodyPartEntry* own = actor->LoadBodyPart(1, "other/part.bp3", a);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->geometry->GetLoadPath(), "other/part.bp3");
    // Another name for the owner replaces its entry; a part that does not load adds nothing.
    BodyPartEntry* two = actor->LoadBodyPart(1, "two.bp3", a);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(actor->GetBodyPartMeshCount(), 3u);
    EXPECT_EQ(Manager().GetByName("other/part.bp3"), nullptr) << "the replaced part went";
    EXPECT_EQ(actor->LoadBodyPart(2, "missing.bp3", a), nullptr);
    EXPECT_EQ(actor->GetBodyPartMeshCount(), 3u);
    EXPECT_EQ(Manager().GetByName("act/missing.bp3"), nullptr);
    EXPECT_EQ(actor->CollectBodyPartIds(), (std::vector<std::uint32_t>{0, 1, 2}));

    actor->ReleaseAllSlots(1);
    EXPECT_EQ(part->GetRefCount(), 2) << "the clone holds it";
    EXPECT_EQ(Manager().GetByName("act/two.bp3"), nullptr);
    EXPECT_EQ(actor->RemoveBodyPartsOfOwner(2), 1u);
    EXPECT_EQ(Manager().GetByName("act/part.bp3"), nullptr) << "the last holder let it go";
    EXPECT_EQ(actor->GetBodyPartMeshCount(), 0u);
}

TEST_F(BodyPartTest, ActorClothCompanions) {
    for (const mg::RecipeFile& f : mg::MakeRecipe("cloth"))
        ASSERT_TRUE(f.file.Save("act/" + f.name));
    auto* actor = dynamic_cast<GeometryActor*>(Manager().GetOrLoad("act/b.act", "act/b.act"));
    ASSERT_NE(actor, nullptr);
    BodyPartEntry* cloth = actor->BuildBodyPartA(9, "skirt.bp3", "", 4);
    ASSERT_NE(cloth, nullptr);
    EXPECT_TRUE(cloth->cloth);
    EXPECT_EQ(cloth->owner, 4);
    auto* geometry = dynamic_cast<GeometryCloth*>(cloth->geometry);
    ASSERT_NE(geometry, nullptr);
    EXPECT_EQ(geometry->GetLoadPath(), "act/skirt.bp3");
    EXPECT_TRUE(geometry->IsClothMarked());
    actor->Unload();
    EXPECT_EQ(Manager().GetByName("act/skirt.bp3"), nullptr);
}

TEST_F(BodyPartTest, PartsWithImageFilesLoadThemByImageMode) {
    const ZelFixtures::Bytes png =
        ZelFixtures::WritePng(ZelFixtures::PngFromRgba(ZelFixtures::MakePatternImage(4, 4), true));
    const auto save = [&](const std::string& path) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
    };
    struct Case {
        const char* what;
        std::uint8_t imageMode;
        std::vector<std::string> images;  // per link record
    };
    const Case cases[] = {
        {"mode 2: one image per record", 2, {"n/m2_1.png", "n/m2_2.png", "n/m2_3.png"}},
        {"mode 0: one image for the part", 0, {"n/m0.png", "n/m0.png", "n/m0.png"}},
    };
    for (const Case& c : cases) {
        mg::BodyPartDesc desc = mg::BodyPartModel();
        desc.setting1 = c.imageMode;
        desc.selectors.resize(3, desc.selectors[0]);
        const std::string path = c.imageMode == 2 ? "n/m2.bp4" : "n/m0.bp4";
        ASSERT_TRUE(mg::WriteBodyPartFile(desc).Save(path));
        for (const std::string& image : c.images) save(image);
        std::unique_ptr<Geometry> made(Manager().CreateByKind(path, path, 16));
        auto* part = dynamic_cast<GeometryBodyPart4*>(made.get());
        ASSERT_NE(part, nullptr) << c.what;
        part->SetHasImages(true);
        part->Load(path);
        ASSERT_TRUE(part->IsLoadSucceeded()) << c.what;
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(part->GetLinkRecords()[i].imageName, c.images[i]) << c.what << " " << i;
        EXPECT_EQ(part->GetDefaultImageName(), c.images[0]) << c.what;
        Image* first = part->FindImage(c.images[0]);
        ASSERT_NE(first, nullptr) << c.what;
        EXPECT_TRUE(first->IsLoadSucceeded()) << c.what;
        const std::string base = c.imageMode == 2 ? "m2" : "m0";
        EXPECT_EQ(part->FindSkin("body")->GetMesh(0)->GetName(), base + "_0") << c.what;
    }
}

}  // namespace
