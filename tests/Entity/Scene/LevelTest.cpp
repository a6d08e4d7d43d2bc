// A level over a grid level geometry: its load into one sub-entity per mesh, the octree and the
// occluder records it builds, and the index buffers it rebuilds for the camera, which must draw
// exactly the triangles of the cells a direct box test sees, minus meshes outside the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/Light.h"
#include "Math/Sphere.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SimpLevel.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderSystem.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/LevelFixture.h"

namespace {

using namespace Zel;
using Triple = std::array<std::uint32_t, 3>;

class LevelTest : public ZelTest::LevelGridTest {
protected:
    void SetUp() override {
        ZelTest::LevelGridTest::SetUp();
        SaveGrid("lv", 12);
    }

    // The triangles mesh i draws now, local to the mesh, in sorted order.
    static std::vector<Triple> Drawn(Mesh& mesh) {
        const std::uint32_t count = mesh.GetCurrentGroup()->entries[0].drawCount;
        const std::vector<std::uint32_t> indexes = Indexes(*mesh.GetIndexData()->GetBuffer());
        std::vector<Triple> out;
        for (std::uint32_t i = 0; i + 2 < count; i += 3)
            out.push_back({indexes[i], indexes[i + 1], indexes[i + 2]});
        std::sort(out.begin(), out.end());
        return out;
    }

    using TrianglesPerMesh = std::map<std::uint32_t, std::vector<Triple>>;
    // Direct: the triangles, local to their meshes, of the cells take answers true for, over the
    // cells enter answers true for (a cell it refuses is left with its subtree).
    static TrianglesPerMesh TrianglesOf(Level& level,
                                        const std::function<bool(const SpatialNode&)>& enter,
                                        const std::function<bool(const SpatialNode&)>& take) {
        StaticGeometry& geometry = *level.GetStaticGeometry();
        TrianglesPerMesh out;
        std::function<void(const SpatialNode&)> walk = [&](const SpatialNode& node) {
            if (!enter(node))
                return;
            if (take(node))
                for (std::uint32_t t : static_cast<const OctreeNode&>(node).GetTriangles()) {
                    const std::int32_t m = geometry.FindMeshOfTriangle(t);
                    const std::uint32_t first = geometry.GetTriangleRange(m).firstVertex;
                    const std::uint32_t* v = &geometry.GetTriangles()[3 * t];
                    out[m].push_back({v[0] - first, v[1] - first, v[2] - first});
                }
            for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) walk(*node.GetChild(i));
        };
        walk(*level.GetOctree());
        return out;
    }

    // Direct: the triangles of every cell whose box the view meets.
    static TrianglesPerMesh TrianglesInView(Level& level, Camera& camera) {
        return TrianglesOf(
            level,
            [&](const SpatialNode& node) {
                return camera.Intersect(node.GetBox()) != INTERSECT_DISJOINT;
            },
            [](const SpatialNode&) { return true; });
    }

    struct DrawnMeshes {
        int shown = 0;        // meshes drawing something
        int culled = 0;       // meshes outside the view
        int emptyInView = 0;  // meshes in the view drawing nothing
    };
    // Every mesh draws exactly its expected triangles, none when its box is outside the view.
    static DrawnMeshes ExpectDrawn(Level& level, Camera& camera, TrianglesPerMesh expected) {
        StaticGeometry& geometry = *level.GetStaticGeometry();
        DrawnMeshes counts;
        for (std::uint32_t m = 0; m < geometry.GetMeshCount(); ++m) {
            Mesh& mesh = *geometry.GetMesh(m);
            std::vector<Triple> want = expected[m];
            const bool inView = camera.Intersect(mesh.GetBounds()) != INTERSECT_DISJOINT;
            if (!inView)
                want.clear();
            std::sort(want.begin(), want.end());
            EXPECT_EQ(Drawn(mesh), want) << "mesh " << m;
            counts.shown += !want.empty();
            counts.culled += !inView;
            counts.emptyInView += inView && want.empty();
        }
        return counts;
    }
};

TEST_F(LevelTest, LoadingMakesAPiecePerMeshAnOctreeAndOccluders) {
    Level* level = Scene().CreateLevel();
    ASSERT_NE(level, nullptr);
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    StaticGeometry* geometry = level->GetStaticGeometry();
    ASSERT_NE(geometry, nullptr);
    EXPECT_EQ(level->GetGeometry(), geometry);
    EXPECT_EQ(level->GetSubEntities().size(), geometry->GetMeshCount());
    ASSERT_NE(level->GetOctree(), nullptr);
    EXPECT_EQ(level->GetOccluderCount(), geometry->GetOccluders().size());
    EXPECT_EQ(level->GetCameraRuns().size(), geometry->GetMeshCount());

    Level* missing = Scene().CreateLevel();
    EXPECT_FALSE(missing->ProcessLoadLevelGeometry("lv/none.xml"));
    EXPECT_EQ(missing->GetStaticGeometry(), nullptr);
    EXPECT_TRUE(missing->GetSubEntities().empty());
    EXPECT_EQ(missing->GetOctree(), nullptr);
}

