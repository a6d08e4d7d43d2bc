// A directed graph over n nodes and its depth-first topological order, used to put a mesh's
// triangles in drawing order. Edges are kept as sorted adjacency lists (memory grows with the
// edges, not with n squared), or not kept at all: the lazy sort asks a predicate for each edge
// only when the search needs it. The search is iterative, so its depth is not bounded by the call
// stack. One thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace Zel {

class Graph {
public:
    static constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;

    Graph() = default;
    virtual ~Graph() = default;
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    // Sizes the graph to n nodes without edges (nothing changes when n is the node count
    // already; use Clear to drop the edges then).
    void Resize(std::uint32_t n);
    // Drops every edge.
    void Clear();
    // Frees everything; the node count becomes 0.
    void Release();
    // Adds the edge from -> to (once; nodes out of range are ignored).
    void AddEdge(std::uint32_t from, std::uint32_t to);
    bool HasEdge(std::uint32_t from, std::uint32_t to) const;

    // Depth-first search from every unvisited node in index order, each node's successors taken
    // in ascending order, nodes in progress never revisited (a cycle is cut where it closes); the
    // order array receives the nodes by decreasing finish stamp.
    virtual void TopologicalSort();
    // The same over the edges the predicate answers: hasEdge(v, w) is asked only while w is
    // unvisited, in ascending w for each v.
    template <class EdgeFn>
    void TopologicalSort(EdgeFn hasEdge) {
        Search([&](std::uint32_t v, std::uint32_t from) {
            for (std::uint32_t w = from; w < nodeCount_; ++w)
                if (state_[w] == 0 && hasEdge(v, w))
                    return w;
            return nodeCount_;
        });
    }

    std::uint32_t GetNodeCount() const { return nodeCount_; }
    // The sorted nodes (node count entries).
    const std::vector<std::uint32_t>& GetOrder() const { return order_; }
    // 0 unvisited, 1 in progress, 2 done.
    const std::vector<std::uint32_t>& GetStates() const { return state_; }
    const std::vector<std::uint32_t>& GetDiscoveryStamps() const { return discovery_; }
    const std::vector<std::uint32_t>& GetFinishStamps() const { return finish_; }
    const std::vector<std::uint32_t>& GetParents() const { return parent_; }

private:
    // next(v, from): the first successor w >= from of v that is unvisited, or the node count.
    template <class NextFn>
    void Search(NextFn next) {
        std::fill(state_.begin(), state_.end(), 0u);
        std::fill(discovery_.begin(), discovery_.end(), 0u);
        std::fill(finish_.begin(), finish_.end(), 0u);
        std::fill(parent_.begin(), parent_.end(), kNoParent);
        std::uint32_t time = 0;
        std::uint32_t finished = 0;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> stack;  // node, next successor
        for (std::uint32_t root = 0; root < nodeCount_; ++root) {
            if (state_[root] != 0)
                continue;
            state_[root] = 1;
            discovery_[root] = ++time;
            stack.emplace_back(root, 0u);
            while (!stack.empty()) {
                const std::uint32_t v = stack.back().first;
                const std::uint32_t w = next(v, stack.back().second);
                if (w < nodeCount_) {
                    stack.back().second = w + 1;
                    parent_[w] = v;
                    state_[w] = 1;
                    discovery_[w] = ++time;
                    stack.emplace_back(w, 0u);
                } else {
                    state_[v] = 2;
                    finish_[v] = ++time;
                    order_[nodeCount_ - ++finished] = v;
                    stack.pop_back();
                }
            }
        }
    }

    std::uint32_t nodeCount_ = 0;
    std::vector<std::vector<std::uint32_t>> successors_;  // each sorted ascending
    std::vector<std::uint32_t> order_;
    std::vector<std::uint32_t> state_;
    std::vector<std::uint32_t> discovery_;
    std::vector<std::uint32_t> finish_;
    std::vector<std::uint32_t> parent_;
};

}  // namespace Zel
