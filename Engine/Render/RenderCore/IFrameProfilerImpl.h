// The host's frame profiler over the frame counters of Globals. Globals builds the one instance.
#pragma once

namespace Zel {

class IFrameProfilerImpl {
public:
    IFrameProfilerImpl() = default;
    virtual ~IFrameProfilerImpl() = default;
    IFrameProfilerImpl(const IFrameProfilerImpl&) = delete;
    IFrameProfilerImpl& operator=(const IFrameProfilerImpl&) = delete;
};

}  // namespace Zel
