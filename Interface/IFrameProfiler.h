// The host's view of the frame counters: a snapshot of the 53 statistics words and three counters
// of the host's own (words 16, 17 and 18). Word 1 is the sum of words 3, 4 and 5 (draw calls),
// word 9 the sum of words 10, 11 and 13 (buffer bindings); the other words are the render path's.
// IRender hands out the one profiler; the host never deletes it. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

struct FrameStatistics {
    std::uint32_t words[53] = {};
};

class IFrameProfiler {
public:
    // Refreshes the two sum words, then copies the whole block; all zero when no counters exist.
    virtual FrameStatistics GetFrameStatistics() = 0;
    // Each raises its counter (word 16, 17 or 18) by one and answers the word, which lives as long
    // as the renderer; null when no counters exist.
    virtual std::uint32_t* AddCounter0() = 0;
    virtual std::uint32_t* AddCounter1() = 0;
    virtual std::uint32_t* AddCounter2() = 0;

protected:
    virtual ~IFrameProfiler() = default;
};

}  // namespace ZelI
