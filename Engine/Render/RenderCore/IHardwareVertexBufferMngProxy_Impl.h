// The host's proxy over the hardware buffer manager's vertex buffers. Made by the host-interface
// environment on first request; the host deletes it with Release. Host thread.
#pragma once

#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCore/HardwareBufferMngProxyBase.h"

namespace Zel {

template <class Manager>
class IHardwareVertexBufferMngProxy_Impl
    : public HardwareBufferMngProxyBase<Manager, HardwareVertexBuffer> {
public:
    // manager: not owned; must outlive the proxy.
    explicit IHardwareVertexBufferMngProxy_Impl(Manager* manager)
        : HardwareBufferMngProxyBase<Manager, HardwareVertexBuffer>(manager) {}
};

}  // namespace Zel
