// The level octree over a grid level: the split rules, the index runs per cell, the frustum cull
// against a direct box test, scene nodes placed in the cell that encloses them, the occluder pass,
// and ray picks against the level triangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SceneNode.h"
#include "Render/RenderSystem.h"
#include "modelgen/Recipes.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace {

using namespace Zel;

void ForEachNode(SpatialNode* node, const std::function<void(OctreeNode&)>& visit) {
    visit(static_cast<OctreeNode&>(*node));
    for (std::uint32_t i = 0; i < node->GetChildCount(); ++i) ForEachNode(node->GetChild(i), visit);
}

std::uint32_t SubtreeTriangles(const OctreeNode& node) {
    std::uint32_t count = static_cast<std::uint32_t>(node.GetTriangles().size());
    for (std::uint32_t i = 0; i < node.GetChildCount(); ++i)
        count += SubtreeTriangles(static_cast<const OctreeNode&>(*node.GetChild(i)));
    return count;
}

class OctreeTest : public ZelTest::LevelGridTest {
protected:
    void TearDown() override {
        root_.reset();
        ZelTest::LevelGridTest::TearDown();
    }

    // A grid level of tiles x tiles squares of two triangles, one mesh per square.
    StaticGeometry* LoadGrid(std::uint32_t tiles) {
        const std::string folder = "grid" + std::to_string(tiles);
        SaveGrid(folder, tiles);
        const std::string path = folder + "/grid.xml";
        auto* level = dynamic_cast<StaticGeometry*>(
            G()->GetGeometryManager()->GetOrLoadByKind(path, path, GEOMETRY_KIND_STATIC));
        EXPECT_TRUE(level && level->IsLoadSucceeded());
        return level;
    }

    OctreeNode& BuildTree(StaticGeometry& level) {
        OctreeData data;
        data.vertexCount = static_cast<std::uint32_t>(level.GetPositions().size() / 3);
        data.triangleCount = static_cast<std::uint32_t>(level.GetTriangles().size() / 3);
        data.positions = level.GetPositions().data();
        data.triangles = level.GetTriangles().data();
        data.geometry = &level;
        root_ = std::make_unique<OctreeNode>();
        root_->Build(data);
        root_->FinishBuild();
        return *root_;
    }

    std::unique_ptr<OctreeNode> root_;
};

TEST_F(OctreeTest, GridLevelSplitsByTheTriangleAndDepthRules) {
    StaticGeometry* level = LoadGrid(12);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    const std::uint32_t total = static_cast<std::uint32_t>(level->GetTriangles().size() / 3);
    ASSERT_EQ(total, 288u);
    EXPECT_EQ(root.GetName(), "0");
    EXPECT_GT(root.GetChildCount(), 0u);

    std::vector<int> owners(total, 0);
    ForEachNode(&root, [&](OctreeNode& node) {
        const std::uint32_t held = SubtreeTriangles(node);
        const bool leaf = (node.GetFlags() & SPATIAL_LEAF) != 0;
        EXPECT_EQ(leaf, held <= OctreeNode::kSplitThreshold || node.GetDepth() >= 10)
            << node.GetName() << " holds " << held;
        EXPECT_EQ((node.GetFlags() & SPATIAL_HAS_CONTENT) != 0, !node.GetTriangles().empty());
        for (std::uint32_t i = 0; i < node.GetChildCount(); ++i)
            EXPECT_EQ(node.GetChild(i)->GetName(), node.GetName() + std::to_string(i));

        // Every triangle sits in a cell whose cube holds its three corners.
        const AABB& box = node.GetBox();
        std::map<std::uint32_t, std::vector<std::uint32_t>> local;  // per mesh
        for (std::uint32_t t : node.GetTriangles()) {
            ++owners[t];
            for (int c = 0; c < 3; ++c)
                EXPECT_TRUE(
                    box.ContainsPoint(&level->GetPositions()[3 * level->GetTriangles()[3 * t + c]]))
                    << "triangle " << t << " in " << node.GetName();
            const std::int32_t mesh = level->FindMeshOfTriangle(t);
            const TriangleRange& range = level->GetTriangleRange(mesh);
            for (int c = 0; c < 3; ++c)
                local[mesh].push_back(level->GetTriangles()[3 * t + c] - range.firstVertex);
        }
        // One run per mesh in ascending mesh order, holding that mesh's triangles locally.
        ASSERT_EQ(node.GetRuns().size(), local.size()) << node.GetName();
        auto expected = local.begin();
        for (const IndexRun& run : node.GetRuns()) {
            EXPECT_EQ(run.meshIndex, expected->first);
            EXPECT_EQ(std::vector<std::uint32_t>(run.indices, run.indices + run.count),
                      expected->second);
            EXPECT_LE(run.firstIndex + 2, run.lastIndex);
            ++expected;
        }
    });
    EXPECT_EQ(std::count(owners.begin(), owners.end(), 1), std::ptrdiff_t(total))
        << "each triangle in exactly one cell";
}

