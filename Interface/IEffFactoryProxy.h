// A tool's view of the host's effect instances, forwarded to the host's special-effect manager.
// Release deletes the proxy and the lists it handed out. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IInsList.h"
#include "Interface/IResVisitor.h"

namespace ZelI {

class IEffFactoryProxy {
public:
    using InstanceListener = void (*)(void* instance, std::uint32_t threadId);

    virtual void Release() = 0;
    virtual bool IsInUse(const void* instance) = 0;
    // Copies of the manager's lists, valid until the next call of the same operation.
    virtual IInsList* GetInUseList() = 0;
    virtual IInsList* GetFreeList() = 0;
    virtual void Enumerate(IResVisitor* visitor) = 0;
    // list 0: hand-outs, 1: returns.
    virtual std::uint32_t AddListener(std::int32_t list, InstanceListener listener) = 0;
    virtual void RemoveListener(std::int32_t list, std::uint32_t index) = 0;
    virtual std::uint32_t AddDestroyListener(InstanceListener listener) = 0;
    virtual void RemoveDestroyListener(std::uint32_t index) = 0;
    // The manager's collection of unused instances; answers how many went.
    virtual std::uint32_t CollectUnused() = 0;

protected:
    virtual ~IEffFactoryProxy() = default;
};

}  // namespace ZelI
