#include "Render/RenderCore/IRenderImpl.h"

#include "Core/EntryPoints.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/Timer.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"

namespace Zel {
namespace {

constexpr int kNoRenderSystem = -101;

// Milliseconds since the timer's previous tick.
double TickMs(Timer& timer) {
    timer.Tick();
    return static_cast<double>(timer.GetDelta()) * 1000.0;
}

}  // namespace

ZelI::SystemInfo* IRenderImpl::GetSystemInfo() {
    return Globals::Find(&Globals::GetSystemInfo);
}

int IRenderImpl::CreateRenderWindow(const ZelI::RenderWindowParams* params) {
    Timer timer;
    timer.Reset();
    LoadShaderCompilerLibrary();
    if (params)
        params_ = *params;
    LogTyped(LOG_ENGINE_INIT, "InitGlobalObj耗时：%5.2f ms", TickMs(timer));

    if (GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager))
        config->Reload("EngineConfig.txt");
    LogTyped(LOG_ENGINE_INIT, "加载EngineConfig.xml耗时：%5.2f ms", TickMs(timer));

    // Worker 0 runs the queued tasks; a second window finds it running already.
    if (threadio* worker = threadmng::GetInstance()->GetOrCreateThread(0))
        worker->Start(nullptr);
    return kNoRenderSystem;
}

}  // namespace Zel