TEST_F(OctreeTest, AFewTrianglesStayInALeafRoot) {
    StaticGeometry* level = LoadGrid(2);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    EXPECT_EQ(root.GetChildCount(), 0u);
    EXPECT_NE(root.GetFlags() & SPATIAL_LEAF, 0u);
    EXPECT_EQ(root.GetTriangles().size(), 8u);
    ASSERT_EQ(root.GetRuns().size(), 4u);
    const IndexRun& run = root.GetRuns()[3];
    EXPECT_EQ(run.meshIndex, 3u);
    EXPECT_EQ(run.firstIndex, 0u);
    EXPECT_EQ(run.lastIndex, 5u);
}

TEST_F(OctreeTest, CullMarksTheCellsADirectBoxTestSees) {
    StaticGeometry* level = LoadGrid(12);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    const float eye[3] = {1, 3, 1}, target[3] = {4, 0, 3};
    Camera* camera = LookingAt(eye, target);
    root.Cull(*camera, 2, -1);
    int seen = 0, hidden = 0;
    ForEachNode(&root, [&](OctreeNode& node) {
        const bool direct = camera->Intersect(node.GetBox()) != INTERSECT_DISJOINT;
        EXPECT_EQ(node.IsVisible(), direct) << node.GetName();
        (direct ? seen : hidden)++;
    });
    EXPECT_GT(seen, 0);
    EXPECT_GT(hidden, 0);

    // Cutting at depth 0 hides every cell.
    root.Cull(*camera, 2, 0);
    ForEachNode(&root, [&](OctreeNode& node) { EXPECT_FALSE(node.IsVisible()) << node.GetName(); });
}

