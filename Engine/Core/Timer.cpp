#include "Core/Timer.h"

#include "Platform/Win32/Win32Time.h"

namespace Zel {
namespace {
std::int64_t ReadCounter() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}
}  // namespace

void Timer::Reset() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    frequency_ = frequency.QuadPart;
    startCount_ = ReadCounter();
    currentCount_ = ReadCounter();
}

void Timer::Tick() {
    currentCount_ = ReadCounter();
    const float t = static_cast<float>(static_cast<double>(currentCount_ - startCount_) /
                                       static_cast<double>(frequency_));
    delta_ = t - elapsed_;
    elapsed_ = t;
}

}  // namespace Zel
