// What CResourceManager::Enumerate calls for every resource: first for each active resource,
// then for each one in the garbage list, with its name and reference count.
#pragma once

#include <cstdint>

namespace Zel {

class IResVisitor {
public:
    virtual ~IResVisitor() = default;
    virtual void VisitActive(const char* name, std::int32_t refCount) = 0;
    virtual void VisitGarbage(const char* name, std::int32_t refCount) = 0;
};

}  // namespace Zel
