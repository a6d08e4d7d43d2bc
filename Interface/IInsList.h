// A snapshot list of instances (scene objects, effects, wrappers) handed to the host by a factory
// proxy. The list does not own the instances it names; whoever built the list owns the list (see
// the operation that returned it). It does not follow later changes. Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IInsList {
public:
    virtual std::uint32_t GetCount() const = 0;
    // Instance i as an opaque identity; null when i is not below the count.
    virtual void* GetAt(std::uint32_t index) const = 0;

protected:
    virtual ~IInsList() = default;
};

}  // namespace ZelI
