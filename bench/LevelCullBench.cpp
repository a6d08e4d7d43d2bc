// A level's per-frame visibility next to a brute-force box test. The level is the level recipe's
// grid of 10 x 10 tiles of 32 x 32 squares (204,800 triangles in 100 meshes) with four occluder
// walls standing on it; a camera flies 1,000 frames round it. Per frame the level classifies its
// octree against the view, runs the occluder pass and collects the visible index runs
// (Level::Cull). The anchor tests every cell box of the same tree on its own, against the view and
// every occluder volume, and collects the runs of the cells that pass; both sides also test every
// mesh box against the view. Each frame both sides must give the same index count per mesh and
// the same culled meshes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/OctreeNode.h"
#include "Render/RenderSystem.h"
#include "bench/PairedTiming.h"
#include "bench/SoftwareEngine.h"
#include "modelgen/Recipes.h"

namespace {

using namespace Zel;

constexpr std::uint32_t kTiles = 10;
constexpr std::uint32_t kCellsPerTile = 32;
constexpr std::uint32_t kFrames = 1000;

// A wall on the ground from (x0, z0) to (x1, z1), from y = -1 to 2, its normal along
// (c0 - c3) x (c1 - c3) as the occluder pass expects.
LevelOccluder Wall(float x0, float z0, float x1, float z1) {
    LevelOccluder wall;
    const float corners[4][3] = {{x0, -1, z0}, {x0, 2, z0}, {x1, -1, z1}, {x1, 2, z1}};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 3; ++k) wall.corners[c][k] = corners[c][k];
    for (int k = 0; k < 3; ++k)
        wall.centre[k] = 0.25f * (corners[0][k] + corners[1][k] + corners[2][k] + corners[3][k]);
    // (c0 - c3) x (c1 - c3) of a vertical wall is horizontal, across the wall.
    const float dx = x1 - x0, dz = z1 - z0, length = std::sqrt(dx * dx + dz * dz);
    wall.normal[0] = dz / length;
    wall.normal[2] = -dx / length;
    return wall;
}

// Eye and target of frame f: round the grid at 1.5 above it, looking across it.
void CameraAt(std::uint32_t f, float* eye, float* target) {
    const float centre = 0.5f * kTiles, angle = 6.2831853f * float(f) / float(kFrames);
    eye[0] = centre + 7.0f * std::cos(angle);
    eye[1] = 1.5f;
    eye[2] = centre + 7.0f * std::sin(angle);
    target[0] = centre - 3.0f * std::cos(angle + 0.6f);
    target[1] = 0.0f;
    target[2] = centre - 3.0f * std::sin(angle + 0.6f);
}

// Per frame: the index count of each mesh, then one word per mesh, 1 when it was culled.
using FrameOutput = std::vector<std::uint32_t>;

