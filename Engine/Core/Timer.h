// A stopwatch over the performance counter. Reset starts it; Tick measures. Elapsed and delta are
// in seconds. A Timer belongs to its owner's thread.
#pragma once

#include <cstdint>

namespace Zel {

class Timer {
public:
    // Reads the counter frequency, then the counter into the start and current counts. Elapsed and
    // delta keep their values until the next Tick.
    void Reset();
    // elapsed = (now - start) / frequency; delta = the new elapsed minus the previous one.
    void Tick();

    float GetElapsed() const { return elapsed_; }
    float GetDelta() const { return delta_; }
    // Counts per second; 1000 until the first Reset.
    std::int64_t GetFrequency() const { return frequency_; }

private:
    std::int64_t startCount_ = 0;
    std::int64_t currentCount_ = 0;
    std::int64_t frequency_ = 1000;
    float elapsed_ = 0.0f;
    float delta_ = 0.0f;
};

}  // namespace Zel
