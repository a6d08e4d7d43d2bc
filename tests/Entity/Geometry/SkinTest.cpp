// Skins in memory: the palette and its limit, the blend components, the palette-mode round trip
// between palette slots and compact bone numbers, and the vertex lists of the render groups.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/RenderCodes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;

class SkinTest : public ZelTest::GeometryTest {
protected:
    // A skin of one vertex per record with a zero position component.
    static std::unique_ptr<Skin> MakeSkin(const std::vector<SkinBlendRecord>& records) {
        auto skin = std::make_unique<Skin>(nullptr, "skin");
        const auto n = static_cast<std::uint32_t>(records.size());
        skin->SetVertexCount(n);
        skin->GetVertexData()->SetVertexCount(n);
        skin->GetVertexData()->AddComponent(VF_POSITION, VET_FLOAT3, n);
        skin->GetBlendRecords() = records;
        return skin;
    }

    static SkinBlendRecord Record(std::vector<std::uint32_t> bones) {
        SkinBlendRecord r;
        r.count = static_cast<std::int32_t>(bones.size());
        for (std::size_t k = 0; k < bones.size(); ++k) {
            r.bones[k] = bones[k];
            r.weights[k] = 1.0f / static_cast<float>(bones.size());
        }
        return r;
    }

    static const float* Indices(Skin& skin) {
        return skin.GetVertexData()->FindComponent(VF_BLEND_INDICES)->GetFloats();
    }
};

TEST_F(SkinTest, TheSixtyFirstBoneFindsNoSlot) {
    // Fifteen records of four new bones each fill the palette; the sixteenth brings one more
    // (its unused slots name bone 0, which is in slot 0).
    std::vector<SkinBlendRecord> records;
    for (std::uint32_t v = 0; v < 15; ++v)
        records.push_back(Record({4 * v, 4 * v + 1, 4 * v + 2, 4 * v + 3}));
    records.push_back(Record({10, 500}));
    std::unique_ptr<Skin> skin = MakeSkin(records);
    ZelTest::LogCapture log;
    skin->BuildPalette();
    EXPECT_EQ(skin->GetPaletteCount(), Skin::kMaxPaletteBones);
    EXPECT_EQ(log.Count("ERROR : Skin骨骼数量达到最大"), 1);
    EXPECT_EQ(skin->FindPaletteIndex(500), -1);
    EXPECT_FALSE(skin->AddPaletteBone(500));
    EXPECT_TRUE(skin->AddPaletteBone(59)) << "a bone already present";

    skin->CreateBlendComponents();
    const float* indices = Indices(*skin);
    EXPECT_EQ(indices[4 * 15 + 0], 10.0f);
    EXPECT_EQ(indices[4 * 15 + 1], -1.0f);
    EXPECT_EQ(indices[4 * 15 + 2], 0.0f);
    EXPECT_EQ(indices[4 * 14 + 3], 59.0f);
}

TEST_F(SkinTest, PaletteModeRoundTripKeepsEmptySlots) {
    // Bones at both ends of every compact range; slot order follows the records.
    std::unique_ptr<Skin> skin =
        MakeSkin({Record({0, 6, 35, 38}), Record({54, 61, 77, 93}), Record({6})});
    skin->BuildPalette();
    skin->CreateBlendComponents();
    float* indices = skin->GetVertexData()->FindComponent(VF_BLEND_INDICES)->GetFloats();
    indices[4 * 2 + 1] = -1.0f;  // an empty slot
    const std::vector<float> slots(indices, indices + 12);

    skin->GetVertexData()->SetDirty(false);
    skin->SetPaletteMode(true);
    EXPECT_TRUE(skin->GetVertexData()->IsDirty());
    const float compact[12] = {0, 6, 7, 10, 11, 18, 19, 35, 6, -1, 0, 0};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(indices[i], compact[i]) << i;

    skin->GetVertexData()->SetDirty(false);
    skin->SetPaletteMode(true);
    EXPECT_FALSE(skin->GetVertexData()->IsDirty()) << "the current mode changes nothing";

    skin->SetPaletteMode(false);
    EXPECT_EQ(std::vector<float>(indices, indices + 12), slots);
    EXPECT_EQ(skin->GetPaletteCount(), 8u);
}

TEST_F(SkinTest, BonesOutsideThePaletteAreAppendedWhenSwitchingBack) {
    // The palette holds 35 and, from the unused slots, 0.
    std::unique_ptr<Skin> skin = MakeSkin({Record({35})});
    skin->BuildPalette();
    skin->CreateBlendComponents();
    skin->SetPaletteMode(true);
    float* indices = skin->GetVertexData()->FindComponent(VF_BLEND_INDICES)->GetFloats();
    indices[1] = 8.0f;  // compact 8 is skeleton bone 36, not yet in the palette
    skin->SetPaletteMode(false);
    EXPECT_EQ(indices[0], 0.0f);
    EXPECT_EQ(indices[1], 2.0f);
    EXPECT_EQ(skin->GetPalette()[2], 36u);
}

TEST_F(SkinTest, CompactNumbersMapOnlyInsideTheirRanges) {
    struct Case {
        float bone, compact;
    };
    const Case cases[] = {{0, 0},   {6, 6},   {34, 34}, {35, 7},  {38, 10}, {39, 39},
                          {54, 11}, {61, 18}, {77, 19}, {93, 35}, {94, 94}, {-1, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(Skin::CompactBoneIndex(c.bone), c.compact) << c.bone;
        if (c.bone != c.compact || c.bone <= 6) {
            EXPECT_EQ(Skin::ExpandBoneIndex(c.compact), c.bone) << c.compact;
        }
    }
}

TEST_F(SkinTest, GroupVertexListsHoldEachVertexOnceInOrder) {
    std::unique_ptr<Skin> skin = MakeSkin(std::vector<SkinBlendRecord>(6));
    std::vector<std::uint32_t> indices = {5, 1, 1, 3, 0, 3, 2, 4, 2};
    skin->GetIndexData()->TakeIndices(indices);
    for (std::uint32_t first : {0u, 6u}) {
        auto group = std::make_unique<LodStripArray>();
        RenderGroupEntry entry;
        entry.start = first * 4;
        entry.indexCount = first == 0 ? 6 : 3;
        group->entries.push_back(entry);
        skin->AddRenderGroup(std::move(group));
    }
    skin->BuildGroupVertexLists();
    ASSERT_EQ(skin->GetVertexLists().size(), 2u);
    EXPECT_EQ(skin->GetVertexLists()[0], (std::vector<std::uint32_t>{0, 1, 3, 5}));
    EXPECT_EQ(skin->GetVertexLists()[1], (std::vector<std::uint32_t>{2, 4}));
}

}  // namespace
