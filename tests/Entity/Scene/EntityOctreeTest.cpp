// The picking octree of an entity: the split rules and their depth bound, every listed triangle
// inside its node's loose box, the overlap rule, the root box of a rotated entity, index data that
// names missing vertices, and skinned triangles that follow the skin after a refresh.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <variant>

#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/EntityOctreeNode.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Scene/PickingFixture.h"

namespace {

using namespace Zel;
using ZelTest::Soup;

void ForEachNode(EntityOctreeNode& node, const std::function<void(EntityOctreeNode&)>& visit) {
    visit(node);
    for (std::uint32_t i = 0; i < node.GetChildCount(); ++i)
        ForEachNode(static_cast<EntityOctreeNode&>(*node.GetChild(i)), visit);
}

bool Inside(const AABB& box, const float* p) {
    for (int a = 0; a < 3; ++a)
        if (p[a] < box.GetMin()[a] || p[a] > box.GetMax()[a])
            return false;
    return true;
}

class EntityOctreeTest : public ZelTest::PickingTest {};

TEST_F(EntityOctreeTest, SplitsAboveFiftyTrianglesDownToTheDepthBound) {
    struct Case {
        const char* what;
        std::uint32_t triangles;
        bool degenerate;  // every corner at one point
        bool split;
        int deepest;  // -1: not checked
    };
    const Case cases[] = {
        {"fifty: one node", 50, false, false, 0},
        {"fifty-one spread: split", 51, false, true, -1},
        {"two thousand spread", 2000, false, true, -1},
        {"degenerate at one point: stops at the bound", 200, true, true,
         EntityOctreeNode::kPickDepthLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Soup soup = ZelTest::RandomSoup(c.triangles, 10.0f, 7);
        if (c.degenerate)
            std::fill(soup.positions.begin(), soup.positions.end(), 1.0f);
        Entity& entity = MakeSoupEntity(soup);
        entity.UpdatePlacement();
        entity.BuildPickOctree();
        EntityOctreeNode& root = *entity.GetPickOctree();
        EXPECT_EQ(root.GetName(), "0");
        EXPECT_EQ(root.GetChildCount() > 0, c.split);

        std::multiset<std::uint32_t> seen;
        int deepest = 0;
        ForEachNode(root, [&](EntityOctreeNode& node) {
            deepest = std::max(deepest, node.GetDepth());
            if (node.GetChildCount() == 0 && node.GetDepth() < EntityOctreeNode::kPickDepthLimit) {
                EXPECT_LE(node.GetEntries().size(), EntityOctreeNode::kPickSplitThreshold)
                    << node.GetName();
            }
            for (const EntityOctreeNode::Entry& e : node.GetEntries()) {
                seen.insert(e.triangle);
                Triangle t;
                node.GetBuffers()[e.buffer]->GetTriangle(e.triangle, t);
                for (const float* p : {t.p0, t.p1, t.p2})
                    EXPECT_TRUE(Inside(node.GetBox(), p)) << node.GetName() << " " << e.triangle;
            }
            for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) {
                const std::string& name = node.GetChild(i)->GetName();
                EXPECT_EQ(name.substr(0, name.size() - 1), node.GetName());
            }
        });
        EXPECT_EQ(seen.size(), c.triangles) << "every triangle listed once";
        EXPECT_EQ(std::set<std::uint32_t>(seen.begin(), seen.end()).size(), c.triangles);
        if (c.deepest >= 0) {
            EXPECT_EQ(deepest, c.deepest);
        }
    }
}

TEST_F(EntityOctreeTest, ATriangleInTheOverlapOfTwoBoxesGoesToTheLowerNumberedOne) {
    // The root box is [-4, 4]^3 (two corner triangles); box 0 (-x, +y, +z) and box 3 (+x, +y,
    // +z) overlap for -1 <= x <= 1. Fifty-one triangles sit there at y = z = 2.
    Soup soup;
    auto add = [&soup](float x, float y, float z, float size) {
        const auto base = static_cast<std::uint32_t>(soup.positions.size() / 3);
        const float corners[9] = {x, y, z, x + size, y, z, x, y + size, z};
        soup.positions.insert(soup.positions.end(), corners, corners + 9);
        for (std::uint32_t k = 0; k < 3; ++k) soup.indices.push_back(base + k);
    };
    add(-4, -4, -4, 0.1f);
    add(3.9f, 3.9f, 4, 0.1f);
    for (int i = 0; i < 51; ++i) add(-0.5f + 0.01f * float(i), 2, 2, 0.2f);
    Entity& entity = MakeSoupEntity(soup);
    entity.UpdatePlacement();
    entity.BuildPickOctree();
    EntityOctreeNode& root = *entity.GetPickOctree();
    EXPECT_FLOAT_EQ(root.GetBox().GetMin()[0], -4.0f);
    EXPECT_FLOAT_EQ(root.GetBox().GetMax()[2], 4.0f);
    std::uint32_t inBoxZero = 0, elsewhere = 0;
    ForEachNode(root, [&](EntityOctreeNode& node) {
        for (const EntityOctreeNode::Entry& e : node.GetEntries()) {
            if (e.triangle < 2)
                continue;
            (node.GetName().rfind("00", 0) == 0 ? inBoxZero : elsewhere) += 1;
        }
    });
    EXPECT_EQ(inBoxZero, 51u);
    EXPECT_EQ(elsewhere, 0u);
}

TEST_F(EntityOctreeTest, TheRootBoxOfARotatedEntityEnclosesItsTriangles) {
    const Soup soup = ZelTest::RandomSoup(300, 5.0f, 11);
    Entity& entity = MakeSoupEntity(soup);
    // 45 degrees about z, then about x: min and max alone would cut the corners off.
    const float s = std::sin(0.3926991f), c = std::cos(0.3926991f);
    const float qz[4] = {0, 0, s, c};
    const float position[3] = {20, -3, 4};
    Place(entity, position, qz, 1.5f);
    entity.BuildPickOctree();
    const EntityOctreeNode& root = *entity.GetPickOctree();
    for (std::size_t v = 0; v + 2 < soup.positions.size(); v += 3)
        EXPECT_TRUE(Inside(root.GetBox(), &soup.positions[v])) << v / 3;
}

TEST_F(EntityOctreeTest, TrianglesNamingMissingVerticesAreNotListed) {
    Soup soup = ZelTest::RandomSoup(4, 1.0f, 3);
    soup.indices[4] = 12;     // triangle 1 names a vertex past the twelve
    soup.indices.pop_back();  // triangle 3 loses its last index
    Entity& entity = MakeSoupEntity(soup);
    entity.UpdatePlacement();
    entity.BuildPickOctree();
    std::set<std::uint32_t> listed;
    for (const auto& e : entity.GetPickOctree()->GetEntries()) listed.insert(e.triangle);
    EXPECT_EQ(listed, (std::set<std::uint32_t>{0, 2}));
}

// A skinned model stand-in: an entity that answers the bone states of a loaded skin's skeleton.
class StandInSkinnedModel : public Entity {
public:
    const BoneStateSet* GetBoneStates() const override { return states; }
    const BoneStateSet* states = nullptr;
};

TEST_F(EntityOctreeTest, SkinnedTrianglesStayInTheRootAndFollowTheSkinAfterARefresh) {
    ZelModelGen::SkinnedGeometryDesc model = ZelModelGen::SkinnedModel();
    ASSERT_TRUE(ZelModelGen::WriteSkinnedGeometryFile(model).Save("skin/model.ch3"));
    G()->GetGeometryManager()->SetBasePath("");
    auto* geometry = dynamic_cast<GeometrySkin*>(
        G()->GetGeometryManager()->GetOrLoad("skin/model.ch3", "skin/model.ch3"));
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    Skin* skin = dynamic_cast<Skin*>(geometry->GetMesh(0));
    ASSERT_NE(skin, nullptr);
    ASSERT_GT(skin->GetIndexData()->GetIndexCount() / 3, 0u);
    BoneStateSet states(*G()->GetBoneStatePool());
    states.Rebuild(*geometry->GetSkeleton());
    // The skin's bounds, widened so that the moved skin stays inside the entity's box.
    AABB& bounds = skin->GetBoundsForUpdate();
    const float far[3] = {bounds.GetMax()[0] + 10, bounds.GetMax()[1], bounds.GetMax()[2]};
    bounds.MergePoint(far);

    StandInSkinnedModel entity;
    entity.states = &states;
    SubEntity* piece = G()->GetSubEntityFactory()->Acquire();
    piece->SetOwner(&entity);
    piece->SetMesh(skin);
    entity.AppendSubEntity(piece);
    entity.UpdatePlacement();
    entity.BuildPickOctree();
    EntityOctreeNode& root = *entity.GetPickOctree();
    ASSERT_EQ(root.GetBuffers().size(), 1u);
    EXPECT_EQ(root.GetBuffers()[0]->GetKind(), 1u);
    EXPECT_EQ(root.GetChildCount(), 0u);
    EXPECT_EQ(root.GetEntries().size(), skin->GetIndexData()->GetIndexCount() / 3);

    // Every bone moves the skin by +10 in x.
    for (std::uint32_t b = 0; b < states.GetCount(); ++b)
        states.GetBoneState(b)->skinMatrix[3] = 10.0f;
    const float* bind = skin->GetVertexData()->FindComponent(VF_POSITION)->GetFloats();
    const std::uint32_t* indices = skin->GetIndexData()->GetIndices();
    // A ray at the first triangle's centroid, along its normal reversed (its front face).
    Triangle first;
    first.Set(bind + 3 * indices[0], bind + 3 * indices[1], bind + 3 * indices[2]);
    float centre[3];
    for (int a = 0; a < 3; ++a) centre[a] = (first.p0[a] + first.p1[a] + first.p2[a]) / 3;
    auto rayAt = [&](float dx) {
        const float origin[3] = {centre[0] + dx + first.normal[0], centre[1] + first.normal[1],
                                 centre[2] + first.normal[2]};
        const float direction[3] = {-first.normal[0], -first.normal[1], -first.normal[2]};
        return Ray(origin, direction);
    };
    Triangle hit;
    float point[3];
    ASSERT_TRUE(root.RayPick(rayAt(0), hit, point)) << "the bind pose before any refresh";
    root.RefreshSkinned();
    ASSERT_TRUE(root.RayPick(rayAt(10), hit, point)) << "the moved skin";
    EXPECT_NEAR(point[0], centre[0] + 10, 1e-4f);
    const bool stillAtBind = root.RayPick(rayAt(0), hit, point) &&
                             std::fabs(point[0] - centre[0]) < 1e-3f &&
                             std::fabs(point[1] - centre[1]) < 1e-3f;
    EXPECT_FALSE(stillAtBind) << "the old place is empty";
    entity.ReleasePickOctree();
    entity.RemoveAllSubEntities();
}

}  // namespace
