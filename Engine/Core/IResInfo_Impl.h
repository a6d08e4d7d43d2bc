// One resource of a manager's list for the host (CResourceManager::GetActiveList and
// GetGarbageList): the resource with its name, reference count and size as they were when the
// list was built, so that the entry stays readable after the resource has gone.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Interface/IResInfo.h"

namespace Zel {

class CResource;

class IResInfo_Impl : public ZelI::IResInfo {
public:
    explicit IResInfo_Impl(CResource* resource);
    ~IResInfo_Impl() override = default;
    IResInfo_Impl(const IResInfo_Impl&) = delete;
    IResInfo_Impl& operator=(const IResInfo_Impl&) = delete;

    const char* GetName() const override { return name_.c_str(); }
    // The CResource itself; valid only while its manager keeps it.
    void* GetResource() const override { return resource_; }
    std::int32_t GetRefCount() const override { return refCount_; }
    std::uint32_t GetSize() const override { return size_; }

protected:
    // An entry for something that is not a CResource (GetResource answers null).
    IResInfo_Impl(std::string name, std::int32_t refCount, std::uint32_t size)
        : resource_(nullptr), name_(std::move(name)), refCount_(refCount), size_(size) {}

private:
    CResource* resource_;
    std::string name_;
    std::int32_t refCount_;
    std::uint32_t size_;
};

}  // namespace Zel
