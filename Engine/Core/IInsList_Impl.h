// A snapshot list of instance pointers built by a pool (CObjectPool::GetInUseList/GetFreeList)
// and handed to the host through the proxies as an IInsList. The list does not own the
// instances.
#pragma once

#include <cstdint>
#include <vector>

#include "Interface/IInsList.h"

namespace Zel {

class IInsList_Impl : public ZelI::IInsList {
public:
    IInsList_Impl() = default;
    ~IInsList_Impl() override = default;
    IInsList_Impl(const IInsList_Impl&) = delete;
    IInsList_Impl& operator=(const IInsList_Impl&) = delete;

    void Add(void* instance) { items_.push_back(instance); }
    std::uint32_t GetCount() const override { return static_cast<std::uint32_t>(items_.size()); }
    // Element i; null when i is not below the count.
    void* GetAt(std::uint32_t index) const override {
        return index < items_.size() ? items_[index] : nullptr;
    }

private:
    std::vector<void*> items_;
};

}  // namespace Zel
