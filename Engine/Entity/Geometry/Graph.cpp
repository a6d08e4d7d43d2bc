#include "Entity/Geometry/Graph.h"

namespace Zel {

void Graph::Resize(std::uint32_t n) {
    if (n == nodeCount_)
        return;
    Release();
    nodeCount_ = n;
    successors_.resize(n);
    order_.assign(n, 0);
    state_.assign(n, 0);
    discovery_.assign(n, 0);
    finish_.assign(n, 0);
    parent_.assign(n, kNoParent);
}

void Graph::Clear() {
    for (auto& list : successors_) list.clear();
}

void Graph::Release() {
    nodeCount_ = 0;
    successors_ = {};
    order_ = {};
    state_ = {};
    discovery_ = {};
    finish_ = {};
    parent_ = {};
}

void Graph::AddEdge(std::uint32_t from, std::uint32_t to) {
    if (from >= nodeCount_ || to >= nodeCount_)
        return;
    std::vector<std::uint32_t>& list = successors_[from];
    if (list.empty() || list.back() < to) {
        list.push_back(to);
        return;
    }
    auto at = std::lower_bound(list.begin(), list.end(), to);
    if (*at != to)
        list.insert(at, to);
}

bool Graph::HasEdge(std::uint32_t from, std::uint32_t to) const {
    if (from >= nodeCount_)
        return false;
    const std::vector<std::uint32_t>& list = successors_[from];
    return std::binary_search(list.begin(), list.end(), to);
}

void Graph::TopologicalSort() {
    Search([&](std::uint32_t v, std::uint32_t from) {
        const std::vector<std::uint32_t>& list = successors_[v];
        for (auto at = std::lower_bound(list.begin(), list.end(), from); at != list.end(); ++at)
            if (state_[*at] == 0)
                return *at;
        return nodeCount_;
    });
}

}  // namespace Zel
