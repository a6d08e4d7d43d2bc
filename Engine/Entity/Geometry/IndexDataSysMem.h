// Index data kept in system memory (usage 1): a 16-bit index array that the draw path hands to the
// device as user indexes, filled by its user. It has no hardware buffer: Upload and CopyFrom do
// nothing and it accounts for no memory. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Entity/Geometry/IndexData.h"

namespace Zel {

class IndexDataSysMem : public IndexData {
public:
    IndexDataSysMem() : IndexData(1) {}
    ~IndexDataSysMem() override = default;

    void Upload() override {}
    std::uint32_t GetMemorySize() const override { return 0; }
    void CopyFrom(const IndexData&) override {}

    // Replaces the array by `count` zeroed 16-bit indexes (owned: flag bit 0).
    void AllocateShortIndices(std::uint32_t count) {
        shortIndices_.reset(new std::uint16_t[count]());
        shortCount_ = count;
        flags_ |= kOwnsArray;
    }
    std::uint16_t* GetShortIndices() const { return shortIndices_.get(); }
    std::uint32_t GetShortCount() const { return shortCount_; }
    // Indexes in use from the start of the array.
    std::uint32_t GetUsedCount() const { return usedCount_; }
    void SetUsedCount(std::uint32_t count) { usedCount_ = count; }

private:
    std::unique_ptr<std::uint16_t[]> shortIndices_;
    std::uint32_t shortCount_ = 0;
    std::uint32_t usedCount_ = 0;
};

}  // namespace Zel
