// The transform tree's lazy update next to an eager one. 10,000 nodes in five levels (a root,
// then 9, 90, 900 and 9,000 nodes); each frame moves 10 % of them and then reads every world
// matrix. The tree recomputes only what the moves made dirty; the anchor recomputes every world
// matrix parent-first from plain arrays, which is what a tree without dirty bits must do. Each
// frame checks that the number of world matrices the tree had to recompute equals the moved
// nodes' subtrees, and that both sides end with the same matrices.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/SceneNode.h"
#include "Math/Matrix4.h"

namespace {

using namespace Zel;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kLevelSizes[5] = {1, 9, 90, 900, 9000};

struct Scene {
    std::vector<std::unique_ptr<SceneNode>> nodes;
    std::vector<std::int32_t> parent;  // -1 for the root; parents come before their children
    std::vector<std::vector<std::uint32_t>> children;
    // The anchor's own copy of every local transform and its world matrices.
    std::vector<float> positions, worlds;
};

Scene BuildScene() {
    Scene s;
    std::uint32_t levelStart = 0;
    for (std::uint32_t level = 0; level < 5; ++level) {
        const std::uint32_t count = kLevelSizes[level];
        const std::uint32_t previousStart = level ? levelStart - kLevelSizes[level - 1] : 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto index = static_cast<std::uint32_t>(s.nodes.size());
            s.nodes.push_back(std::make_unique<SceneNode>("n" + std::to_string(index)));
            s.children.emplace_back();
            if (level == 0) {
                s.parent.push_back(-1);
                continue;
            }
            const std::uint32_t p = previousStart + i % kLevelSizes[level - 1];
            s.parent.push_back(static_cast<std::int32_t>(p));
            s.children[p].push_back(index);
            s.nodes[p]->AddChild(s.nodes[index].get());
        }
        levelStart += count;
    }
    s.positions.assign(3 * s.nodes.size(), 0.0f);
    s.worlds.assign(16 * s.nodes.size(), 0.0f);
    return s;
}

void MarkSubtree(const Scene& s, std::uint32_t node, std::vector<char>& marked) {
    if (marked[node])
        return;
    marked[node] = 1;
    for (std::uint32_t child : s.children[node]) MarkSubtree(s, child, marked);
}

void BM_TransformTree(benchmark::State& state) {
    Scene s = BuildScene();
    const auto n = static_cast<std::uint32_t>(s.nodes.size());
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> pick(0, n - 1);
    const float unit[3] = {1, 1, 1}, noTurn[4] = {0, 0, 0, 1};
    double lazySeconds = 0, eagerSeconds = 0;
    std::uint64_t frames = 0, recomputed = 0, mismatches = 0;
    float checksum = 0;
    for (auto _ : state) {
        std::vector<char> dirty(n, 0);
        for (std::uint32_t k = 0; k < n / 10; ++k) {
            const std::uint32_t i = pick(random);
            const float to[3] = {float(i % 7), float(frames % 5), 0.5f};
            s.nodes[i]->SetPosition(to);
            std::copy(to, to + 3, &s.positions[3 * i]);
            MarkSubtree(s, i, dirty);
        }
        std::uint64_t expected = 0, dirtyNow = 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            expected += dirty[i] != 0;
            dirtyNow += (s.nodes[i]->GetState() & NODE_WORLD_DIRTY) != 0;
        }
        // Lazy: every world matrix is read; only the dirty ones are recomputed.
        const auto lazyStart = Clock::now();
        for (std::uint32_t i = 0; i < n; ++i) checksum += s.nodes[i]->GetWorldMatrix()[3];
        const auto lazyEnd = Clock::now();
        // Eager: every world matrix recomputed parent-first.
        for (std::uint32_t i = 0; i < n; ++i) {
            float local[16];
            Matrix4::MakeTransform(local, unit, noTurn, &s.positions[3 * i]);
            if (s.parent[i] < 0)
                std::copy(local, local + 16, &s.worlds[16 * i]);
            else
                MultiplyMatrices4(&s.worlds[16 * std::size_t(s.parent[i])], local,
                                  &s.worlds[16 * i]);
        }
        const auto eagerEnd = Clock::now();
        lazySeconds += std::chrono::duration<double>(lazyEnd - lazyStart).count();
        eagerSeconds += std::chrono::duration<double>(eagerEnd - lazyEnd).count();
        recomputed += dirtyNow;
        mismatches += dirtyNow != expected;
        for (std::uint32_t i = 0; i < n; i += 97)
            for (int e = 0; e < 16; ++e)
                if (std::fabs(s.nodes[i]->GetWorldMatrix()[e] - s.worlds[16 * i + e]) > 1e-4f)
                    ++mismatches;
        ++frames;
    }
    benchmark::DoNotOptimize(checksum);
    state.counters["lazy_ns_per_node"] = 1e9 * lazySeconds / double(frames * n);
    state.counters["eager_ns_per_node"] = 1e9 * eagerSeconds / double(frames * n);
    state.counters["lazy_vs_eager"] = lazySeconds / eagerSeconds;
    state.counters["recomputed_per_frame"] = double(recomputed) / double(frames);
    state.counters["mismatches"] = double(mismatches);
    if (mismatches)
        state.SkipWithError("the recomputed set or the matrices differ from the anchor");
}
BENCHMARK(BM_TransformTree)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
