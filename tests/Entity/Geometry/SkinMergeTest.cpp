// Skin merging: vertex bases in indices, components and blend records, components a source lacks,
// render groups common to all sources, the joint palette with its folded bone ranges and empty
// slots, bounds over every source, and the merges that are refused.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/SkinMerge.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCodes.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;

class SkinMergeTest : public ZelTest::GeometryTest {
protected:
    // A skin of n vertices on the x axis from x0, triangles (i, i+1, i+2) over the first vertices
    // in `groups` render groups of one triangle each, every vertex bound to palette slot 0 (and
    // slot 1 with -1 in its second influence), with the given palette and texture coordinates
    // when asked.
    std::unique_ptr<Skin> MakeSkin(std::uint32_t n, float x0, std::vector<std::uint32_t> palette,
                                   std::uint32_t groups = 1, bool uv = false) {
        auto skin = std::make_unique<Skin>(nullptr, "src");
        std::vector<float> positions;
        std::vector<float> uvs;
        for (std::uint32_t v = 0; v < n; ++v) {
            positions.insert(positions.end(), {x0 + float(v), 0, 0});
            uvs.insert(uvs.end(), {float(v), 1});
        }
        std::vector<std::uint32_t> indices;
        for (std::uint32_t g = 0; g < groups; ++g) indices.insert(indices.end(), {g, g + 1, g + 2});
        VertexData& data = *skin->GetVertexData();
        data.SetVertexCount(n);
        Add(data, VF_POSITION, VET_FLOAT3, positions);
        if (uv)
            Add(data, VF_TEXCOORD0, VET_FLOAT2, uvs);
        IndexData& index = *skin->GetIndexData();
        index.AllocateIndices(static_cast<std::uint32_t>(indices.size()));
        std::copy(indices.begin(), indices.end(), index.GetIndices());
        for (std::uint32_t g = 0; g < groups; ++g) {
            auto group = std::make_unique<LodStripArray>();
            group->entries.push_back({PT_TRIANGLE_LIST, 3, 3, 12 * g, 0});
            skin->AddRenderGroup(std::move(group));
        }
        skin->SetVertexCount(n);
        skin->GetBoundsForUpdate().SetMinMax(std::array<float, 3>{x0, 0, 0}.data(),
                                             std::array<float, 3>{x0 + float(n), 1, 1}.data());
        std::array<std::uint32_t, Skin::kMaxPaletteBones> slots{};
        std::copy(palette.begin(), palette.end(), slots.begin());
        skin->SetPalette(static_cast<std::uint32_t>(palette.size()), slots);
        std::vector<SkinBlendRecord>& blend = skin->GetBlendRecords();
        blend.resize(n);
        for (SkinBlendRecord& r : blend) {
            r.count = 1;
            r.bones[0] = palette.empty() ? 0 : palette[0];
            r.weights[0] = 1;
        }
        // Palette slots as the file gives them: slot 0, then an empty slot.
        std::vector<float> slotValues;
        for (std::uint32_t v = 0; v < n; ++v) slotValues.insert(slotValues.end(), {0, -1, 0, 0});
        Add(*skin->GetVertexData(), VF_BLEND_INDICES, VET_FLOAT4, slotValues);
        return skin;
    }

    GeometrySkinMerge merged_;
};

