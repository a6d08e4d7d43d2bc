// A device query the frame pipeline issues around draws (occlusion). Host thread.
#pragma once

#include <cstdint>

namespace Zel {

class Query {
public:
    Query() = default;
    virtual ~Query() = default;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Starts and ends counting around the draws to measure.
    virtual void Begin() = 0;
    virtual void End() = 0;
    // Writes the result into data (size bytes) and answers true once it is available; false while
    // it is pending or after an error.
    virtual bool GetResult(void* data, std::uint32_t size) = 0;
};

}  // namespace Zel