TEST_F(OctreeTest, SceneNodesGoToTheCellThatEnclosesThem) {
    StaticGeometry* level = LoadGrid(12);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    auto place = [&](const float* min, const float* max) {
        SceneNode* node = Scene().CreateSceneNode();
        node->SetBoundingBox(AABB(min, max));
        EXPECT_TRUE(root.Insert(node, true, true, Scene().NextSpatialStamp()));
        return node;
    };
    // A box goes to the deepest cell that holds it wholly; one outside everything is kept by the
    // root.
    const float smallMin[3] = {0.1f, 0.1f, 0.1f}, smallMax[3] = {0.2f, 0.2f, 0.2f};
    SceneNode* small = place(smallMin, smallMax);
    ASSERT_NE(small->GetSpatialCell(), nullptr);
    EXPECT_GT(small->GetSpatialCell()->GetDepth(), 0);
    EXPECT_EQ(small->GetSpatialCell()->GetBox().Intersect(small->GetBoundingBox()),
              INTERSECT_INSIDE);
    for (std::uint32_t i = 0; i < small->GetSpatialCell()->GetChildCount(); ++i)
        EXPECT_NE(small->GetSpatialCell()->GetChild(i)->GetBox().Intersect(small->GetBoundingBox()),
                  INTERSECT_INSIDE);
    const float farMin[3] = {500, 500, 500}, farMax[3] = {501, 501, 501};
    SceneNode* far = place(farMin, farMax);
    EXPECT_EQ(far->GetSpatialCell(), &root);
    EXPECT_TRUE(root.Contains(far));

    // The same stamp twice: the second search finds every cell already entered.
    const std::uint32_t stamp = Scene().NextSpatialStamp();
    EXPECT_TRUE(root.Insert(far, true, true, stamp));
    EXPECT_FALSE(root.Insert(far, true, true, stamp));

    // Moving the small node far away re-places it from its cell up to the root.
    small->SetBoundingBox(AABB(farMin, farMax));
    EXPECT_TRUE(small->GetSpatialCell()->Place(small));
    EXPECT_EQ(small->GetSpatialCell(), &root);

    // Culling sets the visible-this-frame bit from each listed box.
    const float eye[3] = {-50, 400, -50}, target[3] = {0, 0, 0};
    Camera* camera = LookingAt(eye, target);
    root.Cull(*camera, 2, -1);
    EXPECT_EQ((far->GetState() & NODE_VISIBLE) != 0,
              camera->Intersect(far->GetBoundingBox()) != INTERSECT_DISJOINT);
    root_.reset();
    EXPECT_EQ(far->GetSpatialCell(), nullptr) << "a deleted tree unlinks its nodes";
}

TEST_F(OctreeTest, AnOccluderHidesOnlyBoxesWhollyBehindIt) {
    // A wall in the plane z = 0 from (-1, -1) to (1, 1), seen from z = 5.
    LevelOccluder wall;
    const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i) std::copy(corners[i], corners[i] + 3, wall.corners[i]);
    wall.normal[2] = 1;
    OccluderRecord record;
    record.source = &wall;
    const float eye[3] = {0, 0, 5};
    OccluderVolume::Build(record, eye);
    const struct {
        const char* what;
        float min[3], max[3];
        int expected;
    } boxes[] = {
        {"small, right behind", {-0.2f, -0.2f, -2}, {0.2f, 0.2f, -1}, 0},
        {"in front of the wall", {-0.2f, -0.2f, 1}, {0.2f, 0.2f, 2}, 1},
        {"reaching past an edge", {0.5f, -0.2f, -2}, {3, 0.2f, -1}, 2},
        {"to the side", {5, 5, -2}, {6, 6, -1}, 1},
        // Its min and max corners are hidden (the shadow is 3 wide at z = -10) but the corner
        // (-1.5, -1.5, -0.1) sticks out beside the wall.
        {"deep box hidden at its extreme corners", {-1.5f, -1.5f, -10}, {0.5f, 0.5f, -0.1f}, 2},
    };
    for (const auto& b : boxes)
        EXPECT_EQ(OccluderVolume::ClassifyBox(record, b.min, b.max), b.expected) << b.what;
}

TEST_F(OctreeTest, OccludedCellsAreSkippedUntilOccludersAreSwitchedOff) {
    StaticGeometry* level = LoadGrid(12);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    const float eye[3] = {6, 30, 6}, target[3] = {6, 0, 6.5f};
    Camera* camera = LookingAt(eye, target);
    root.Cull(*camera, 2, -1);
    auto collected = [&] {
        RunTable runs(level->GetMeshCount());
        root.CollectVisibleRuns(runs);
        std::size_t count = 0;
        for (const auto& mesh : runs) count += mesh.size();
        return count;
    };
    const std::size_t all = collected();
    EXPECT_GT(all, 0u);
    root.SetOccluded(true);
    EXPECT_EQ(collected(), 0u);
    // Switching occluders off clears the whole tree, not only the top two levels.
    root.ClearOccludedShallow();
    ForEachNode(&root, [](OctreeNode& node) {
        EXPECT_EQ(node.GetFlags() & SPATIAL_OCCLUDED, 0u) << node.GetName();
    });
    EXPECT_EQ(collected(), all);
}

