#include "Render/d3d9/DeviceDiagnostics.h"

#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"

namespace Zel {

void AddFrameStat(FrameStatWord word, std::uint32_t amount) {
    if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
        (*stats)[word] += amount;
}

std::int32_t GetGlobalSwitch(std::uint32_t index, std::int32_t fallback) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config ? config->GetValue(index) : fallback;
}

void ReportDeviceError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->ErrorV(format, args);
    else
        LogTypedV(LOG_LEVEL_ERROR, format, args);
    va_end(args);
}

}  // namespace Zel