TEST_F(LevelTest, LoadAcceptsLevelFilesAndNeverLeavesTheLevelHidden) {
    const struct {
        const char* name;
        bool loads;
    } cases[] = {
        {"lv/grid.xml", true},
        {"lv/GRID.XML", false},   // ends in 'L' but no such file
        {"lv/grid.mesh", false},  // not a level file name
        {"", false},
    };
    for (const auto& c : cases) {
        Level* level = Scene().CreateLevel();
        EXPECT_EQ(level->Load(c.name), c.loads) << c.name;
        EXPECT_EQ(level->GetAnimationFlags() & ENTITY_NEVER_PUSHED, 0u) << c.name;
        EXPECT_EQ(level->GetOctree() != nullptr, c.loads) << c.name;
        Scene().ReleaseEntity(level);
    }
    EXPECT_NE(Scene().CreateAndLoadLevel("lv/grid.xml"), nullptr);
    EXPECT_EQ(Scene().CreateAndLoadLevel("lv/none.xml"), nullptr);
}

// The grid's materials are in no library: every piece falls back on the default material, with a
// log line per mesh unless the level skips the lookup (switch 57, which a simplified level
// ignores).
TEST_F(LevelTest, PiecesWithoutTheirMaterialFallBackOnTheDefaultOne) {
    const struct {
        bool simplified;
        std::uint32_t noSceneMaterials;
        bool logged;
    } cases[] = {{false, 0, true}, {false, 1, false}, {true, 1, true}};
    // This fixture makes no built-in materials: the default one is null here.
    Material* fallback = G()->GetMaterialManager()->GetDefaultMaterial(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.simplified ? "simplified" : "level");
        G()->GetConfigManager()->SetValue(57, c.noSceneMaterials);
        ZelTest::LogCapture log;
        Level* level = c.simplified ? Scene().CreateSimpLevel() : Scene().CreateLevel();
        ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
        const std::size_t pieces = level->GetSubEntities().size();
        EXPECT_EQ(pieces, level->GetGeometry()->GetMeshCount());
        EXPECT_EQ(log.CountKind(13, "ProcessLoadLevelGeometry;Can't find Material : grid_mat"),
                  c.logged ? int(pieces) : 0);
        for (SubEntity* piece : level->GetSubEntities()) EXPECT_EQ(piece->GetMaterial(), fallback);
        Scene().ReleaseEntity(level);
    }
    G()->GetConfigManager()->SetValue(57, 0);
}

TEST_F(LevelTest, NodesAreListedPlacedAgainAndDetachedThroughTheLevel) {
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    SpatialNode* root = level->GetOctree();
    SceneNode* node = Scene().CreateSceneNode();
    const float nearMin[3] = {0.1f, 0.1f, 0.1f}, nearMax[3] = {0.2f, 0.2f, 0.2f};
    node->SetBoundingBox(AABB(nearMin, nearMax));
    level->InsertNode(node);
    ASSERT_NE(node->GetSpatialCell(), nullptr);
    EXPECT_NE(node->GetSpatialCell(), root);

    const float farMin[3] = {500, 500, 500}, farMax[3] = {501, 501, 501};
    node->SetBoundingBox(AABB(farMin, farMax));
    Level::PlaceNode(node);
    EXPECT_EQ(node->GetSpatialCell(), root);

    Level::DetachNode(node);
    EXPECT_EQ(node->GetSpatialCell(), nullptr);
    EXPECT_FALSE(root->HasEntities());
    Level::DetachNode(node);  // no cell: nothing
    Level::PlaceNode(node);
    EXPECT_EQ(node->GetSpatialCell(), nullptr);
}

TEST_F(LevelTest, TheCameraDrawsTheTrianglesOfTheCellsItSees) {
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    level->SetOcclusionEnabled(false);
    const float eye[3] = {2, 2, 2}, target[3] = {5, 0, 6};
    Camera* camera = LookingAt(eye, target);
    level->Cull(camera);
    level->UpdateVisibleRuns(nullptr);

    const DrawnMeshes drawn = ExpectDrawn(*level, *camera, TrianglesInView(*level, *camera));
    EXPECT_GT(drawn.shown, 0);
    EXPECT_GT(drawn.culled, 0);
}

