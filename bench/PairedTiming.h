// Timing of the system's code and its anchor in the same benchmark iterations, one after the
// other in alternating order, so that a shared machine disturbs both sides alike. Each side's
// wall-clock times are kept; the counters report their medians and the speed ratio (anchor time
// over own time: above 1 the system's code is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace BenchPair {

template <class F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : 0.5 * (v[mid - 1] + v[mid]);
}

struct Times {
    std::vector<double> own, anchor;

    // Runs both once, the anchor first on every other call; the iteration's time is the own side's.
    template <class Own, class Anchor>
    void Run(benchmark::State& state, Own&& own_, Anchor&& anchor_) {
        double a = 0, o = 0;
        if (own.size() % 2) {
            a = Seconds(anchor_);
            o = Seconds(own_);
        } else {
            o = Seconds(own_);
            a = Seconds(anchor_);
        }
        own.push_back(o);
        anchor.push_back(a);
        state.SetIterationTime(o);
    }

    // own_ms, anchor_ms (medians) and ratio = anchor / own.
    void Report(benchmark::State& state, const char* anchorName = "anchor_ms") const {
        const double o = Median(own), a = Median(anchor);
        state.counters["own_ms"] = o * 1e3;
        state.counters[anchorName] = a * 1e3;
        state.counters["ratio"] = o > 0 ? a / o : 0.0;
    }
};

// Mean absolute difference of two pictures' bytes (0 to 255); 255 when their sizes differ.
inline double MeanAbsoluteDifference(const std::vector<unsigned char>& a,
                                     const std::vector<unsigned char>& b) {
    if (a.size() != b.size() || a.empty())
        return 255.0;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
    return sum / static_cast<double>(a.size());
}

}  // namespace BenchPair
