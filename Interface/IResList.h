// A snapshot list of resources handed to the host by a manager proxy. Whoever built it owns it
// (see the operation that returned it); the host only reads it. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IResInfo.h"

namespace ZelI {

class IResList {
public:
    virtual std::uint32_t GetCount() const = 0;
    // Entry i; null when i is not below the count.
    virtual IResInfo* GetAt(std::uint32_t index) const = 0;

protected:
    virtual ~IResList() = default;
};

}  // namespace ZelI
