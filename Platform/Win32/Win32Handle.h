// The handle table behind HANDLE: every kernel-object stand-in (event, thread, find search) is
// published under its own address and looked up by it, so a stale or foreign handle is refused
// instead of being dereferenced. Internal to the Win32 layer.
#pragma once

#include <memory>

#include "Platform/Win32/Win32Types.h"

namespace Win32Handle {

struct Object {
    virtual ~Object() = default;
    // Waits until the object is signalled; WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
    virtual DWORD Wait(DWORD) { return WAIT_FAILED; }
};

HANDLE Publish(std::shared_ptr<Object> object);
std::shared_ptr<Object> Find(HANDLE handle);
// Removes the handle from the table; the object dies with its last reference.
bool Close(HANDLE handle);

template <class T>
std::shared_ptr<T> Get(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(Find(handle));
}

}  // namespace Win32Handle