TEST_F(OctreeTest, RayPickFindsTheNearestTriangleFromEitherSide) {
    StaticGeometry* level = LoadGrid(12);
    ASSERT_NE(level, nullptr);
    OctreeNode& root = BuildTree(*level);
    const struct {
        const char* what;
        float origin[3], direction[3];
        bool hit;
        float point[3];
    } rays[] = {
        {"from above", {2.5f, 5, 3.5f}, {0, -1, 0}, true, {2.5f, 0, 3.5f}},
        {"from below", {2.5f, -5, 3.5f}, {0, 1, 0}, true, {2.5f, 0, 3.5f}},
        {"far above", {7.25f, 1000, 7.25f}, {0, -1, 0}, true, {7.25f, 0, 7.25f}},
        {"beside the level", {20, 5, 20}, {0, -1, 0}, false, {}},
        {"along the plane", {-1, 1, 1}, {1, 0, 0}, false, {}},
    };
    for (const auto& r : rays) {
        Triangle triangle;
        float point[3] = {-9, -9, -9};
        EXPECT_EQ(root.RayPick(Ray(r.origin, r.direction), triangle, point), r.hit) << r.what;
        if (!r.hit)
            continue;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(point[i], r.point[i], 1e-3f) << r.what;
        EXPECT_NEAR(std::fabs(triangle.normal[1]), 1.0f, 1e-3f) << r.what;
    }
}

TEST_F(OctreeTest, TheDebugViewPicksCellsByItsPredicates) {
    OctreeNode& root = BuildTree(*LoadGrid(12));
    std::uint32_t cells = 0, leaves = 0;
    std::function<void(const SpatialNode&)> count = [&](const SpatialNode& node) {
        ++cells;
        leaves += (node.GetFlags() & SPATIAL_LEAF) != 0;
        for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) count(*node.GetChild(i));
    };
    count(root);
    ASSERT_GT(root.GetChildCount(), 0u);
    Scene().SetRenderSystem(&renderSystem_);
    const struct {
        bool recurse;
        int mode, a, b, depthLimit;
        std::uint32_t drawn;
    } cases[] = {
        {true, 1, 1, 0, -1, cells},                    // every cell
        {true, 0, 1, 2, -1, leaves},                   // both hold: leaves
        {true, 1, 2, 0, -1, leaves},                   // A holds: leaves
        {true, 1, 1, 3, -1, cells},                    // A holds, B only picks the colour
        {true, 0, 1, 3, -1, 0},                        // nothing is occluded
        {true, 0, 0, 1, -1, 0},                        // A below 1: nothing at all
        {true, 1, 1, 0, 1, 1 + root.GetChildCount()},  // the root's children, not below
        {false, 1, 1, 0, -1, 1},                       // the root only
        {true, 1, 9, 0, -1, 0},                        // a predicate past the table never holds
        {true, 2, 1, 1, -1, 0},                        // no such mode
    };
    for (const auto& c : cases)
        EXPECT_EQ(root.DrawDebug(c.recurse, nullptr, c.mode, c.a, c.b, c.depthLimit), c.drawn)
            << "mode " << c.mode << " predicates " << c.a << ", " << c.b << " depth "
            << c.depthLimit;

    root.SetOccluded(true);
    EXPECT_EQ(root.DrawDebug(true, nullptr, 0, 1, 3, -1), cells);
    EXPECT_EQ(root.DrawDebug(true, nullptr, 1, 6, 0, -1), 0u);
    // Mode 1 takes B's colour where B holds, else A's.
    EXPECT_EQ(root.DebugColourIndex(1, 1, 3), 3);
    EXPECT_EQ(root.DebugColourIndex(1, 1, 6), 1);
    EXPECT_EQ(root.DebugColourIndex(0, 1, 6), -1);
    EXPECT_EQ(root.DebugColourIndex(1, 1, 9), 1);
}

}  // namespace
