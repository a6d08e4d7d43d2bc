// The host's frame profiler over the frame counters of Globals (FrameStats), read at the time of
// each call. Globals builds the one instance. Host thread.
#pragma once

#include "Interface/IFrameProfiler.h"

namespace Zel {

class IFrameProfilerImpl final : public ZelI::IFrameProfiler {
public:
    IFrameProfilerImpl() = default;
    ~IFrameProfilerImpl() override = default;
    IFrameProfilerImpl(const IFrameProfilerImpl&) = delete;
    IFrameProfilerImpl& operator=(const IFrameProfilerImpl&) = delete;

    ZelI::FrameStatistics GetFrameStatistics() override;
    std::uint32_t* AddCounter0() override;
    std::uint32_t* AddCounter1() override;
    std::uint32_t* AddCounter2() override;
};

}  // namespace Zel