// Blended meshes are left to the transparent group draw, which rebuilds each one on its own.
TEST_F(LevelTest, TheCameraRebuildLeavesBlendedMeshesToTheTransparentDraw) {
    Material blended(nullptr, "glass", "Material", 0);
    blended.CreatePass(0)->renderState.flags |= RSF_ALPHA_BLEND;
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    level->SetOcclusionEnabled(false);
    const std::vector<SubEntity*>& pieces = level->GetSubEntities();
    for (std::size_t m = 0; m < pieces.size(); m += 2) pieces[m]->SetMaterial(&blended);
    const float eye[3] = {2, 2, 2}, target[3] = {5, 0, 6};
    Camera* camera = LookingAt(eye, target);
    level->Cull(camera);
    level->UpdateVisibleRuns(nullptr);

    const TrianglesPerMesh all = TrianglesInView(*level, *camera);
    TrianglesPerMesh opaque = all;
    for (std::uint32_t m = 0; m < pieces.size(); m += 2) opaque.erase(m);
    EXPECT_GT(ExpectDrawn(*level, *camera, opaque).shown, 0);

    // The transparent draw's rebuild of one blended mesh in view draws its visible triangles.
    std::uint32_t rebuilt = 0;
    StaticGeometry& geometry = *level->GetStaticGeometry();
    for (std::uint32_t m = 0; m < pieces.size() && rebuilt == 0; m += 2) {
        if (all.count(m) == 0 || level->IsMeshCulled(m))
            continue;
        level->RebuildMeshForCamera(m);
        std::vector<Triple> want = all.at(m);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(Drawn(*geometry.GetMesh(m)), want) << "mesh " << m;
        ++rebuilt;
    }
    EXPECT_EQ(rebuilt, 1u);
    Scene().ReleaseEntity(level);  // its pieces hold the local material
}

// A wall across the grid at z = 6, with the eye in front of it: the rebuilt buffers draw the
// triangles of the cells that the view meets and that no occluder hides wholly, and the wall hides
// only cells that lie wholly behind it.
TEST_F(LevelTest, AnOccluderWallHidesTheCellsWhollyBehindIt) {
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    StaticGeometry& geometry = *level->GetStaticGeometry();
    LevelOccluder wall;
    const float corners[4][3] = {{-1, -50, 6}, {-1, 50, 6}, {13, -50, 6}, {13, 50, 6}};
    std::copy(&corners[0][0], &corners[0][0] + 12, &wall.corners[0][0]);
    wall.centre[0] = 6, wall.centre[1] = 0, wall.centre[2] = 6;
    wall.normal[2] = -1;  // towards the eye
    geometry.GetOccluders() = {wall};
    level->BuildOccluders();
    const float eye[3] = {6, 1, -2}, target[3] = {6, 0, 12};
    Camera* camera = LookingAt(eye, target);
    level->Cull(camera);
    level->UpdateVisibleRuns(nullptr);

    OccluderRecord volume{&geometry.GetOccluders()[0], {}};
    OccluderVolume::Build(volume, eye);
    int hidden = 0;
    const auto seenAndNotHidden = [&](const SpatialNode& node) {
        const AABB& box = node.GetBox();
        if (camera->Intersect(box) == INTERSECT_DISJOINT)
            return false;
        if (OccluderVolume::ClassifyBox(volume, box.GetMin(), box.GetMax()) != 0)
            return true;
        EXPECT_GT(box.GetMin()[2], 6.0f) << "cell " << node.GetName();
        ++hidden;
        return false;
    };
    const DrawnMeshes drawn = ExpectDrawn(
        *level, *camera, TrianglesOf(*level, seenAndNotHidden, [](auto&) { return true; }));
    EXPECT_GT(hidden, 0);
    EXPECT_GT(drawn.emptyInView, 0);

    // With occluders off, the cells the wall hid are drawn again, however deep they lie.
    level->SetOcclusionEnabled(false);
    level->Cull(camera);
    std::function<void(const SpatialNode&)> none = [&](const SpatialNode& node) {
        EXPECT_EQ(node.GetFlags() & SPATIAL_OCCLUDED, 0u) << "cell " << node.GetName();
        for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) none(*node.GetChild(i));
    };
    none(*level->GetOctree());
}

TEST_F(LevelTest, MovingTheLevelRefreshesItsBoxOnlyWhileSceneUpdatesAreOn) {
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    const float far[3] = {100, 0, 0};
    for (std::uint32_t updates : {0u, 1u}) {
        SCOPED_TRACE(updates);
        G()->GetConfigManager()->SetValue(24, updates);
        level->SetPosition(far);
        level->SetStateBits(NODE_BOUNDS_DIRTY);
        const float before = level->GetBoundingBox().GetMin()[0];
        EXPECT_EQ(before, 0.0f);
        level->UpdatePlacement();
        EXPECT_EQ(level->GetBoundingBox().GetMin()[0], updates ? 100.0f : before);
        EXPECT_EQ((level->GetState() & NODE_BOUNDS_DIRTY) != 0, updates == 0);
    }
}

