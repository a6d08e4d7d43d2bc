// A list of resource entries handed to the host; it owns its entries and deletes them with
// itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/IResInfo_Impl.h"
#include "Interface/IResList.h"

namespace Zel {

class IResList_Impl : public ZelI::IResList {
public:
    IResList_Impl() = default;
    ~IResList_Impl() override = default;
    IResList_Impl(const IResList_Impl&) = delete;
    IResList_Impl& operator=(const IResList_Impl&) = delete;

    std::uint32_t GetCount() const override { return static_cast<std::uint32_t>(items_.size()); }
    // Entry i; null when i is not below the count.
    IResInfo_Impl* GetAt(std::uint32_t index) const override {
        return index < items_.size() ? items_[index].get() : nullptr;
    }

    void Add(std::unique_ptr<IResInfo_Impl> item) { items_.push_back(std::move(item)); }

private:
    std::vector<std::unique_ptr<IResInfo_Impl>> items_;
};

}  // namespace Zel
