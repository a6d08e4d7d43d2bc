#include "Core/OutOfMemoryGuard.h"

#include <atomic>
#include <new>

#include "Core/LogDispatch.h"
#include "Core/SystemReports.h"
#include "Platform/Win32/Win32System.h"

namespace Zel {
namespace {

std::atomic<char*> g_reserve{nullptr};
// Set while a report is being written: an allocation that fails inside it must not recurse.
std::atomic<bool> g_reporting{false};
// The handler that was in place before ours, put back at unload.
std::new_handler g_previousHandler = nullptr;

// When the library is unloaded its handler would point at code that is gone: the handler is
// taken down (unless the host has installed one of its own since) and the reserve given back.
struct UnloadGuard {
    ~UnloadGuard() {
        std::new_handler current = std::get_new_handler();
        if (current == &OutOfMemoryHandler)
            std::set_new_handler(g_previousHandler);
        delete[] g_reserve.exchange(nullptr);
    }
} g_unloadGuard;

}  // namespace

void InstallOutOfMemoryGuard() {
    std::new_handler previous = std::set_new_handler(&OutOfMemoryHandler);
    if (previous != &OutOfMemoryHandler)
        g_previousHandler = previous;
    if (!g_reserve.load()) {
        char* block = new char[kOutOfMemoryReserveBytes];
        char* expected = nullptr;
        if (!g_reserve.compare_exchange_strong(expected, block))
            delete[] block;
    }
}

void OutOfMemoryHandler() {
    if (g_reporting.exchange(true))
        throw std::bad_alloc();
    struct ReportEnd {
        ~ReportEnd() { g_reporting.store(false); }
    } reportEnd;
    // Given back first, so that the report itself can allocate.
    char* reserve = g_reserve.exchange(nullptr);
    delete[] reserve;
    // Linux hands the handler no size.
    LogTyped(LOG_RESOURCE_INFO, "内存不足，没有足够的连续内存，申请大小：unknown 字节");
    LogTyped(LOG_ENGINE_INIT, "fn=%s[%d]", "Engine/Render/RenderCore/IRenderImpl.cpp", 97);
    LogProcessMemoryMap(reserve, reserve ? kOutOfMemoryReserveBytes : 0);
    DebugBreak();
    throw std::bad_alloc();
}

const void* GetOutOfMemoryReserve() {
    return g_reserve.load();
}

}  // namespace Zel
