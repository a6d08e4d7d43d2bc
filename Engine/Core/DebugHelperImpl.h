// The error reporter (Globals::GetDebugHelper). It writes through the log manager's plain
// level write and, with switch 82 on, shows a message box. Any thread: the three reports are
// serialised by the reporter's own lock, taken before the log manager's; a message box is shown
// while the lock is held.
#pragma once

#include <cstdarg>

#include "Core/IDebugHelper.h"
#include "Core/locksection.h"

namespace Zel {

class IZelLogMng;

class DebugHelperImpl final : public IDebugHelper {
public:
    DebugHelperImpl() = default;
    ~DebugHelperImpl() = default;
    DebugHelperImpl(const DebugHelperImpl&) = delete;
    DebugHelperImpl& operator=(const DebugHelperImpl&) = delete;

    void Error(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void ErrorLastError(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void Warning(const char* format, ...) override __attribute__((format(printf, 2, 3)));

    void ErrorV(const char* format, va_list args);
    void ErrorLastErrorV(const char* format, va_list args);
    void WarningV(const char* format, va_list args);

    // The log manager written to (not owned); until it is set, reports are only shown.
    void SetLogManager(IZelLogMng* logManager) { logManager_ = logManager; }

private:
    void Write(int level, const char* text);

    IZelLogMng* logManager_ = nullptr;
    locksection lock_;
};

}  // namespace Zel
