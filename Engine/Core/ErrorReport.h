// Fault reports that any code may make at any time: they reach the error reporter of Globals when
// it exists (and otherwise the log dispatch, LogDispatch.h), so a report made before Init or after
// Shutdown goes nowhere harmful. None of them stops the library.
#pragma once

#include <string>

namespace Zel {

// DebugHelperImpl::Error, ErrorLastError and Warning of the reporter that Globals holds at the
// time of the call.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportErrorLastError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Fills the two texts of a failed check: the formatted message and the location
// "FILE=%s,\nLine=%d,\nFun=%s". The format is the failed expression or "Exp Failed!".
void FormatAssertMessage(std::string& message, std::string& location, const char* sourceFile,
                         int line, const char* function, const char* format, ...)
    __attribute__((format(printf, 6, 7)));
// Logs message and location as two ENGINE_INIT records; when show is set and switch 82 is on,
// breaks into an attached debugger and shows both in a message box. The caller goes on.
void ReportAssert(const std::string& message, const std::string& location, bool show = true);
// Reports "ensure failed : <condition>\n<file>(<line>)\n" as an error.
void ReportEnsureFailure(const char* condition, const char* sourceFile, int line);

}  // namespace Zel