void BM_LevelCull(benchmark::State& state) {
    ZelBench::SoftwareEngine engine("zel_bench_levelcull");
    Globals* globals = Globals::GetSingleton();
    globals->Init();
    SceneManager& scene = *globals->GetSceneManager();
    globals->GetGeometryManager()->SetBasePath("");
    RenderSystem renderSystem;
    scene.SetRenderSystem(&renderSystem);

    ZelModelGen::RecipeOptions options;
    options.tiles = kTiles;
    options.subdivisions = kCellsPerTile;
    std::vector<ZelModelGen::RecipeFile> files;
    std::string error;
    const std::string folder = std::filesystem::absolute("grid").string();
    Level* level = scene.CreateLevel();
    if (!ZelModelGen::SaveRecipe("level", folder, options, files, error) ||
        !level->ProcessLoadLevelGeometry(folder + "/grid.xml")) {
        state.SkipWithError(("the level did not load: " + error).c_str());
        return;
    }
    StaticGeometry& geometry = *level->GetStaticGeometry();
    geometry.GetOccluders() = {Wall(2, 3, 4, 3), Wall(7, 5, 7, 8), Wall(3, 7, 5, 8),
                               Wall(6, 1.5f, 8.5f, 2)};
    level->BuildOccluders();
    const std::uint32_t meshes = geometry.GetMeshCount();

    std::vector<const SpatialNode*> cells;
    std::function<void(const SpatialNode&)> gather = [&](const SpatialNode& node) {
        cells.push_back(&node);
        for (std::uint32_t i = 0; i < node.GetChildCount(); ++i) gather(*node.GetChild(i));
    };
    gather(*level->GetOctree());
    std::vector<OccluderRecord> volumes;
    for (const LevelOccluder& quad : geometry.GetOccluders()) volumes.push_back({&quad, {}});

    Camera* camera = scene.CreateCamera();
    const float up[3] = {0, 1, 0};
    std::uint32_t visits = 0;
    auto place = [&](std::uint32_t f) {
        float eye[3], target[3];
        CameraAt(f, eye, target);
        camera->LookAt(eye, target, up);
        camera->Update(&visits, 0.0f, f + 2);
    };
    auto meshCull = [&](FrameOutput& out) {
        for (std::uint32_t m = 0; m < meshes; ++m)
            out[meshes + m] =
                camera->Intersect(geometry.GetMesh(m)->GetBounds()) == INTERSECT_DISJOINT;
    };

    std::vector<FrameOutput> own(kFrames, FrameOutput(2 * meshes)), anchor = own;
    BenchPair::Times times;
    std::uint64_t mismatches = 0, hiddenCells = 0, drawnIndices = 0;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (std::uint32_t f = 0; f < kFrames; ++f) {
                    place(f);
                    level->Cull(camera);
                    FrameOutput& out = own[f];
                    const RunTable& runs = level->GetCameraRuns();
                    for (std::uint32_t m = 0; m < meshes; ++m) {
                        std::uint32_t n = 0;
                        for (const IndexRun* run : runs[m]) n += run->count;
                        out[m] = n;
                        out[meshes + m] = level->IsMeshCulled(m);
                    }
                }
            },
            [&] {
                hiddenCells = 0;
                for (std::uint32_t f = 0; f < kFrames; ++f) {
                    place(f);
                    FrameOutput& out = anchor[f];
                    std::fill(out.begin(), out.begin() + meshes, 0u);
                    for (OccluderRecord& volume : volumes)
                        OccluderVolume::Build(volume, camera->GetWorldPosition());
                    for (const SpatialNode* cell : cells) {
                        const AABB& box = cell->GetBox();
                        if (camera->Intersect(box) == INTERSECT_DISJOINT)
                            continue;
                        bool hidden = false;
                        for (const OccluderRecord& volume : volumes)
                            hidden = hidden || OccluderVolume::ClassifyBox(volume, box.GetMin(),
                                                                           box.GetMax()) == 0;
                        hiddenCells += hidden;
                        if (hidden)
                            continue;
                        for (const IndexRun& run : cell->GetRuns())
                            if (run.meshIndex < meshes)
                                out[run.meshIndex] += run.count;
                    }
                    meshCull(out);
                }
            });
        drawnIndices = 0;
        for (std::uint32_t f = 0; f < kFrames; ++f) {
            mismatches += own[f] != anchor[f];
            for (std::uint32_t m = 0; m < meshes; ++m) drawnIndices += own[f][m];
        }
    }
    times.Report(state, "box_test_ms");
    state.counters["triangles"] = double(geometry.GetTriangles().size() / 3);
    state.counters["cells"] = double(cells.size());
    state.counters["hidden_cells_per_frame"] = double(hiddenCells) / kFrames;
    state.counters["drawn_triangles_per_frame"] = double(drawnIndices) / 3.0 / kFrames;
    state.counters["frame_mismatches"] = double(mismatches);
    if (mismatches)
        state.SkipWithError("the level's runs differ from the box test's");
    scene.SetRenderSystem(nullptr);
    globals->Shutdown();
}
BENCHMARK(BM_LevelCull)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