TEST_F(LevelTest, DebugDrawsOfAnOccluderPastTheEndDrawNothing) {
    Level* level = Scene().CreateLevel();
    const float eye[3] = {0, 5, -5};
    EXPECT_FALSE(level->DrawOccluderDebug(0));  // nothing loaded
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    Scene().SetRenderSystem(&renderSystem_);
    const std::uint32_t count = level->GetOccluderCount();
    ASSERT_GT(count, 0u);
    for (std::uint32_t i : {0u, count - 1, count, count + 7, 0xFFFFFFFFu}) {
        EXPECT_EQ(level->DrawOccluderDebug(i), i < count) << i;
        EXPECT_EQ(level->DrawOccluderVolumeDebug(i, eye), i < count) << i;
    }
}

TEST_F(LevelTest, ALightGathersTheVisibleCellsItsSphereReaches) {
    Level* level = Scene().CreateLevel();
    ASSERT_TRUE(level->ProcessLoadLevelGeometry("lv/grid.xml"));
    const float eye[3] = {2, 2, 2}, target[3] = {5, 0, 6};
    Camera* camera = LookingAt(eye, target);
    level->Cull(camera);
    auto runCount = [](const RunTable& table) {
        std::size_t n = 0;
        for (const auto& runs : table) n += runs.size();
        return n;
    };
    // Direct: the visible cells whose own triangles the sphere meets.
    auto reached = [&](const Sphere& sphere) {
        std::size_t n = 0;
        std::function<void(const SpatialNode&)> walk = [&](const SpatialNode& node) {
            if (!node.IsVisible())
                return;
            if ((node.GetFlags() & SPATIAL_HAS_CONTENT) &&
                sphere.Intersect(node.GetContentBox()) != INTERSECT_DISJOINT)
                n += node.GetRuns().size();
            for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) walk(*node.GetChild(i));
        };
        walk(*level->GetOctree());
        return n;
    };
    Light* point = Scene().CreateLight(1);
    Light* sun = Scene().CreateLight(0);
    const float nearby[3] = {5, 0.5f, 6};
    point->SetPosition(nearby);
    point->SetRange(2);
    for (Light* light : {point, sun}) level->GatherLightRuns(light);
    const std::size_t lit = runCount(level->GetLightRunTable(point));
    EXPECT_EQ(lit, reached(Sphere(nearby, 2)));
    EXPECT_GT(lit, 0u);
    EXPECT_LT(lit, runCount(level->GetCameraRuns()));
    // A light without position reaches every visible cell, whatever its sphere.
    EXPECT_EQ(runCount(level->GetLightRunTable(sun)), runCount(level->GetCameraRuns()));

    // The light's rebuilt buffers draw the triangles of those cells, minus meshes out of view.
    level->UpdateVisibleRuns(point);
    const Sphere sphere(nearby, 2);
    const DrawnMeshes drawn =
        ExpectDrawn(*level, *camera,
                    TrianglesOf(
                        *level, [](const SpatialNode& node) { return node.IsVisible(); },
                        [&](const SpatialNode& node) {
                            return (node.GetFlags() & SPATIAL_HAS_CONTENT) &&
                                   sphere.Intersect(node.GetContentBox()) != INTERSECT_DISJOINT;
                        }));
    EXPECT_GT(drawn.shown, 0);
    EXPECT_GT(drawn.emptyInView, 0);
}

TEST_F(LevelTest, TheSimplifiedLevelZeroesOnlyMeshesOutsideTheView) {
    SimpLevel* level = Scene().CreateSimpLevel();
    ASSERT_NE(level, nullptr);
    ASSERT_TRUE(level->Load("lv/grid.xml"));
    Geometry* geometry = level->GetGeometry();
    ASSERT_NE(geometry, nullptr);
    EXPECT_EQ(geometry->GetKind(), 19u);
    EXPECT_EQ(level->GetSubEntities().size(), geometry->GetMeshCount());
    EXPECT_EQ(level->GetEntityKind(), 14u);

    const float eye[3] = {2, 2, 2}, target[3] = {5, 0, 6};
    Camera* camera = LookingAt(eye, target);
    level->Cull(camera);
    int shown = 0, hidden = 0;
    for (std::uint32_t m = 0; m < geometry->GetMeshCount(); ++m) {
        const bool outside =
            camera->Intersect(geometry->GetMesh(m)->GetBounds()) == INTERSECT_DISJOINT;
        EXPECT_EQ(geometry->GetMeshDrawCount(m), outside ? 0u : 6u) << "mesh " << m;
        (outside ? hidden : shown)++;
    }
    EXPECT_GT(shown, 0);
    EXPECT_GT(hidden, 0);

    // Nodes are not listed in a simplified level.
    SceneNode* node = Scene().CreateSceneNode();
    level->InsertNode(node);
    EXPECT_EQ(node->GetSpatialCell(), nullptr);
}

}  // namespace
