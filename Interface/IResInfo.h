// One entry of a resource list handed to the host: what the library knew of one resource (or
// hardware buffer) when the list was built. The list owns its entries; the host only reads them.
// Host thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IResInfo {
public:
    // The resource's name; the empty string for hardware buffers. Valid while the entry lives.
    virtual const char* GetName() const = 0;
    // The resource itself as an opaque identity, to compare with what listeners receive; null for
    // entries that only describe a buffer. Valid only while its manager keeps the resource.
    virtual void* GetResource() const = 0;
    virtual std::int32_t GetRefCount() const = 0;
    // In bytes.
    virtual std::uint32_t GetSize() const = 0;

protected:
    virtual ~IResInfo() = default;
};

}  // namespace ZelI
