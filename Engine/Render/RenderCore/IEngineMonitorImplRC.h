// The host's resource monitor (IEngineMonitor) over the managers of Globals as they are at the
// time of each call; a manager that does not exist counts 0. IRenderImpl embeds the one instance.
// Host thread.
#pragma once

#include "Interface/IEngineMonitor.h"

namespace Zel {

class IEngineMonitorImplRC final : public ZelI::IEngineMonitor {
public:
    IEngineMonitorImplRC() = default;
    ~IEngineMonitorImplRC() override = default;
    IEngineMonitorImplRC(const IEngineMonitorImplRC&) = delete;
    IEngineMonitorImplRC& operator=(const IEngineMonitorImplRC&) = delete;

    std::uint32_t GetResourceCount(std::int32_t category) override;
    std::uint32_t GetUnreferencedCount(std::int32_t category) override;
    std::uint32_t GetResourceBytes(std::int32_t category) override;
    std::uint32_t GetUnreferencedBytes(std::int32_t category) override;
    std::uint32_t GetProcessHeapBytes() override;
    std::uint32_t GetTextureMemoryCounter() override;
    void DumpResources(std::int32_t category, const char* fileName) override;
};

}  // namespace Zel
