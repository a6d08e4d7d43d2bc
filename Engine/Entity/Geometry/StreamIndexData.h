// Index data that is refilled often (decals): the user stages 32-bit indexes in a growable array
// and commits them; the upload writes the staged indexes over the whole hardware buffer, made or
// grown on demand. Host thread.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/IndexData.h"

namespace Zel {

class StreamIndexData : public IndexData {
public:
    StreamIndexData() = default;
    ~StreamIndexData() override = default;

    // The staging array; the user writes it directly.
    std::vector<std::uint32_t>& GetStaging() { return staging_; }
    // Takes min(count, staged) indexes as the index count and uploads them.
    void Commit(std::uint32_t count);
    // Makes the buffer (16- or 32-bit as the device asks) when there is none or it is too small,
    // then writes the staged indexes (whole buffer, discarding; 16-bit buffers take the low half)
    // and clears the buffer's refill request. A buffer that cannot be made is reported as
    // "indexBufferPtr != NULL".
    void Upload() override;
    // The staged indexes (none) and this data's memory: its buffer only.
    std::uint32_t GetMemorySize() const override;
    // Index count 0, staging freed, buffer released.
    void Clear();

private:
    std::vector<std::uint32_t> staging_;
};

}  // namespace Zel
