// A tool's view of the loading thread's queue. Owned by the global environment. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IIOTaskInfo {
public:
    // Tasks being worked on, and finished tasks waiting for their caller to ask.
    virtual std::uint32_t GetActiveCount() = 0;
    virtual std::uint32_t GetFinishedCount() = 0;

protected:
    virtual ~IIOTaskInfo() = default;
};

}  // namespace ZelI
