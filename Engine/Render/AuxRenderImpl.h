// The auxiliary renderer the render system holds: lines and shapes the host queues during a frame,
// drawn when the scene ends. It queues nothing yet (the host's widget interfaces bring what it
// draws); the render system already makes it at Init and flushes it at EndScene. Host thread.
#pragma once

namespace Zel {

class AuxRenderImpl {
public:
    AuxRenderImpl() = default;
    AuxRenderImpl(const AuxRenderImpl&) = delete;
    AuxRenderImpl& operator=(const AuxRenderImpl&) = delete;

    // Draws and forgets what was queued since the last flush.
    void Flush() {}
};

}  // namespace Zel
