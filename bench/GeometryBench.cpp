// Mesh analyses next to the simplest work they must do. Open edges of a closed 256 x 256 grid
// (65,536 vertices, 131,072 triangles) beside one pass that inserts the same edges into a hash
// set; the back-to-front triangle sorts of 4,096 faces beside F^2 / 2 calls of
// CompareTriangleOrder. Neither analysis keeps more than linear memory: the open edges keep one
// map entry per odd edge, the sorts ask for each graph edge while searching instead of storing
// them. Each benchmark folds a checksum of its output into its counters.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <unordered_set>
#include <vector>

#include "Entity/Geometry/CompareTriangleOrder.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Render/FakeHardwareIndexBuffer.h"
#include "Render/RenderCodes.h"

namespace {

using namespace Zel;

constexpr std::uint32_t kGrid = 256;
constexpr std::uint32_t kSortFaces = 4096;
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The triangles of a grid that wraps around in both directions (a torus): every edge is used
// twice.
std::vector<std::uint32_t> TorusIndices() {
    std::vector<std::uint32_t> out;
    out.reserve(6 * std::size_t(kGrid) * kGrid);
    for (std::uint32_t y = 0; y < kGrid; ++y)
        for (std::uint32_t x = 0; x < kGrid; ++x) {
            const std::uint32_t a = y * kGrid + x;
            const std::uint32_t b = y * kGrid + (x + 1) % kGrid;
            const std::uint32_t c = (y + 1) % kGrid * kGrid + x;
            const std::uint32_t d = (y + 1) % kGrid * kGrid + (x + 1) % kGrid;
            out.insert(out.end(), {a, b, d, a, d, c});
        }
    return out;
}

void SetIndices(Mesh& mesh, const std::vector<std::uint32_t>& indices) {
    IndexData& index = *mesh.GetIndexData();
    index.AllocateIndices(static_cast<std::uint32_t>(indices.size()));
    std::copy(indices.begin(), indices.end(), index.GetIndices());
    auto group = std::make_unique<LodStripArray>();
    const auto count = static_cast<std::uint32_t>(indices.size());
    group->entries.push_back({PT_TRIANGLE_LIST, count, count, 0, 0});
    mesh.AddRenderGroup(std::move(group));
}

void BM_OpenEdges(benchmark::State& state) {
    Mesh mesh(nullptr, true, true);
    mesh.GetVertexData()->SetVertexCount(kGrid * kGrid);
    SetIndices(mesh, TorusIndices());
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        mesh.BuildOpenEdgeVertices();
        checksum += mesh.GetOpenEdgeVertexCount() + 1;
    }
    state.counters["checksum"] = double(checksum);
    state.counters["triangles"] = double(2 * kGrid * kGrid);
}
BENCHMARK(BM_OpenEdges)->Unit(benchmark::kMillisecond);

void BM_EdgeHashSetPass(benchmark::State& state) {
    const std::vector<std::uint32_t> indices = TorusIndices();
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        std::unordered_set<std::uint64_t> edges;
        edges.reserve(indices.size() + 16);
        for (std::size_t t = 0; t + 2 < indices.size(); t += 3)
            for (int k = 0; k < 3; ++k) {
                const std::uint64_t a = indices[t + k], b = indices[t + (k + 1) % 3];
                edges.insert(a < b ? a << 32 | b : b << 32 | a);
            }
        checksum += edges.size();
    }
    state.counters["checksum"] = double(checksum);
}
BENCHMARK(BM_EdgeHashSetPass)->Unit(benchmark::kMillisecond);

// 4,096 small triangles scattered in the unit cube, vertex 0 a reference point in front of them,
// with an index buffer in plain memory.
struct SortScene {
    SortScene() : buffer(nullptr, 3 * kSortFaces, IS_32BIT, BU_STATIC, MP_SYSTEM_MEMORY, nullptr) {
        std::mt19937 random(11);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        std::vector<float> positions = {0.5f, 0.5f, -1.0f};
        for (std::uint32_t f = 0; f < kSortFaces; ++f) {
            const float c[3] = {unit(random), unit(random), unit(random)};
            for (int k = 0; k < 3; ++k)
                for (int i = 0; i < 3; ++i) positions.push_back(c[i] + 0.05f * unit(random));
            for (std::uint32_t k = 0; k < 3; ++k) triangles.push_back(1 + 3 * f + k);
        }
        VertexData& data = *mesh.GetVertexData();
        data.SetVertexCount(static_cast<std::uint32_t>(positions.size() / 3));
        VertexComponentDataPool* p =
            data.AddComponent(VF_POSITION, VET_FLOAT3, data.GetVertexCount());
        std::copy(positions.begin(), positions.end(), p->GetFloats());
        SetIndices(mesh, triangles);
        mesh.GetIndexData()->SetBuffer(&buffer);
        this->positions = positions;
    }
    ~SortScene() { mesh.GetIndexData()->ReleaseBuffer(); }

    FakeHardwareIndexBuffer buffer;  // outlives the mesh's reference to it
    Mesh mesh{nullptr, true, true};
    std::vector<std::uint32_t> triangles;
    std::vector<float> positions;
};

std::uint64_t BufferChecksum(const FakeHardwareIndexBuffer& buffer) {
    const auto* words = reinterpret_cast<const std::uint32_t*>(buffer.GetBytes());
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < 3 * kSortFaces; ++i) sum = sum * 31 + words[i];
    return sum;
}

void BM_TriangleSort(benchmark::State& state) {
    SortScene scene;
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        scene.mesh.SortTriangles(kIdentity);
        checksum += BufferChecksum(scene.buffer);
    }
    state.counters["checksum"] = double(checksum % 1000003);
}
BENCHMARK(BM_TriangleSort)->Unit(benchmark::kMillisecond);

void BM_TriangleSortFull(benchmark::State& state) {
    SortScene scene;
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        scene.mesh.SortTrianglesFull(kIdentity, true);
        checksum += BufferChecksum(scene.buffer);
    }
    state.counters["checksum"] = double(checksum % 1000003);
}
BENCHMARK(BM_TriangleSortFull)->Unit(benchmark::kMillisecond);

// The reference: every pair of faces compared once, F^2 / 2 calls.
void BM_CompareAllPairs(benchmark::State& state) {
    SortScene scene;
    const std::uint32_t* t = scene.triangles.data();
    // The sort compares projected positions, four floats per vertex.
    std::vector<float> projected;
    for (std::size_t v = 0; v < scene.positions.size() / 3; ++v)
        projected.insert(projected.end(), {scene.positions[3 * v], scene.positions[3 * v + 1],
                                           scene.positions[3 * v + 2], 1.0f});
    std::uint64_t checksum = 0;
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < kSortFaces; ++i)
            for (std::uint32_t j = i + 1; j < kSortFaces; ++j)
                checksum += CompareTriangleOrder(t + 3 * i, t + 3 * j, projected.data(), 4);
    }
    state.counters["checksum"] = double(checksum);
    state.counters["calls"] = double(kSortFaces) * (kSortFaces - 1) / 2;
}
BENCHMARK(BM_CompareAllPairs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
