// The host's view of the library's hardware vertex or index buffers (one proxy per kind): which
// buffers exist, and listeners told of every creation and release. Host thread; the library takes
// no lock for these calls.
#pragma once

#include <cstdint>

#include "Interface/IResList.h"

namespace ZelI {

class IHardWareResMngProxy {
public:
    // Called with the buffer (an opaque identity) and the id of the thread that made or freed it.
    using BufferListener = void (*)(void* buffer, std::uint32_t threadId);

    // Deletes the proxy; the buffers and the manager stay.
    virtual void Release() = 0;
    // True when the buffer is one the manager currently holds; any pointer may be asked about.
    virtual bool Contains(const void* buffer) = 0;
    // A new list of the buffers in creation order, each with its reference count and size. The
    // manager owns it; it is valid until the next call of this operation on either proxy of the
    // same kind, or until the library shuts down.
    virtual IResList* GetResList() = 0;
    // Listener lists: Add stores the listener in the first empty entry (or appends it) and answers
    // that entry's index; Remove empties entry n (an index past the end does nothing), so indices
    // stay valid. A null listener is stored as an empty entry.
    virtual std::uint32_t AddCreateListener(BufferListener listener) = 0;
    virtual void RemoveCreateListener(std::uint32_t index) = 0;
    virtual std::uint32_t AddReleaseListener(BufferListener listener) = 0;
    virtual void RemoveReleaseListener(std::uint32_t index) = 0;

protected:
    virtual ~IHardWareResMngProxy() = default;
};

}  // namespace ZelI
