// The host's proxy over the hardware buffer manager's index buffers. Made by the host-interface
// environment on first request; the host deletes it with Release. Host thread.
#pragma once

#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCore/HardwareBufferMngProxyBase.h"

namespace Zel {

template <class Manager>
class IHardwareIndexBufferMngProxy_Impl
    : public HardwareBufferMngProxyBase<Manager, HardwareIndexBuffer> {
public:
    // manager: not owned; must outlive the proxy.
    explicit IHardwareIndexBufferMngProxy_Impl(Manager* manager)
        : HardwareBufferMngProxyBase<Manager, HardwareIndexBuffer>(manager) {}
};

}  // namespace Zel
