// What the host's two hardware-buffer proxies share: each forwards to one buffer kind of the
// hardware buffer manager (its contains check, its resource list and its creation and release
// listener lists). Buffer is HardwareVertexBuffer or HardwareIndexBuffer; the manager type must
// offer Contains/BuildResourceList/AddListener/RemoveListener for it as HardwareBufferManager
// does. The manager is not owned and must outlive the proxy (it lives as long as Globals).
// Host thread.
#pragma once

#include <cstdint>

#include "Core/IResList_Impl.h"
#include "Interface/IHardWareResMngProxy.h"

namespace Zel {

template <class Manager, class Buffer>
class HardwareBufferMngProxyBase : public ZelI::IHardWareResMngProxy {
public:
    HardwareBufferMngProxyBase(const HardwareBufferMngProxyBase&) = delete;
    HardwareBufferMngProxyBase& operator=(const HardwareBufferMngProxyBase&) = delete;

    Manager* GetManager() const { return manager_; }

    void Release() override { delete this; }
    bool Contains(const void* buffer) override {
        return manager_->Contains(static_cast<const Buffer*>(buffer));
    }
    ZelI::IResList* GetResList() override { return manager_->template BuildResourceList<Buffer>(); }
    std::uint32_t AddCreateListener(BufferListener listener) override {
        return manager_->AddListener(Manager::template kCreated<Buffer>, listener);
    }
    void RemoveCreateListener(std::uint32_t index) override {
        manager_->RemoveListener(Manager::template kCreated<Buffer>, index);
    }
    std::uint32_t AddReleaseListener(BufferListener listener) override {
        return manager_->AddListener(Manager::template kReleased<Buffer>, listener);
    }
    void RemoveReleaseListener(std::uint32_t index) override {
        manager_->RemoveListener(Manager::template kReleased<Buffer>, index);
    }

protected:
    explicit HardwareBufferMngProxyBase(Manager* manager) : manager_(manager) {}
    ~HardwareBufferMngProxyBase() override = default;

private:
    Manager* manager_;
};

}  // namespace Zel
