// A table of material proxies, at most one per material name (the first one added). IRender
// makes empty tables; models and levels hand out tables of their own materials. The host owns a
// table and deletes it, with all its proxies, through Release. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMatProxy.h"

namespace ZelI {

class IMaterial;

class IMatProxyTable {
public:
    // Deletes the table and every proxy in it.
    virtual void Release() = 0;
    virtual std::int32_t GetCount() = 0;
    // Null when i is negative or not below the count.
    virtual IMatProxy* GetAt(std::int32_t index) = 0;
    // Adds a proxy of the material; 0 for null or when a proxy of that name is already there.
    virtual std::int32_t Add(IMaterial* material) = 0;

protected:
    virtual ~IMatProxyTable() = default;
};

}  // namespace ZelI
