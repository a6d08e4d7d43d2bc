// Cloth companions: the companion's name, the switches and the same-name rule, and what a
// companion that does not load leaves in its slot.
#include <gtest/gtest.h>

#include <string>

#include "ActorFixture.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Scene/SubEntity.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace {

using namespace ZelTest;
using Zel::Actor;

class ActorClothTest : public ActorTest {
protected:
    // Part 6's file saved again under the name, and the cloth recipe's piece as its companion.
    void SavePart(const std::string& name, const std::string& companion) {
        ASSERT_TRUE(ZelModelGen::WriteBodyPartFile(ZelModelGen::ActorBodyPart(6)).Save(name));
        if (!companion.empty())
            ASSERT_TRUE(
                ZelModelGen::WriteClothGeometryFile(ZelModelGen::ClothModel()).Save(companion));
    }
};

TEST_F(ActorClothTest, ThePartLoadsItsCompanion) {
    SavePart("coat.v2.bp3", "coat.v2_cloth.bp3");
    Actor* a = Dressed();
    ASSERT_TRUE(a->SetBodyPart(6, "coat.v2.bp3"));
    // Everything before the last dot, then "_cloth.bp3".
    EXPECT_EQ(a->GetBodyPartName(15), "coat.v2_cloth.bp3");
    ASSERT_NE(a->GetClothGeometry(15), nullptr);
    EXPECT_TRUE(a->GetSlotSubEntities(15).empty()) << "no physics scene: no pieces";
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
    EXPECT_FALSE(a->LoadClothPart(15, "skirt.bp5", true)) << "bp5 cloth is the library's";
    EXPECT_FALSE(a->LoadClothPart(6, "coat_cloth.bp3", true)) << "parts' slots take no cloth";
}

}  // namespace
