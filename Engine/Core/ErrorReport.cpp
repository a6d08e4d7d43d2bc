#include "Core/ErrorReport.h"

#include <cstdarg>
#include <cstdio>

#include "Core/DebugHelperImpl.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Platform/Win32/Win32.h"

namespace Zel {
namespace {

constexpr std::size_t kAssertBufferSize = 256;

DebugHelperImpl* Reporter() {
    return Globals::Find(&Globals::GetDebugHelper);
}

std::string FormatString(const char* format, va_list args) {
    char buffer[kAssertBufferSize];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (length < 0)
        return std::string();
    if (static_cast<std::size_t>(length) < sizeof buffer)
        return std::string(buffer, length);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatString(format, args);
    va_end(args);
    return text;
}

}  // namespace

void ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (DebugHelperImpl* reporter = Reporter())
        reporter->ErrorV(format, args);
    else
        LogTypedV(LOG_LEVEL_ERROR, format, args);
    va_end(args);
}

void ReportErrorLastError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (DebugHelperImpl* reporter = Reporter())
        reporter->ErrorLastErrorV(format, args);
    else
        LogTypedV(LOG_LEVEL_ERROR, format, args);
    va_end(args);
}

void ReportWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (DebugHelperImpl* reporter = Reporter())
        reporter->WarningV(format, args);
    else
        LogTypedV(LOG_LEVEL_WARNING, format, args);
    va_end(args);
}

void FormatAssertMessage(std::string& message, std::string& location, const char* sourceFile,
                         int line, const char* function, const char* format, ...) {
    va_list args;
    va_start(args, format);
    message = FormatString(format, args);
    va_end(args);
    location = FormatString("FILE=%s,\nLine=%d,\nFun=%s", sourceFile ? sourceFile : "", line,
                            function ? function : "");
}

void ReportAssert(const std::string& message, const std::string& location, bool show) {
    LogTyped(LOG_ENGINE_INIT, "%s", message.c_str());
    LogTyped(LOG_ENGINE_INIT, "%s", location.c_str());
    if (!show || !IsGlobalSwitchOn(GlobalConfigManager::kShowErrorDialogSwitch))
        return;
    const std::string joined = message + "\n" + location;
    if (IsDebuggerPresent())
        DebugBreak();
    MessageBoxA(nullptr, joined.c_str(), nullptr, MB_OK);
}

void ReportEnsureFailure(const char* condition, const char* sourceFile, int line) {
    const std::string text =
        FormatString("ensure failed : %s\n%s(%d)\n", condition ? condition : "",
                     sourceFile ? sourceFile : "", line);
    ReportError("%s", text.c_str());
}

}  // namespace Zel
