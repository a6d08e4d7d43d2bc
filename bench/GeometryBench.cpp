// Mesh analyses next to the simplest work they must do. Open edges of a 256 x 256 grid that wraps
// around in both directions (65,536 vertices), with square holes cut into it (98,304 triangles,
// 8,192 vertices on the holes' rims), timed iteration by iteration beside the
// same analysis over a flat open-addressing table written here (one probe sequence per edge use,
// no node allocations): the row prints both medians, their ratio and whether both found the same
// vertices. The back-to-front triangle sorts of 4,096 faces beside F^2 / 2 calls of
// CompareTriangleOrder. Neither analysis keeps more than linear memory: the open edges keep one
// entry per odd edge, the sorts ask for each graph edge while searching instead of storing them.
// Each benchmark folds a checksum of its output into its counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "bench/AnchorRatio.h"
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

// The triangles of a grid that wraps around in both directions (a torus), every edge used twice,
// except in the holes: the cells whose x and y both fall in 4..11 of each 16 are left out, so
// each hole's rim is a ring of open edges.
std::vector<std::uint32_t> HoledTorusIndices() {
    std::vector<std::uint32_t> out;
    out.reserve(6 * std::size_t(kGrid) * kGrid);
    const auto inHole = [](std::uint32_t i) { return i % 16 >= 4 && i % 16 < 12; };
    for (std::uint32_t y = 0; y < kGrid; ++y)
        for (std::uint32_t x = 0; x < kGrid; ++x) {
            if (inHole(x) && inHole(y))
                continue;
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

// The anchor: the vertices of the edges used an odd number of times (ascending), with a flat
// open-addressing table of edge keys and use parities (linear probing, Fibonacci hashing, a
// power-of-two capacity above the edge uses, so at most half full when each edge is used twice).
class FlatOpenEdges {
public:
    explicit FlatOpenEdges(std::size_t uses)
        : mask_(std::bit_ceil(uses + 1) - 1),
          shift_(64 - std::countr_zero(mask_ + 1)),
          keys_(mask_ + 1),
          odd_(mask_ + 1) {}

    void Run(const std::vector<std::uint32_t>& indices, std::uint32_t vertexCount,
             std::vector<std::uint32_t>& out) {
        std::fill(keys_.begin(), keys_.end(), kEmpty);
        for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
            Use(indices[t], indices[t + 1]);
            Use(indices[t + 1], indices[t + 2]);
            Use(indices[t + 2], indices[t]);
        }
        open_.assign(vertexCount, 0);
        for (std::size_t i = 0; i <= mask_; ++i)
            if (keys_[i] != kEmpty && odd_[i]) {
                open_[keys_[i] >> 32] = 1;
                open_[keys_[i] & 0xFFFFFFFFu] = 1;
            }
        out.clear();
        for (std::uint32_t v = 0; v < vertexCount; ++v)
            if (open_[v])
                out.push_back(v);
    }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);

    void Use(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t key = a < b ? a << 32 | b : b << 32 | a;
        std::size_t i = (key * 0x9E3779B97F4A7C15ull) >> shift_;
        while (keys_[i] != kEmpty && keys_[i] != key) i = (i + 1) & mask_;
        if (keys_[i] == kEmpty) {
            keys_[i] = key;
            odd_[i] = 1;
        } else {
            odd_[i] ^= 1;
        }
    }

    std::size_t mask_;
    int shift_;
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint8_t> odd_;
    std::vector<std::uint8_t> open_;
};

void BM_OpenEdges(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const std::vector<std::uint32_t> indices = HoledTorusIndices();
    Mesh mesh(nullptr, true, true);
    mesh.GetVertexData()->SetVertexCount(kGrid * kGrid);
    SetIndices(mesh, indices);
    FlatOpenEdges flat(indices.size());
    std::vector<std::uint32_t> anchorOut;
    std::vector<double> meshTimes, anchorTimes;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        mesh.BuildOpenEdgeVertices();
        const auto t1 = Clock::now();
        flat.Run(indices, kGrid * kGrid, anchorOut);
        const auto t2 = Clock::now();
        meshTimes.push_back(std::chrono::duration<double>(t1 - t0).count());
        anchorTimes.push_back(std::chrono::duration<double>(t2 - t1).count());
        state.SetIterationTime(meshTimes.back());
    }
    const std::uint32_t* found = mesh.GetOpenEdgeVertices();
    const bool same = !anchorOut.empty() && mesh.GetOpenEdgeVertexCount() == anchorOut.size() &&
                      std::equal(anchorOut.begin(), anchorOut.end(), found);
    if (!same) {
        state.SkipWithError("the open edges and the flat table disagree (or found none)");
        return;
    }
    ZelBench::ReportAgainstAnchor(state, "flat_table", anchorTimes, "mesh", meshTimes);
    state.counters["open_vertices"] = double(anchorOut.size());
    state.counters["triangles"] = double(indices.size() / 3);
}
BENCHMARK(BM_OpenEdges)->UseManualTime()->Unit(benchmark::kMillisecond);

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
