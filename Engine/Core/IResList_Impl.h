// A list of resource entries handed to the host; it owns its entries and deletes them with
// itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/IResInfo_Impl.h"

namespace Zel {

class IResList_Impl {
public:
    IResList_Impl() = default;
    virtual ~IResList_Impl() = default;
    IResList_Impl(const IResList_Impl&) = delete;
    IResList_Impl& operator=(const IResList_Impl&) = delete;

    virtual std::uint32_t GetCount() const { return static_cast<std::uint32_t>(items_.size()); }
    // Entry i; null when i is not below the count.
    virtual IResInfo_Impl* GetAt(std::uint32_t index) const {
        return index < items_.size() ? items_[index].get() : nullptr;
    }

    void Add(std::unique_ptr<IResInfo_Impl> item) { items_.push_back(std::move(item)); }

private:
    std::vector<std::unique_ptr<IResInfo_Impl>> items_;
};

}  // namespace Zel