TEST_F(SkinMergeTest, SecondSourceIsOffsetByTheFirstOnesVertices) {
    std::unique_ptr<Skin> a = MakeSkin(100, 0, {5});
    std::unique_ptr<Skin> b = MakeSkin(50, 200, {7}, 1, true);
    SkinMerge* m = merged_.AddMergedMesh({a.get(), b.get()});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetClassId(), ClassId::Skin);
    EXPECT_EQ(m->GetVertexCount(), 150u);
    EXPECT_EQ(m->GetFaceCount(), 2u);

    const IndexData& index = *m->GetIndexData();
    ASSERT_EQ(index.GetIndexCount(), 6u);
    EXPECT_EQ(std::vector<std::uint32_t>(index.GetIndices(), index.GetIndices() + 6),
              (std::vector<std::uint32_t>{0, 1, 2, 100, 101, 102}));
    ASSERT_NE(index.GetBuffer(), nullptr);
    EXPECT_EQ(Indexes(*index.GetBuffer()), (std::vector<std::uint32_t>{0, 1, 2, 100, 101, 102}));

    // Positions one after the other; the texture coordinates of the second source land at its
    // vertex base although the first had none, and the first source's range stays zero.
    const VertexData& data = *m->GetVertexData();
    const float* pos = data.FindComponent(VF_POSITION)->GetFloats();
    EXPECT_EQ(pos[3 * 100], 200.0f);
    EXPECT_EQ(pos[3 * 99], 99.0f);
    const VertexComponentDataPool* uv = data.FindComponent(VF_TEXCOORD0);
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(uv->GetFloats()[2 * 100 + 1], 1.0f);
    EXPECT_EQ(uv->GetFloats()[2 * 101], 1.0f);
    EXPECT_EQ(uv->GetFloats()[2 * 99 + 1], 0.0f);

    // Blend records from record 100 on are the second source's; the joint palette holds both
    // bones and every BLENDINDICES value is a slot of it (the empty slots name bone 0).
    ASSERT_EQ(m->GetBlendRecords().size(), 150u);
    EXPECT_EQ(m->GetBlendRecords()[99].bones[0], 5u);
    EXPECT_EQ(m->GetBlendRecords()[100].bones[0], 7u);
    const float* slots = data.FindComponent(VF_BLEND_INDICES)->GetFloats();
    const auto boneOf = [&](float slot) {
        return m->GetPalette()[static_cast<std::uint32_t>(slot)];
    };
    EXPECT_EQ(boneOf(slots[0]), 5u);
    EXPECT_EQ(boneOf(slots[4 * 100]), 7u);
    EXPECT_EQ(boneOf(slots[1]), 0u) << "an empty slot is bone 0, not a palette index";
    EXPECT_FALSE(m->GetPaletteMode());

    // Bounds over both sources.
    EXPECT_EQ(m->GetBounds().GetMin()[0], 0.0f);
    EXPECT_EQ(m->GetBounds().GetMax()[0], 250.0f);
}

TEST_F(SkinMergeTest, OnlyGroupsEverySourceHasAreMerged) {
    std::unique_ptr<Skin> a = MakeSkin(10, 0, {1}, 3);
    std::unique_ptr<Skin> b = MakeSkin(10, 0, {1}, 2);
    SkinMerge* m = merged_.AddMergedMesh({a.get(), b.get()});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->GetRenderGroups().size(), 2u);
    const RenderGroupEntry& second = m->GetRenderGroups()[1]->entries[0];
    EXPECT_EQ(second.indexCount, 6u);
    EXPECT_EQ(second.start, 24u);
    const std::uint32_t* indices = m->GetIndexData()->GetIndices();
    EXPECT_EQ(std::vector<std::uint32_t>(indices + 6, indices + 12),
              (std::vector<std::uint32_t>{1, 2, 3, 11, 12, 13}));
    EXPECT_EQ(m->GetCurrentGroup(), m->GetRenderGroups()[0].get());
}

TEST_F(SkinMergeTest, BoneRangesFold) {
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {45, 38}, {39, 38}, {53, 38}, {70, 61}, {62, 61}, {76, 61},
        {38, 38}, {54, 54}, {61, 61}, {77, 77}, {0, 0},
    };
    for (const auto& [bone, folded] : cases) {
        EXPECT_EQ(SkinMerge::ClampBone(bone), folded) << bone;
        EXPECT_EQ(SkinMerge::ClampBoneValue(float(bone)), float(folded)) << bone;
    }
    std::unique_ptr<Skin> a = MakeSkin(3, 0, {45});
    std::unique_ptr<Skin> b = MakeSkin(3, 0, {70});
    SkinMerge* m = merged_.AddMergedMesh({a.get(), b.get()});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetBlendRecords()[0].bones[0], 38u);
    EXPECT_EQ(m->GetBlendRecords()[3].bones[0], 61u);
    EXPECT_EQ(m->FindPaletteIndex(45), -1);
    EXPECT_GE(m->FindPaletteIndex(38), 0);
}

TEST_F(SkinMergeTest, RefusedMergesAddNothing) {
    std::unique_ptr<Skin> big = MakeSkin(40000, 0, {1});
    std::unique_ptr<Skin> more = MakeSkin(25536, 0, {1});
    EXPECT_EQ(merged_.AddMergedMesh({big.get(), more.get()}), nullptr) << "65,536 vertices";
    EXPECT_EQ(merged_.AddMergedMesh({}), nullptr) << "no sources";
    EXPECT_EQ(merged_.GetMeshCount(), 0u);

    std::unique_ptr<Skin> fits = MakeSkin(25535, 0, {1});
    EXPECT_NE(merged_.AddMergedMesh({big.get(), fits.get()}), nullptr) << "65,535 vertices";
}

}  // namespace
