// Base of everything held through SharedPtr: resources, streams, textures, buffers, actions.
#pragma once

#include <atomic>
#include <cstdint>

namespace Zel {

class RefCountedObj {
public:
    RefCountedObj() = default;
    virtual ~RefCountedObj() = default;
    RefCountedObj(const RefCountedObj&) = delete;
    RefCountedObj& operator=(const RefCountedObj&) = delete;

    // The count starts at 1 (the owner's reference) and is changed only by SharedPtr and the
    // owning manager. Reaching 0 deletes nothing: managers collect such objects. Both answer
    // the new count; atomic, any thread.
    std::int32_t AddRef() { return refCount_.fetch_add(1, std::memory_order_acq_rel) + 1; }
    std::int32_t DecRef() { return refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    std::int32_t GetRefCount() const { return refCount_.load(std::memory_order_acquire); }

private:
    std::atomic<std::int32_t> refCount_{1};
};

}  // namespace Zel
