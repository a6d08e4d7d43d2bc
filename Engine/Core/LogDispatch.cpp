#include "Core/LogDispatch.h"

#include <atomic>
#include <cstdio>

namespace Zel {
namespace {
std::atomic<LogHandler> g_handler{nullptr};
std::atomic<LogHandler> g_formattingOwner{nullptr};
std::atomic<LogFormatHandler> g_formatting{nullptr};
constexpr int kLogBufferSize = 10240;

void Dispatch(int kind, const char* format, va_list args) {
    LogHandler handler = g_handler.load(std::memory_order_acquire);
    if (!handler)
        return;
    if (handler == g_formattingOwner.load(std::memory_order_acquire)) {
        if (LogFormatHandler direct = g_formatting.load(std::memory_order_acquire)) {
            direct(kind, format, args);
            return;
        }
    }
    char buffer[kLogBufferSize];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    handler(kind, buffer);
}
}  // namespace

LogHandler SetLogHandler(LogHandler handler) {
    return g_handler.exchange(handler, std::memory_order_acq_rel);
}

LogHandler GetLogHandler() {
    return g_handler.load(std::memory_order_acquire);
}

void SetLogFormatHandler(LogHandler handler, LogFormatHandler direct) {
    g_formatting.store(direct, std::memory_order_release);
    g_formattingOwner.store(handler, std::memory_order_release);
}

void LogTypedV(int type, const char* format, va_list args) {
    Dispatch(type, format, args);
}

void LogTyped(int type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Dispatch(type, format, args);
    va_end(args);
}

void LogWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Dispatch(LOG_LEVEL_WARNING, format, args);
    va_end(args);
}

void LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Dispatch(LOG_LEVEL_ERROR, format, args);
    va_end(args);
}

}  // namespace Zel
