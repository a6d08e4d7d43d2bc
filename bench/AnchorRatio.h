// The row of a benchmark that times its anchor beside it in each iteration: the medians of both
// sides (a busy machine's slow iterations do not move them) and their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ZelBench {

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Sets "<anchor>_ms" and "<subject>_ms" to the median times in milliseconds, "ratio" to subject
// over anchor and "same_output" to 1: call it once both sides are known to agree.
inline void ReportAgainstAnchor(benchmark::State& state, const std::string& anchorName,
                                const std::vector<double>& anchorSeconds,
                                const std::string& subjectName,
                                const std::vector<double>& subjectSeconds) {
    const double anchor = Median(anchorSeconds), subject = Median(subjectSeconds);
    state.counters[anchorName + "_ms"] = 1e3 * anchor;
    state.counters[subjectName + "_ms"] = 1e3 * subject;
    state.counters["ratio"] = anchor > 0 ? subject / anchor : 0;
    state.counters["same_output"] = 1;
}

}  // namespace ZelBench
