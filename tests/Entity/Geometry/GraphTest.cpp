// The triangle-order graph: its iterative search gives the order of the recursive definition, with
// stored or lazily asked edges, and goes as deep as the node count.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "Entity/Geometry/Graph.h"

namespace {

using Zel::Graph;

// The definition: visit in index order, successors ascending, unvisited only; a node goes to
// position n - (nodes finished so far).
std::vector<std::uint32_t> RecursiveOrder(const std::vector<std::vector<bool>>& edge) {
    const std::size_t n = edge.size();
    std::vector<int> state(n, 0);
    std::vector<std::uint32_t> order(n);
    std::size_t finished = 0;
    std::function<void(std::size_t)> visit = [&](std::size_t v) {
        state[v] = 1;
        for (std::size_t w = 0; w < n; ++w)
            if (edge[v][w] && state[w] == 0)
                visit(w);
        state[v] = 2;
        order[n - ++finished] = static_cast<std::uint32_t>(v);
    };
    for (std::size_t v = 0; v < n; ++v)
        if (state[v] == 0)
            visit(v);
    return order;
}

TEST(GraphTest, IterativeSearchMatchesTheRecursiveDefinitionWithCycles) {
    std::mt19937 random(5);
    Graph stored;
    Graph lazy;
    for (int round = 0; round < 50; ++round) {
        const std::uint32_t n = 1 + random() % 40;
        const double density = (random() % 100) / 400.0;
        std::vector<std::vector<bool>> edge(n, std::vector<bool>(n, false));
        stored.Resize(n);
        stored.Clear();
        // Edges added in random order: the adjacency lists keep themselves sorted.
        for (std::uint32_t k = 0; k < n * n; ++k) {
            const std::uint32_t v = random() % n, w = random() % n;
            if (std::uniform_real_distribution<double>(0, 1)(random) < density) {
                edge[v][w] = true;
                stored.AddEdge(v, w);
            }
        }
        const std::vector<std::uint32_t> expected = RecursiveOrder(edge);
        stored.TopologicalSort();
        EXPECT_EQ(stored.GetOrder(), expected) << "round " << round;
        lazy.Resize(n);
        lazy.TopologicalSort([&](std::uint32_t v, std::uint32_t w) { return bool(edge[v][w]); });
        EXPECT_EQ(lazy.GetOrder(), expected) << "round " << round;
        for (std::uint32_t v = 0; v < n; ++v) {
            EXPECT_EQ(stored.GetStates()[v], 2u);
            EXPECT_LT(stored.GetDiscoveryStamps()[v], stored.GetFinishStamps()[v]);
        }
    }
}

TEST(GraphTest, TheLazySearchAsksOnlyAboutUnvisitedNodes) {
    Graph graph;
    graph.Resize(50);
    std::uint64_t asked = 0;
    graph.TopologicalSort([&](std::uint32_t v, std::uint32_t w) {
        ++asked;
        return w == v + 1;  // a chain
    });
    for (std::uint32_t i = 0; i < 50; ++i) EXPECT_EQ(graph.GetOrder()[i], i);
    // Once the chain is visited nobody is asked about it again: 1 + 2 + ... per level at most.
    EXPECT_LE(asked, 50u * 51u / 2u);
}

TEST(GraphTest, AChainDeeperThanAnyStackSortsInOrder) {
    const std::uint32_t n = 300000;
    Graph graph;
    graph.Resize(n);
    for (std::uint32_t v = n - 1; v > 0; --v) graph.AddEdge(v - 1, v);
    EXPECT_TRUE(graph.HasEdge(7, 8));
    EXPECT_FALSE(graph.HasEdge(8, 7));
    graph.TopologicalSort();
    for (std::uint32_t i = 0; i < n; i += 9999) EXPECT_EQ(graph.GetOrder()[i], i);
    EXPECT_EQ(graph.GetParents()[n - 1], n - 2);
    graph.Release();
    EXPECT_EQ(graph.GetNodeCount(), 0u);
}

}  // namespace
