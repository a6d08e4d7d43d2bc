// A tool's view of one object factory (scene nodes, entities, sub-entities, bones, levels,
// actions, particles, skeletal models, actors, billboards, the scene manager's registry, the
// light wrappers): which instances are in use or free, and listeners told of every hand-out,
// return and destruction. Release deletes the proxy. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IInsList.h"

namespace ZelI {

class IInsFactoryProxy {
public:
    // Called with the instance and the id of the thread that acted.
    using InstanceListener = void (*)(void* instance, std::uint32_t threadId);

    // Deletes the proxy; the factory stays.
    virtual void Release() = 0;
    virtual bool IsInUse(const void* instance) = 0;
    // Snapshots of the instances in use and of the free ones (null where the factory keeps no
    // free list), valid until the next call of the same operation.
    virtual IInsList* GetInUseList() = 0;
    virtual IInsList* GetFreeList() = 0;
    // Listener lists, indexed as in IResMngProxy.
    virtual std::uint32_t AddAcquireListener(InstanceListener listener) = 0;
    virtual void RemoveAcquireListener(std::uint32_t index) = 0;
    virtual std::uint32_t AddReleaseListener(InstanceListener listener) = 0;
    virtual void RemoveReleaseListener(std::uint32_t index) = 0;
    virtual std::uint32_t AddDestroyListener(InstanceListener listener) = 0;
    virtual void RemoveDestroyListener(std::uint32_t index) = 0;

protected:
    virtual ~IInsFactoryProxy() = default;
};

}  // namespace ZelI
