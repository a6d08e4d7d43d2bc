// A tool's view of one resource manager (materials, textures, render targets, actions,
// animations, GPU programs, geometries, images, XML documents, skeletons, and the host's own
// effect manager): what it holds, listeners told of loads and removals, and unloading by name.
// The proxy belongs to the global environment that handed it out; Release deletes it. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IResList.h"
#include "Interface/IResVisitor.h"

namespace ZelI {

class IResMngProxy {
public:
    // Called with the resource's name and the id of the thread that loaded or removed it.
    using ResourceListener = void (*)(const char* name, std::uint32_t threadId);

    // Deletes the proxy (and the list it last handed out); the manager stays.
    virtual void Release() = 0;
    virtual void Enumerate(IResVisitor* visitor) = 0;
    // True when the manager holds the resource (an opaque identity, as lists and listeners give).
    virtual bool Contains(const void* resource) = 0;
    // True when an active or garbage resource bears the name.
    virtual bool Exists(const char* name) = 0;
    // A list of the active resources and of the garbage; null where the manager keeps none. The
    // proxy or its manager owns each list until the next call of the same operation.
    virtual IResList* GetResList() = 0;
    virtual IResList* GetGarbageList() = 0;
    // Listener lists: Add stores the listener in the first empty entry (or appends it) and answers
    // its index; Remove empties entry n (an index past the end does nothing), so indices stay
    // valid.
    virtual std::uint32_t AddCreateListener(ResourceListener listener) = 0;
    virtual void RemoveCreateListener(std::uint32_t index) = 0;
    virtual std::uint32_t AddRemoveListener(ResourceListener listener) = 0;
    virtual void RemoveRemoveListener(std::uint32_t index) = 0;
    // Removes the resource of the name from the manager; false when none bears it (render
    // targets: always false).
    virtual bool Unload(const char* name) = 0;

protected:
    virtual ~IResMngProxy() = default;
};

}  // namespace ZelI
